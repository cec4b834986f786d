#include <gtest/gtest.h>

#include "watcher/BuildListing.h"
#include "watcher/Watcher.h"

namespace {

constexpr uint64_t Instant = 134'098'992'000'000'000ULL;
constexpr uint64_t Second = 10'000'000;

const WatchedRoot Temp{ "C:\\T\\", BuildFolderNames::TempBuilds, "C:\\T\\" };
const WatchedRoot Sketches{ "C:\\L\\arduino\\sketches\\", BuildFolderNames::Any, "C:\\L\\" };
const WatchedRoot BuildPath{ "D:\\B\\", BuildFolderNames::Itself, "" };

}  // namespace

// What the listing hands a poll that searched nothing: the builds of the last searches, aged anew,
// each with the instants the new-build rule needs.
TEST(BuildListing, KeepsWhatTheSearchesFoundAndAgesItAtEachPoll)
{
    BuildListing listing;
    SetRoots(listing, { Temp, BuildPath }, 0);
    EXPECT_EQ((std::vector<std::string>{ "C:\\T\\build1.tmp\\", "C:\\T\\arduino_build_2\\" }),
              RecordRootListing(listing, 0, { "build1.tmp", "arduino_build_2" }, Instant));
    EXPECT_EQ(std::vector<std::string>{ "D:\\B\\" }, RecordRootListing(listing, 1, { "" }, Instant));
    RecordFolderSearch(listing, "C:\\T\\build1.tmp\\", { { "a.cpp.hex", Instant - 61 * Second, 10 } }, Instant);
    RecordFolderSearch(listing, "D:\\B\\", { { "b.ino.hex", Instant - 2 * Second, 20 } }, Instant);
    RecordFolderSearch(listing, "C:\\T\\unlisted\\", { { "x.hex", Instant, 1 } }, Instant);   // ignored

    const std::vector<BuildEntry> later = ListedBuilds(listing, Instant + 55 * Second);
    ASSERT_EQ(2u, later.size());
    EXPECT_EQ("D:\\B\\b.ino.hex", later[0].hexPath);
    EXPECT_EQ(0, later[0].ageMinutes);
    EXPECT_EQ(57, later[0].ageSeconds);
    EXPECT_EQ(20u, later[0].size);
    EXPECT_EQ("C:\\T\\build1.tmp\\a.cpp.hex", later[1].hexPath);
    EXPECT_EQ("C:\\T\\build1.tmp\\a.cpp.elf", later[1].elfPath);
    EXPECT_EQ(1, later[1].ageMinutes);
    EXPECT_EQ(56, later[1].ageSeconds);
    for (const BuildEntry& e : later) {
        EXPECT_EQ(Instant, e.searched);
        EXPECT_EQ(0u, e.previousSearch);   // found at the first listing: no search before
    }

    // The root listed again without build1.tmp: its builds go; a new folder wants its first search,
    // and counts its builds from the listing before, which did not show it.
    EXPECT_EQ(std::vector<std::string>{ "C:\\T\\build3.tmp\\" },
              RecordRootListing(listing, 0, { "arduino_build_2", "build3.tmp" }, Instant + 8 * Second));
    RecordFolderSearch(listing, "C:\\T\\build3.tmp\\", { { "c.cpp.hex", Instant + 7 * Second, 5 } }, Instant + 8 * Second);
    RecordFolderSearch(listing, "D:\\B\\", { { "b.ino.hex", Instant - 2 * Second, 20 } }, Instant + 8 * Second);
    const std::vector<BuildEntry> after = ListedBuilds(listing, Instant + 8 * Second);
    ASSERT_EQ(2u, after.size());
    for (const BuildEntry& e : after) {
        SCOPED_TRACE(e.hexPath);
        EXPECT_EQ(Instant + 8 * Second, e.searched);
        EXPECT_EQ(Instant, e.previousSearch);
    }
    EXPECT_EQ(0u, listing.folders.count("C:\\T\\build1.tmp\\"));

    // A root that cannot be searched any more holds nothing.
    ForgetRoot(listing, 1, Instant + 12 * Second);
    EXPECT_EQ(1u, ListedBuilds(listing, Instant + 12 * Second).size());
}

