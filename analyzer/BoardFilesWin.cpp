#include "analyzer/BoardFiles.h"

#include <windows.h>

#include "base/Text.h"
#include "base/Win32.h"

namespace {

// The most version folders of a board package looked at.
constexpr size_t VersionFolderLimit = 256;

// True when the levels folders just above file are plain folders: no link leads out of the folder
// the file was looked for in.
bool PlainFoldersAbove(const std::string& file, int levels)
{
    std::string folder = file;
    for (int i = 0; i < levels; ++i) {
        const size_t slash = folder.rfind('\\');
        if (slash == std::string::npos)
            return false;
        folder.resize(slash);
        if (!IsPlainFolder(folder + "\\"))
            return false;
    }
    return true;
}

}  // namespace

std::optional<BoardMaxima> BoardOfBuild(std::string_view buildOptionsJson)
{
    std::optional<BuildOptions> options = ReadBuildOptions(buildOptionsJson);
    if (!options)
        return std::nullopt;
    std::erase_if(options->hardwareFolders, [](const std::string& folder) { return !IsOnLocalDrive(folder); });
    // H\vendor\arch\boards.txt, two folders below H; H\vendor\hardware\arch\version\boards.txt, four.
    std::vector<std::pair<std::string, int>> files;
    for (const std::string& file : BoardsFileCandidates(*options))
        files.emplace_back(file, 2);
    for (const std::string& platform : PackagedPlatformFolders(*options))
        if (IsPlainFolder(platform))
            if (const std::optional<std::string> version = NewestVersionName(PlainFolderNames(platform, VersionFolderLimit)))
                files.emplace_back(platform + *version + "\\boards.txt", 4);
    for (const auto& [file, levels] : files) {
        if (!PlainFoldersAbove(file, levels))
            continue;
        const std::optional<PlainFile> boards = ReadPlainFile(file, BoardsFileByteLimit);
        const std::optional<BoardMaxima> maxima = boards ? ReadBoardMaxima(boards->bytes, options->fqbn) : std::nullopt;
        if (maxima && (maxima->programBytes || maxima->dataBytes))
            return maxima;
    }
    return std::nullopt;
}
