// analyzer/BoardFiles.h: the board a build was made for and that board's memory maxima, from the
// Arduino builder's own files: the build folder's build.options.json (the board's fqbn and the
// hardware folders) and the board platform's boards.txt. Both are untrusted: they are read with a
// byte cap by a strict reader, and whatever does not read cleanly counts as absent. This module
// parses texts and builds paths; it reads no file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The most bytes of build.options.json read (the builder writes well under 4 KB); a longer file is
// refused whole.
constexpr size_t BuildOptionsByteLimit = size_t(64) << 10;
// The most bytes of a boards.txt read (Debian's AVR one is 30 KB); a longer file is refused whole.
constexpr size_t BoardsFileByteLimit = size_t(4) << 20;
// The most bytes of a board's name kept; a longer name is cut there.
constexpr size_t BoardNameLimit = 128;
// The most characters of a hardware folder's path, and of one part of an fqbn.
constexpr size_t HardwareFolderLimit = 1024;
constexpr size_t FqbnPartLimit = 64;

// The members of a JSON text that is exactly one object whose values are all strings, in their
// order, with their escapes (\" \\ \/ \b \f \n \r \t \uXXXX, surrogate pairs joined) decoded to
// UTF-8. nullopt for anything else: another value, a second key of the same name, a raw control
// character in a string, a lone surrogate, text after the object, more than BuildOptionsByteLimit
// bytes.
std::optional<std::vector<std::pair<std::string, std::string>>> ParseFlatJsonObject(std::string_view json);

// A fully qualified board name, vendor:arch:board[:menu=option,menu=option]. Every part is a plain
// name of letters, digits, '_' and '-' (at most FqbnPartLimit of them), so that none can change what
// a path or a boards.txt key means.
struct Fqbn {
    std::string vendor, arch, board;
    std::vector<std::pair<std::string, std::string>> options;   // menu, option, in the fqbn's order
};
std::optional<Fqbn> ParseFqbn(std::string_view text);

struct BuildOptions {
    Fqbn fqbn;
    // The hardware folders, in their order: absolute paths on a drive ("C:\..."), without control
    // characters, "." or ".." parts; any other entry of the list is left out. A network path is
    // left out too: reading one would connect to the server it names.
    std::vector<std::string> hardwareFolders;
};
// The options of a build.options.json text; nullopt when it does not parse or its fqbn does not.
std::optional<BuildOptions> ReadBuildOptions(std::string_view json);

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
