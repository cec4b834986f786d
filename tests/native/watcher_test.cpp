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
