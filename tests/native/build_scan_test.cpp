#include <gtest/gtest.h>

#include "base/Text.h"
#include "watcher/AgeText.h"
#include "watcher/BuildFolders.h"

namespace {
// 2026-12-09 12:00:00 UTC as a file time; any instant would do.
constexpr uint64_t Instant = 134'098'992'000'000'000ULL;
}

TEST(BuildAge, FoldsTheDifferenceIntoMinutesAndSeconds)
{
    const struct { int64_t offset; int32_t minutes; int32_t seconds; } cases[] = {
        { 0, 0, 0 },
        { -599'000'000, 0, 59 },   // 59.9 s old: seconds truncate, never round
        { -600'000'000, 1, 0 },
        { -610'000'000, 1, 1 },
        { -(2 * 1440 + 3 * 60 + 4) * 600'000'000LL, 3064, 0 },  // 2 days 3 hours 4 minutes
        { 30'000'000, 0, 3 },      // stamped 3 s in the future (clock skew) counts as 3 s old
        { -39'999'999, 0, 3 },     // 3.9999999 s
        { -40'000'000, 0, 4 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        const BuildEntry e = MakeBuildEntry("C:\\T\\build1.tmp\\a.hex", Instant + c.offset, Instant);
        EXPECT_EQ(c.minutes, e.ageMinutes);
        EXPECT_EQ(c.seconds, e.ageSeconds);
    }
}

TEST(BuildAge, ATimeFarOffSaturatesInsteadOfWrapping)
{
    const BuildEntry e = MakeBuildEntry("x.hex", 0, UINT64_MAX);
    EXPECT_EQ(2147483647, e.ageMinutes);
    EXPECT_GE(e.ageSeconds, 0);
    EXPECT_LE(e.ageSeconds, 59);
}

TEST(BuildPaths, ElfPathReplacesTheLastFourCharacters)
{
    EXPECT_EQ("C:\\T\\build7034.tmp\\Blink.cpp.elf", MakeBuildEntry("C:\\T\\build7034.tmp\\Blink.cpp.hex", 0, 0).elfPath);
    EXPECT_EQ("C:\\T\\build1.tmp\\X.elf", ElfPathFor("C:\\T\\build1.tmp\\X.HEX"));
    EXPECT_EQ(".elf", ElfPathFor("hex"));  // shorter than the extension: nothing left to keep
}

TEST(BuildOrder, YoungestWholeMinuteFirst)
{
    std::vector<BuildEntry> entries = {
        MakeBuildEntry("old", Instant - 125 * FileTimeMinute, Instant),
        MakeBuildEntry("new", Instant - 3 * FileTimeSecond, Instant),
        MakeBuildEntry("day", Instant - 2000 * FileTimeMinute, Instant),
        MakeBuildEntry("mid", Instant - 61 * FileTimeSecond, Instant),
    };
    OrderBuilds(entries);
    ASSERT_EQ(4u, entries.size());
    EXPECT_EQ("new", entries[0].hexPath);
    EXPECT_EQ("mid", entries[1].hexPath);
    EXPECT_EQ("old", entries[2].hexPath);
    EXPECT_EQ("day", entries[3].hexPath);
}

TEST(BuildAgeText, ReadsInMinutesHoursOrMoreThanADay)
{
    const struct { int32_t minutes; const char* text; } cases[] = {
        { 0, "0 minute" }, { 1, "1 minute" }, { 2, "2 minutes" }, { 59, "59 minutes" },
        { 60, "1 hour" }, { 61, "1 hour 1 minute" }, { 62, "1 hour 2 minutes" }, { 120, "2 hours" },
        { 125, "2 hours 5 minutes" }, { 1439, "23 hours 59 minutes" }, { 1440, "more than a day" },
        { 3064, "more than a day" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.minutes);
        EXPECT_EQ(c.text, BuildAgeText(c.minutes));
    }
}

TEST(BuildFolders, TempNamesOfEveryIdeMatchWithoutRegardToCase)
{
    const struct { const char* name; bool build; } cases[] = {
        { "build7034.tmp", true },                  // IDE 1.0 - 1.6.5
        { "build0123456789abcdef0123456789abcdef.tmp", true },   // 1.6.6 - 1.6.11
        { "BUILD1.TMP", true },
        { "build.tmp", true },                      // the star of build*.tmp may be empty
        { "build1.tmp.old", false },
        { "rebuild1.tmp", false },
        { "build1", false },
        { "arduino_build_123456", true },           // 1.6.12 - 1.8.19
        { "Arduino_Build_1", true },
        { "arduino_build_", false },
        { "arduino_cache_123456", false },          // the core cache of 1.8: no builds
        { "arduino-sketch-0123456789ABCDEF0123456789ABCDEF", true },   // 2.0, arduino-cli up to 0.29
        { "arduino-sketch-", false },
        { "arduino-sketchbook", false },
        { "arduino", false },                       // holds sketches\<MD5>, a root of its own
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.build, IsTempBuildFolderName(c.name));
        EXPECT_EQ(c.build, IsBuildFolderName(BuildFolderNames::TempBuilds, c.name));
    }
    for (const char* name : { "0123456789ABCDEF0123456789ABCDEF", "anything" })
        EXPECT_TRUE(IsBuildFolderName(BuildFolderNames::Any, name)) << name;
    for (const char* name : { ".", "..", "" })
        EXPECT_FALSE(IsBuildFolderName(BuildFolderNames::Any, name)) << name;
}

