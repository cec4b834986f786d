#include <gtest/gtest.h>

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

TEST(StatusText, HeaderAloneAndExactRemovalOfTheTempFolder)
{
    EXPECT_EQ("Temp folder is \"C:\\T\\\"\r\n\r\n", StatusText("C:\\T\\", {}));
    EXPECT_EQ("Temp folder is \"\"\r\n\r\n", StatusText("", {}));

    const struct { const char* temp; const char* hexPath; const char* shown; } cases[] = {
        { "C:\\T\\", "C:\\T\\build1.tmp\\a.hex", "build1.tmp\\a.hex" },
        { "C:\\T\\", "c:\\t\\build1.tmp\\a.hex", "c:\\t\\build1.tmp\\a.hex" },   // case-sensitive
        { "T\\", "T\\buildT\\.tmp\\a.hex", "build.tmp\\a.hex" },                // every occurrence
        { "", "C:\\T\\build1.tmp\\a.hex", "C:\\T\\build1.tmp\\a.hex" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hexPath);
        const std::string text = StatusText(c.temp, { MakeBuildEntry(c.hexPath, Instant, Instant) });
        const std::string line = std::string("1. \"") + c.shown + "\"\r\nLast modified 0 minute ago\r\n\r\n";
        ASSERT_GE(text.size(), line.size());
        EXPECT_EQ(line, text.substr(text.size() - line.size()));
    }
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
        { "ahead of the clock, gone for a poll, back", { 0, 4 * Second, 8 * Second },
          { { 10 * Second, 0 } }, { 0 }, { 1 } },
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
            if (current && !isMissing)
                entries.push_back(MakeBuildEntry("C:\\T\\build1.tmp\\a.hex", Instant + current->at, instant));
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
    for (const BuildEntry& e : first)
        second.push_back(MakeBuildEntry(e.hexPath, e.hexPath.find("b.hex") != std::string::npos ? next - 1 * Second : e.lastWrite,
                                        next));
    EXPECT_EQ((std::vector<bool>{ false, true, false }), NewBuilds(seen, second, next));
}

TEST(StatusPath, PathsUnderTempLoseTheTempFolderOthersStayWhole)
{
    const std::string temp = "C:\\Users\\x\\AppData\\Local\\Temp\\";
    const struct { std::string hexPath; std::string shown; } cases[] = {
        { temp + "build7034.tmp\\Blink.cpp.hex", "build7034.tmp\\Blink.cpp.hex" },
        { temp + "arduino_build_123456\\Blink.ino.hex", "arduino_build_123456\\Blink.ino.hex" },
        { temp + "arduino\\sketches\\0123ABCD\\Blink.ino.hex", "arduino\\sketches\\0123ABCD\\Blink.ino.hex" },
        { "C:\\Users\\x\\AppData\\Local\\arduino\\sketches\\0123ABCD\\Blink.ino.hex",
          "C:\\Users\\x\\AppData\\Local\\arduino\\sketches\\0123ABCD\\Blink.ino.hex" },
        // Not under TEMP, though TEMP's path occurs in it: shown whole all the same.
        { "D:\\copy" + temp + "b\\a.hex", "D:\\copy" + temp + "b\\a.hex" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hexPath);
        EXPECT_EQ(c.shown, StatusPath(temp, c.hexPath));
    }
}

namespace {

// One .hex over time as a writer leaves it: from `at` on (ms from Instant) the file has this size,
// write time and handle state, or is absent.
struct FileStep {
    int64_t at;
    uint64_t size;
    int64_t write;
    bool heldOpen;
    bool present = true;
};

struct Simulation {
    std::vector<FileStep> steps;
    int64_t nowMs = 0;
    int waits = 0;

    const FileStep* At(int64_t ms) const
    {
        const FileStep* s = nullptr;
        for (const FileStep& step : steps)
            if (step.at <= ms)
                s = &step;
        return s && s->present ? s : nullptr;
    }
    uint64_t Now() const { return Instant + nowMs * Ms; }
    BuildProbe Probe()
    {
        return {
            [this] { return Now(); },
            [this](uint64_t when) {
                ++waits;
                nowMs = std::max<int64_t>(nowMs, int64_t(when - Instant + Ms - 1) / Ms);
            },
            [this](const std::string&) -> std::optional<FileLook> {
                const FileStep* s = At(nowMs);
                if (!s)
                    return std::nullopt;
                return FileLook{ s->size, Instant + s->write * Ms, 0, 0 };
            },
            [this](const std::string&) { const FileStep* s = At(nowMs); return s && !s->heldOpen; },
        };
    }
};

}  // namespace

