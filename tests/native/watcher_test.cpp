#include <gtest/gtest.h>

#include <limits>

#include "watcher/Watcher.h"

namespace {

// 2026-12-09 12:00:00 UTC as a file time; any instant would do.
constexpr uint64_t Instant = 134'098'992'000'000'000ULL;
constexpr int64_t Second = 10'000'000;
constexpr int64_t Ms = Second / 1000;

}  // namespace

TEST(StatusText, ListsTheBuildsWithTheirAgesLineByLine)
{
    const std::string temp = "C:\\Users\\x\\AppData\\Local\\Temp\\";
    const std::vector<BuildEntry> entries = {
        MakeBuildEntry(temp + "build7034.tmp\\Blink.cpp.hex", Instant - 3 * Second, Instant),
        MakeBuildEntry(temp + "build6190.tmp\\Game.cpp.hex", Instant - 125 * 60 * Second, Instant),
    };
    EXPECT_EQ("Temp folder is \"C:\\Users\\x\\AppData\\Local\\Temp\\\"\r\n"
              "\r\n"
              "1. \"build7034.tmp\\Blink.cpp.hex\"\r\n"
              "Last modified 0 minute ago\r\n"
              "\r\n"
              "2. \"build6190.tmp\\Game.cpp.hex\"\r\n"
              "Last modified 2 hours 5 minutes ago\r\n"
              "\r\n",
              StatusText(temp, entries));
}

TEST(StatusText, HeaderAloneWithoutBuilds)
{
    EXPECT_EQ("Temp folder is \"C:\\T\\\"\r\n\r\n", StatusText("C:\\T\\", {}));
    EXPECT_EQ("Temp folder is \"\"\r\n\r\n", StatusText("", {}));
}

TEST(HexCopyName, CutsEightCharactersAndAddsHEX)
{
    const struct { const char* name; const char* copy; } cases[] = {
        { "Blink.cpp.hex", "Blink.HEX" },
        { "Game.ino.hex", "Game.HEX" },
        { "a.hex", "a.hex.HEX" },       // fewer than 8 characters: nothing cut
        { "abcd.hex", ".HEX" },          // exactly 8: all of it
        { "", ".HEX" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.copy, HexCopyName(c.name));
    }
}

