#include "analyzer/BoardFiles.h"

#include "base/Text.h"


namespace {

bool IsJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
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
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return false;
    return true;
}

// An absolute path on a drive whose every part is a name: not empty, not "." or "..", no ':' (which
// would name a stream of a file). Trailing separators are allowed.
bool IsDriveFolder(std::string_view path)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() < 3 || path.size() > HardwareFolderLimit || !isLetter(path[0]) || path[1] != ':' ||
        (path[2] != '\\' && path[2] != '/') || HasControlCharacter(path))
        return false;
    std::string_view rest = path.substr(3);
    while (!rest.empty() && (rest.back() == '\\' || rest.back() == '/'))
        rest.remove_suffix(1);
    while (!rest.empty()) {
        const size_t end = rest.find_first_of("\\/");
        const std::string_view part = rest.substr(0, end);
        if (part.empty() || part == "." || part == ".." || part.find(':') != std::string_view::npos)
            return false;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char delimiter)
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

// The most menus of a board that count: a real board has a few; a file with thousands must not
// cost a pass over its lines for each.
constexpr size_t MenuLimit = 16;

std::optional<uint32_t> DecimalValue(std::string_view text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value == 0 || value > UINT32_MAX)
        return std::nullopt;
    return uint32_t(value);
}

std::string_view TrimmedView(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
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
    const std::vector<std::string_view> parts = Split(text, ':');
    if (parts.size() < 3 || parts.size() > 4 || !IsPlainName(parts[0]) || !IsPlainName(parts[1]) ||
        !IsPlainName(parts[2]))
        return std::nullopt;
    Fqbn fqbn{ std::string(parts[0]), std::string(parts[1]), std::string(parts[2]), {} };
    if (parts.size() == 4)
        for (std::string_view option : Split(parts[3], ',')) {
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
            for (std::string_view folder : Split(value, ','))
                if (IsDriveFolder(folder)) {
                    while (folder.back() == '\\' || folder.back() == '/')
                        folder.remove_suffix(1);
                    options.hardwareFolders.emplace_back(folder);
                }
    }
    if (!fqbn)
        return std::nullopt;
    options.fqbn = std::move(*fqbn);
    return options;
}

std::vector<std::string> BoardsFileCandidates(const BuildOptions& options)
{
    std::vector<std::string> paths;
    for (const std::string& folder : options.hardwareFolders)
        paths.push_back(folder + "\\" + options.fqbn.vendor + "\\" + options.fqbn.arch + "\\boards.txt");
    return paths;
}

std::vector<std::string> PackagedPlatformFolders(const BuildOptions& options)
{
    std::vector<std::string> paths;
    for (const std::string& folder : options.hardwareFolders)
        paths.push_back(folder + "\\" + options.fqbn.vendor + "\\hardware\\" + options.fqbn.arch + "\\");
    return paths;
}

std::optional<std::string> NewestVersionName(const std::vector<std::string>& names)
{
    std::optional<std::string> newest;
    std::vector<uint64_t> newestParts;
    for (const std::string& name : names) {
        std::vector<uint64_t> parts;
        bool plain = name.size() <= FqbnPartLimit;
        for (std::string_view part : Split(name, '.')) {
            if (!plain || part.empty() || part.size() > 9 || part.find_first_not_of("0123456789") != std::string_view::npos) {
                plain = false;
                break;
            }
            parts.push_back(std::stoull(std::string(part)));
        }
        if (plain && (!newest || parts > newestParts)) {
            newest = name;
            newestParts = std::move(parts);
        }
    }
    return newest;
}

std::optional<BoardMaxima> ReadBoardMaxima(std::string_view boardsTxt, const Fqbn& fqbn)
{
    if (boardsTxt.size() > BoardsFileByteLimit)
        return std::nullopt;
    const std::string board = fqbn.board + ".";
    const std::string menuPrefix = board + "menu.";
    // The chosen option of every menu the board has, in the file's order.
    std::vector<std::pair<std::string, std::string>> chosen;
    std::vector<std::pair<std::string_view, std::string_view>> lines;
    bool named = false;
    for (std::string_view line : Split(boardsTxt, '\n')) {
        line = TrimmedView(line);
        const size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos)
            continue;
        const std::string_view key = TrimmedView(line.substr(0, equals));
        const std::string_view value = TrimmedView(line.substr(equals + 1));
        if (key.substr(0, board.size()) != board)
            continue;
        named = true;
        lines.emplace_back(key, value);
        if (key.substr(0, menuPrefix.size()) != menuPrefix)
            continue;
        const std::vector<std::string_view> parts = Split(key.substr(menuPrefix.size()), '.');
        if (parts.size() != 2)
            continue;   // board.menu.<menu>.<option>=<the option's title> names an option
        bool known = false;
        for (const auto& menu : chosen)
            known = known || menu.first == parts[0];
        if (!known && chosen.size() < MenuLimit) {
            std::string option(parts[1]);
            for (const auto& given : fqbn.options)
                if (given.first == parts[0])
                    option = given.second;
            chosen.emplace_back(std::string(parts[0]), std::move(option));
        }
    }
    if (!named)
        return std::nullopt;

    // The value of board.<key>, overridden by the chosen options' board.menu.<menu>.<option>.<key>
    // (the last menu of the file winning when two set it); the last line of a key counts.
    const auto value = [&](std::string_view key) {
        const std::string own = board + std::string(key);
        std::vector<std::string> overriding;
        for (const auto& [menu, option] : chosen)
            overriding.push_back(menuPrefix + menu + "." + option + "." + std::string(key));
        std::optional<std::string_view> found;
        for (const auto& line : lines)
            if (line.first == own)
                found = line.second;
        for (const std::string& menuKey : overriding)
            for (const auto& line : lines)
                if (line.first == menuKey)
                    found = line.second;
        return found;
    };
    BoardMaxima maxima;
    if (const auto name = value("name"); name && !HasControlCharacter(*name))
        maxima.name = std::string(name->substr(0, BoardNameLimit));
    if (const auto program = value("upload.maximum_size"))
        maxima.programBytes = DecimalValue(*program);
    if (const auto data = value("upload.maximum_data_size"))
        maxima.dataBytes = DecimalValue(*data);
    return maxima;
}