TEST(BuildListing, NewRootsCountFromThePollBeforeAndRootsThatGoTakeTheirFolders)
{
    BuildListing listing;
    SetRoots(listing, { Temp, BuildPath }, 0);
    RecordRootListing(listing, 0, { "build1.tmp" }, Instant);
    RecordRootListing(listing, 1, { "" }, Instant);
    RecordFolderSearch(listing, "D:\\B\\", { { "b.hex", Instant, 1 } }, Instant);

    // build.path moved: the old folder goes, TEMP keeps what it had, the new one counts as listed
    // (empty) at the poll before, so a build written into it since then is new.
    const WatchedRoot moved{ "E:\\Builds\\", BuildFolderNames::Itself, "" };
    SetRoots(listing, { Temp, moved }, Instant + 4 * Second);
    ASSERT_EQ(2u, listing.roots.size());
    EXPECT_EQ(Instant, listing.roots[0].listedAt);
    EXPECT_EQ(std::vector<std::string>{ "C:\\T\\build1.tmp\\" }, listing.roots[0].folders);
    EXPECT_EQ(Instant + 4 * Second, listing.roots[1].listedAt);
    EXPECT_EQ(0u, listing.folders.count("D:\\B\\"));
    RecordRootListing(listing, 1, { "" }, Instant + 8 * Second);
    RecordFolderSearch(listing, "E:\\Builds\\", { { "c.hex", Instant + 6 * Second, 1 } }, Instant + 8 * Second);
    const std::vector<BuildEntry> entries = ListedBuilds(listing, Instant + 8 * Second);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(Instant + 4 * Second, entries[0].previousSearch);
}

