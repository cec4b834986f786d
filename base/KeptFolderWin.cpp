#include "base/KeptFolder.h"

#include "base/Folders.h"
#include "base/Win32.h"

std::string KeptBuildsFolder()
{
    return LocalAppDataFolder.empty() ? std::string() : LocalAppDataFolder + "kevra+\\builds\\";
}

std::vector<KeptFile> ListKeptBuilds(const std::string& folder)
{
    std::vector<KeptFile> kept;
    const size_t parentEnd = folder.size() >= 2 ? folder.rfind('\\', folder.size() - 2) : std::string::npos;
    if (folder.empty() || !IsPlainFolder(folder) || parentEnd == std::string::npos ||
        !IsPlainFolder(folder.substr(0, parentEnd + 1)))
        return kept;
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileExW(Widen(folder + "*.elf").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0));
    if (!search)
        return kept;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
            continue;
        const std::optional<std::string> name = NarrowExactly(found.cFileName);
        if (!name || !ParseKeptBuildName(*name) || kept.size() >= 4 * KeptFileLimit)
            continue;
        kept.push_back({ *name, (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
                         (uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime });
    } while (FindNextFileW(search.get(), &found));
    return kept;
}
