// watcher/Watcher.h: the decisions of one watcher poll, free of Windows: the status text that lists
// the builds, the name of a build's copy in homedir, which builds are new and when a new build's .hex
// is whole. The thread that polls, copies and starts the simulator is in BuildWatcher.h.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "watcher/BuildScan.h"

// Pause after each poll, in milliseconds.
constexpr uint32_t PollPauseMilliseconds = 4000;
// A .hex written less than this before a poll's instant counts as a new build.
constexpr uint64_t NewBuildWindow = 4 * FileTimeSecond;

// A new .hex counts as written whole once its size and write time stayed the same this long (a writer
// may pause between its writes) and it can be opened while sharing only reading.
constexpr uint64_t QuietTime = 1 * FileTimeSecond;
// A waiting build that no search has found for this long is forgotten (its folder was removed).
constexpr uint64_t ForgetWaitingAfter = 60 * FileTimeSecond;

// "Temp folder is "<tempFolder>"" and an empty line, then per entry its numbered, quoted path as
// StatusPath shows it and a "Last modified <age> ago" line, each followed by an empty line. Every
// line ends with CR LF.
std::string StatusText(std::string_view tempFolder, const std::vector<BuildEntry>& entries);

// A path under tempFolder (it starts with it, case-sensitively) with every occurrence of tempFolder
// removed; any other path whole.
std::string StatusPath(std::string_view tempFolder, std::string_view hexPath);

// The file name of a build's copy in homedir: the .hex file name less its last 8 characters (".cpp.hex")
// + ".HEX"; a name of fewer than 8 characters is kept whole (a.hex gives a.hex.HEX).
std::string HexCopyName(std::string_view hexFileName);

// A new build whose .hex may still be being written: what the last search saw of it.
struct WaitingBuild {
    uint64_t size;
    uint64_t lastWrite;
    uint64_t unchangedSince;   // the end of the first search that saw this size and write time
    uint64_t lastSeen;         // the end of the last search that found the file
};

// What the watcher remembers between polls to act on every build exactly once.
struct SeenBuilds {
    bool polled = false;                       // false until the first poll
    uint64_t previousInstant = 0;              // the instant of the last poll
    std::map<std::string, uint64_t> writes;    // hexPath -> the write time already seen
    std::map<std::string, WaitingBuild> waiting;   // hexPath -> new, not yet acted on
};

// One flag per entry, true for a new build, and remembers what this poll saw. A write time not seen
// before for that path is new when it is less than NewBuildWindow before pollInstant (or after it: a
// clock ahead of ours), or not before the previous poll's instant, so a build written while a poll
// was running or pausing is caught by the next one. A build that is already older at the first poll
// is not new. A path seen again with the same write time is never new again.
std::vector<bool> NewBuilds(SeenBuilds& seen, const std::vector<BuildEntry>& entries, uint64_t pollInstant);

// One look at a file: its size and write time, by a search that began and ended at these instants.
struct FileLook {
    uint64_t size;
    uint64_t lastWrite;
    uint64_t began;
    uint64_t ended;
};

// Records a look at a build: a new write starts waiting, a build already waiting is compared with
// what was seen before, any other is left alone. True when the build is waiting and its size and
// write time are the same as at a search that ended at least QuietTime before this one began. A
// change makes it wait again from the end of this look.
bool LookAtBuild(SeenBuilds& seen, const std::string& hexPath, const FileLook& look, bool newWrite);

// What a poll asks of the system besides its scan. The watcher gives the real calls; tests a script.
struct BuildProbe {
    std::function<uint64_t()> now;                       // the current instant (file time)
    std::function<void(uint64_t)> waitUntil;             // returns once now() has reached the instant
    std::function<std::optional<FileLook>(const std::string&)> look;   // one search for one file;
                                                         // began and ended are filled in by the caller
    std::function<bool(const std::string&)> opensAlone;  // opens for reading while sharing only reading
};

// The builds to act on in this poll, one flag per entry: every write that NewBuilds calls new, once,
// at the first poll that finds its .hex complete (quiet for QuietTime and no writer holding it). A
// write replaced by a later one before it was complete is never acted on; the later one is.
// The scan behind entries began at scanBegan and ended at scanEnded. A build first seen or changed
// in this scan is looked at again once QuietTime has passed, in the same poll, so a finished build
// waits about a second rather than a whole poll; that wait happens at most once per poll.
std::vector<bool> CompleteNewBuilds(SeenBuilds& seen, const std::vector<BuildEntry>& entries, uint64_t pollInstant,
                                    uint64_t scanBegan, uint64_t scanEnded, const BuildProbe& probe);
