#include "watcher/FolderWatch.h"

#include <winternl.h>

#include "base/Text.h"
#include "watcher/WatcherTiming.h"

namespace {

constexpr DWORD BufferBytes = 64 * 1024;   // what a network drive allows at most, and plenty here
constexpr DWORD WatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                 FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

// The file index of an open file or folder; 0 when the system gives none.
uint64_t FileIndexOf(HANDLE file)
{
    // The index alone: GetFileInformationByHandle also asks for the volume's serial number, which
    // costs some twenty times as much, and the watcher checks each watch every few seconds.
    using Query = LONG(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, FILE_INFORMATION_CLASS);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
    IO_STATUS_BLOCK status{};
    LARGE_INTEGER index{};
    constexpr auto FileInternalInformation = FILE_INFORMATION_CLASS(6);
    if (!query || query(file, &status, &index, sizeof index, FileInternalInformation) < 0)
        return 0;
    return uint64_t(index.QuadPart);
}

// A folder's file index and creation time; nullopt when it cannot be opened. Its volume is left out:
// the stamps compared are those of one path.
std::optional<FolderStamp> StampOf(const std::string& folder)
{
    UniqueHandle handle(CreateFileW(Widen(folder).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILE_BASIC_INFO basic;
    if (!handle || !GetFileInformationByHandleEx(handle.get(), FileBasicInfo, &basic, sizeof basic))
        return std::nullopt;
    return FolderStamp{ FileIndexOf(handle.get()), uint64_t(basic.CreationTime.QuadPart) };
}

// A folder's write time when it can be read and lies far enough back that a later change of its
// entries would move it; 0 otherwise.
uint64_t SettledWriteTime(const std::string& folder)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (folder.empty() || !GetFileAttributesExW(Widen(folder).c_str(), GetFileExInfoStandard, &data))
        return 0;
    const uint64_t write = JoinHalves(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    const uint64_t wall = CurrentFileTime();
    return write < wall && wall - write > WriteTimeGrain ? write : 0;
}

// The root's folder, or the nearest of its parents that exists; "" when none does.
std::string NearestExisting(const std::string& folder)
{
    std::string path = folder;
    while (!path.empty() && !IsFolder(path)) {
        const size_t end = path.size() > 1 ? path.find_last_of('\\', path.size() - 2) : std::string::npos;
        path = end == std::string::npos ? std::string() : path.substr(0, end + 1);
    }
    return path;
}

bool Request(FolderWatch& watch)
{
    ResetEvent(watch.event.get());
    watch.overlapped = {};
    watch.overlapped.hEvent = watch.event.get();
    // A root's builds lie one folder down: its subtree. A build folder itself, or a parent waiting
    // for the root to come, only its own entries.
    const bool subtree = watch.onRoot && watch.root.names != BuildFolderNames::Itself;
    watch.pending = ReadDirectoryChangesW(watch.folder.get(), watch.buffer.data(), BufferBytes, subtree,
                                          WatchedChanges, nullptr, &watch.overlapped, nullptr) != FALSE;
    return watch.pending;
}

}  // namespace

FolderWatch::~FolderWatch()
{
    if (pending && folder) {
        CancelIoEx(folder.get(), &overlapped);
        DWORD bytes = 0;
        GetOverlappedResult(folder.get(), &overlapped, &bytes, TRUE);
    }
}

std::unique_ptr<FolderWatch> WatchRoot(const WatchedRoot& root)
{
    const std::string target = NearestExisting(root.folder);
    if (target.size() < 3)
        return nullptr;
    // Network drives may take the request and never answer it: they are searched instead.
    if (target[1] == ':' && GetDriveTypeW(Widen(target.substr(0, 3)).c_str()) == DRIVE_REMOTE)
        return nullptr;
    auto watch = std::make_unique<FolderWatch>();
    watch->root = root;
    watch->target = target;
    watch->onRoot = SameIgnoringCase(target, root.folder);
    watch->stamp = StampOf(target);
    watch->folder = UniqueHandle(CreateFileW(Widen(target).c_str(), FILE_LIST_DIRECTORY,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    watch->event = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    watch->buffer.resize(BufferBytes / sizeof(DWORD));
    if (!watch->folder || !watch->event || !Request(*watch))
        return nullptr;
    return watch;
}

bool WatchIsStale(FolderWatch& watch)
{
    // The watched folder can only have gone or been made again with a change of its parent's entries,
    // and a missing root's next folder can only have come with a change of the watched parent's: each
    // moves that folder's write time, and only what it concerns is looked at again. A look for a name
    // that is not there reads the whole folder under Wine (TEMP, with its thousands of entries), and
    // Wine's creation time of a folder moves with every change of its entries.
    const uint64_t parentWrite = SettledWriteTime(ParentFolder(WithoutTrailingBackslashes(watch.target)));
    const uint64_t targetWrite = watch.onRoot ? 0 : SettledWriteTime(watch.target);
    const bool parentSame = parentWrite != 0 && parentWrite == watch.parentWrite;
    const bool targetSame = watch.onRoot || (targetWrite != 0 && targetWrite == watch.targetWrite);
    if (!parentSame && StampOf(watch.target) != watch.stamp)
        return true;   // gone, or another folder under its name
    if (!targetSame && !SameIgnoringCase(NearestExisting(watch.root.folder), watch.target))
        return true;   // the way to the root changed
    watch.parentWrite = parentWrite;
    watch.targetWrite = targetWrite;
    return false;
}

FolderChanges TakeChanges(FolderWatch& watch)
{
    FolderChanges changes;
    if (!watch.pending || WaitForSingleObject(watch.event.get(), 0) != WAIT_OBJECT_0)
        return changes;
    DWORD bytes = 0;
    watch.pending = false;
    if (!GetOverlappedResult(watch.folder.get(), &watch.overlapped, &bytes, FALSE)) {
        // The watched folder went away, or the request failed: what happened is unknown.
        changes.rearm = true;
        changes.overflow = true;
        return changes;
    }
    if (bytes == 0) {
        changes.overflow = true;
    } else {
        // Below the watched folder, the way to the root: its first component names the next folder.
        const std::string towardRoot = watch.onRoot ? std::string() : watch.root.folder.substr(watch.target.size());
        const std::string nextComponent = towardRoot.substr(0, towardRoot.find('\\'));
        const auto* base = reinterpret_cast<const BYTE*>(watch.buffer.data());
        for (DWORD offset = 0;;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
            const std::string name =
                Narrow(std::wstring_view(info->FileName, info->FileNameLength / sizeof(wchar_t)));
            if (watch.onRoot)
                changes.names.push_back(name);
            else if (const std::string first = name.substr(0, name.find('\\'));
                     SameIgnoringCase(first, nextComponent) || MayBeShortNameOf(first, nextComponent))
                changes.rearm = true;
            if (info->NextEntryOffset == 0 || offset + info->NextEntryOffset >= bytes)
                break;
            offset += info->NextEntryOffset;
        }
    }
    if (!Request(watch))
        changes.rearm = true;
    return changes;
}
