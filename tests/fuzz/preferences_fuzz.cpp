// The sketchbook value of an Arduino IDE preferences text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/IdeFiles.h"
#include "base/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view preferences(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> value = SketchbookPathValue(preferences);
    const bool hasKey = preferences.find("sketchbook.path=") != std::string_view::npos;
    if (value.has_value() != hasKey)
        __builtin_trap();
    if (value && (value->find_first_of("\r\n") != std::string::npos ||
                  preferences.find("sketchbook.path=" + *value) == std::string_view::npos))
        __builtin_trap();
    if (value)
        (void)WithOneTrailingBackslash(*value);
    return 0;
}
