#include "core/SettingsText.h"

#include <algorithm>
#include <limits>

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}

int32_t ParseCopyHex(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';

    // The whole part saturates far beyond the 32-bit range, so a long run of digits cannot overflow.
    constexpr int64_t Saturated = int64_t{1} << 40;
    int64_t whole = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        whole = std::min(Saturated, whole * 10 + (text[i] - '0'));

    // Round half to even on the fraction's digits, exactly: no floating point.
    if (i < text.size() && text[i] == '.' && i + 1 < text.size() && IsDigit(text[i + 1])) {
        ++i;
        const int firstDigit = text[i++] - '0';
        bool restNonZero = false;
        for (; i < text.size() && IsDigit(text[i]); ++i)
            restNonZero |= text[i] != '0';
        if (firstDigit > 5 || (firstDigit == 5 && (restNonZero || whole % 2 == 1)))
            ++whole;
    }

    const int64_t value = negative ? -whole : whole;
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
