#include "base/IdeFiles.h"

#include <algorithm>

#include "base/Text.h"

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

namespace {

// What Java's String.trim() removes: every character up to the space, control characters included.
constexpr std::string_view JavaBlanks("\0\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0b\x0c\r\x0e\x0f"
                                      "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f ", 33);

std::string_view TrimBlanks(std::string_view text)
{
    return Trimmed(text, JavaBlanks);
}

// The lines of a text, without their CR or LF.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit)
{
    while (true) {
        const size_t end = text.find_first_of("\r\n");
        if (!visit(text.substr(0, end)) || end == std::string_view::npos)
            return;
        text.remove_prefix(end + 1);
    }
}

}  // namespace

std::optional<std::string> PreferenceValue(std::string_view preferences, std::string_view key)
{
    std::optional<std::string> value;
    ForEachLine(preferences, [&](std::string_view line) {
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos && TrimBlanks(line.substr(0, equals)) == key)
            value = std::string(TrimBlanks(line.substr(equals + 1)));
        return true;
    });
    if (value && value->empty())
        return std::nullopt;
    return value;
}


bool IsLocalFolderText(std::string_view path)
{
    if (!StartsWithDrive(path))
        return false;
    // A second colon would name a stream of a file; wildcards would widen a search to other folders.
    return !HasControlCharacter(path) && path.find_first_of("<>\"|?*:", 2) == std::string_view::npos;
}

namespace {

std::optional<uint32_t> HexNumber(std::string_view digits)
{
    uint32_t n = 0;
    for (char c : digits) {
        const int d = HexDigitValue(c);
        if (d < 0)
            return std::nullopt;
        n = n * 16 + uint32_t(d);
    }
    return n;
}

// A double-quoted scalar's text after its opening quote, up to the closing one, escapes undone.
// nullopt for an unknown escape, a code point beyond Unicode or no closing quote on the line.
std::optional<std::string> DoubleQuoted(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            return out;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        const char e = text[i];
        size_t digits = e == 'x' ? 2 : e == 'u' ? 4 : e == 'U' ? 8 : 0;
        if (digits != 0) {
            const std::optional<uint32_t> code = i + digits < text.size() ? HexNumber(text.substr(i + 1, digits)) : std::nullopt;
            if (!code || *code > 0x10FFFF)
                return std::nullopt;
            AppendUtf8(out, *code);
            i += digits;
            continue;
        }
        static constexpr std::string_view From = "0abtnvfre \"/\\\tN_LP";
        static constexpr uint32_t To[] = { 0, 7, 8, 9, 10, 11, 12, 13, 27, ' ', '"', '/', '\\', 9, 0x85, 0xA0, 0x2028, 0x2029 };
        const size_t at = From.find(e);
        if (at == std::string_view::npos)
            return std::nullopt;
        AppendUtf8(out, To[at]);
    }
    return std::nullopt;
}

// A single-quoted scalar's text after its opening quote: '' stands for one quote.
std::optional<std::string> SingleQuoted(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\'')
            out += text[i];
        else if (i + 1 < text.size() && text[i + 1] == '\'')
            out += text[++i];
        else
            return out;
    }
    return std::nullopt;
}

// The scalar that follows a key's colon on its line; nullopt for a block, a flow collection or null.
std::optional<std::string> YamlScalar(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    if (text.front() == '"')
        return DoubleQuoted(text.substr(1));
    if (text.front() == '\'')
        return SingleQuoted(text.substr(1));
    if (std::string_view("#|>[{&*!").find(text.front()) != std::string_view::npos)
        return std::nullopt;
    // A plain scalar ends at a comment, which a blank must precede.
    for (size_t i = 1; i < text.size(); ++i)
        if (text[i] == '#' && (text[i - 1] == ' ' || text[i - 1] == '\t')) {
            text = text.substr(0, i);
            break;
        }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text == "~" || text == "null" || text == "Null" || text == "NULL")
        return std::nullopt;
    return std::string(text);
}

// For a line "key: rest" (or "key:" alone) whose key is plain text, the rest after the colon.
std::optional<std::string_view> AfterKey(std::string_view line, std::string_view key)
{
    if (line.substr(0, key.size()) != key || line.size() == key.size() || line[key.size()] != ':')
        return std::nullopt;
    std::string_view rest = line.substr(key.size() + 1);
    if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t')
        return std::nullopt;
    return rest;
}

// A key's scalar directly under the top-level "directories" key.
std::optional<std::string> DirectoriesValue(std::string_view yaml, std::string_view key)
{
    if (yaml.substr(0, 3) == "\xEF\xBB\xBF")
        yaml.remove_prefix(3);
    std::optional<std::string> value;
    bool inDirectories = false;
    size_t childIndent = 0;   // 0: not known yet
    ForEachLine(yaml, [&](std::string_view line) {
        const size_t indent = std::min(line.find_first_not_of(' '), line.size());
        const std::string_view content = line.substr(indent);
        if (content.empty() || content.front() == '#')
            return true;
        if (indent == 0) {
            const std::optional<std::string_view> rest = AfterKey(content, "directories");
            inDirectories = rest && !YamlScalar(*rest) && TrimBlanks(*rest).substr(0, 1) != "{";
            childIndent = 0;
            return true;
        }
        if (!inDirectories)
            return true;
        if (childIndent == 0)
            childIndent = indent;
        if (indent != childIndent)
            return true;   // deeper: the value of another key
        if (const std::optional<std::string_view> rest = AfterKey(content, key)) {
            value = YamlScalar(*rest);
            return false;
        }
        return true;
    });
    if (value && value->empty())
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> DirectoriesUserValue(std::string_view yaml)
{
    return DirectoriesValue(yaml, "user");
}

std::optional<std::string> DirectoriesDataValue(std::string_view yaml)
{
    return DirectoriesValue(yaml, "data");
}
