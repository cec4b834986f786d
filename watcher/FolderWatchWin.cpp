#include "watcher/FolderWatch.h"

#include "base/Text.h"

namespace {

constexpr DWORD BufferBytes = 64 * 1024;   // what a network drive allows at most, and plenty here
constexpr DWORD WatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                 FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder's identity and creation time; nullopt when it cannot be opened.
std::optional<std::pair<FileIdentity, uint64_t>> StampOf(const std::string& folder)
{
    UniqueHandle handle(CreateFileW(Widen(folder).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !GetFileInformationByHandle(handle.get(), &info))
        return std::nullopt;
    return std::pair{ FileIdentity{ info.dwVolumeSerialNumber, JoinHalves(info.nFileIndexHigh, info.nFileIndexLow) },
                      JoinHalves(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime) };
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
    if (const auto stamp = StampOf(target)) {
        watch->identity = stamp->first;
        watch->created = stamp->second;
    }
    watch->folder = UniqueHandle(CreateFileW(Widen(target).c_str(), FILE_LIST_DIRECTORY,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    watch->event = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    watch->buffer.resize(BufferBytes / sizeof(DWORD));
    if (!watch->folder || !watch->event || !Request(*watch))
        return nullptr;
    return watch;
}

bool WatchIsStale(const FolderWatch& watch)
{
    const std::string target = NearestExisting(watch.root.folder);
    if (!SameIgnoringCase(target, watch.target) || !watch.identity)
        return true;
    const auto stamp = StampOf(target);
    return !stamp || stamp->first != *watch.identity || stamp->second != watch.created;
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