// One .hex file followed through a run of polls. Each write replaces the file's write time from the
// poll it becomes visible at; a poll in `missing` finds the file absent (its folder unreadable).
TEST(NewBuilds, EveryWriteIsActedOnExactlyOnce)
{
    struct Write { int64_t at; size_t visibleFrom; };
    const struct {
        const char* what;
        std::vector<int64_t> polls;      // poll instants, relative to Instant
        std::vector<Write> writes;
        std::vector<size_t> actedAt;     // the polls that must call it new, in order
        std::vector<size_t> missing = {};
    } cases[] = {
        { "3.9 s old at the first poll", { 0 }, { { -3900 * Ms, 0 } }, { 0 } },
        { "exactly 4 s old at the first poll", { 0 }, { { -4 * Second, 0 } }, {} },
        { "present at start and 5 s old", { 0, 4010 * Ms, 8020 * Ms }, { { -5 * Second, 0 } }, {} },
        { "written after the search, before the pause",
          { 0, 4050 * Ms, 8100 * Ms }, { { 30 * Ms, 1 } }, { 1 } },
        { "exactly 4 s old, written after the previous instant",
          { 0, 4500 * Ms }, { { 500 * Ms, 1 } }, { 1 } },
        { "written during a poll that ran 5 s", { 0, 9 * Second, 13 * Second }, { { 2 * Second, 1 } }, { 1 } },
        { "3 s ahead of the clock", { 0, 4010 * Ms, 8020 * Ms, 12030 * Ms }, { { 3 * Second, 0 } }, { 0 } },
        // A clock put right, or folders copied from another PC: not a build the user just made.
        { "10 s ahead at the first poll", { 0, 4010 * Ms, 8020 * Ms }, { { 10 * Second, 0 } }, {} },
        { "a day ahead at the first poll", { 0, 4010 * Ms }, { { 86400 * Second, 0 } }, {} },
        { "exactly 4 s ahead at the first poll", { 0 }, { { 4 * Second, 0 } }, {} },
        { "10 s ahead, written after the first poll", { 0, 4010 * Ms, 8020 * Ms }, { { 14 * Second, 1 } }, { 1 } },
        { "ahead of the clock, gone for a poll, back", { 0, 4 * Second, 8 * Second },
          { { 10 * Second, 0 } }, {}, { 1 } },
        { "3 s ahead, gone for a poll, back", { 0, 4 * Second, 8 * Second },
          { { 3 * Second, 0 } }, { 0 }, { 1 } },
        { "rewritten in place", { 0, 4010 * Ms, 8020 * Ms, 12030 * Ms, 16040 * Ms },
          { { -1 * Second, 0 }, { 9 * Second, 3 } }, { 0, 3 } },
        { "rewritten twice between two polls: one act for the last write", { 0, 4010 * Ms, 8020 * Ms },
          { { -1 * Second, 0 }, { 5 * Second, 2 }, { 6 * Second, 2 } }, { 0, 2 } },
        { "rewritten with an old time", { 0, 4010 * Ms, 8020 * Ms },
          { { -1 * Second, 0 }, { -60 * Second, 1 } }, { 0 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SeenBuilds seen;
        std::vector<size_t> acted;
        for (size_t p = 0; p < c.polls.size(); ++p) {
            const uint64_t instant = Instant + c.polls[p];
            std::vector<BuildEntry> entries;
            const Write* current = nullptr;
            for (const Write& w : c.writes)
                if (w.visibleFrom <= p)
                    current = &w;
            const bool isMissing = std::find(c.missing.begin(), c.missing.end(), p) != c.missing.end();
            if (current && !isMissing) {
                entries.push_back(MakeBuildEntry("C:\\T\\build1.tmp\\a.hex", Instant + current->at, instant));
                entries.back().previousSearch = p > 0 ? Instant + c.polls[p - 1] : 0;
            }
            const std::vector<bool> isNew = NewBuilds(seen, entries, instant);
            ASSERT_EQ(entries.size(), isNew.size());
            if (!isNew.empty() && isNew[0])
                acted.push_back(p);
        }
        EXPECT_EQ(c.actedAt, acted);
    }
}

TEST(NewBuilds, FlagsEachEntryOfOnePollOnItsOwn)
{
    SeenBuilds seen;
    const std::vector<BuildEntry> first = {
        MakeBuildEntry("C:\\T\\build1.tmp\\a.hex", Instant - 1 * Second, Instant),
        MakeBuildEntry("C:\\T\\build2.tmp\\b.hex", Instant - 2 * Second, Instant),
        MakeBuildEntry("C:\\T\\build3.tmp\\c.hex", Instant - 90 * Second, Instant),
    };
    EXPECT_EQ((std::vector<bool>{ true, true, false }), NewBuilds(seen, first, Instant));

    // The next poll: only b.hex was rewritten, and it alone is new.
    const uint64_t next = Instant + 4010 * Ms;
    std::vector<BuildEntry> second;
    for (const BuildEntry& e : first) {
        second.push_back(MakeBuildEntry(e.hexPath, e.hexPath.find("b.hex") != std::string::npos ? next - 1 * Second : e.lastWrite,
                                        next));
        second.back().previousSearch = Instant;
    }
    EXPECT_EQ((std::vector<bool>{ false, true, false }), NewBuilds(seen, second, next));
}

// The path a build's line shows, alone and inside the status text.
TEST(StatusPath, PathsUnderTempLoseTheTempFolderOthersStayWhole)
{
    const std::string temp = "C:\\Users\\x\\AppData\\Local\\Temp\\";
    const struct { std::string temp; std::string hexPath; std::string shown; } cases[] = {
        { temp, temp + "build7034.tmp\\Blink.cpp.hex", "build7034.tmp\\Blink.cpp.hex" },
        { temp, temp + "arduino_build_123456\\Blink.ino.hex", "arduino_build_123456\\Blink.ino.hex" },
        { temp, temp + "arduino\\sketches\\0123ABCD\\Blink.ino.hex", "arduino\\sketches\\0123ABCD\\Blink.ino.hex" },
        { temp, "C:\\Users\\x\\AppData\\Local\\arduino\\sketches\\0123ABCD\\Blink.ino.hex",
          "C:\\Users\\x\\AppData\\Local\\arduino\\sketches\\0123ABCD\\Blink.ino.hex" },
        // Not under TEMP, though TEMP's path occurs in it: shown whole all the same.
        { temp, "D:\\copy" + temp + "b\\a.hex", "D:\\copy" + temp + "b\\a.hex" },
        { "C:\\T\\", "C:\\T\\build1.tmp\\a.hex", "build1.tmp\\a.hex" },
        { "C:\\T\\", "c:\\t\\build1.tmp\\a.hex", "c:\\t\\build1.tmp\\a.hex" },   // case-sensitive
        { "T\\", "T\\buildT\\.tmp\\a.hex", "build.tmp\\a.hex" },                // every occurrence
        { "", "C:\\T\\build1.tmp\\a.hex", "C:\\T\\build1.tmp\\a.hex" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hexPath);
        EXPECT_EQ(c.shown, StatusPath(c.temp, c.hexPath));
        const std::string text = StatusText(c.temp, { MakeBuildEntry(c.hexPath, Instant, Instant) });
        const std::string line = "1. \"" + c.shown + "\"\r\nLast modified 0 minute ago\r\n\r\n";
        ASSERT_GE(text.size(), line.size());
        EXPECT_EQ(line, text.substr(text.size() - line.size()));
    }
}

TEST(EofRecord, TheLastRecordOnALineOfItsOwnWithOrWithoutALineEnd)
{
    const struct { const char* what; std::string bytes; bool whole; } cases[] = {
        { "CR LF", ":100000000C945C000C946E000C946E000C946E00CA\r\n:00000001FF\r\n", true },
        { "LF", ":020000040000FA\n:00000001FF\n", true },
        { "the record alone", ":00000001FF\r\n", true },
        { "no line end after it", ":020000040000FA\r\n:00000001FF", true },
        { "the record alone without a line end", ":00000001FF", true },
        { "cut inside its checksum", ":020000040000FA\r\n:00000001F", false },
        { "the record's text at the end of a data line", ":020000040000FA:00000001FF", false },
        { "a CR alone after it", ":020000040000FA\r\n:00000001FF\r", false },
        { "cut inside it", ":020000040000FA\r\n:0000000", false },
        { "a data record last", ":00000001FF\r\n:020000040000FA\r\n", false },
        { "the record inside a longer line", ":0400000000000001FF\r\n", false },
        { "lower-case checksum, not what avr-objcopy writes", ":00000001ff\r\n", false },
        { "a blank line after it", ":00000001FF\r\n\r\n", false },
        { "empty", "", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.whole, EndsWithEofRecord(c.bytes));
        // The watcher reads only the last EofRecordTail bytes.
        const std::string tail = c.bytes.substr(c.bytes.size() > EofRecordTail ? c.bytes.size() - EofRecordTail : 0);
        EXPECT_EQ(c.whole, EndsWithEofRecord(tail));
    }
}

namespace {

// One .hex over time as a writer leaves it: from `at` on (ms from Instant) the file has this size,
// write time, handle state and ending, or is absent.
struct FileStep {
    int64_t at;
    uint64_t size;
    int64_t write;
    bool heldOpen;
    bool present = true;
    bool eof = false;   // ends with the end-of-file record
};

// A run of polls over one file with a monotonic clock in ms: each poll searches the file's folder
// (20 ms into a 40 ms search, it sees the file as it is then) unless told not to, and an act is
// recorded with the file's size at that moment, as a copy would take it. The watcher polls at the
// given instants and whenever a waiting build asks for a look.
struct Simulation {
    std::vector<FileStep> steps;
    int64_t nowMs = 0;

    const FileStep* At(int64_t ms) const
    {
        const FileStep* s = nullptr;
        for (const FileStep& step : steps)
            if (step.at <= ms)
                s = &step;
        return s && s->present ? s : nullptr;
    }
    BuildProbe Probe()
    {
        return {
            [this] { return uint64_t(nowMs) * Ms; },
            [this](const std::string&) -> std::optional<HexProof> {
                const FileStep* s = At(nowMs);
                if (!s || s->heldOpen)
                    return std::nullopt;
                return HexProof{ s->size, Instant + s->write * Ms, s->eof };
            },
        };
    }
    struct Run {
        std::vector<uint64_t> actedSizes;
        int64_t firstAct = -1;
        int polls = 0;
    };
    Run Poll(const std::vector<int64_t>& timed, int64_t until)
    {
        Run run;
        SeenBuilds seen;
        const BuildProbe probe = Probe();
        uint64_t lookAgainAt = 0;
        size_t nextTimed = 0;
        int64_t previousSearch = 0;
        for (int guard = 0; guard < 1000; ++guard) {
            const int64_t wake = lookAgainAt != 0 && (nextTimed == timed.size() || int64_t(lookAgainAt / Ms) < timed[nextTimed])
                                     ? int64_t(lookAgainAt / Ms)
                                     : nextTimed < timed.size() ? timed[nextTimed] : until + 1;
            if (wake > until)
                break;
            if (nextTimed < timed.size() && wake >= timed[nextTimed])
                ++nextTimed;
            nowMs = std::max(nowMs, wake);
            ++run.polls;
            const int64_t began = nowMs;
            const uint64_t instant = Instant + began * Ms;
            std::vector<BuildEntry> entries;
            if (const FileStep* s = At(began + 20)) {
                entries.push_back(MakeBuildEntry("C:\\T\\arduino_build_1\\a.ino.hex", Instant + s->write * Ms, instant, s->size));
                entries.back().searched = instant;
                entries.back().previousSearch = previousSearch == 0 ? 0 : Instant + previousSearch * Ms;
            }
            previousSearch = began == 0 ? 1 : began;
            nowMs = began + 40;
            const Completion done = CompleteNewBuilds(seen, entries, instant, uint64_t(began) * Ms, uint64_t(nowMs) * Ms, probe);
            if (done.act.size() != entries.size())
                ADD_FAILURE() << "one flag per entry";
            if (!done.act.empty() && done.act[0]) {
                run.actedSizes.push_back(At(nowMs)->size);
                if (run.firstAct < 0)
                    run.firstAct = nowMs;
            }
            lookAgainAt = done.lookAgainAt;
        }
        return run;
    }
};

}  // namespace

// The completeness rule over whole runs of polls, timed every 4 s unless a case says otherwise.
TEST(CompleteNewBuilds, ActsOnceOnTheWholeFileAndNeverOnAPartOfIt)
{
    auto every = [](int64_t from, int64_t to, int64_t step) {
        std::vector<int64_t> polls;
        for (int64_t t = from; t <= to; t += step)
            polls.push_back(t);
        return polls;
    };
    const struct {
        const char* what;
        std::vector<FileStep> steps;
        std::vector<int64_t> polls;          // timed poll instants, ms
        std::vector<uint64_t> actedSizes;
        int64_t notBefore;                   // no act before this, ms
        int64_t notAfter;                    // ... nor after this
    } cases[] = {
        { "ends with the record and nobody holds it: at once",
          { { -500, 10, -500, false, true, true } }, { 0, 4000 }, { 10 }, 40, 40 },
        { "ends with the record but still held: when the writer lets go",
          { { -500, 10, -500, true, true, true }, { 300, 10, -500, false, true, true } }, { 0, 4000 }, { 10 }, 300, 600 },
        { "no record, nobody holds it: never, however long it stays",
          { { -2000, 10, -2000, false } }, { 0, 4000, 8000 }, {}, 0, 0 },
        { "cut short, then built again whole: the whole build alone",
          { { 0, 100, 0, false }, { 3000, 300, 3000, false, true, true } }, { 100, 4200, 8300 }, { 300 }, 4200, 4300 },
        { "old at the first poll: never new, never looked at again",
          { { -10000, 10, -10000, false, true, true } }, { 0, 4000 }, {}, 0, 0 },
        { "grows for 2 s, held open, the record comes last",
          { { 0, 100, 0, true }, { 500, 200, 500, true }, { 1000, 300, 1000, true }, { 1500, 400, 1500, true },
            { 2000, 500, 2000, true, true, true }, { 2050, 500, 2000, false, true, true } },
          { 200, 4200 }, { 500 }, 2050, 2200 },
        { "grows for 2 s in writes 0.4 s apart, closed in between, the record comes last",
          { { 0, 100, 0, false }, { 400, 200, 400, false }, { 800, 300, 800, false }, { 1200, 400, 1200, false },
            { 1600, 500, 1600, false }, { 2000, 600, 2000, false, true, true } },
          every(100, 6000, 250), { 600 }, 2000, 2300 },
        { "grows without a record, 0.4 s apart, and stops so: never",
          { { 0, 100, 0, false }, { 400, 200, 400, false }, { 800, 300, 800, false }, { 1200, 400, 1200, false } },
          every(100, 6000, 250), {}, 0, 0 },
        { "quiet for 1.5 s while still held open: waits until the writer lets go",
          { { 0, 100, 0, true }, { 300, 200, 300, true, true, true }, { 3000, 200, 300, false, true, true } },
          every(100, 6000, 250), { 200 }, 3000, 3400 },
        { "replaced by a shorter build before it was whole: the later one alone",
          { { 0, 900, 0, true }, { 700, 300, 700, false, true, true } }, { 100, 4200 }, { 300 }, 700, 1200 },
        { "gone while waiting, back unchanged at the next timed poll",
          { { 0, 100, 0, true, true, true }, { 500, 0, 0, false, false }, { 5000, 100, 0, false, true, true } },
          { 100, 4200, 8300 }, { 100 }, 8300, 9400 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Simulation sim{ c.steps };
        const Simulation::Run run = sim.Poll(c.polls, 12000);
        EXPECT_EQ(c.actedSizes, run.actedSizes);
        if (run.firstAct >= 0) {
            EXPECT_GE(run.firstAct, c.notBefore);
            EXPECT_LE(run.firstAct, c.notAfter);
        }
        EXPECT_LT(run.polls, 200);   // a waiting build is looked at now and then, not in a spin
    }
}

TEST(CompleteNewBuilds, EntriesKeptFromEarlierSearchesAreNotLookedAt)
{
    SeenBuilds seen;
    int opened = 0;
    const BuildProbe probe{ [] { return uint64_t(0); },
                            [&](const std::string&) -> std::optional<HexProof> { ++opened; return std::nullopt; } };
    BuildEntry e = MakeBuildEntry("C:\\T\\build1.tmp\\a.cpp.hex", Instant - 1 * Second, Instant, 10);
    e.searched = Instant - 4 * Second;   // listed by an earlier poll, not searched by this one
    const Completion done = CompleteNewBuilds(seen, { e }, Instant, 0, 40 * Ms, probe);
    EXPECT_EQ(std::vector<bool>{ false }, done.act);
    EXPECT_EQ(0, opened);
    EXPECT_EQ(0u, done.lookAgainAt);
}

TEST(LookAtBuild, QuietOnlyAfterASecondBetweenTheEndOfOneLookAndTheStartOfTheNext)
{
    const struct { const char* what; FileLook second; bool quiet; } cases[] = {
        { "same, begun 1 s after the first ended", { 5, 77, Instant + 1040 * Ms, Instant + 1050 * Ms }, true },
        { "same, begun 1 s after the first began only", { 5, 77, Instant + 1000 * Ms, Instant + 1100 * Ms }, false },
        { "size changed", { 6, 77, Instant + 3000 * Ms, Instant + 3010 * Ms }, false },
        { "write time changed", { 5, 78, Instant + 3000 * Ms, Instant + 3010 * Ms }, false },
        { "a clock that went back", { 5, 77, Instant, Instant + 10 * Ms }, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SeenBuilds seen;
        EXPECT_FALSE(LookAtBuild(seen, "a.hex", { 5, 77, Instant, Instant + 40 * Ms }, true));
        EXPECT_EQ(c.quiet, LookAtBuild(seen, "a.hex", c.second, false));
    }
    // A build that is not waiting (never new) is never quiet, and is not taken up by a look.
    SeenBuilds seen;
    EXPECT_FALSE(LookAtBuild(seen, "b.hex", { 5, 77, Instant + 9000 * Ms, Instant + 9000 * Ms }, false));
    EXPECT_TRUE(seen.waiting.empty());
}

// A waiting build is looked at again on the monotonic clock: a wall clock put back an hour while a
// build waits does not hold it back an hour.
TEST(CompleteNewBuilds, AWallClockStepBackDoesNotDelayAWaitingBuild)
{
    SeenBuilds seen;
    uint64_t monotonic = 0;
    const BuildProbe probe{ [&] { return monotonic; }, [&](const std::string&) {
                               // held by its writer at the first look, let go by the second
                               return monotonic == 0 ? std::nullopt
                                                     : std::optional<HexProof>(HexProof{ 10, Instant - 500 * Ms, true });
                           } };
    BuildEntry e = MakeBuildEntry("C:\\T\\build1.tmp\\a.cpp.hex", Instant - 500 * Ms, Instant, 10);
    e.searched = Instant;
    Completion done = CompleteNewBuilds(seen, { e }, Instant, 0, 40 * Ms, probe);
    ASSERT_EQ(std::vector<bool>{ false }, done.act);   // still held: it waits
    ASSERT_NE(0u, done.lookAgainAt);
    ASSERT_LE(done.lookAgainAt, 1100 * Ms);

    const uint64_t stepped = Instant - 3600 * Second + 1100 * Ms;
    monotonic = 1100 * Ms;
    BuildEntry again = MakeBuildEntry(e.hexPath, e.lastWrite, stepped, 10);
    again.searched = stepped;
    again.previousSearch = Instant;
    done = CompleteNewBuilds(seen, { again }, stepped, 1100 * Ms, 1140 * Ms, probe);
    EXPECT_EQ(std::vector<bool>{ true }, done.act);
}

// The same file (identity and write time) found under another path, as after its folder was renamed,
// is the build acted on already; another file, or the same one written again, is a build of its own.
TEST(CompleteNewBuilds, ABuildActedOnIsNotActedOnAgainUnderAnotherPath)
{
    const FileIdentity file{ 7, 42 }, other{ 7, 43 };
    const struct { const char* what; std::string path; FileIdentity identity; int64_t write; bool acts; } cases[] = {
        { "the folder renamed", "C:\\T\\arduino_build_2\\a.ino.hex", file, -500, false },
        { "another file", "C:\\T\\arduino_build_2\\a.ino.hex", other, -500, true },
        { "the same file written again", "C:\\T\\arduino_build_2\\a.ino.hex", file, -100, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SeenBuilds seen;
        auto poll = [&](const std::string& path, FileIdentity id, int64_t write, uint64_t at) {
            const BuildProbe probe{ [&] { return at; }, [&](const std::string&) {
                                       return std::optional<HexProof>(HexProof{ 10, Instant + write * Ms, true, id });
                                   } };
            BuildEntry e = MakeBuildEntry(path, Instant + write * Ms, Instant + at, 10);
            e.searched = Instant + at;
            return CompleteNewBuilds(seen, { e }, Instant + at, at, at + 40 * Ms, probe).act;
        };
        ASSERT_EQ(std::vector<bool>{ true }, poll("C:\\T\\arduino_build_1\\a.ino.hex", file, -500, 0));
        EXPECT_EQ(std::vector<bool>{ c.acts }, poll(c.path, c.identity, c.write, 1000 * Ms));
    }
}

// The status text of an idle poll is the one before until an age passes a whole minute.
TEST(StatusText, AgesStayTheSameUntilTheFirstOfThemPassesAWholeMinute)
{
    const struct {
        const char* what;
        std::vector<int64_t> writes;   // relative to Instant
        int64_t until;                 // relative to Instant
    } cases[] = {
        { "30 s old", { -30 * Second }, 30 * Second },
        { "exactly a minute old", { -60 * Second }, 60 * Second },
        { "the youngest of two is not the first to change", { -10 * Second, -115 * Second }, 5 * Second },
        { "stamped 90 s ahead: its age falls to 0 minutes", { 90 * Second }, 30 * Second + 1 },
        { "stamped 20 s ahead: 0 minutes until a minute after the write", { 20 * Second }, 80 * Second },
        { "23 h 59 min 30 s old: a minute later it is more than a day", { -(1439 * 60 + 30) * Second }, 30 * Second },
        { "a day old beside one of 50 s", { -1440 * 60 * Second, -50 * Second }, 10 * Second },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BuildEntry> entries;
        for (int64_t w : c.writes)
            entries.push_back(MakeBuildEntry("C:\\T\\build1.tmp\\a.hex", Instant + w, Instant));
        const uint64_t until = SameAgesUntil(entries, Instant);
        EXPECT_EQ(Instant + c.until, until);
        // The text is the same just before, and differs at that instant.
        std::vector<BuildEntry> before, at;
        for (int64_t w : c.writes) {
            before.push_back(MakeBuildEntry("C:\\T\\build1.tmp\\a.hex", Instant + w, until - 1));
            at.push_back(MakeBuildEntry("C:\\T\\build1.tmp\\a.hex", Instant + w, until));
        }
        EXPECT_EQ(StatusText("C:\\T\\", entries), StatusText("C:\\T\\", before));
        EXPECT_NE(StatusText("C:\\T\\", entries), StatusText("C:\\T\\", at));
    }
    EXPECT_EQ(std::numeric_limits<uint64_t>::max(), SameAgesUntil({}, Instant));
    // Builds a day old or more read "more than a day" for good: an idle poll never has to list them.
    std::vector<BuildEntry> old;
    for (int64_t w : { -1440 * 60 * Second, -3 * 1440 * 60 * Second - 7 * Second })
        old.push_back(MakeBuildEntry("C:\\T\\build1.tmp\\a.hex", Instant + w, Instant));
    EXPECT_EQ(std::numeric_limits<uint64_t>::max(), SameAgesUntil(old, Instant));
    std::vector<BuildEntry> later;
    for (const BuildEntry& e : old)
        later.push_back(MakeBuildEntry(e.hexPath, e.lastWrite, Instant + 400 * 1440 * 60 * Second));
    EXPECT_EQ(StatusText("C:\\T\\", old), StatusText("C:\\T\\", later));
}
