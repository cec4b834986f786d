// watcher/Watcher.h: the decisions of one watcher poll, free of Windows: the status text that lists
// the builds, the name of a build's copy in homedir, and which builds are new. The thread that polls,
// copies and starts the simulator is in BuildWatcher.h.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "watcher/BuildScan.h"

// Pause after each poll, in milliseconds.
constexpr uint32_t PollPauseMilliseconds = 4000;
// A .hex written less than this before a poll's instant counts as a new build.
constexpr uint64_t NewBuildWindow = 4 * FileTimeSecond;

// "Temp folder is "<tempFolder>"" and an empty line, then per entry its numbered, quoted path with
// every occurrence of tempFolder removed and a "Last modified <age> ago" line, each followed by an
// empty line. Every line ends with CR LF.
std::string StatusText(std::string_view tempFolder, const std::vector<BuildEntry>& entries);

// The file name of a build's copy in homedir: the .hex file name less its last 8 characters (".cpp.hex")
// + ".HEX"; a name of fewer than 8 characters is kept whole (a.hex gives a.hex.HEX).
std::string HexCopyName(std::string_view hexFileName);

// What the watcher remembers between polls to act on every build exactly once.
struct SeenBuilds {
    bool polled = false;                       // false until the first poll
    uint64_t previousInstant = 0;              // the instant of the last poll
    std::map<std::string, uint64_t> writes;    // hexPath -> the write time already seen
};

// One flag per entry, true for a new build, and remembers what this poll saw. A write time not seen
// before for that path is new when it is less than NewBuildWindow before pollInstant (or after it: a
// clock ahead of ours), or not before the previous poll's instant, so a build written while a poll
// was running or pausing is caught by the next one. A build that is already older at the first poll
// is not new. A path seen again with the same write time is never new again.
std::vector<bool> NewBuilds(SeenBuilds& seen, const std::vector<BuildEntry>& entries, uint64_t pollInstant);
