// The values of IDE 1.5 - 1.8's preferences and IDE 2.x's arduino-cli.yaml: any bytes, no crash,
// a value found never spans a line, and a value taken as a folder holds no control character (a NUL
// would cut it short at the wide call) and stays one once its trailing backslash is normalised.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/IdeFiles.h"
#include "base/Text.h"

namespace {

void CheckFolder(const std::string& value)
{
    if (!IsLocalFolderText(value))
        return;
    if (value.find_first_of(std::string_view("\0\r\n\t", 4)) != std::string::npos ||
        !IsLocalFolderText(WithOneTrailingBackslash(value)))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::optional<std::string>& value :
         { PreferenceValue(text, "sketchbook.path"), PreferenceValue(text, "build.path") }) {
        if (value && (value->empty() || value->find_first_of("\r\n") != std::string::npos))
            __builtin_trap();
        if (value)
            CheckFolder(*value);
    }
    const std::optional<std::string> user = DirectoriesUserValue(text);
    if (user && user->empty())
        __builtin_trap();
    if (user)
        CheckFolder(*user);
    if (const std::optional<std::string> sketchbook = SketchbookPathValue(text))
        CheckFolder(*sketchbook);
    return 0;
}
