// base/BuildOptions.h: the build folder's build.options.json, which the Arduino builder writes at
// every build: the board's fqbn, the hardware folders and the sketch's own path. Both the watcher (to
// tell whose build a folder holds) and the analyzer (to find the board) read it. The file is
// untrusted: a strict reader takes it with a byte cap, and whatever does not read cleanly counts as
// absent. Parses text only; reads no file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The most bytes of build.options.json read (the builder writes well under 4 KB); a longer file is
// refused whole.
constexpr size_t BuildOptionsByteLimit = size_t(64) << 10;
// The most characters of a hardware folder's path or of the sketch's path, and of one part of an fqbn.
constexpr size_t HardwareFolderLimit = 1024;
constexpr size_t FqbnPartLimit = 64;
// The most hardware folders taken: the IDE names three or four.
constexpr size_t HardwareFolderCountLimit = 16;

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
    // The hardware folders, in their order: local folder texts (IsLocalFolderText) of at most
    // HardwareFolderLimit characters whose every part is a name, without their trailing separators. Any other
    // entry is left out, and so is a folder named again (in any case), so that each is looked at once
    // however often the file names it; at most HardwareFolderCountLimit. A network path is left out
    // too: reading one would connect to the server it names.
    std::vector<std::string> hardwareFolders;
    // The sketch's own path ("sketchLocation"), when it is such a path too; "" otherwise.
    std::string sketchLocation;
};
// The options of a build.options.json text; nullopt when it does not parse or its fqbn does not.
std::optional<BuildOptions> ReadBuildOptions(std::string_view json);

