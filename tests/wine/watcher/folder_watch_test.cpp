#include <gtest/gtest.h>

#include <algorithm>

#include "Fixture.h"
#include "watcher/FolderWatch.h"

namespace {

void MakeFolder(const std::string& path) { CreateDirectoryW(Widen(path).c_str(), nullptr); }

// Everything the watch reports until it has reported what pred looks for, or the time has passed.
template <typename Pred>
FolderChanges WaitForChanges(FolderWatch& watch, Pred pred, DWORD milliseconds = 10000)
{
    FolderChanges all;
    for (DWORD end = GetTickCount() + milliseconds; GetTickCount() < end && !pred(all);) {
        WaitForSingleObject(watch.event.get(), 200);
        const FolderChanges c = TakeChanges(watch);
        all.overflow |= c.overflow;
        all.rearm |= c.rearm;
        all.names.insert(all.names.end(), c.names.begin(), c.names.end());
    }
    return all;
}

bool Has(const FolderChanges& c, const std::string& name)
{
    return std::any_of(c.names.begin(), c.names.end(), [&](const std::string& n) { return SameIgnoringCase(n, name); });
}

}  // namespace

// A build folder made in a root and its .hex written: both reach the watcher, named from the root.
TEST(FolderWatch, ARootReportsANewBuildFolderAndTheHexInIt)
{
    ScratchFolder temp("watch-root");
    const std::unique_ptr<FolderWatch> watch = WatchRoot({ temp.path, BuildFolderNames::TempBuilds, temp.path });
    ASSERT_TRUE(watch);
    EXPECT_TRUE(watch->onRoot);
    MakeFolder(temp.path + "arduino_build_7");
    WriteFileBytes(temp.path + "arduino_build_7\\Blink.ino.hex", ":00000001FF\r\n");
    const FolderChanges c = WaitForChanges(*watch, [](const FolderChanges& c) {
        return Has(c, "arduino_build_7\\Blink.ino.hex");
    });
    EXPECT_TRUE(Has(c, "arduino_build_7"));
    EXPECT_TRUE(Has(c, "arduino_build_7\\Blink.ino.hex"));
}

// build.path is a build folder itself: its own entries are its builds.
TEST(FolderWatch, ABuildFolderRootReportsItsHex)
{
    ScratchFolder builds("watch-itself");
    const std::unique_ptr<FolderWatch> watch = WatchRoot({ builds.path, BuildFolderNames::Itself, "" });
    ASSERT_TRUE(watch);
    WriteFileBytes(builds.path + "Game.ino.hex", ":00000001FF\r\n");
    EXPECT_TRUE(Has(WaitForChanges(*watch, [](const FolderChanges& c) { return Has(c, "Game.ino.hex"); }),
                    "Game.ino.hex"));
}

// TEMP\arduino\sketches does not exist until an IDE 2.x makes it: its parent is watched meanwhile,
// which says when the way to the root has changed, and nothing of the parent's other traffic.
TEST(FolderWatch, AMissingRootIsWatchedThroughItsNearestParent)
{
    ScratchFolder temp("watch-parent");
    const WatchedRoot sketches{ temp.path + "arduino\\sketches\\", BuildFolderNames::Any, temp.path };
    std::unique_ptr<FolderWatch> watch = WatchRoot(sketches);
    ASSERT_TRUE(watch);
    EXPECT_FALSE(watch->onRoot);
    EXPECT_EQ(temp.path, watch->target);

    WriteFileBytes(temp.path + "unrelated.tmp", "another program's file");
    WriteFileBytes(temp.path + "~DF1A2B.tmp", "the shell's churn");
    DeleteFileW(Widen(temp.path + "~DF1A2B.tmp").c_str());
    const FolderChanges unrelated = WaitForChanges(*watch, [](const FolderChanges&) { return false; }, 1000);
    EXPECT_FALSE(unrelated.rearm);
    EXPECT_TRUE(unrelated.names.empty());

    MakeFolder(temp.path + "arduino");
    EXPECT_TRUE(WaitForChanges(*watch, [](const FolderChanges& c) { return c.rearm; }).rearm);
    MakeFolder(temp.path + "arduino\\sketches");
    watch = WatchRoot(sketches);
    ASSERT_TRUE(watch);
    EXPECT_TRUE(watch->onRoot);
}

