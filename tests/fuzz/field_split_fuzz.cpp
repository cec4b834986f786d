// The field split: the fields, joined again with the delimiter, give back the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "analyzer/Analysis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    // The first byte picks the delimiter's length (0 to 3); the delimiter comes next, then the text.
    const size_t delimiterSize = std::min<size_t>(data[0] % 4, size - 1);
    const std::string_view delimiter(reinterpret_cast<const char*>(data + 1), delimiterSize);
    const std::string_view text(reinterpret_cast<const char*>(data + 1 + delimiterSize), size - 1 - delimiterSize);

    if (delimiter.empty()) {
        if (SplitField(text, delimiter, 1) != text || !SplitField(text, delimiter, 2).empty())
            __builtin_trap();
        return 0;
    }
    int64_t fields = 1;
    for (size_t at = 0; (at = text.find(delimiter, at)) != std::string_view::npos; at += delimiter.size())
        ++fields;
    std::string joined;
    for (int64_t n = 1; n <= fields; ++n) {
        const std::string field = SplitField(text, delimiter, n);
        if (field.find(delimiter) != std::string::npos)
            __builtin_trap();
        joined += (n > 1 ? std::string(delimiter) : std::string()) + field;
    }
    if (joined != text || !SplitField(text, delimiter, fields + 1).empty() || !SplitField(text, delimiter, 0).empty())
        __builtin_trap();
    return 0;
}
