#include <gtest/gtest.h>

#include <algorithm>

#include "base/KeptBuilds.h"

TEST(KeptBuilds, NamesAreSafeAndTellTheSketchAndTheSequence)
{
    const struct { const char* hex; const char* sketchStart; } cases[] = {
        { "Game.ino.hex", "Game_ino_hex-" },
        { "..\\..\\evil.hex", "____evil_hex-" },
        { "a/b:c*?\"<>|.hex", "abc_hex-" },
        { "CON.hex", "CON_hex-" },           // no dot before the hash: never the device CON
        { "", "-" },
        { "caf\xe9 \x01\n.hex", "caf_hex-" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        const std::string name = NextKeptBuildName(c.hex, {});
        EXPECT_EQ(0u, name.rfind(c.sketchStart, 0)) << name;
        EXPECT_EQ(name.size() - 6, name.rfind("-1.elf"));
        EXPECT_EQ(std::string::npos, name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.")) << name;
        EXPECT_EQ(name.find('.'), name.size() - 4) << name;   // the only dot is the extension's
        const std::optional<KeptName> parsed = ParseKeptBuildName(name);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(KeptSketchKey(c.hex), parsed->sketch);
        EXPECT_EQ(1u, parsed->sequence);
    }
    // Names that read alike once cleaned stay two sketches; a long name is cut, its hash whole.
    EXPECT_NE(KeptSketchKey("a b.hex"), KeptSketchKey("a_b.hex"));
    EXPECT_NE(KeptSketchKey("a.hex"), KeptSketchKey("A.hex"));
    const std::string longName(300, 'x');
    EXPECT_EQ(KeptSketchCharacters + 9, KeptSketchKey(longName).size());
    EXPECT_NE(KeptSketchKey(longName), KeptSketchKey(longName + "y"));
    EXPECT_TRUE(ParseKeptBuildName(NextKeptBuildName(longName, {})));

    // The sequence counts up over the whole folder.
    const std::vector<KeptFile> kept = { { NextKeptBuildName("A.hex", {}), 1 }, { KeptSketchKey("B.hex") + "-41.elf", 1 },
                                         { "notes.txt", 1 } };
    EXPECT_EQ(KeptSketchKey("A.hex") + "-42.elf", NextKeptBuildName("A.hex", kept));
}

TEST(KeptBuilds, NamesTheAgentDoesNotMakeAreNotKeptNames)
{
    const std::string key = KeptSketchKey("Game.ino.hex");
    const std::string refused[] = {
        "", ".elf", "x.elf", key + ".elf", key + "-.elf", key + "-1.ELF", key + "-1.elf.txt", key + "-x1.elf",
        key + "-1234567890123456789.elf",   // a sequence too long to count up from
        "Game_ino_hex-1a2b3c4D-1.elf", "Game_ino_hex-1a2b3c4-1.elf", "Game.ino-1a2b3c4d-1.elf",
        "..-1a2b3c4d-1.elf", std::string(KeptSketchCharacters + 1, 'x') + "-1a2b3c4d-1.elf",
    };
    for (const std::string& name : refused) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ParseKeptBuildName(name));
    }
    EXPECT_TRUE(ParseKeptBuildName(key + "-123456789012345678.elf"));
}

TEST(KeptBuilds, RemovesAllButTheNewestTwoOfEachSketchThenTheOldestOverTheBounds)
{
    const std::string a = KeptSketchKey("A.hex"), b = KeptSketchKey("B.hex");
    const auto file = [](const std::string& key, int sequence, uint64_t size = 1000) {
        return KeptFile{ key + "-" + std::to_string(sequence) + ".elf", size };
    };
    const struct { const char* what; std::vector<KeptFile> kept; std::vector<std::string> removed; } cases[] = {
        { "two of a sketch stay", { file(a, 1), file(a, 2), file(b, 3) }, {} },
        { "the third of a sketch goes, oldest first, whatever the listing's order",
          { file(a, 5), file(b, 2), file(a, 1), file(a, 3), file(a, 4) }, { file(a, 1).name, file(a, 3).name } },
        { "the byte bound removes the oldest of the rest",
          { file(a, 1, 40 << 20), file(b, 2, 20 << 20), file(a, 3, 10 << 20) }, { file(a, 1).name } },
        { "a file over the whole bound goes, and so does what is older",
          { file(a, 1), file(b, 2, uint64_t(1) << 40) }, { file(a, 1).name, file(b, 2).name } },
        { "names not the agent's are left alone and not counted",
          { { "desktop.ini", uint64_t(1) << 40 }, file(a, 1), file(a, 2), { "x.elf", 5 } }, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.removed, KeptBuildsToRemove(c.kept));
    }
    // The count bound: 40 sketches with two builds each keep the newest 64 files.
    std::vector<KeptFile> many;
    for (int i = 1; i <= 80; ++i)
        many.push_back(file(KeptSketchKey("S" + std::to_string((i + 1) / 2) + ".hex"), i, 10));
    const std::vector<std::string> removed = KeptBuildsToRemove(many);
    ASSERT_EQ(80 - KeptFileLimit, removed.size());
    for (size_t i = 0; i < removed.size(); ++i)
        EXPECT_EQ(many[i].name, removed[i]);
}