TEST(BuildListing, AChangeCostsTheSearchOfTheFolderItNames)
{
    const struct {
        const char* what;
        WatchedRoot root;
        const char* name;
        ChangeScope::Kind kind;
        const char* folder;
    } cases[] = {
        { "a .hex in a build folder", Temp, "arduino_build_1\\Blink.ino.hex", ChangeScope::Folder,
          "C:\\T\\arduino_build_1\\" },
        { "in any case", Temp, "BUILD1.TMP\\BLINK.CPP.HEX", ChangeScope::Folder, "C:\\T\\BUILD1.TMP\\" },
        { "the IDE's object files", Temp, "arduino_build_1\\sketch\\Blink.ino.cpp.o", ChangeScope::Nothing, "" },
        { "the .elf beside the .hex", Temp, "arduino_build_1\\Blink.ino.elf", ChangeScope::Nothing, "" },
        { "a build folder made or removed", Temp, "arduino_build_9", ChangeScope::Root, "" },
        { "another program's temporary file", Temp, "chrome_12345.tmp", ChangeScope::Nothing, "" },
        { "inside another program's folder", Temp, "Outlook\\x.hex", ChangeScope::Nothing, "" },
        { "a short name that may stand for a build folder", Temp, "ARDUIN~1\\BLINKI~1.HEX", ChangeScope::Root, "" },
        { "a short name of a file in a build folder", Temp, "build1.tmp\\BLINKC~1.HEX", ChangeScope::Folder,
          "C:\\T\\build1.tmp\\" },
        { "the short name of arduino-sketch-*", Temp, "ARDUIN~2", ChangeScope::Root, "" },
        { "the short name of build*.tmp", Temp, "BUILD1~1.TMP", ChangeScope::Root, "" },
        { "a hashed short name of build*.tmp", Temp, "BU3F2A~1.TMP", ChangeScope::Root, "" },
        { "Wine's short name of arduino_build_*", Temp, "ARDU~K3B", ChangeScope::Root, "" },
        { "the shell's and Office's churn", Temp, "~DF1A2B.tmp", ChangeScope::Nothing, "" },
        { "a short name of another program's folder", Temp, "CHROME~1.TMP", ChangeScope::Nothing, "" },
        { "a short name with another extension", Temp, "BUILD1~1.LOG", ChangeScope::Nothing, "" },
        { "a tilde in a long name", Temp, "build~notes.txt", ChangeScope::Nothing, "" },
        { "a short name of a file in a build folder that is no .hex", Temp, "build1.tmp\\BLINKI~1.ELF",
          ChangeScope::Nothing, "" },
        { "churn in a build folder", Temp, "arduino_build_1\\~DF1A2B.tmp", ChangeScope::Nothing, "" },
        { "build.path: a short name of a .hex", BuildPath, "GAMEIN~1.HEX", ChangeScope::Folder, "D:\\B\\" },
        { "build.path: churn", BuildPath, "~DF1A2B.tmp", ChangeScope::Nothing, "" },
        { "any folder of the sketches root", Sketches, "0123ABCD\\Game.ino.hex", ChangeScope::Folder,
          "C:\\L\\arduino\\sketches\\0123ABCD\\" },
        { "build.path: a .hex directly in it", BuildPath, "Game.ino.hex", ChangeScope::Folder, "D:\\B\\" },
        { "build.path: deeper", BuildPath, "core\\x.hex", ChangeScope::Nothing, "" },
        { "build.path: the bootloader image", BuildPath, "Game.ino.with_bootloader.hex", ChangeScope::Nothing, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ChangeScope scope = ScopeOfChange(c.root, c.name);
        EXPECT_EQ(c.kind, scope.kind);
        EXPECT_EQ(c.folder, scope.folder);
    }
}

// The wall clock put back an hour, then a find that comes late (a root searched only at the timed
// poll, or one listed anew after it was made again): the build written since is still new, both in a
// folder listed before the step and in a folder that the late listing finds first.
TEST(BuildListing, AWallClockPutBackLeavesALateFoundBuildNew)
{
    constexpr uint64_t Hour = 3600 * Second;
    BuildListing listing;
    SeenBuilds seen;
    SetRoots(listing, { Temp }, 0);
    RecordRootListing(listing, 0, { "arduino_build_1" }, Instant);
    RecordFolderSearch(listing, "C:\\T\\arduino_build_1\\", {}, Instant);
    NewBuilds(seen, ListedBuilds(listing, Instant), Instant);
    const ClockReading first{ Instant, 500 * Second };

    // The next poll, 4 s later on the monotonic clock, reads a wall clock an hour behind.
    const ClockReading second{ Instant - Hour + 4 * Second, 504 * Second };
    const uint64_t step = WallClockStepBack(first, second);
    EXPECT_EQ(Hour, step);
    ShiftBack(listing, step);

    // Both builds written 10 s after the step, found 50 s later.
    const uint64_t written = second.wall + 10 * Second, found = second.wall + 60 * Second;
    RecordRootListing(listing, 0, { "arduino_build_1", "arduino_build_2" }, found);
    RecordFolderSearch(listing, "C:\\T\\arduino_build_1\\", { { "a.ino.hex", written, 13 } }, found);
    RecordFolderSearch(listing, "C:\\T\\arduino_build_2\\", { { "b.ino.hex", written, 13 } }, found);
    const std::vector<BuildEntry> entries = ListedBuilds(listing, found);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ((std::vector<bool>{ true, true }), NewBuilds(seen, entries, found));
}

TEST(BuildListing, OnlyAWallClockPutBackCountsAsAStep)
{
    const ClockReading before{ Instant, 100 * Second };
    const struct {
        const char* what;
        ClockReading previous, now;
        uint64_t step;
    } cases[] = {
        { "no reading before", { 0, 0 }, { Instant, 104 * Second }, 0 },
        { "both clocks ran alike", before, { Instant + 4 * Second, 104 * Second }, 0 },
        { "the jitter of two reads", before, { Instant + 3500 * Second / 1000, 104 * Second }, 0 },
        { "put forward a day", before, { Instant + 86400 * Second, 104 * Second }, 0 },
        { "put back 10 s", before, { Instant - 6 * Second, 104 * Second }, 10 * Second },
        { "stood still for 8 s", before, { Instant, 108 * Second }, 8 * Second },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.step, WallClockStepBack(c.previous, c.now));
    }
}

