#include "base/KeptBuilds.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/BuildOptions.h"
#include "base/Text.h"


namespace {

constexpr std::string_view KeptSuffix = ".elf";
constexpr std::string_view WritingSuffix = ".tmp";
constexpr std::string_view CompanionSuffixes[] = { ".size", ".map", ".analysis", ".analysis.tmp" };
constexpr size_t HashDigits = 8;
constexpr size_t SequenceDigitLimit = 18;
constexpr std::string_view RecordMark = "kevra+ analysis 1";

struct Parsed {
    const KeptFile* file;
    KeptName name;
};

// The copies among the files, oldest (lowest sequence) first.
std::vector<Parsed> ParsedKept(const std::vector<KeptFile>& files)
{
    std::vector<Parsed> parsed;
    for (const KeptFile& file : files)
        if (std::optional<KeptName> name = ParseKeptBuildName(file.name))
            parsed.push_back({ &file, std::move(*name) });
    std::sort(parsed.begin(), parsed.end(), [](const Parsed& a, const Parsed& b) {
        return a.name.sequence < b.name.sequence || (a.name.sequence == b.name.sequence && a.file->name < b.file->name);
    });
    return parsed;
}

std::string SequenceName(std::string_view sketch, uint64_t sequence)
{
    return std::string(sketch) + "-" + DecimalText(int64_t(sequence)) + std::string(KeptSuffix);
}

// The copy a companion or writing file belongs to, by its name; "" for any other name.
std::string OwnerOf(std::string_view name)
{
    for (std::string_view suffix : CompanionSuffixes)
        if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix &&
            ParseKeptBuildName(name.substr(0, name.size() - suffix.size())))
            return std::string(name.substr(0, name.size() - suffix.size()));
    return {};
}

}  // namespace

