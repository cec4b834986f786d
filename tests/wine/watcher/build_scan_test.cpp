#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "Fixture.h"
#include "watcher/BuildFolders.h"

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

    const std::vector<BuildEntry> entries = ScanBuilds(BuildRoots{ t, {}, {} }, now);
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
    EXPECT_TRUE(ScanBuilds(BuildRoots{ temp.path, {}, {} }, NowFileTime()).empty());
    EXPECT_TRUE(ScanBuilds(BuildRoots{ temp.path + "does-not-exist\\", {}, {} }, NowFileTime()).empty());
    CreateDirectoryW(Widen(temp.path + "build9.tmp").c_str(), nullptr);
    EXPECT_TRUE(ScanBuilds(BuildRoots{ temp.path, {}, {} }, NowFileTime()).empty());
}

// One build of each IDE of today, in a TEMP and a local application-data folder of their own, plus a
// build.path folder named in the Arduino15 preferences.
TEST(ScanBuilds, ListsTheBuildsOfEveryIdeTogetherYoungestFirst)
{
    ScratchFolder scratch("scan-ides");
    const std::string temp = scratch.path + "Temp\\";
    const std::string local = scratch.path + "Local\\";
    const std::string buildPath = scratch.path + "My Builds\\";
    for (const std::string& f : { temp, local, temp + "arduino\\", temp + "arduino\\sketches\\", local + "arduino\\",
                                  local + "arduino\\sketches\\", buildPath })
        MakeFolder(f);
    const uint64_t now = NowFileTime();
    const std::string md5 = "0123456789ABCDEF0123456789ABCDEF";
    const struct { std::string folder; std::string hex; int64_t age; std::string elf; } rows[] = {
        { temp + "build7034.tmp\\", "Blink.cpp.hex", 7 * 60, "Blink.cpp.elf" },                 // 1.0.x - 1.6.5
        { temp + "build" + md5 + ".tmp\\", "Blink.ino.hex", 6 * 60, "Blink.ino.elf" },          // 1.6.6 - 1.6.11
        { temp + "arduino_build_123456\\", "Blink.ino.hex", 5 * 60, "Blink.ino.elf" },          // 1.6.12 - 1.8.19
        { temp + "arduino-sketch-" + md5 + "\\", "Blink.ino.hex", 4 * 60, "Blink.ino.elf" },    // 2.0.x, cli <= 0.29
        { temp + "arduino\\sketches\\" + md5 + "\\", "Blink.ino.hex", 3 * 60, "Blink.ino.elf" }, // cli 0.30 - 1.0.3
        { local + "arduino\\sketches\\" + md5 + "\\", "Blink.ino.hex", 2 * 60 + 5, "Blink.ino.elf" },   // 2.x
        { buildPath, "Game.ino.hex", 1 * 60 + 1, "Game.ino.elf" },                              // build.path
    };
    for (const auto& r : rows) {
        MakeFolder(r.folder);
        MakeHex(r.folder + r.hex, now - r.age * FileTimeSecond);
    }
    // The same program with its bootloader: never listed, however young.
    MakeHex(temp + "arduino_build_123456\\Blink.ino.with_bootloader.hex", now);
    MakeHex(local + "arduino\\sketches\\" + md5 + "\\Blink.ino.with_bootloader.hex", now);
    // Neighbours that are no build folders.
    MakeFolder(temp + "arduino_cache_123456");
    MakeHex(temp + "arduino_cache_123456\\core.hex", now);
    MakeHex(temp + "arduino\\stray.hex", now);
    MakeHex(local + "arduino\\sketches\\stray.hex", now);
    WriteFileBytes(temp + "arduino_build_777", "a plain file");

    const std::vector<BuildEntry> entries = ScanBuilds(BuildRoots{ temp, local, { buildPath } }, now);
    ASSERT_EQ(std::size(rows), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& r = rows[std::size(rows) - 1 - i];   // youngest first: the table backwards
        SCOPED_TRACE(r.folder);
        EXPECT_EQ(r.folder + r.hex, entries[i].hexPath);
        EXPECT_EQ(r.folder + r.elf, entries[i].elfPath);
        EXPECT_EQ(r.age / 60, entries[i].ageMinutes);
        EXPECT_EQ(r.age % 60, entries[i].ageSeconds);
        EXPECT_EQ(13u, entries[i].size);
    }

    // build.path pointing at a folder the TEMP search finds anyway: its build is listed once.
    const std::vector<BuildEntry> again =
        ScanBuilds(BuildRoots{ temp, local, { temp + "ARDUINO_BUILD_123456\\" } }, now);
    EXPECT_EQ(std::size(rows) - 1, again.size());
    // TEMP alone.
    EXPECT_EQ(5u, ScanBuilds(BuildRoots{ temp, {}, {} }, now).size());
}

