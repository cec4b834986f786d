#include <gtest/gtest.h>

#include <algorithm>

#include "Fixture.h"
#include "watcher/BuildScan.h"

namespace {

void MakeFolder(const std::string& path) { CreateDirectoryW(Widen(path).c_str(), nullptr); }

void MakeHex(const std::string& path, uint64_t writeTime, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    WriteFileBytes(path, ":00000001FF\r\n");
    SetWriteTime(path, writeTime);
    SetFileAttributesW(Widen(path).c_str(), attributes);
}

const BuildEntry* Find(const std::vector<BuildEntry>& entries, const std::string& hexPath)
{
    auto it = std::find_if(entries.begin(), entries.end(), [&](const BuildEntry& e) { return e.hexPath == hexPath; });
    return it == entries.end() ? nullptr : &*it;
}

}  // namespace

TEST(ScanBuilds, ListsEveryPlainHexOfEveryBuildFolderYoungestFirst)
{
    ScratchFolder temp("scan");
    const std::string& t = temp.path;
    const uint64_t now = NowFileTime();

    MakeFolder(t + "build1.tmp");
    MakeHex(t + "build1.tmp\\Blink.cpp.hex", now - 125 * FileTimeMinute);
    MakeHex(t + "build1.tmp\\Other.cpp.hex", now - 3 * FileTimeSecond);
    MakeHex(t + "build1.tmp\\Secret.cpp.hex", now, FILE_ATTRIBUTE_HIDDEN);   // hidden file: skipped
    MakeHex(t + "build1.tmp\\Sys.cpp.hex", now, FILE_ATTRIBUTE_SYSTEM);      // system file: skipped
    MakeFolder(t + "build1.tmp\\Dir.hex");                                   // a folder: skipped

    MakeFolder(t + "build2.tmp");
    MakeHex(t + "build2.tmp\\X.HEX", now - 61 * FileTimeSecond);            // the OS match ignores case
    SetFileAttributesW(Widen(t + "build2.tmp").c_str(), FILE_ATTRIBUTE_HIDDEN);  // hidden folder: searched

    WriteFileBytes(t + "build123.tmp", "not a folder");                     // listed, contributes nothing
    MakeFolder(t + "other.tmp");
    MakeHex(t + "other.tmp\\Nope.hex", now);                                 // not a build folder
    MakeHex(t + "Loose.hex", now);

    const std::vector<BuildEntry> entries = ScanBuilds(t, now);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(t + "build1.tmp\\Other.cpp.hex", entries[0].hexPath);
    EXPECT_EQ(t + "build2.tmp\\X.HEX", entries[1].hexPath);
    EXPECT_EQ(t + "build1.tmp\\Blink.cpp.hex", entries[2].hexPath);

    const BuildEntry* x = Find(entries, t + "build2.tmp\\X.HEX");
    ASSERT_TRUE(x);
    EXPECT_EQ(t + "build2.tmp\\X.elf", x->elfPath);
    EXPECT_EQ(1, x->ageMinutes);
    EXPECT_EQ(1, x->ageSeconds);
    EXPECT_EQ(0, entries[0].ageMinutes);
    EXPECT_EQ(3, entries[0].ageSeconds);
    EXPECT_EQ(t + "build1.tmp\\Blink.cpp.elf", entries[2].elfPath);
    EXPECT_EQ(125, entries[2].ageMinutes);
}

TEST(ScanBuilds, MissingOrEmptyTempGivesNothing)
{
    ScratchFolder temp("scan-empty");
    EXPECT_TRUE(ScanBuilds(temp.path, NowFileTime()).empty());
    EXPECT_TRUE(ScanBuilds(temp.path + "does-not-exist\\", NowFileTime()).empty());
    CreateDirectoryW(Widen(temp.path + "build9.tmp").c_str(), nullptr);
    EXPECT_TRUE(ScanBuilds(temp.path, NowFileTime()).empty());
}