// The next component of the way to a root that does not exist yet, as a short name: what makes the
// watch on its parent watch again.
TEST(BuildListing, AShortNameMayStandOnlyForALongNameOfItsStartAndExtension)
{
    const struct {
        const char* name;
        const char* longName;
        bool may;
    } cases[] = {
        { "MYBUIL~1", "My Builds", true },
        { "mybuil~1", "My Builds", true },
        { "MY1F2A~1", "My Builds", true },
        { "ARDUIN~1", "arduino", true },
        { "SKETCH~1.OLD", "sketches.old", true },
        { "SKETCH~1", "sketches.old", false },
        { "~DF1A2B.tmp", "My Builds", false },
        { "OTHERF~1", "My Builds", false },
        { "MYBUILDS", "My Builds", false },    // no tilde: a long name of its own
        { "MYBUILDIN~1", "My Buildings", false },   // more than 8 before the dot
        { "MYBUIL~", "My Builds", false },
        { "MYBU~A!B", "My Builds", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " for " + c.longName);
        EXPECT_EQ(c.may, MayBeShortNameOf(c.name, c.longName));
    }
}

// What a poll searches besides the notifications' names: nothing at a timed poll while every watch is
// healthy; every root after a resume from sleep or when build.path named other folders; a root whose
// watch was set again, and one without notifications, whole.
TEST(BuildListing, OnlyALostWatchAResumeOrOtherRootsCostAWholeSearch)
{
    const struct {
        const char* what;
        Wake wake;
        bool everything;
        std::vector<size_t> wholeRoots;
    } cases[] = {
        { "the timed poll, every watch healthy", {}, false, {} },
        { "a resume from sleep", { .resumed = true }, true, {} },
        { "build.path names another folder", { .rootsChanged = true }, true, {} },
        { "a watch set again", { .rewatched = { 1 } }, false, { 1 } },
        { "a root without notifications", { .unwatched = { 0, 2 } }, false, { 0, 2 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PollScope scope;
        AddWake(scope, c.wake);
        EXPECT_EQ(c.everything, scope.everything);
        EXPECT_EQ(c.wholeRoots, scope.wholeRoots);
        EXPECT_TRUE(scope.roots.empty());
        EXPECT_TRUE(scope.folders.empty());
    }
}

// A preferences.txt rewritten with the same build.path gives the same roots: nothing is taken up anew.
TEST(BuildListing, TheSameRootsAgainAreNoChange)
{
    BuildListing listing;
    EXPECT_TRUE(SetRoots(listing, { Temp, BuildPath }, 0));
    RecordRootListing(listing, 0, { "build1.tmp" }, Instant);
    EXPECT_FALSE(SetRoots(listing, { Temp, BuildPath }, Instant + 4 * Second));
    EXPECT_EQ(Instant, listing.roots[0].listedAt);
    EXPECT_EQ(1u, listing.folders.count("C:\\T\\build1.tmp\\"));
    EXPECT_TRUE(SetRoots(listing, { Temp }, Instant + 8 * Second));
    EXPECT_TRUE(SetRoots(listing, { BuildPath, Temp }, Instant + 8 * Second));   // another order: other indexes
}

// How one watch's report turns into searches.
TEST(BuildListing, AWatchReportTurnsIntoSearches)
{
    BuildListing listing;
    SetRoots(listing, { Temp, BuildPath }, 0);
    {
        SCOPED_TRACE("names");
        PollScope scope;
        AddChanges(scope, listing, 0,
                   { false, false, { "arduino_build_1\\Blink.ino.hex", "arduino_build_2", "~DF1A2B.tmp", "x.log" } });
        EXPECT_FALSE(scope.everything);
        EXPECT_EQ(std::vector<size_t>{ 0 }, scope.roots);
        EXPECT_TRUE(scope.wholeRoots.empty());
        EXPECT_EQ(std::vector<std::string>{ "C:\\T\\arduino_build_1\\" }, scope.folders);
    }
    {
        SCOPED_TRACE("a watch that must be set again: its root whole");
        PollScope scope;
        AddChanges(scope, listing, 1, { false, true, {} });
        EXPECT_FALSE(scope.everything);
        EXPECT_EQ(std::vector<size_t>{ 1 }, scope.wholeRoots);
    }
    {
        SCOPED_TRACE("an overflow or a failed read: everything");
        PollScope scope;
        AddChanges(scope, listing, 0, { true, false, {} });
        EXPECT_TRUE(scope.everything);
    }
}

// Which root a folder belongs to: the one it is a build folder of, whatever its case.
TEST(BuildListing, AFolderBelongsToTheRootWhoseBuildFolderItIs)
{
    BuildListing listing;
    SetRoots(listing, { Temp, Sketches, BuildPath }, 0);
    const struct {
        const char* folder;
        std::optional<size_t> root;
    } cases[] = {
        { "C:\\T\\arduino_build_1\\", 0 },
        { "c:\\t\\BUILD1.TMP\\", 0 },
        { "C:\\T\\arduino_build_1", 0 },
        { "C:\\T\\Outlook\\", std::nullopt },                   // not a build folder's name
        { "C:\\T\\arduino_build_1\\sketch\\", std::nullopt },   // deeper
        { "C:\\T\\", std::nullopt },                            // TEMP itself is no build folder
        { "C:\\L\\arduino\\sketches\\0123ABCD\\", 1 },
        { "D:\\B\\", 2 },
        { "d:\\b", 2 },
        { "D:\\B\\sub\\", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(c.root, RootOf(listing, c.folder));
    }
}

// What a poll searches: the folders named once each, a folder not listed yet through its root, the
// roots listed anew in their order, whole or for their new folders only.
TEST(BuildListing, ASearchListsTheRootsFirstAndThenTheFoldersOnce)
{
    BuildListing listing;
    SetRoots(listing, { Temp, Sketches, BuildPath }, 0);
    RecordRootListing(listing, 0, { "arduino_build_1", "arduino_build_2" }, Instant);
    RecordRootListing(listing, 2, { "" }, Instant);

    PollScope scope;
    scope.folders = { "C:\\T\\arduino_build_1\\", "C:\\T\\arduino_build_1\\", "C:\\L\\arduino\\sketches\\NEW\\",
                      "C:\\T\\Outlook\\" };
    scope.wholeRoots = { 2 };
    SearchPlan plan = PlanSearch(listing, scope);
    ASSERT_EQ(2u, plan.roots.size());
    EXPECT_EQ(1u, plan.roots[0].index);   // the sketches root, for the folder it has not listed
    EXPECT_FALSE(plan.roots[0].whole);
    EXPECT_EQ(2u, plan.roots[1].index);
    EXPECT_TRUE(plan.roots[1].whole);
    EXPECT_EQ(std::vector<std::string>{ "C:\\T\\arduino_build_1\\" }, plan.folders);

    // The sketches root's listing adds its new folder; build.path, listed whole, its folder; a root
    // that cannot be searched adds nothing and holds nothing.
    TakeRootListing(listing, plan, plan.roots[0], std::vector<std::string>{ "NEW" }, Instant + Second);
    TakeRootListing(listing, plan, plan.roots[1], std::vector<std::string>{ "" }, Instant + Second);
    EXPECT_EQ((std::vector<std::string>{ "C:\\T\\arduino_build_1\\", "C:\\L\\arduino\\sketches\\NEW\\", "D:\\B\\" }),
              plan.folders);
    TakeRootListing(listing, plan, { 0, true }, std::nullopt, Instant + Second);
    EXPECT_TRUE(listing.roots[0].folders.empty());
    EXPECT_EQ(3u, plan.folders.size());

    PollScope everything;
    everything.everything = true;
    const SearchPlan all = PlanSearch(listing, everything);
    ASSERT_EQ(3u, all.roots.size());
    for (const PlannedRoot& r : all.roots)
        EXPECT_TRUE(r.whole);
}

// A folder made while the agent runs is searched once more at the next timed poll: the notification
// of a .hex written into it at once may be lost while the system takes the new folder into the watch.
TEST(BuildListing, AFolderMadeWhileWatchedIsSearchedOnceMore)
{
    BuildListing listing;
    SetRoots(listing, { Temp }, 0);
    RecordRootListing(listing, 0, { "arduino_build_1" }, Instant);
    EXPECT_TRUE(TakeFoldersToSearchAgain(listing).empty());   // found at the first listing
    RecordRootListing(listing, 0, { "arduino_build_1", "arduino_build_2" }, Instant + Second);
    RecordFolderSearch(listing, "C:\\T\\arduino_build_2\\", {}, Instant + Second);
    EXPECT_EQ(std::vector<std::string>{ "C:\\T\\arduino_build_2\\" }, TakeFoldersToSearchAgain(listing));
    EXPECT_TRUE(TakeFoldersToSearchAgain(listing).empty());
}