// Names and links that anyone who may write into TEMP can make: none of them leads the scan out of its
// folders or passes for a build.
TEST(ScanBuilds, PassesOverLinksAndNamesThatOnlyLookLikeHexFiles)
{
    ScratchFolder scratch("scan-links");
    const std::string temp = scratch.path + "Temp\\";
    const std::string elsewhere = scratch.path + "Elsewhere\\";
    MakeFolder(temp);
    MakeFolder(elsewhere);
    const uint64_t now = NowFileTime();
    MakeHex(elsewhere + "Outside.cpp.hex", now);
    MakeFolder(temp + "build1.tmp");
    MakeHex(temp + "build1.tmp\\Blink.cpp.hex", now);
    WriteFileBytes(temp + "build1.tmp\\x.hexdump", ":00000001FF\r\n");   // its 8.3 name may end in .HEX
    WriteFileBytes(temp + "build1.tmp\\Blink.cpp.hex.part", ":00000001FF\r\n");

    // A folder link that looks like a build folder, and the sketches root below TEMP made a link:
    // nothing under either is searched. (Wine shows a file link as a plain file, so only folder links
    // can be shown here.)
    const UnixLink buildLink(temp + "build2.tmp", elsewhere);
    const UnixLink rootLink(temp + "arduino", elsewhere);
    ASSERT_TRUE(buildLink.made && rootLink.made);
    MakeFolder(elsewhere + "sketches");
    MakeFolder(elsewhere + "sketches\\ABCD");
    MakeHex(elsewhere + "sketches\\ABCD\\Deep.ino.hex", now);
    // The links lead somewhere: named as build folders themselves, what lies beyond them is found.
    ASSERT_EQ(2u, ScanBuilds(BuildRoots{ "", "", { temp + "arduino\\sketches\\ABCD\\", elsewhere } }, now).size());

    const std::vector<BuildEntry> entries = ScanBuilds(BuildRoots{ temp, {}, {} }, now);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(temp + "build1.tmp\\Blink.cpp.hex", entries[0].hexPath);
}

// TEMP, the local application-data folder and a build.path are what the system or the user gave:
// each may itself be a link (moved to another drive) and is searched as usual; a link below it is
// still passed over.
TEST(ScanBuilds, ARootsOwnBaseMayBeALink)
{
    ScratchFolder scratch("scan-base-links");
    const std::string real = scratch.path + "Real\\";
    const std::string elsewhere = scratch.path + "Elsewhere\\";
    const uint64_t now = NowFileTime();
    for (const std::string& f : { real, elsewhere, real + "Temp\\", real + "Temp\\build1.tmp\\", real + "Local\\",
                                  real + "Local\\arduino\\", real + "Local\\arduino\\sketches\\",
                                  real + "Local\\arduino\\sketches\\ABCD\\", real + "Build\\",
                                  elsewhere + "sketches\\", elsewhere + "sketches\\EF01\\" })
        MakeFolder(f);
    MakeHex(real + "Temp\\build1.tmp\\Blink.cpp.hex", now);
    MakeHex(real + "Local\\arduino\\sketches\\ABCD\\Game.ino.hex", now);
    MakeHex(real + "Build\\Own.ino.hex", now);
    MakeHex(elsewhere + "sketches\\EF01\\Outside.ino.hex", now);
    const UnixLink temp(scratch.path + "Temp", real + "Temp");
    const UnixLink local(scratch.path + "Local", real + "Local");
    const UnixLink build(scratch.path + "Build", real + "Build");
    const UnixLink below(real + "Temp\\arduino", elsewhere);   // TEMP\arduino\sketches leads out
    ASSERT_TRUE(temp.made && local.made && build.made && below.made);

    const std::vector<BuildEntry> entries = ScanBuilds(
        BuildRoots{ scratch.path + "Temp\\", scratch.path + "Local\\", { scratch.path + "Build\\" } }, now);
    std::vector<std::string> found;
    for (const BuildEntry& e : entries)
        found.push_back(e.hexPath);
    std::sort(found.begin(), found.end());
    EXPECT_EQ((std::vector<std::string>{ scratch.path + "Build\\Own.ino.hex",
                                         scratch.path + "Local\\arduino\\sketches\\ABCD\\Game.ino.hex",
                                         scratch.path + "Temp\\build1.tmp\\Blink.cpp.hex" }),
              found);
}

// One folder under two spellings: the short 8.3 form that TEMP often has, and the long form of a
// build.path. By text they differ; by file identity they are one, and listed once.
TEST(ScanBuilds, OneFolderUnderTwoSpellingsIsListedOnce)
{
    ScratchFolder scratch("scan-spellings");
    const std::string longTemp = scratch.path + "Temporary Files Folder\\";
    MakeFolder(longTemp);
    const std::string shortTemp = ShortPathOf(longTemp);
    ASSERT_FALSE(shortTemp.empty());
    ASSERT_NE(longTemp, shortTemp);
    const uint64_t now = NowFileTime();
    MakeFolder(longTemp + "arduino_build_42");
    MakeHex(longTemp + "arduino_build_42\\Blink.ino.hex", now);
    MakeHex(longTemp + "Loose.ino.hex", now);

    const struct { const char* what; BuildRoots roots; size_t listed; } cases[] = {
        { "build.path is TEMP's build folder in the long form", { shortTemp, "", { longTemp + "arduino_build_42\\" } }, 1 },
        { "build.path is TEMP itself in the long form: its own .hex only", { shortTemp, "", { longTemp } }, 2 },
        { "the same build.path twice, short and long", { "", "", { ShortPathOf(longTemp + "arduino_build_42\\"),
                                                                 longTemp + "arduino_build_42\\" } }, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.listed, ScanBuilds(c.roots, now).size());
    }
}
