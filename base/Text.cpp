#include "base/Text.h"

#include <algorithm>

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

std::string TrimSpaces(std::string_view text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string PathFileName(std::string_view path)
{
    const size_t slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExeBaseName(std::string_view exePath)
{
    const std::string name = PathFileName(exePath);
    return name.substr(0, name.rfind('.'));
}

std::string WithOneTrailingBackslash(std::string_view path)
{
    std::string out = WithoutTrailingBackslashes(path);
    out += '\\';
    return out;
}

std::string WithoutTrailingBackslashes(std::string_view path)
{
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return std::string(path);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    std::string out;
    size_t start = 0;
    for (size_t at; (at = text.find(from, start)) != std::string_view::npos; start = at + from.size()) {
        out.append(text.substr(start, at - start));
        out.append(to);
    }
    out.append(text.substr(start));
    return out;
}

bool IsControlCharacter(char c)
{
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool HasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), IsControlCharacter);
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string ParentFolder(std::string_view path)
{
    const size_t slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1));
}

bool StartsWithDrive(std::string_view text)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return text.size() >= 3 && isLetter(text[0]) && text[1] == ':' && (text[2] == '\\' || text[2] == '/');
}

std::string Joined(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    path += name;
    return path;
}
