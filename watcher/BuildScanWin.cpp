#include <windows.h>

#include "core/Win32.h"
#include "watcher/BuildScan.h"

namespace {

// Basic information (no short names) and large fetches make each search a few big reads.
HANDLE FindFirst(const std::string& pattern, WIN32_FIND_DATAW& found)
{
    return FindFirstFileExW(Widen(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

uint64_t FileTimeValue(const FILETIME& t)
{
    return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

}  // namespace

std::vector<BuildEntry> ScanBuilds(const BuildRoots& roots, uint64_t scanInstant)
{
    // One search per root for every name, filtered here, rather than one search per pattern. Each
    // list is read whole and its search closed before a folder is opened: one search open at a time.
    std::vector<std::string> folders;
    WIN32_FIND_DATAW found;
    for (const WatchedRoot& root : WatchedRoots(roots)) {
        UniqueFind search(FindFirst(root.folder + "*", found));
        if (!search)
            continue;
        do {
            // Plain files bearing a build folder's name hold no builds: no search is spent on them.
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(found.cFileName)) {
                const std::optional<std::string> name = NarrowExactly(found.cFileName);
                if (name && IsBuildFolderName(root.names, *name))
                    folders.push_back(root.folder + *name + "\\");
            }
        } while (FindNextFileW(search.get(), &found));
    }
    if (!roots.buildPathFolder.empty() && !HasFolder(folders, roots.buildPathFolder))
        folders.push_back(roots.buildPathFolder);

    std::vector<BuildEntry> entries;
    constexpr DWORD NotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (const std::string& folder : folders) {
        UniqueFind search(FindFirst(folder + "*.hex", found));
        if (!search)
            continue;
        do {
            if ((found.dwFileAttributes & NotPlain) != 0)
                continue;
            const std::optional<std::string> name = NarrowExactly(found.cFileName);
            if (name && IsListedHexName(*name))
                entries.push_back(MakeBuildEntry(folder + *name, FileTimeValue(found.ftLastWriteTime), scanInstant,
                                                 (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow));
        } while (FindNextFileW(search.get(), &found));
    }
    OrderBuilds(entries);
    return entries;
}

std::vector<BuildEntry> ScanBuilds(const std::string& tempFolder, uint64_t scanInstant)
{
    return ScanBuilds(BuildRoots{ tempFolder, {}, {} }, scanInstant);
}