TEST(KeptBuilds, PreviousBuildIsTheNewestOlderOneOfTheSameSketch)
{
    const std::string a = KeptSketchKey("A.hex"), b = KeptSketchKey("B.hex");
    const std::vector<KeptFile> kept = { { a + "-7.elf", 1 }, { b + "-9.elf", 1 }, { a + "-3.elf", 1 },
                                         { a + "-10.elf", 1 }, { b + "-2.elf", 1 } };
    EXPECT_EQ(a + "-7.elf", PreviousKeptBuild(kept, a + "-10.elf"));
    EXPECT_EQ(a + "-3.elf", PreviousKeptBuild(kept, a + "-7.elf"));
    EXPECT_EQ(std::nullopt, PreviousKeptBuild(kept, a + "-3.elf"));
    EXPECT_EQ(b + "-2.elf", PreviousKeptBuild(kept, b + "-9.elf"));
    EXPECT_EQ(a + "-10.elf", PreviousKeptBuild(kept, a + "-11.elf"));   // not listed yet: still its previous
    EXPECT_EQ(std::nullopt, PreviousKeptBuild(kept, "A.hex"));
    EXPECT_EQ(std::nullopt, PreviousKeptBuild({}, a + "-10.elf"));
}

TEST(KeptBuilds, TheAnalysedBuildsPreviousIsTheCopyBeforeItsOwnOrTheNewestWrittenBeforeIt)
{
    const std::string game = KeptSketchKey("Game.ino.hex");
    const std::string other = KeptSketchKey("Other.ino.hex");
    EXPECT_EQ(game, KeptSketchKey(HexFileNameOfElf("C:\\Temp\\build1.tmp\\Game.ino.elf")));
    EXPECT_EQ("x.hex", HexFileNameOfElf("x.elf"));
    EXPECT_EQ(".hex", HexFileNameOfElf("C:\\b\\elf"));
    // Sequences 1, 2 and 4 of Game (written at 10, 20, 40), 3 of Other (at 30).
    const std::vector<KeptFile> kept = {
        { game + "-4.elf", 100, 40 }, { game + "-1.elf", 100, 10 }, { other + "-3.elf", 100, 30 },
        { game + "-2.elf", 100, 20 }, { "notes.txt", 5, 50 },
    };
    const struct {
        const char* what;
        std::string sketch;
        uint64_t written;
        std::vector<std::string> sameBytes;   // the copies that hold the analysed build's bytes
        std::optional<std::string> previous;
    } cases[] = {
        { "its own copy is the newest", game, 40, { game + "-4.elf" }, game + "-2.elf" },
        { "its own copy is an older one", game, 20, { game + "-2.elf" }, game + "-1.elf" },
        { "the newest of equal copies is its own", game, 40, { game + "-4.elf", game + "-2.elf" }, game + "-2.elf" },
        { "its own copy is the first", game, 10, { game + "-1.elf" }, std::nullopt },
        { "not kept: the newest written before it", game, 35, {}, game + "-2.elf" },
        { "not kept, newer than all", game, 99, {}, game + "-4.elf" },
        { "not kept, older than all", game, 5, {}, std::nullopt },
        { "another sketch's copies never count", other, 99, { game + "-4.elf" }, other + "-3.elf" },
        { "a sketch without copies", KeptSketchKey("New.ino.hex"), 99, {}, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto same = [&](const KeptFile& f) {
            return std::find(c.sameBytes.begin(), c.sameBytes.end(), f.name) != c.sameBytes.end();
        };
        EXPECT_EQ(c.previous, PreviousOfAnalysedBuild(kept, c.sketch, c.written, same));
    }
}
