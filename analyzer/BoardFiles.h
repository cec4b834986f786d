// analyzer/BoardFiles.h: the board a build was made for and that board's memory maxima, from the
// Arduino builder's own files: the build folder's build.options.json (the board's fqbn and the
// hardware folders) and the board platform's boards.txt. Both are untrusted: they are read with a
// byte cap by a strict reader, and whatever does not read cleanly counts as absent. The portable part
// parses boards.txt and builds paths; BoardOfBuild (BoardFilesWin.cpp) reads the files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/BuildOptions.h"

// The most bytes of a boards.txt read (Debian's AVR one is 30 KB); a longer file is refused whole.
constexpr size_t BoardsFileByteLimit = size_t(4) << 20;
// The most bytes of a board's name kept; a longer name is cut there.
constexpr size_t BoardNameLimit = 128;
// The files where the board's boards.txt may be, in the order to try them: for each hardware
// folder H, H\vendor\arch\boards.txt (the IDE's own and the sketchbook's hardware folders).
std::vector<std::string> BoardsFileCandidates(const BuildOptions& options);
// For each hardware folder H, H\vendor\hardware\arch\ with its backslash: the folder under which a
// board package the IDE installed (H being its "packages" folder) keeps one folder per version;
// the boards.txt is in the version folder that NewestVersionName picks.
std::vector<std::string> PackagedPlatformFolders(const BuildOptions& options);
// The newest of the version folders' names, their dot-separated parts compared as numbers ("1.8.10"
// is newer than "1.8.9"); only names of digits and single dots count; nullopt without one.
std::optional<std::string> NewestVersionName(const std::vector<std::string>& names);

// What boards.txt says of the fqbn's board, with the fqbn's menu options applied (an option's
// board.menu.<menu>.<option>.<key> overrides board.<key>; a menu the fqbn leaves out takes its
// first option in the file, as the builder does). A maximum that is not plain decimal digits, is 0
// or does not fit 32 bits is absent. nullopt when the file does not name the board.
struct BoardMaxima {
    std::string name;                        // board.name, cut to BoardNameLimit; "" when absent
    std::optional<uint32_t> programBytes;    // upload.maximum_size
    std::optional<uint32_t> dataBytes;       // upload.maximum_data_size
};
std::optional<BoardMaxima> ReadBoardMaxima(std::string_view boardsTxt, const Fqbn& fqbn);

// The board's maxima for a build whose build.options.json holds the bytes given: the first boards.txt
// among BoardsFileCandidates and the newest version folder of each PackagedPlatformFolders that names
// the board with a maximum. Each file is read once, with its cap, through no link, and only from
// hardware folders on a local drive (a network share may be slow or gone). nullopt when none does.
// Runs on the user-interface thread; defined in BoardFilesWin.cpp.
std::optional<BoardMaxima> BoardOfBuild(std::string_view buildOptionsJson);
