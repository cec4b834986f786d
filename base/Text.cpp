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

std::string GroupedThousands(int64_t value)
{
    const std::string plain = DecimalText(value);
    const size_t sign = value < 0 ? 1 : 0;
    std::string grouped = plain.substr(0, sign);
    const size_t digits = plain.size() - sign;
    for (size_t i = 0; i < digits; ++i) {
        if (i != 0 && (digits - i) % 3 == 0)
            grouped += ',';
        grouped += plain[sign + i];
    }
    return grouped;
}

std::string_view Trimmed(std::string_view text, std::string_view blanks)
{
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string TrimSpaces(std::string_view text)
{
    return std::string(Trimmed(text, " "));
}

bool IsNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

uint64_t TextHash(std::string_view bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (char c : bytes)
        hash = (hash ^ uint8_t(c)) * 1099511628211ull;
    return hash;
}

std::string HexDigits(uint64_t value, int digits)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        text += Digits[(value >> shift) & 0xF];
    return text;
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

std::vector<std::string_view> SplitAt(std::string_view text, char delimiter)
{
    std::vector<std::string_view> parts;
    for (size_t from = 0;;) {
        const size_t end = text.find(delimiter, from);
        parts.push_back(text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
        if (end == std::string_view::npos)
            return parts;
        from = end + 1;
    }
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

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::optional<uint64_t> DecimalNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 19 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : digits)
        value = value * 10 + uint64_t(c - '0');
    return value;
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
