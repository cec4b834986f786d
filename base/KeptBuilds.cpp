#include "base/KeptBuilds.h"

#include <algorithm>
#include <map>

#include "base/Text.h"


namespace {

constexpr std::string_view KeptSuffix = ".elf";
constexpr size_t HashDigits = 8;
constexpr size_t SequenceDigitLimit = 18;   // the next sequence still fits a signed 64-bit value

bool IsKeptCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// FNV-1a over the bytes: a small, fixed hash that is the same on every run and every machine.
uint32_t NameHash(std::string_view text)
{
    uint32_t hash = 2166136261u;
    for (char c : text)
        hash = (hash ^ uint8_t(c)) * 16777619u;
    return hash;
}

struct Parsed {
    const KeptFile* file;
    KeptName name;
};

std::vector<Parsed> ParsedKept(const std::vector<KeptFile>& kept)
{
    std::vector<Parsed> parsed;
    for (const KeptFile& file : kept)
        if (std::optional<KeptName> name = ParseKeptBuildName(file.name))
            parsed.push_back({ &file, std::move(*name) });
    std::sort(parsed.begin(), parsed.end(), [](const Parsed& a, const Parsed& b) {
        return a.name.sequence < b.name.sequence || (a.name.sequence == b.name.sequence && a.file->name < b.file->name);
    });
    return parsed;
}

}  // namespace

std::string KeptSketchKey(std::string_view hexFileName)
{
    std::string key;
    // A dot becomes '_': with no dot before the hash, no name reads as a device such as CON.hex.
    for (char c : hexFileName.substr(0, KeptSketchCharacters))
        if (IsKeptCharacter(c) || c == '.')
            key += c == '.' ? '_' : c;
    static constexpr char Digits[] = "0123456789abcdef";
    const uint32_t hash = NameHash(hexFileName);
    key += '-';
    for (int shift = 28; shift >= 0; shift -= 4)
        key += Digits[(hash >> shift) & 0xF];
    return key;
}

std::optional<KeptName> ParseKeptBuildName(std::string_view fileName)
{
    if (fileName.size() <= KeptSuffix.size() || fileName.substr(fileName.size() - KeptSuffix.size()) != KeptSuffix)
        return std::nullopt;
    const std::string_view stem = fileName.substr(0, fileName.size() - KeptSuffix.size());
    const size_t dash = stem.rfind('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const std::string_view sketch = stem.substr(0, dash), digits = stem.substr(dash + 1);
    if (digits.empty() || digits.size() > SequenceDigitLimit ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    // The sketch part: kept characters, a dash and the hash's lowercase hexadecimal digits.
    if (sketch.size() <= HashDigits || sketch.size() > KeptSketchCharacters + 1 + HashDigits ||
        sketch[sketch.size() - HashDigits - 1] != '-' ||
        sketch.substr(sketch.size() - HashDigits).find_first_not_of("0123456789abcdef") != std::string_view::npos ||
        !std::all_of(sketch.begin(), sketch.end(), IsKeptCharacter))
        return std::nullopt;
    KeptName name{ std::string(sketch), 0 };
    for (char c : digits)
        name.sequence = name.sequence * 10 + uint64_t(c - '0');
    return name;
}

std::string NextKeptBuildName(std::string_view hexFileName, const std::vector<KeptFile>& kept)
{
    uint64_t highest = 0;
    for (const KeptFile& file : kept)
        if (const auto name = ParseKeptBuildName(file.name))
            highest = std::max(highest, name->sequence);
    return KeptSketchKey(hexFileName) + "-" + DecimalText(int64_t(highest + 1)) + std::string(KeptSuffix);
}

std::vector<std::string> KeptBuildsToRemove(const std::vector<KeptFile>& kept)
{
    const std::vector<Parsed> parsed = ParsedKept(kept);
    // Newest first, the newest KeptPerSketch of each sketch stay for now.
    std::map<std::string, size_t> seen;
    std::vector<bool> removed(parsed.size(), false);
    for (size_t i = parsed.size(); i-- > 0;)
        removed[i] = ++seen[parsed[i].name.sketch] > KeptPerSketch;

    size_t files = 0;
    uint64_t bytes = 0;
    for (size_t i = 0; i < parsed.size(); ++i)
        if (!removed[i]) {
            ++files;
            bytes += std::min(parsed[i].file->size, KeptByteLimit + 1);
        }
    for (size_t i = 0; i < parsed.size() && (files > KeptFileLimit || bytes > KeptByteLimit); ++i)
        if (!removed[i]) {
            removed[i] = true;
            --files;
            bytes -= std::min(parsed[i].file->size, KeptByteLimit + 1);
        }

    std::vector<std::string> names;
    for (size_t i = 0; i < parsed.size(); ++i)
        if (removed[i])
            names.push_back(parsed[i].file->name);
    return names;
}

std::optional<std::string> PreviousKeptBuild(const std::vector<KeptFile>& kept, std::string_view currentName)
{
    const std::optional<KeptName> current = ParseKeptBuildName(currentName);
    if (!current)
        return std::nullopt;
    std::optional<std::string> previous;
    for (const Parsed& p : ParsedKept(kept))
        if (p.name.sketch == current->sketch && p.name.sequence < current->sequence)
            previous = p.file->name;
    return previous;
}

std::string HexFileNameOfElf(std::string_view elfPath)
{
    const size_t slash = elfPath.rfind('\\');
    const std::string_view name = slash == std::string_view::npos ? elfPath : elfPath.substr(slash + 1);
    return std::string(name.substr(0, name.size() >= 4 ? name.size() - 4 : 0)) + ".hex";
}

std::optional<std::string> PreviousOfAnalysedBuild(const std::vector<KeptFile>& kept, std::string_view sketchKey,
                                                   uint64_t analysedWriteTime,
                                                   const std::function<bool(const KeptFile&)>& sameBytes)
{
    std::vector<Parsed> ofSketch;
    for (const Parsed& p : ParsedKept(kept))
        if (p.name.sketch == sketchKey)
            ofSketch.push_back(p);
    for (size_t i = ofSketch.size(); i-- > 0;)
        if (sameBytes(*ofSketch[i].file))
            return i > 0 ? std::optional<std::string>(ofSketch[i - 1].file->name) : std::nullopt;
    for (size_t i = ofSketch.size(); i-- > 0;)
        if (ofSketch[i].file->writeTime < analysedWriteTime)
            return ofSketch[i].file->name;
    return std::nullopt;
}
