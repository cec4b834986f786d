#include "base/BuildOptions.h"

#include <algorithm>

#include "base/IdeFiles.h"
#include "base/Text.h"

namespace {

bool IsJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A strict reader over the text: each step either advances past what it read or fails.
struct JsonReader {
    std::string_view text;
    size_t at = 0;

    void SkipSpace()
    {
        while (at < text.size() && IsJsonSpace(text[at]))
            ++at;
    }
    bool Take(char c)
    {
        SkipSpace();
        if (at >= text.size() || text[at] != c)
            return false;
        ++at;
        return true;
    }
    std::optional<uint32_t> Hex4()
    {
        if (text.size() - at < 4)
            return std::nullopt;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(text[at++]);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + uint32_t(digit);
        }
        return value;
    }
    // A string, the opening quote not yet read.
    std::optional<std::string> String()
    {
        if (!Take('"'))
            return std::nullopt;
        std::string out;
        while (at < text.size()) {
            const char c = text[at++];
            if (c == '"')
                return out;
            if (uint8_t(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at >= text.size())
                return std::nullopt;
            const char e = text[at++];
            constexpr std::string_view Escaped = "\"\\/bfnrt", Meant = "\"\\/\b\f\n\r\t";
            if (const size_t k = Escaped.find(e); k != std::string_view::npos) {
                out += Meant[k];
                continue;
            }
            if (e != 'u')
                return std::nullopt;
            std::optional<uint32_t> code = Hex4();
            if (!code || (*code >= 0xDC00 && *code <= 0xDFFF))
                return std::nullopt;
            if (*code >= 0xD800 && *code <= 0xDBFF) {
                if (text.substr(at, 2) != "\\u")
                    return std::nullopt;
                at += 2;
                const std::optional<uint32_t> low = Hex4();
                if (!low || *low < 0xDC00 || *low > 0xDFFF)
                    return std::nullopt;
                code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
            }
            AppendUtf8(out, *code);
        }
        return std::nullopt;
    }
};

bool IsPlainName(std::string_view name)
{
    if (name.empty() || name.size() > FqbnPartLimit)
        return false;
    return std::all_of(name.begin(), name.end(), IsNameCharacter);
}

// True when every part of a local path after its drive is a name: none empty, "." or "..", which
// would lead elsewhere than the text says.
bool EveryPartNamed(std::string_view path)
{
    for (std::string_view rest = path.substr(std::min<size_t>(3, path.size())); !rest.empty();) {
        const size_t end = rest.find_first_of("\\/");
        const std::string_view part = rest.substr(0, end);
        if (part.empty() || part == "." || part == "..")
            return false;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return true;
}

}  // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> ParseFlatJsonObject(std::string_view json)
{
    if (json.size() > BuildOptionsByteLimit)
        return std::nullopt;
    if (json.substr(0, 3) == "\xEF\xBB\xBF")
        json.remove_prefix(3);
    JsonReader reader{ json };
    std::vector<std::pair<std::string, std::string>> members;
    if (!reader.Take('{'))
        return std::nullopt;
    if (!reader.Take('}')) {
        do {
            std::optional<std::string> key = reader.String();
            if (!key || !reader.Take(':'))
                return std::nullopt;
            std::optional<std::string> value = reader.String();
            if (!value)
                return std::nullopt;
            for (const auto& member : members)
                if (member.first == *key)
                    return std::nullopt;
            members.emplace_back(std::move(*key), std::move(*value));
        } while (reader.Take(','));
        if (!reader.Take('}'))
            return std::nullopt;
    }
    reader.SkipSpace();
    if (reader.at != json.size())
        return std::nullopt;
    return members;
}

std::optional<Fqbn> ParseFqbn(std::string_view text)
{
    const std::vector<std::string_view> parts = SplitAt(text, ':');
    if (parts.size() < 3 || parts.size() > 4 || !IsPlainName(parts[0]) || !IsPlainName(parts[1]) ||
        !IsPlainName(parts[2]))
        return std::nullopt;
    Fqbn fqbn{ std::string(parts[0]), std::string(parts[1]), std::string(parts[2]), {} };
    if (parts.size() == 4)
        for (std::string_view option : SplitAt(parts[3], ',')) {
            const size_t equals = option.find('=');
            if (equals == std::string_view::npos)
                return std::nullopt;
            const std::string_view menu = option.substr(0, equals), choice = option.substr(equals + 1);
            if (!IsPlainName(menu) || !IsPlainName(choice))
                return std::nullopt;
            for (const auto& given : fqbn.options)
                if (given.first == menu)
                    return std::nullopt;
            fqbn.options.emplace_back(menu, choice);
        }
    return fqbn;
}

std::optional<BuildOptions> ReadBuildOptions(std::string_view json)
{
    const auto members = ParseFlatJsonObject(json);
    if (!members)
        return std::nullopt;
    std::optional<Fqbn> fqbn;
    BuildOptions options;
    for (const auto& [key, value] : *members) {
        if (key == "fqbn")
            fqbn = ParseFqbn(value);
        else if (key == "hardwareFolders")
            for (std::string_view folder : SplitAt(value, ',')) {
                if (folder.size() > HardwareFolderLimit || !IsLocalFolderText(folder) ||
                    options.hardwareFolders.size() >= HardwareFolderCountLimit)
                    continue;
                folder = folder.substr(0, folder.find_last_not_of("\\/") + 1);
                if (EveryPartNamed(folder) && std::none_of(options.hardwareFolders.begin(), options.hardwareFolders.end(),
                                 [&](const std::string& f) { return SameIgnoringCase(f, folder); }))
                    options.hardwareFolders.emplace_back(folder);
            }
        else if (key == "sketchLocation" && value.size() <= HardwareFolderLimit && IsLocalFolderText(value) &&
                 EveryPartNamed(value))
            options.sketchLocation = value;
    }
    if (!fqbn)
        return std::nullopt;
    options.fqbn = std::move(*fqbn);
    return options;
}

