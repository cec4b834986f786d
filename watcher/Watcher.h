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

#include "watcher/BuildFolders.h"

// "Temp folder is "<tempFolder>"" and an empty line, then per entry its numbered, quoted path as
// StatusPath shows it and a "Last modified <age> ago" line, each followed by an empty line. Every
// line ends with CR LF.
std::string StatusText(std::string_view tempFolder, const std::vector<BuildEntry>& entries);

// The first instant after instant at which the age text of an entry (and so StatusText) differs from
// its text at instant: when its whole-minute age next changes, except that a build written a day or
// more before instant reads "more than a day" for good. The largest instant when no text will change.
uint64_t SameAgesUntil(const std::vector<BuildEntry>& entries, uint64_t instant);

// A path under tempFolder (it starts with it, case-sensitively) with every occurrence of tempFolder
// removed; any other path whole.
std::string StatusPath(std::string_view tempFolder, std::string_view hexPath);

// The file name of a build's copy in homedir: the .hex file name less its last 8 characters (".cpp.hex")
// + ".HEX"; a name of fewer than 8 characters is kept whole (a.hex gives a.hex.HEX).
std::string HexCopyName(std::string_view hexFileName);

// True when bytes, the end of a .hex file, end with the end-of-file record ":00000001FF" on a line of
// its own, with or without a line end (CR LF or LF) after it: the last record that avr-objcopy writes.
bool EndsWithEofRecord(std::string_view bytes);
// How many bytes at the end of a file EndsWithEofRecord needs.
constexpr size_t EofRecordTail = 14;

// A new build whose .hex may still be being written: what the last search saw of it. Times are of the
// watcher's monotonic clock, which a change of the wall clock does not move.
struct WaitingBuild {
    uint64_t size;
    uint64_t lastWrite;
    uint64_t unchangedSince;   // the end of the first search that saw this size and write time
    uint64_t lastSeen;         // the end of the last search that found the file
    uint64_t lookAgainAfter = FirstLookAgain;
    uint64_t lookAgainAt = 0;
};

// What the watcher remembers between polls to act on every build exactly once.
struct SeenBuilds {
    std::map<std::string, uint64_t> writes;    // hexPath -> the write time already seen
    std::map<std::string, WaitingBuild> waiting;   // hexPath -> new, not yet acted on
    // The last builds acted on, by file identity and write time: the same file under a renamed
    // folder is the same build. The oldest go first once there are ActedKept.
    std::vector<std::pair<FileIdentity, uint64_t>> acted;
};
constexpr size_t ActedKept = 256;

// One flag per entry, true for a new build, and remembers what this poll saw. A write time not seen
// before for that path is new when it lies less than NewBuildWindow before or after pollInstant, or
// when it is not before the previous search of the entry's folder (previousSearch), so a build
// written while a search was running, or missed by a search, is caught by the next one. A build
// whose folder was not searched before (the first poll) and that is older, or stamped further ahead,
// is not new. A path seen again with the same write time is never new again.
std::vector<bool> NewBuilds(SeenBuilds& seen, const std::vector<BuildEntry>& entries, uint64_t pollInstant);

// One look at a file: its size and write time, by a search that began and ended at these instants of
// the monotonic clock.
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

// A .hex opened while sharing only reading, which fails while any writer holds it: its size and write
// time through that handle, and whether its last bytes end with the end-of-file record.
struct HexProof {
    uint64_t size;
    uint64_t lastWrite;
    bool endsWithEofRecord;
    std::optional<FileIdentity> identity = std::nullopt;   // volume and file index, when the system gives them
};

// What a poll asks of the system besides its searches. The watcher gives the real calls; tests a script.
struct BuildProbe {
    std::function<uint64_t()> now;   // the monotonic clock, in file-time units
    std::function<std::optional<HexProof>(const std::string&)> openAlone;   // nullopt: held, or gone
};

struct Completion {
    std::vector<bool> act;      // one flag per entry
    uint64_t lookAgainAt = 0;   // when a waiting build wants its folder searched again; 0: none waits
};

// The builds to act on in this poll: every write that NewBuilds calls new, once, as soon as a search
// of its folder finds its .hex whole (it ends with the end-of-file record and no writer holds it). A write replaced by a later one before it was whole is never
// acted on; the later one is. A build acted on already under another path (its folder was renamed:
// the same file identity and write time) is not acted on again. Only entries searched in this poll (searched == pollInstant) are looked
// at; the searches of this poll began at scanBegan and ended at scanEnded (monotonic clock). Never
// waits: a build not yet whole asks for another search at lookAgainAt.
Completion CompleteNewBuilds(SeenBuilds& seen, const std::vector<BuildEntry>& entries, uint64_t pollInstant,
                             uint64_t scanBegan, uint64_t scanEnded, const BuildProbe& probe);
