#include "core/SettingsText.h"

#include <algorithm>
#include <limits>

std::string WithOneTrailingBackslash(std::string_view path)
{
    std::string out(WithoutTrailingBackslashes(path));
    out += '\\';
    return out;
}

std::string WithoutTrailingBackslashes(std::string_view path)
{
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return std::string(path);
}

std::string AppDataFolderFrom(std::string_view shellPath)
{
    while (!shellPath.empty() && shellPath.front() == '\\')
        shellPath.remove_prefix(1);
    return WithOneTrailingBackslash(shellPath);
}

std::string TrimSpaces(std::string_view text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

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

std::string DecimalText(int64_t value)
{
    // Built by hand rather than through a stream, which would take the locale's grouping.
    const bool negative = value < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return negative ? "-" + digits : digits;
}

std::string ExeBaseName(std::string_view exePath)
{
    const size_t slash = exePath.rfind('\\');
    std::string_view name = slash == std::string_view::npos ? exePath : exePath.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::optional<std::string> SketchbookPathValue(std::string_view preferences)
{
    constexpr std::string_view Key = "sketchbook.path=";
    const size_t at = preferences.find(Key);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view value = preferences.substr(at + Key.size());
    const size_t end = value.find_first_of("\r\n");
    if (end != std::string_view::npos)
        value = value.substr(0, end);
    return std::string(value);
}
