// watcher/BuildScan.h: lists every .hex file in the build folders of every Arduino IDE with its age at
// one instant, youngest first. Searches directories only: opens no file and keeps nothing between
// calls, because the watcher runs it every few seconds for as long as the process lives.
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
    uint64_t size = 0;     // bytes, as the search reported them: a file still growing shows it
};

// The text after the last backslash; the whole path without one; empty after a trailing backslash.
std::string PathFileName(std::string_view path);

// hexPath less its last 4 characters, + ".elf".
std::string ElfPathFor(std::string_view hexPath);

// The entry of one .hex file. A write time after the instant (clock skew) counts like one before it.
BuildEntry MakeBuildEntry(std::string hexPath, uint64_t lastWrite, uint64_t scanInstant, uint64_t size = 0);

// Youngest first by whole minutes only; entries of the same minute come in no defined order.
void OrderBuilds(std::vector<BuildEntry>& entries);

// The folders the IDEs build in. Each ends with a backslash; an empty one is not searched.
struct BuildRoots {
    std::string tempFolder;           // TEMP: build*.tmp (IDE 1.0 - 1.6.11), arduino_build_* (1.6.12 -
                                      // 1.8), arduino-sketch-* (2.0), arduino\sketches\* (cli 0.30 - 1.0.3)
    std::string localAppDataFolder;   // arduino\sketches\* (2.x with arduino-cli 1.0.4 and later)
    std::string buildPathFolder;      // the build.path of IDE 1.5 - 1.8: a build folder itself
};

// What the scan searches: each root folder with the kind of subfolder names that are build folders;
// a folder given twice is searched once.
enum class BuildFolderNames { TempBuilds, Any };
struct WatchedRoot {
    std::string folder;   // ends with a backslash; searched once for "*"
    BuildFolderNames names;
};
std::vector<WatchedRoot> WatchedRoots(const BuildRoots& roots);

// A name of a build folder directly in TEMP: "build*.tmp", "arduino_build_*" or "arduino-sketch-*",
// matched without regard to case as the file system does. The part after a prefix is not empty.
bool IsTempBuildFolderName(std::string_view name);
bool IsBuildFolderName(BuildFolderNames names, std::string_view name);

// A .hex that is listed: not "*.with_bootloader.hex", the same program with a bootloader added,
// which would start the simulator twice per build.
bool IsListedHexName(std::string_view fileName);

// True when folders holds folder, without regard to case. The build.path folder may be one the roots
// already gave (a folder in TEMP): searched twice, its builds would be acted on twice.
bool HasFolder(const std::vector<std::string>& folders, std::string_view folder);

// Every plain, non-hidden, non-system, listed *.hex in every build folder of every root, ordered.
// A missing root, or a folder that cannot be searched, adds nothing.
std::vector<BuildEntry> ScanBuilds(const BuildRoots& roots, uint64_t scanInstant);
// The builds under tempFolder alone (it ends with a backslash).
std::vector<BuildEntry> ScanBuilds(const std::string& tempFolder, uint64_t scanInstant);
