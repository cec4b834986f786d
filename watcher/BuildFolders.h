// watcher/BuildFolders.h: the build folders of every Arduino IDE and the .hex files in them, each with its
// age at one instant, youngest first. The searches are the Win32 layer's; they open no file and read
// no file's contents, because the watcher runs them for as long as the process lives. Nothing that a
// watched folder holds is followed out of it: links (reparse points) are passed over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "watcher/WatcherTiming.h"

struct BuildEntry {
    std::string hexPath;   // build folder + file name as the search returned it
    std::string elfPath;   // hexPath less its last 4 characters + ".elf"; never checked on disk
    int32_t ageMinutes;    // whole minutes of |last write - instant|, days and hours folded in
    int32_t ageSeconds;    // whole seconds left over, 0 to 59
    uint64_t lastWrite;    // the file's last-write time, which tells a rewrite from a build already seen
    uint64_t size = 0;     // bytes, as the search reported them: a file still growing shows it
    uint64_t searched = 0;         // the instant of the search that saw it so
    uint64_t previousSearch = 0;   // the instant of the search of its folder before that; 0: none
};

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
    std::vector<std::string> buildPathFolders;   // the build.path of IDE 1.5 - 1.8: build folders themselves
};

// What the scan searches: each root folder with the kind of subfolder names that are build folders.
enum class BuildFolderNames {
    TempBuilds,   // "build*.tmp", "arduino_build_*", "arduino-sketch-*"
    Any,          // every subfolder
    Itself,       // the root is a build folder itself (build.path)
};
struct WatchedRoot {
    std::string folder;   // ends with a backslash
    BuildFolderNames names;
    // The part of folder that the system or the user gave (TEMP, local application data, a build.path
    // whole): trusted whatever it is, a link included. The folders below it are created by whoever
    // may write there and must not be links.
    std::string trustedBase;
    bool operator==(const WatchedRoot&) const = default;
};
// True when folder (with or without its trailing backslash) is a build folder of root: the root
// itself for a build.path, else a folder directly below the root whose name root's names allow;
// compared without regard to case. Tells which root a folder belongs to.
bool IsBuildFolderOf(const WatchedRoot& root, std::string_view folder);

// Every root once, compared without regard to case; a build.path folder that another root lists as
// one of its build folders, or that is another root, is left out.
std::vector<WatchedRoot> WatchedRoots(const BuildRoots& roots);

// A name of a build folder directly in TEMP: "build*.tmp", "arduino_build_*" or "arduino-sketch-*",
// matched without regard to case as the file system does. The part after a prefix is not empty.
bool IsTempBuildFolderName(std::string_view name);
bool IsBuildFolderName(BuildFolderNames names, std::string_view name);

// A .hex that is listed: a long name ending in ".hex" (a search for *.hex also matches names whose
// short 8.3 form ends so, such as x.hexdump), and not "*.with_bootloader.hex", the same program with
// a bootloader added, which would start the simulator twice per build.
bool IsListedHexName(std::string_view fileName);

// One .hex as a search of its folder found it.
struct HexFile {
    std::string name;
    uint64_t lastWrite;
    uint64_t size;
};

// Every plain, non-hidden, non-system, listed *.hex in every build folder of every root, ordered:
// one whole scan, a listing searched whole (BuildListing.h). A missing root, or a folder that cannot
// be searched, adds nothing.
std::vector<BuildEntry> ScanBuilds(const BuildRoots& roots, uint64_t scanInstant);

// The names of root's build folders, or nullopt when the root cannot be searched (missing, or a link
// below its trusted base). For a root that is a build folder itself: one empty name when it exists.
std::optional<std::vector<std::string>> ListBuildFolders(const WatchedRoot& root);
// The listed .hex files of one build folder (ending with a backslash); nullopt when it is gone or
// cannot be searched.
std::optional<std::vector<HexFile>> ListHexFiles(const std::string& folder);

// What tells one file or folder from every other on this PC whatever path names it (another spelling,
// a short 8.3 name, a link or a hard link): its volume's serial number and its file index there.
struct FileIdentity {
    uint32_t volume;
    uint64_t index;
    bool operator==(const FileIdentity&) const = default;
    auto operator<=>(const FileIdentity&) const = default;
};
// The identity of an existing file or folder (a trailing backslash is allowed); nullopt when it
// cannot be opened for its attributes.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// The roots without those that name a folder already watched under another spelling (a short 8.3
// TEMP and a long build.path naming one folder, say): compared by file identity, the volume and the
// file index, not by text. A build.path that is a build folder of another root goes too.
std::vector<WatchedRoot> WithoutSameFolders(std::vector<WatchedRoot> roots);
