#include "analyzer/ToolFolders.h"

#include <algorithm>

#include "base/IdeFiles.h"
#include "base/Text.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int Sign(int n) { return (n > 0) - (n < 0); }

size_t DigitRunEnd(std::string_view text, size_t from)
{
    while (from < text.size() && IsDigit(text[from]))
        ++from;
    return from;
}

// Two runs of digits as numbers of any length: leading zeros don't count, and of two numbers with
// no leading zeros the one with more digits is the larger, so nothing is converted and nothing can
// overflow.
int CompareDigitRuns(std::string_view a, std::string_view b)
{
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return Sign(a.compare(b));
}

// Text in which digit runs compare as numbers and everything else byte by byte ("arduino10" after
// "arduino7"); a text that runs out first is the smaller.
int CompareNatural(std::string_view a, std::string_view b)
{
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const size_t iEnd = DigitRunEnd(a, i);
            const size_t jEnd = DigitRunEnd(b, j);
            if (const int c = CompareDigitRuns(a.substr(i, iEnd - i), b.substr(j, jEnd - j)))
                return c;
            i = iEnd;
            j = jEnd;
        } else if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
        } else {
            ++i;
            ++j;
        }
    }
    return int(i < a.size()) - int(j < b.size());
}

// A name's leading dotted number, split into its numbers, and the rest of the name.
struct SplitVersion {
    std::vector<std::string_view> numbers;
    std::string_view rest;
};

SplitVersion SplitName(std::string_view name)
{
    SplitVersion split;
    size_t i = 0;
    for (;;) {
        const size_t end = DigitRunEnd(name, i);
        if (end == i)
            break;
        split.numbers.push_back(name.substr(i, end - i));
        i = end;
        if (i + 1 < name.size() && name[i] == '.' && IsDigit(name[i + 1]))
            ++i;
        else
            break;
    }
    split.rest = name.substr(i);
    return split;
}

// Text that PATH can hold as one entry: ';' would split it and '"' would quote what follows.
bool FitsPathEntry(std::string_view text)
{
    return std::none_of(text.begin(), text.end(), [](char c) { return IsControlCharacter(c) || c == ';' || c == '"'; });
}

// Folders on Windows ignore case: one folder written twice is searched once.
void AppendUnlessListed(std::vector<std::string>& list, std::string folder)
{
    if (std::none_of(list.begin(), list.end(), [&](const std::string& f) { return SameIgnoringCase(f, folder); }))
        list.push_back(std::move(folder));
}

constexpr std::string_view AvrGccBelowData = "packages\\arduino\\tools\\avr-gcc";

}  // namespace

int CompareToolVersions(std::string_view a, std::string_view b)
{
    const SplitVersion x = SplitName(a);
    const SplitVersion y = SplitName(b);
    if (x.numbers.empty() != y.numbers.empty())
        return x.numbers.empty() ? -1 : 1;
    for (size_t k = 0; k < std::max(x.numbers.size(), y.numbers.size()); ++k) {
        const std::string_view m = k < x.numbers.size() ? x.numbers[k] : "0";
        const std::string_view n = k < y.numbers.size() ? y.numbers[k] : "0";
        if (const int c = CompareDigitRuns(m, n))
            return c;
    }
    if (const int c = CompareNatural(x.rest, y.rest))
        return c;
    // Equal as versions ("7.3" and "7.3.0", "07" and "7"): the text decides, so that the order
    // never depends on the order the folders were listed in.
    return Sign(a.compare(b));
}

std::vector<std::string> PathFolders(std::string_view pathValue)
{
    std::vector<std::string> folders;
    std::string folder;
    bool quoted = false;
    for (char c : pathValue) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            if (!folder.empty())
                folders.push_back(std::move(folder));
            folder.clear();
        } else {
            folder += c;
        }
    }
    if (!folder.empty())
        folders.push_back(std::move(folder));
    return folders;
}

std::vector<std::string> SearchedPathFolders(std::string_view pathValue)
{
    std::vector<std::string> folders;
    for (std::string& folder : PathFolders(pathValue)) {
        const bool onDrive = StartsWithDrive(folder);
        const bool onShare = folder.size() >= 3 && folder[0] == '\\' && folder[1] == '\\' && folder[2] != '\\';
        if (!(onDrive || onShare) || std::any_of(folder.begin(), folder.end(), IsControlCharacter))
            continue;
        while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
            folder.pop_back();
        folders.push_back(std::move(folder));
    }
    return folders;
}

