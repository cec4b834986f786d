// base/KeptBuildStore.h: the folder of kept builds on disk (its rules: KeptBuilds.h), the only code
// that touches it. The watcher alone writes copies and prunes; the user-interface thread reads
// copies and writes a copy's reports and record. Files are renamed into place whole; a prune between
// a listing and a read fails the read, which shows as no earlier build.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/KeptBuilds.h"

// LocalAppDataFolder + "kevra+\builds\"; "" when the shell gives no local application-data folder.
std::string KeptBuildsFolder();

// A kept copy as read.
struct KeptCopy {
    std::string path;
    std::string bytes;
    uint64_t writeTime = 0;
};

// Keeps a copy of the build's .elf (a plain file of at most KeptElfByteLimit bytes) with its write
// time, unless the sketch's newest copy holds its bytes; then removes what KeptFilesToRemove names.
// The watcher's thread: no tool run, no wait.
void KeepBuildCopy(const std::string& elfPath);

// The previous build's copy of the build analysed at elfPath, from what the analysis read then.
std::optional<KeptCopy> PreviousKeptCopy(const std::string& elfPath, std::string_view elfBytes, uint64_t elfWriteTime,
                                         std::string_view buildOptionsJson);

// The reports of copy's analysis record, when it has one of its bytes.
std::optional<KeptReports> ReadKeptReports(const KeptCopy& copy);
// Records the reports of a whole tool run on copy and removes the raw reports beside it.
void RecordKeptReports(const KeptCopy& copy, const KeptReports& reports);
