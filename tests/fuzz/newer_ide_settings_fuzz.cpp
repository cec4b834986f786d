// The values of IDE 1.5 - 1.8's preferences and IDE 2.x's arduino-cli.yaml: any bytes, no crash,
// and a value found never spans a line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/SettingsText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::optional<std::string>& value :
         { PreferenceValue(text, "sketchbook.path"), PreferenceValue(text, "build.path") }) {
        if (value && (value->empty() || value->find_first_of("\r\n") != std::string::npos))
            __builtin_trap();
    }
    const std::optional<std::string> user = DirectoriesUserValue(text);
    if (user && user->empty())
        __builtin_trap();
    return 0;
}
