#include "analyzer/BoardFiles.h"

#include <algorithm>

#include "analyzer/ToolFolders.h"
#include "base/Text.h"


namespace {

// The most menus of a board that count: a real board has a few; a file with thousands must not
// cost a pass over its lines for each.
constexpr size_t MenuLimit = 16;

// A maximum: plain decimal digits of a value from 1 to the largest 32-bit one.
std::optional<uint32_t> DecimalValue(std::string_view text)
{
    const std::optional<uint64_t> value = text.size() <= 10 ? DecimalNumber(text) : std::nullopt;
    if (!value || *value == 0 || *value > UINT32_MAX)
        return std::nullopt;
    return uint32_t(*value);
}

std::string_view TrimmedView(std::string_view text)
{
    return Trimmed(text, " \t\r");
}

}  // namespace

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
    for (const std::string& name : names) {
        const std::vector<std::string_view> parts = SplitAt(name, '.');
        const bool plain = name.size() <= FqbnPartLimit && std::all_of(parts.begin(), parts.end(), [](std::string_view part) {
            return !part.empty() && part.size() <= 9 && part.find_first_not_of("0123456789") == std::string_view::npos;
        });
        if (plain && (!newest || CompareToolVersions(name, *newest) > 0))
            newest = name;
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
    for (std::string_view line : SplitAt(boardsTxt, '\n')) {
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
        const std::vector<std::string_view> parts = SplitAt(key.substr(menuPrefix.size()), '.');
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