// The completeness rule over whole runs of polls: each scan takes 40 ms and sees the file as it is
// halfway through; an act is recorded with the file's size at that moment, as a copy would take it.
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
        std::vector<int64_t> polls;          // poll instants, ms
        std::vector<uint64_t> actedSizes;
        int64_t notBefore;                   // no act before this, ms
        int waits;                           // second looks within polls
    } cases[] = {
        { "whole before the first poll: acted in that poll after one second look",
          { { -2000, 10, -2000, false } }, { 0, 4040 }, { 10 }, 1040, 1 },
        { "old at the first poll: never new, never looked at again",
          { { -10000, 10, -10000, false } }, { 0, 4040 }, {}, 0, 0 },
        { "grows for 2 s with the writer holding it open, polled every 4 s",
          { { 0, 100, 0, true }, { 500, 200, 500, true }, { 1000, 300, 1000, true }, { 1500, 400, 1500, true },
            { 2000, 500, 2000, true }, { 2050, 500, 2000, false } },
          { 200, 5300 }, { 500 }, 3050, 2 },   // the second poll's scan finds it changed again
        { "grows for 2 s in writes 0.4 s apart, closed in between, polled every 250 ms",
          { { 0, 100, 0, false }, { 400, 200, 400, false }, { 800, 300, 800, false }, { 1200, 400, 1200, false },
            { 1600, 500, 1600, false }, { 2000, 600, 2000, false } },
          every(100, 6000, 250), { 600 }, 3000, -1 },
        { "quiet for 1.5 s while still held open: waits until the writer lets go",
          { { 0, 100, 0, true }, { 300, 200, 300, true }, { 3000, 200, 300, false } },
          every(100, 6000, 250), { 200 }, 3000, -1 },
        { "changed between the two looks of one poll: whole at the next poll, without a wait there",
          { { -100, 100, -100, false }, { 600, 200, 600, false } }, { 0, 4040 }, { 200 }, 4040, 1 },
        { "replaced by a shorter build before it was whole: the later one alone",
          { { 0, 900, 0, true }, { 700, 300, 700, false } }, { 100, 4200 }, { 300 }, 1700, 1 },
        { "gone for a poll while waiting, back unchanged",
          { { 0, 100, 0, true }, { 1500, 0, 0, false, false }, { 5000, 100, 0, false } },
          { 100, 4200, 8300 }, { 100 }, 5000, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Simulation sim{ c.steps };
        SeenBuilds seen;
        const BuildProbe probe = sim.Probe();
        std::vector<uint64_t> actedSizes;
        int64_t firstAct = -1;
        for (int64_t poll : c.polls) {
            sim.nowMs = std::max(sim.nowMs, poll);
            const int64_t began = sim.nowMs;
            std::vector<BuildEntry> entries;
            if (const FileStep* s = sim.At(began + 20))
                entries.push_back(MakeBuildEntry("C:\\T\\arduino_build_1\\a.ino.hex", Instant + s->write * Ms,
                                                 Instant + began * Ms, s->size));
            sim.nowMs = began + 40;
            const std::vector<bool> act = CompleteNewBuilds(seen, entries, Instant + began * Ms, Instant + began * Ms,
                                                            sim.Now(), probe);
            ASSERT_EQ(entries.size(), act.size());
            if (!act.empty() && act[0]) {
                actedSizes.push_back(sim.At(sim.nowMs)->size);
                if (firstAct < 0)
                    firstAct = sim.nowMs;
            }
        }
        EXPECT_EQ(c.actedSizes, actedSizes);
        if (firstAct >= 0) {
            EXPECT_GE(firstAct, c.notBefore);
        }
        if (c.waits >= 0) {
            EXPECT_EQ(c.waits, sim.waits);
        }
    }
}

TEST(CompleteNewBuilds, OneSecondLookServesEveryNewBuildOfAPoll)
{
    Simulation sim{ { { -1000, 10, -1000, false } } };
    SeenBuilds seen;
    std::vector<BuildEntry> entries;
    for (const char* path : { "C:\\T\\build1.tmp\\a.cpp.hex", "C:\\T\\arduino-sketch-AB\\b.ino.hex",
                              "C:\\L\\arduino\\sketches\\CD\\c.ino.hex" })
        entries.push_back(MakeBuildEntry(path, Instant - 1000 * Ms, Instant, 10));
    sim.nowMs = 40;
    EXPECT_EQ((std::vector<bool>{ true, true, true }),
              CompleteNewBuilds(seen, entries, Instant, Instant, sim.Now(), sim.Probe()));
    EXPECT_EQ(1, sim.waits);
    EXPECT_EQ(1040, sim.nowMs);
    EXPECT_TRUE(seen.waiting.empty());
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
