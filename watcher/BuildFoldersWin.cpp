#include <windows.h>

#include <algorithm>

#include "base/Text.h"
#include "base/Win32.h"
#include "watcher/BuildListing.h"
#include "watcher/BuildFolders.h"

namespace {

// Basic information (no short names) and large fetches make each search a few big reads. Windows
// before 7 knows neither and answers ERROR_INVALID_PARAMETER: then the plain search.
HANDLE FindFirst(const std::string& pattern, WIN32_FIND_DATAW& found)
{
    const std::wstring wide = Widen(pattern);
    HANDLE search = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
        search = FindFirstFileW(wide.c_str(), &found);
    return search;
}

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The trusted base is a folder, whatever it is (a junction that moved TEMP to another drive, say),
// and each folder from below it down to the root itself is a plain folder.
bool RootIsPlain(const WatchedRoot& root)
{
    size_t from = root.trustedBase.size();
    if (from == 0 || from > root.folder.size() || !SameIgnoringCase(root.folder.substr(0, from), root.trustedBase))
        return IsPlainFolder(root.folder);
    if (!IsFolder(root.trustedBase))
        return false;
    for (size_t slash; (slash = root.folder.find('\\', from)) != std::string::npos; from = slash + 1)
        if (!IsPlainFolder(root.folder.substr(0, slash + 1)))
            return false;
    return true;
}

}  // namespace

std::optional<std::vector<std::string>> ListBuildFolders(const WatchedRoot& root)
{
    if (!RootIsPlain(root))
        return std::nullopt;
    if (root.names == BuildFolderNames::Itself)
        return std::vector<std::string>{ "" };
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirst(root.folder + "*", found));
    if (!search)
        return std::nullopt;
    // The whole list is read and the search closed before any folder is searched: one search open at
    // a time. Plain files bearing a build folder's name hold no builds: no search is spent on them.
    std::vector<std::string> names;
    constexpr DWORD Folder = FILE_ATTRIBUTE_DIRECTORY;
    do {
        if ((found.dwFileAttributes & (Folder | FILE_ATTRIBUTE_REPARSE_POINT)) != Folder || IsDotEntry(found.cFileName))
            continue;
        // A name that UTF-8 cannot carry would not name the same folder again: passed over.
        const std::optional<std::string> name = NarrowExactly(found.cFileName);
        if (name && IsBuildFolderName(root.names, *name))
            names.push_back(*name);
    } while (FindNextFileW(search.get(), &found));
    return names;
}

std::optional<std::vector<HexFile>> ListHexFiles(const std::string& folder)
{
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirst(folder + "*.hex", found));
    if (!search) {
        const DWORD error = GetLastError();
        // No match at all is an empty folder; anything else (gone, no access) says nothing of its files.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
            return std::vector<HexFile>{};
        return std::nullopt;
    }
    std::vector<HexFile> files;
    constexpr DWORD NotPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
    do {
        if ((found.dwFileAttributes & NotPlain) != 0)
            continue;
        const std::optional<std::string> name = NarrowExactly(found.cFileName);
        if (name && IsListedHexName(*name))
            files.push_back({ *name, JoinHalves(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime),
                              JoinHalves(found.nFileSizeHigh, found.nFileSizeLow) });
    } while (FindNextFileW(search.get(), &found));
    return files;
}

bool SearchListing(BuildListing& listing, const PollScope& scope, uint64_t instant)
{
    SearchPlan plan = PlanSearch(listing, scope);
    // Roots first: the folders their listings find join the folders searched after.
    for (const PlannedRoot& root : plan.roots)
        TakeRootListing(listing, plan, root, ListBuildFolders(listing.roots[root.index].root), instant);
    for (const std::string& folder : plan.folders)
        if (std::optional<std::vector<HexFile>> files = ListHexFiles(folder))
            RecordFolderSearch(listing, folder, std::move(*files), instant);
    return !plan.roots.empty() || !plan.folders.empty();
}

std::vector<BuildEntry> ScanBuilds(const BuildRoots& roots, uint64_t scanInstant)
{
    BuildListing listing;
    SetRoots(listing, WithoutSameFolders(WatchedRoots(roots)), 0);
    PollScope everything;
    everything.everything = true;
    SearchListing(listing, everything, scanInstant);
    return ListedBuilds(listing, scanInstant);
}

std::optional<FileIdentity> IdentityOf(const std::string& path)
{
    UniqueHandle handle(CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !GetFileInformationByHandle(handle.get(), &info))
        return std::nullopt;
    return FileIdentity{ info.dwVolumeSerialNumber, JoinHalves(info.nFileIndexHigh, info.nFileIndexLow) };
}

namespace {

// The folder's own name as the file system keeps it (its long name), "" when it is not there.
std::string LongNameOf(const std::string& folder)
{
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(Widen(WithoutTrailingBackslashes(folder)).c_str(), &found));
    return search ? NarrowExactly(found.cFileName).value_or("") : std::string();
}

std::string ParentOf(const std::string& folder)
{
    const size_t end = folder.size() > 1 ? folder.find_last_of('\\', folder.size() - 2) : std::string::npos;
    return end == std::string::npos ? std::string() : folder.substr(0, end + 1);
}

}  // namespace

std::vector<WatchedRoot> WithoutSameFolders(std::vector<WatchedRoot> roots)
{
    std::vector<WatchedRoot> kept;
    std::vector<std::optional<FileIdentity>> keptIds;
    for (WatchedRoot& root : roots) {
        const std::optional<FileIdentity> id = IdentityOf(root.folder);
        const bool itself = root.names == BuildFolderNames::Itself;
        bool same = false;
        for (size_t k = 0; k < kept.size() && !same; ++k)
            same = id && keptIds[k] == id && (kept[k].names == BuildFolderNames::Itself) == itself;
        if (!same && id && itself) {
            const std::optional<FileIdentity> parent = IdentityOf(ParentOf(root.folder));
            const std::string name = LongNameOf(root.folder);
            for (size_t k = 0; k < kept.size() && !same; ++k)
                same = parent && keptIds[k] == parent && kept[k].names != BuildFolderNames::Itself &&
                       IsBuildFolderName(kept[k].names, name);
        }
        if (same)
            continue;
        keptIds.push_back(id);
        kept.push_back(std::move(root));
    }
    return kept;
}