TEST(BuildFolders, EveryRootOnceAndEmptyRootsNot)
{
    const std::vector<WatchedRoot> all = WatchedRoots({ "C:\\T\\", "C:\\L\\", { "D:\\B\\" } });
    const std::vector<WatchedRoot> expected = {
        { "C:\\T\\", BuildFolderNames::TempBuilds, "C:\\T\\" },
        { "C:\\T\\arduino\\sketches\\", BuildFolderNames::Any, "C:\\T\\" },
        { "C:\\L\\arduino\\sketches\\", BuildFolderNames::Any, "C:\\L\\" },
        { "D:\\B\\", BuildFolderNames::Itself, "D:\\B\\" },
    };
    EXPECT_EQ(expected, all);

    // TEMP set to the local application-data folder: its sketches folder is one root, not two.
    EXPECT_EQ(2u, WatchedRoots({ "C:\\L\\", "c:\\l\\", {} }).size());
    EXPECT_EQ(1u, WatchedRoots({ "", "C:\\L\\", {} }).size());
}

// A build.path that another root lists already would have its builds acted on twice.
TEST(BuildFolders, ABuildPathListedByAnotherRootIsLeftOut)
{
    const struct { const char* buildPath; bool ownRoot; } cases[] = {
        { "C:\\T\\arduino_build_5\\", false },
        { "c:\\t\\ARDUINO_BUILD_5\\", false },                    // the file system ignores case
        { "C:\\T\\arduino\\sketches\\0123ABCD\\", false },
        { "C:\\T\\Builds\\", true },                               // not a build folder name in TEMP
        { "C:\\T\\arduino_build_5\\deeper\\", true },
        { "C:\\T\\", true },                                       // TEMP's own .hex files, a search of its own
        { "D:\\B\\", true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.buildPath);
        const std::vector<WatchedRoot> roots = WatchedRoots({ "C:\\T\\", "", { c.buildPath } });
        EXPECT_EQ(c.ownRoot ? 3u : 2u, roots.size());
        if (c.ownRoot) {
            EXPECT_EQ(BuildFolderNames::Itself, roots.back().names);
        }
    }
    // Two spellings of one folder in text: one root.
    EXPECT_EQ(1u, WatchedRoots({ "", "", { "D:\\B\\", "d:\\b\\" } }).size());
}

TEST(BuildFolders, TheBootloaderHexIsNotListed)
{
    const struct { const char* name; bool listed; } cases[] = {
        { "Blink.ino.hex", true },
        { "Blink.cpp.hex", true },
        { "Blink.ino.with_bootloader.hex", false },
        { "BLINK.INO.WITH_BOOTLOADER.HEX", false },
        { "with_bootloader.hex", true },   // a sketch of that name, no bootloader part
        { "Blink.with_bootloader.ino.hex", true },
        { "BLINK.HEX", true },
        // *.hex also matches names whose short 8.3 form ends in .HEX: the long name decides.
        { "x.hexdump", false },
        { "Blink.ino.hex.tmp", false },
        { "Blink.ino.elf", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.listed, IsListedHexName(c.name));
    }
}
