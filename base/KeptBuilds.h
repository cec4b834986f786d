// base/KeptBuilds.h: the rules of the folder where the agent keeps copies of builds' .elf files, so
// that a build can be compared with the one before it after the IDE has overwritten or removed its
// build folder: which sketch a build is of, the kept copy's file name, which files to remove, which
// copy is a build's previous one, and the record that binds a copy's tool reports to its bytes. Pure
// functions: the folder is listed, read and written by base/KeptBuildStore.
//
// A kept copy is named <sketch>-<hash>-<sequence>.elf. The sketch part is the .hex file's name (which
// the build chose, so only its name characters are kept, each '.' made a '_', from its first
// KeptSketchCharacters characters) and a hash of what names the sketch: the sketch's own path as the
// build folder's build.options.json gives it, so that the build folder of a new IDE session still
// finds the sketch's earlier builds, or else the build's .hex path. The sequence counts up over the
// folder. No part of a build's name can make the copy's name leave the folder, name a stream or a
// device, and every name written is one that ParseKeptBuildName reads back.
//
// Beside a copy stand only its companions, named after it: the raw reports of a tool run on it
// (".size", ".map") while the run lasts, and its analysis record (".analysis"), which holds both
// reports of a whole run together with the size and hash of the bytes they are of.
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
// The largest .elf that is kept: the same cap as the .elf reader's (analyzer/ElfImage.h), so that
// every kept copy can be read whole.
constexpr uint64_t KeptElfByteLimit = uint64_t(16) << 20;
// The highest sequence a name may carry: 18 digits. Once a folder holds it, the copies are numbered
// again from 1 (KeptRenumbering).
constexpr uint64_t KeptSequenceLimit = 999'999'999'999'999'999ull;
// The most bytes of one report in an analysis record, as the analyzer reads a report.
constexpr size_t KeptReportByteLimit = size_t(64) << 20;

// A file found in the folder: its name, size and last-write time (file-time units: for a copy, the
// build's own time).
struct KeptFile {
    std::string name;
    uint64_t size = 0;
    uint64_t writeTime = 0;
};

// What a kept copy's name says: the sketch part ("Blink_ino_hex-1a2b3c4d") and the sequence. nullopt
// for a name the agent does not make (which it then leaves alone).
struct KeptName {
    std::string sketch;
    uint64_t sequence = 0;
};
std::optional<KeptName> ParseKeptBuildName(std::string_view fileName);

// The sketch part of the kept copies of the build whose .elf path is given, with the bytes of its
// folder's build.options.json ("" when there is none).
std::string KeptSketchKey(std::string_view elfPath, std::string_view buildOptionsJson);

// The name of the next kept copy of a sketch: its sketch part and one more than the highest sequence
// in the folder, which KeptRenumbering keeps below KeptSequenceLimit.
std::string NextKeptBuildName(std::string_view sketchKey, const std::vector<KeptFile>& kept);

// When the folder holds a copy with the highest sequence a name may carry: every copy and companion
// renamed (old name, new name) so that the copies are numbered 1, 2, ... in their order. Empty
// otherwise.
std::vector<std::pair<std::string, std::string>> KeptRenumbering(const std::vector<KeptFile>& files);

// The name of the file a copy is written to before it is renamed to its own name: a copy that was not
// written whole never stands under a copy's name.
std::string KeptWritingName(std::string_view copyName);
// The companions of a copy: the raw reports of a tool run on it and its analysis record.
std::string KeptSizeReportName(std::string_view copyName);
std::string KeptSymbolReportName(std::string_view copyName);
std::string KeptAnalysisName(std::string_view copyName);

// The files of the folder to remove, oldest copy first: all but the newest KeptPerSketch copies of
// each sketch, then the oldest of the rest until at most KeptFileLimit copies and KeptByteLimit bytes
// of copies remain; each with its companions; then the companions and writing files whose copy is
// not there. Names the agent does not make are neither counted nor removed.
std::vector<std::string> KeptFilesToRemove(const std::vector<KeptFile>& files);

// The .hex file name of the build whose .elf path is given (the .elf less its last 4 characters +
// ".hex", as the watcher derives the .elf from the .hex).
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
// The analysis record of a copy whose bytes are copyBytes: a header line with the record's version,
// the copy's size and hash and the two reports' sizes, then both reports.
std::string AnalysisRecord(std::string_view copyBytes, const KeptReports& reports);
// The reports in a record, when it is one of a copy of exactly copyBytes (size and hash) and whole;
// nullopt for a record of other bytes, a cut one or anything else.
std::optional<KeptReports> ReportsOfRecord(std::string_view record, std::string_view copyBytes);
