// base/KeptBuilds.h: the rules of the folder of kept copies of builds' .elf files (KeptBuildStore.h):
// which sketch a build is of, the copies' names, what to remove, a build's previous copy, and the
// record that binds a copy's tool reports to its bytes. Pure functions.
//
// A copy is named <sketch>-<hash>-<sequence>.elf: the .hex name's first KeptSketchCharacters name
// characters ('.' made '_'), a hash of the sketch's own path from build.options.json (else of the
// .hex path), and a sequence that counts up over the folder. No build's name can make a copy's name
// leave the folder or name a stream or a device, and every name written reads back. Beside a copy
// stand only its companions: the raw reports of a tool run on it (".size", ".map") while it lasts,
// and its analysis record (".analysis").
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t KeptPerSketch = 2;
constexpr size_t KeptFileLimit = 64;
constexpr uint64_t KeptByteLimit = uint64_t(64) << 20;
constexpr size_t KeptSketchCharacters = 48;
// The largest .elf kept: the .elf reader's cap (analyzer/ElfImage.h).
constexpr uint64_t KeptElfByteLimit = uint64_t(16) << 20;
// The highest sequence a name carries (18 digits); a folder that holds it is numbered anew.
constexpr uint64_t KeptSequenceLimit = 999'999'999'999'999'999ull;
// The most bytes of one report in an analysis record, as the analyzer reads a report.
constexpr size_t KeptReportByteLimit = size_t(64) << 20;

// A file of the folder; a copy's write time is the build's own (file-time units).
struct KeptFile {
    std::string name;
    uint64_t size = 0;
    uint64_t writeTime = 0;
};

// A copy's name read: the sketch part ("Blink_ino_hex-1a2b3c4d") and the sequence. nullopt for a
// name the agent does not make, which it leaves alone.
struct KeptName {
    std::string sketch;
    uint64_t sequence = 0;
};
std::optional<KeptName> ParseKeptBuildName(std::string_view fileName);

// The sketch part of the kept copies of the build whose .elf path is given, with the bytes of its
// folder's build.options.json ("" when there is none).
std::string KeptSketchKey(std::string_view elfPath, std::string_view buildOptionsJson);

// The next copy's name: the sketch part and one more than the highest sequence in the folder.
std::string NextKeptBuildName(std::string_view sketchKey, const std::vector<KeptFile>& kept);

// When a copy has KeptSequenceLimit: the renames (old, new) of copies and companions that number
// the copies 1, 2, ... in their order. Empty otherwise.
std::vector<std::pair<std::string, std::string>> KeptRenumbering(const std::vector<KeptFile>& files);

// True for the names of the folder the agent makes: copies, their companions and writing files.
bool IsKeptFileName(std::string_view name);

// The name a file is written under before it is renamed to its own: no copy's name holds a part.
std::string KeptWritingName(std::string_view copyName);
// A copy's analysis record.
std::string KeptAnalysisName(std::string_view copyName);

// The files to remove, oldest copy first: all but the newest KeptPerSketch copies of each sketch,
// then the oldest until at most KeptFileLimit copies of at most KeptByteLimit bytes remain; then the
// companions of those and of copies not there, and writing files. Other names are left alone.
std::vector<std::string> KeptFilesToRemove(const std::vector<KeptFile>& files);

// The .hex name of a build's .elf path (less its last 4 characters, + ".hex", as the watcher has it).
std::string HexFileNameOfElf(std::string_view elfPath);

// The kept copy that is the previous build of a build analysed where the IDE left it (of the sketch
// part sketchKey, last written at analysedWriteTime): when one of the sketch's kept copies holds the
// same bytes (sameBytes is asked of them newest first, and the first that says so is the analysed
// build's own copy), the copy kept before that one; when none does, the analysed build was not kept
// (yet), and its previous build is the newest copy of the sketch written before it. nullopt when
// there is none.
std::optional<std::string> PreviousOfAnalysedBuild(const std::vector<KeptFile>& kept, std::string_view sketchKey,
                                                   uint64_t analysedWriteTime,
                                                   const std::function<bool(const KeptFile&)>& sameBytes);

// The tool reports of one build, as the tools wrote them.
struct KeptReports {
    std::string size;
    std::string symbols;
};
// A copy's analysis record: a line with the version, the copy's size and hash and the reports'
// sizes, then both reports.
std::string AnalysisRecord(std::string_view copyBytes, const KeptReports& reports);
// The reports of a whole record of exactly copyBytes; nullopt for anything else.
std::optional<KeptReports> ReportsOfRecord(std::string_view record, std::string_view copyBytes);