std::vector<std::string> PathExtensions(std::string_view pathExtValue)
{
    std::vector<std::string> extensions;
    size_t from = 0;
    for (size_t end = 0; end != std::string_view::npos; from = end + 1) {
        end = pathExtValue.find(';', from);
        std::string_view part = pathExtValue.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ')
            part.remove_suffix(1);
        if (part.empty() || std::any_of(part.begin(), part.end(), [](char c) { return IsControlCharacter(c) || c == '\\' || c == '/'; }))
            continue;
        std::string extension = part.front() == '.' ? std::string(part) : "." + std::string(part);
        extensions.push_back(std::move(extension));
    }
    if (extensions.empty())
        extensions = { ".COM", ".EXE", ".BAT", ".CMD" };
    return extensions;
}

bool IsExeExtension(std::string_view extension)
{
    return SameIgnoringCase(extension, ".exe");
}

std::optional<std::string> SearchableFolder(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    if (!IsLocalFolderText(text) || !FitsPathEntry(text))
        return std::nullopt;
    std::string folder;
    for (char c : text) {
        const bool separator = c == '\\' || c == '/';
        if (!separator || folder.empty() || folder.back() != '\\')
            folder += separator ? '\\' : c;
    }
    if (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

std::optional<std::string> ProgramFolder(std::string_view command)
{
    while (!command.empty() && (command.front() == ' ' || command.front() == '\t'))
        command.remove_prefix(1);
    std::string_view program = command;
    if (!command.empty() && command.front() == '"') {
        const size_t close = command.find('"', 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        program = command.substr(1, close - 1);
    } else {
        // An unquoted program path may hold spaces ("C:\Program Files\..."): it ends with ".exe".
        for (size_t i = 0; i + 4 <= command.size(); ++i)
            if (SameIgnoringCase(command.substr(i, 4), ".exe")) {
                program = command.substr(0, i + 4);
                break;
            }
    }
    const size_t slash = program.find_last_of("\\/");
    if (slash == std::string_view::npos)
        return std::nullopt;
    return SearchableFolder(program.substr(0, slash + 1));
}

std::vector<std::string> AvrGccFolders(std::string_view localAppData, std::string_view documents,
                                       const std::optional<std::string>& cliDataValue)
{
    std::vector<std::string> dataFolders;
    if (!localAppData.empty())
        dataFolders.push_back(Joined(localAppData, "Arduino15"));
    if (!documents.empty())
        dataFolders.push_back(Joined(documents, "ArduinoData"));
    if (cliDataValue)
        if (std::optional<std::string> folder = SearchableFolder(*cliDataValue))
            dataFolders.push_back(std::move(*folder));
    std::vector<std::string> folders;
    for (const std::string& data : dataFolders)
        AppendUnlessListed(folders, Joined(data, AvrGccBelowData));
    return folders;
}

std::vector<std::string> BoardsManagerToolFolders(const std::vector<VersionFolders>& found)
{
    struct Candidate {
        std::string_view name;
        const std::string* avrGccFolder;
    };
    std::vector<Candidate> candidates;
    for (const VersionFolders& f : found)
        for (const std::string& name : f.names)
            if (name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos)
                candidates.push_back({ name, &f.avrGccFolder });
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return CompareToolVersions(a.name, b.name) > 0; });
    std::vector<std::string> folders;
    for (const Candidate& c : candidates) {
        std::string bin = Joined(Joined(*c.avrGccFolder, c.name), "bin");
        if (FitsPathEntry(bin))
            folders.push_back(std::move(bin));
    }
    return folders;
}

std::vector<std::string> IdeToolFolders(const std::vector<std::string>& ideFolders)
{
    std::vector<std::string> folders;
    for (const std::string& ide : ideFolders)
        if (const std::optional<std::string> folder = SearchableFolder(ide))
            AppendUnlessListed(folders, Joined(*folder, "hardware\\tools\\avr\\bin"));
    return folders;
}