// Folders' write times an hour back, as those of folders nobody has touched for a while.
void SetWrittenAnHourAgo(std::initializer_list<std::string> folders)
{
    for (const std::string& f : folders)
        SetWriteTime(f, NowFileTime() - 3600ULL * 10'000'000);
}

// A watch is looked over only once the entries of a folder on its way changed, and then goes stale
// for what concerns it alone: another program's file in the watched parent of a missing root, or in
// the root itself, leaves it sound; the root's first folder coming, or the root made again, does not.
TEST(FolderWatch, AWatchGoesStaleForChangesOnTheWayToItsRootAlone)
{
    ScratchFolder scratch("watch-way");
    const std::string temp = scratch.path + "Temp\\";
    MakeFolder(temp);
    const WatchedRoot sketches{ temp + "arduino\\sketches\\", BuildFolderNames::Any, temp };
    const WatchedRoot builds{ temp, BuildFolderNames::TempBuilds, temp };
    SetWrittenAnHourAgo({ scratch.path, temp });
    const std::unique_ptr<FolderWatch> missing = WatchRoot(sketches), root = WatchRoot(builds);
    ASSERT_TRUE(missing && root);
    EXPECT_FALSE(missing->onRoot);
    EXPECT_TRUE(root->onRoot);
    for (int look = 0; look < 2; ++look) {
        EXPECT_FALSE(WatchIsStale(*missing));
        EXPECT_FALSE(WatchIsStale(*root));
    }

    WriteFileBytes(temp + "~DF1A2B.tmp", "another program's file");
    EXPECT_FALSE(WatchIsStale(*missing));
    EXPECT_FALSE(WatchIsStale(*root));
    SetWrittenAnHourAgo({ temp });
    EXPECT_FALSE(WatchIsStale(*missing));
    EXPECT_FALSE(WatchIsStale(*root));

    MakeFolder(temp + "arduino");
    EXPECT_TRUE(WatchIsStale(*missing));
    EXPECT_FALSE(WatchIsStale(*root));

    ASSERT_TRUE(MoveFileW(Widen(scratch.path + "Temp").c_str(), Widen(scratch.path + "Temp.old").c_str()));
    MakeFolder(temp);
    EXPECT_TRUE(WatchIsStale(*root));
}

// A root removed (or moved away) and made again between two looks is another folder under the same name: the old
// watch would never report again, so it counts as stale; a watch set anew does not, and reports.
TEST(FolderWatch, ARootMadeAgainMakesItsWatchStale)
{
    ScratchFolder scratch("watch-again");
    const WatchedRoot root{ scratch.path + "Temp\\", BuildFolderNames::TempBuilds, scratch.path + "Temp\\" };
    MakeFolder(root.folder);
    const std::unique_ptr<FolderWatch> old = WatchRoot(root);
    ASSERT_TRUE(old);
    EXPECT_FALSE(WatchIsStale(*old));
    // Moved away and made again: a removal would wait here for the watch's handle to close.
    ASSERT_TRUE(MoveFileW(Widen(scratch.path + "Temp").c_str(), Widen(scratch.path + "Temp.old").c_str()));
    MakeFolder(root.folder);
    EXPECT_TRUE(WatchIsStale(*old));

    const std::unique_ptr<FolderWatch> again = WatchRoot(root);
    ASSERT_TRUE(again);
    EXPECT_FALSE(WatchIsStale(*again));
    MakeFolder(root.folder + "build1.tmp");
    EXPECT_TRUE(Has(WaitForChanges(*again, [](const FolderChanges& c) { return Has(c, "build1.tmp"); }), "build1.tmp"));
}
