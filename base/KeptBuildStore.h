// base/KeptBuildStore.h: the folder of kept builds (KeptBuilds.h for its rules) on disk, in the
// local application data: keeping a copy of a new build, finding an analysed build's previous copy,
// and a copy's recorded analysis. The only code that lists, writes or removes anything there.
//
// Two threads use it. The watcher keeps copies (KeepBuildCopy), and only it writes copies and prunes.
// The user-interface thread reads copies and writes a copy's raw reports and analysis record. A file
// is only ever renamed into place whole, so a reader sees a whole copy or none; a prune between a
// listing and a read makes that read fail, which reads as "no earlier build" for that opening.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/KeptBuilds.h"

// LocalAppDataFolder + "kevra+\builds\"; "" when the shell gives no local application-data folder.
std::string KeptBuildsFolder();

// A kept copy as read: its path, its bytes and its write time (the build's own).
struct KeptCopy {
    std::string path;
    std::string bytes;
    uint64_t writeTime = 0;
};

// Keeps a copy of the build's .elf (a plain file of at most KeptElfByteLimit bytes; anything else is
// not kept) under the next name of its sketch, with the build's write time, unless the newest copy of
// the sketch holds the same bytes already; then removes what KeptFilesToRemove names. Reads the build
// folder's build.options.json to tell the sketch. Runs on the watcher's thread: no tool run, no wait.
void KeepBuildCopy(const std::string& elfPath);

// The copy that is the previous build of a build analysed at elfPath, from what the analysis read
// then: the .elf's bytes and write time and its folder's build.options.json ("" when absent).
std::optional<KeptCopy> PreviousKeptCopy(const std::string& elfPath, std::string_view elfBytes, uint64_t elfWriteTime,
                                         std::string_view buildOptionsJson);

// The reports of a whole tool run on copy, from its analysis record; nullopt when it has none that
// is of its bytes.
std::optional<KeptReports> ReadKeptReports(const KeptCopy& copy);
// Records the reports of a whole tool run on copy, and removes the raw reports the run wrote beside
// it (copy.path + ".size" and ".map"). Nothing is reported.
void RecordKeptReports(const KeptCopy& copy, const KeptReports& reports);