std::optional<KeptName> ParseKeptBuildName(std::string_view fileName)
{
    if (fileName.size() <= KeptSuffix.size() || fileName.substr(fileName.size() - KeptSuffix.size()) != KeptSuffix)
        return std::nullopt;
    const std::string_view stem = fileName.substr(0, fileName.size() - KeptSuffix.size());
    const size_t dash = stem.rfind('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const std::string_view sketch = stem.substr(0, dash), digits = stem.substr(dash + 1);
    const std::optional<uint64_t> sequence = digits.size() <= SequenceDigitLimit ? DecimalNumber(digits) : std::nullopt;
    // The sketch part: name characters, a dash and the hash's lowercase hexadecimal digits.
    if (!sequence || sketch.size() <= HashDigits || sketch.size() > KeptSketchCharacters + 1 + HashDigits ||
        sketch[sketch.size() - HashDigits - 1] != '-' ||
        sketch.substr(sketch.size() - HashDigits).find_first_not_of("0123456789abcdef") != std::string_view::npos ||
        !std::all_of(sketch.begin(), sketch.end(), IsNameCharacter))
        return std::nullopt;
    return KeptName{ std::string(sketch), *sequence };
}

std::string KeptSketchKey(std::string_view elfPath, std::string_view buildOptionsJson)
{
    const std::string hexName = HexFileNameOfElf(elfPath);
    // A dot becomes '_': with no dot before the hash, no name reads as a device such as CON.hex.
    std::string key;
    for (char c : std::string_view(hexName).substr(0, KeptSketchCharacters))
        if (IsNameCharacter(c) || c == '.')
            key += c == '.' ? '_' : c;
    // What names the sketch, in one case, as Windows compares paths.
    const std::optional<BuildOptions> options = ReadBuildOptions(buildOptionsJson);
    std::string identity = options && !options->sketchLocation.empty()
                               ? "sketch\n" + options->sketchLocation
                               : "build\n" + ParentFolder(elfPath) + hexName;
    std::transform(identity.begin(), identity.end(), identity.begin(), LowerAscii);
    return key + "-" + HexDigits(TextHash(identity), int(HashDigits));
}

std::string NextKeptBuildName(std::string_view sketchKey, const std::vector<KeptFile>& kept)
{
    uint64_t highest = 0;
    for (const KeptFile& file : kept)
        if (const auto name = ParseKeptBuildName(file.name))
            highest = std::max(highest, name->sequence);
    return SequenceName(sketchKey, std::min(highest + 1, KeptSequenceLimit));
}

std::vector<std::pair<std::string, std::string>> KeptRenumbering(const std::vector<KeptFile>& files)
{
    const std::vector<Parsed> parsed = ParsedKept(files);
    std::vector<std::pair<std::string, std::string>> renames;
    if (parsed.empty() || parsed.back().name.sequence < KeptSequenceLimit)
        return renames;
    std::set<std::string> present;
    for (const KeptFile& file : files)
        present.insert(file.name);
    for (size_t i = 0; i < parsed.size(); ++i) {
        const std::string& from = parsed[i].file->name;
        const std::string to = SequenceName(parsed[i].name.sketch, i + 1);
        if (from == to)
            continue;
        renames.emplace_back(from, to);
        for (std::string_view suffix : CompanionSuffixes)
            if (present.count(from + std::string(suffix)))
                renames.emplace_back(from + std::string(suffix), to + std::string(suffix));
    }
    return renames;
}

bool IsKeptFileName(std::string_view name)
{
    const bool writing = name.size() > WritingSuffix.size() && name.substr(name.size() - WritingSuffix.size()) == WritingSuffix;
    return ParseKeptBuildName(name) || !OwnerOf(name).empty() ||
           (writing && ParseKeptBuildName(name.substr(0, name.size() - WritingSuffix.size())));
}

std::string KeptWritingName(std::string_view copyName)
{
    return std::string(copyName) + std::string(WritingSuffix);
}

std::string KeptAnalysisName(std::string_view copyName) { return std::string(copyName) + ".analysis"; }

std::vector<std::string> KeptFilesToRemove(const std::vector<KeptFile>& files)
{
    const std::vector<Parsed> parsed = ParsedKept(files);
    // Newest first, the newest KeptPerSketch of each sketch stay for now.
    std::map<std::string, size_t> seen;
    std::vector<bool> removed(parsed.size(), false);
    for (size_t i = parsed.size(); i-- > 0;)
        removed[i] = ++seen[parsed[i].name.sketch] > KeptPerSketch;

    size_t count = 0;
    uint64_t bytes = 0;
    for (size_t i = 0; i < parsed.size(); ++i)
        if (!removed[i]) {
            ++count;
            bytes += std::min(parsed[i].file->size, KeptByteLimit + 1);
        }
    for (size_t i = 0; i < parsed.size() && (count > KeptFileLimit || bytes > KeptByteLimit); ++i)
        if (!removed[i]) {
            removed[i] = true;
            --count;
            bytes -= std::min(parsed[i].file->size, KeptByteLimit + 1);
        }

    std::vector<std::string> names;
    std::set<std::string> staying;
    for (size_t i = 0; i < parsed.size(); ++i)
        if (removed[i])
            names.push_back(parsed[i].file->name);
        else
            staying.insert(parsed[i].file->name);
    // A writing file is left only by a write that did not end: the copies are written one at a time.
    for (const KeptFile& file : files) {
        const std::string owner = OwnerOf(file.name);
        const bool writing = IsKeptFileName(file.name) && owner.empty() && !ParseKeptBuildName(file.name);
        if (writing || (!owner.empty() && !staying.count(owner)))
            names.push_back(file.name);
    }
    return names;
}

std::string HexFileNameOfElf(std::string_view elfPath)
{
    const std::string name = PathFileName(elfPath);
    return name.substr(0, name.size() >= 4 ? name.size() - 4 : 0) + ".hex";
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

std::string AnalysisRecord(std::string_view copyBytes, const KeptReports& reports)
{
    return std::string(RecordMark) + " " + DecimalText(int64_t(copyBytes.size())) + " " +
           HexDigits(TextHash(copyBytes), 16) + " " + DecimalText(int64_t(reports.size.size())) + " " +
           DecimalText(int64_t(reports.symbols.size())) + "\n" + reports.size + reports.symbols;
}

std::optional<KeptReports> ReportsOfRecord(std::string_view record, std::string_view copyBytes)
{
    const size_t lineEnd = record.substr(0, 128).find('\n');
    if (lineEnd == std::string_view::npos)
        return std::nullopt;
    const std::vector<std::string_view> fields = SplitAt(record.substr(0, lineEnd), ' ');
    if (fields.size() != 7 || record.substr(0, RecordMark.size()) != RecordMark ||
        DecimalNumber(fields[3]) != copyBytes.size() || fields[4] != HexDigits(TextHash(copyBytes), 16))
        return std::nullopt;
    const std::optional<uint64_t> sizeBytes = DecimalNumber(fields[5]), symbolBytes = DecimalNumber(fields[6]);
    const std::string_view body = record.substr(lineEnd + 1);
    if (!sizeBytes || !symbolBytes || *sizeBytes > KeptReportByteLimit || *symbolBytes > KeptReportByteLimit ||
        body.size() != *sizeBytes + *symbolBytes)
        return std::nullopt;
    return KeptReports{ std::string(body.substr(0, size_t(*sizeBytes))), std::string(body.substr(size_t(*sizeBytes))) };
}
