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

std::vector<BuildEntry> ScanBuilds(const std::string& tempFolder, uint64_t scanInstant)
{
    // Read the whole folder list first and close that search: one search open at a time.
    std::vector<std::string> folders;
    WIN32_FIND_DATAW found;
    {
        UniqueFind search(FindFirst(tempFolder + "build*.tmp", found));
        if (search) {
            do {
                if (!IsDotEntry(found.cFileName))
                    folders.push_back(Narrow(found.cFileName));
            } while (FindNextFileW(search.get(), &found));
        }
    }

    std::vector<BuildEntry> entries;
    constexpr DWORD NotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (const std::string& folder : folders) {
        const std::string prefix = tempFolder + folder + "\\";
        UniqueFind search(FindFirst(prefix + "*.hex", found));
        if (!search)
            continue;
        do {
            if ((found.dwFileAttributes & NotPlain) == 0)
                entries.push_back(MakeBuildEntry(prefix + Narrow(found.cFileName), FileTimeValue(found.ftLastWriteTime),
                                                 scanInstant));
        } while (FindNextFileW(search.get(), &found));
    }
    OrderBuilds(entries);
    return entries;
}
