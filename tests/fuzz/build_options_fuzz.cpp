// build.options.json: the flat JSON reader, the fqbn and the hardware folders, and the paths made of them.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "analyzer/BoardFiles.h"
#include "base/Text.h"

namespace {

// A path on a drive none of whose parts is "." or "..".
bool StaysOnItsDrive(std::string_view path)
{
    if (path.size() < 3 || path[1] != ':' || HasControlCharacter(path))
        return false;
    for (size_t from = 2; from <= path.size();) {
        const size_t end = std::min(path.find_first_of("\\/", from), path.size());
        const std::string_view part = path.substr(from, end - from);
        if (part == "." || part == "..")
            return false;
        from = end + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    const auto members = ParseFlatJsonObject(json);
    if (members && (size < 2 || json.find('{') == std::string_view::npos))
        __builtin_trap();
    const std::optional<BuildOptions> options = ReadBuildOptions(json);
    if (options && !members)
        __builtin_trap();
    if (!options)
        return 0;
    // Every path made stays under its hardware folder: no part of the fqbn leaves it.
    for (const std::string& path : BoardsFileCandidates(*options))
        if (!StaysOnItsDrive(path))
            __builtin_trap();
    for (const std::string& path : PackagedPlatformFolders(*options))
        if (!StaysOnItsDrive(path) || path.back() != '\\')
            __builtin_trap();
    return 0;
}
