// base/KeptBuilds.h: the decisions about the copies of builds' .elf files that the agent keeps
// in a folder of its own, so that a build can be compared with the one before it after the IDE has
// overwritten its build folder: the kept copy's file name, which copies to remove, and which copy is
// a build's previous one. Pure functions: the folder is listed and the files copied by the caller.
//
// A kept copy is named <sketch>-<hash>-<sequence>.elf: the sketch is the .hex file's name (which the
// build chose, so only its letters, digits, '_' and '-' are kept, each '.' made a '_', from its first
// KeptSketchCharacters characters), the hash (8 hexadecimal digits of the whole .hex name) keeps two sketches apart whose
// names read alike once cleaned, and the sequence counts up over the folder. No part of a build's
// name can make the copy's name leave the folder, name a stream or a device.
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

// A file found in the folder: its name and size.
struct KeptFile {
    std::string name;
    uint64_t size = 0;
    uint64_t writeTime = 0;   // the file's last-write time (file-time units): the build's own time
};

// What a kept copy's name says: the sketch part ("Blink_ino_hex-1a2b3c4d") and the sequence. nullopt
// for a name the agent does not make (which it then leaves alone).
struct KeptName {
    std::string sketch;
    uint64_t sequence = 0;
};
std::optional<KeptName> ParseKeptBuildName(std::string_view fileName);

// The sketch part of the kept copies of the build whose .hex file name is given.
std::string KeptSketchKey(std::string_view hexFileName);

// The name of the next kept copy of a build: its sketch part and one more than the highest
// sequence in the folder.
std::string NextKeptBuildName(std::string_view hexFileName, const std::vector<KeptFile>& kept);

// The kept copies to remove, oldest (lowest sequence) first: all but the newest KeptPerSketch of
// each sketch, then the oldest of the rest until at most KeptFileLimit files and KeptByteLimit bytes
// remain. Names the agent does not make are neither counted nor removed.
std::vector<std::string> KeptBuildsToRemove(const std::vector<KeptFile>& kept);

// The kept copy that is the previous build of the one kept as currentName: the newest of the same
// sketch with a lower sequence; nullopt when there is none or currentName is not a kept name.
std::optional<std::string> PreviousKeptBuild(const std::vector<KeptFile>& kept, std::string_view currentName);

// The .hex file name of the build whose .elf path is given (the .elf less its last 4 characters +
// ".hex", as the watcher derives the .elf from the .hex), so that the watcher and the analyzer find
// the same sketch part for one build.
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
