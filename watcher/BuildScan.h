// watcher/BuildScan.h: lists every .hex file in the compiler's build folders with its age at one
// instant, youngest first. Searches directories only: opens no file and keeps nothing between calls,
// because the watcher runs it every few seconds for as long as the process lives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Times are Windows file times: 100-nanosecond units since 1 January 1601 UTC.
constexpr uint64_t FileTimeSecond = 10'000'000;
constexpr uint64_t FileTimeMinute = 60 * FileTimeSecond;

struct BuildEntry {
    std::string hexPath;   // TempFolder + build folder + "\" + file name as the search returned it
    std::string elfPath;   // hexPath less its last 4 characters + ".elf"; never checked on disk
    int32_t ageMinutes;    // whole minutes of |last write - instant|, days and hours folded in
    int32_t ageSeconds;    // whole seconds left over, 0 to 59
    uint64_t lastWrite;    // the file's last-write time, which tells a rewrite from a build already seen
};

// The text after the last backslash; the whole path without one; empty after a trailing backslash.
std::string PathFileName(std::string_view path);

// hexPath less its last 4 characters, + ".elf".
std::string ElfPathFor(std::string_view hexPath);

// The entry of one .hex file. A write time after the instant (clock skew) counts like one before it.
BuildEntry MakeBuildEntry(std::string hexPath, uint64_t lastWrite, uint64_t scanInstant);

// Youngest first by whole minutes only; entries of the same minute come in no defined order.
void OrderBuilds(std::vector<BuildEntry>& entries);

// Every plain, non-hidden, non-system *.hex in every tempFolder + "build*.tmp" entry, ordered.
// tempFolder ends with a backslash. A missing folder, or one that cannot be searched, adds nothing.
std::vector<BuildEntry> ScanBuilds(const std::string& tempFolder, uint64_t scanInstant);
