#include <gtest/gtest.h>

#include <algorithm>

#include "base/KeptBuilds.h"

namespace {

// The key of a build folder's Game.ino.elf with no build.options.json: the folder and name tell it.
std::string KeyOf(const std::string& hexName)
{
    return KeptSketchKey("C:\\Temp\\build1.tmp\\" + hexName.substr(0, hexName.size() - 4) + ".elf", "");
}

std::string BuildOptionsOf(const std::string& sketchLocation)
{
    return R"({"fqbn":"arduino:avr:leonardo","sketchLocation":")" + sketchLocation + R"("})";
}

KeptFile Copy(const std::string& key, uint64_t sequence, uint64_t size = 1000)
{
    return KeptFile{ key + "-" + std::to_string(sequence) + ".elf", size };
}

}  // namespace

TEST(KeptBuilds, NamesAreSafeTellTheSketchAndTheSequenceAndReadBack)
{
    const struct { const char* hex; const char* sketchStart; } cases[] = {
        { "Game.ino.hex", "Game_ino_hex-" },
        { "..\\..\\evil.hex", "evil_hex-" },   // only the file name of the path counts
        { "a/b:c*?\"<>|.hex", "abc_hex-" },
        { "CON.hex", "CON_hex-" },           // no dot before the hash: never the device CON
        { ".hex", "_hex-" },
        { "caf\xe9 \x01\n.hex", "caf_hex-" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        const std::string key = KeyOf(c.hex);
        const std::string name = NextKeptBuildName(key, {});
        EXPECT_EQ(0u, name.rfind(c.sketchStart, 0)) << name;
        EXPECT_EQ(name.size() - 6, name.rfind("-1.elf"));
        EXPECT_EQ(std::string::npos, name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.")) << name;
        EXPECT_EQ(name.find('.'), name.size() - 4) << name;   // the only dot is the extension's
        const std::optional<KeptName> parsed = ParseKeptBuildName(name);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(key, parsed->sketch);
        EXPECT_EQ(1u, parsed->sequence);
    }
    // Names that read alike once cleaned stay two sketches; a long name is cut, its hash whole.
    EXPECT_NE(KeyOf("a b.hex"), KeyOf("a_b.hex"));
    const std::string longName(300, 'x');
    EXPECT_EQ(KeptSketchCharacters + 9, KeyOf(longName + ".hex").size());
    EXPECT_NE(KeyOf(longName + ".hex"), KeyOf(longName + "y.hex"));
    EXPECT_TRUE(ParseKeptBuildName(NextKeptBuildName(KeyOf(longName + ".hex"), {})));

    // The sequence counts up over the whole folder, also from the highest a name may carry: every
    // name the folder can come to is one that reads back.
    const std::string a = KeyOf("A.hex"), b = KeyOf("B.hex");
    EXPECT_EQ(a + "-42.elf", NextKeptBuildName(a, { Copy(a, 1), Copy(b, 41), { "notes.txt", 1 } }));
    const std::string highest = NextKeptBuildName(a, { Copy(b, KeptSequenceLimit - 1) });
    EXPECT_EQ(KeptSequenceLimit, ParseKeptBuildName(highest)->sequence);
    EXPECT_TRUE(ParseKeptBuildName(NextKeptBuildName(a, { Copy(b, KeptSequenceLimit) })));
}

TEST(KeptBuilds, TheSketchIsItsOwnPathWhereTheBuildSaysItElseTheBuildFolderAndName)
{
    const std::string game = BuildOptionsOf("C:\\\\Users\\\\Ann\\\\Game\\\\Game.ino");
    const std::string otherGame = BuildOptionsOf("C:\\\\Users\\\\Ann\\\\Old\\\\Game\\\\Game.ino");
    // A new IDE session builds the same sketch in a new folder: the same sketch.
    EXPECT_EQ(KeptSketchKey("C:\\Temp\\build1.tmp\\Game.ino.elf", game),
              KeptSketchKey("C:\\Temp\\build9.tmp\\Game.ino.elf", game));
    EXPECT_EQ(KeptSketchKey("C:\\Temp\\build1.tmp\\Game.ino.elf", game),
              KeptSketchKey("C:\\Temp\\build9.tmp\\Game.ino.elf",
                            BuildOptionsOf("c:\\\\users\\\\ann\\\\GAME\\\\game.ino")));   // as Windows compares paths
    // Two sketches both called Game are two sketches, wherever they are built.
    EXPECT_NE(KeptSketchKey("C:\\Temp\\build1.tmp\\Game.ino.elf", game),
              KeptSketchKey("C:\\Temp\\build1.tmp\\Game.ino.elf", otherGame));
    // Without the file (or with one that does not say): the build folder and the .hex name.
    for (const std::string options : { std::string(), std::string("{"), BuildOptionsOf("relative\\\\Game.ino") }) {
        SCOPED_TRACE(options);
        EXPECT_EQ(KeptSketchKey("C:\\Temp\\build1.tmp\\Game.ino.elf", options),
                  KeptSketchKey("C:\\TEMP\\BUILD1.TMP\\Game.ino.elf", ""));
        EXPECT_NE(KeptSketchKey("C:\\Temp\\build1.tmp\\Game.ino.elf", options),
                  KeptSketchKey("C:\\Temp\\build2.tmp\\Game.ino.elf", options));
    }
    EXPECT_EQ(0u, KeptSketchKey("C:\\Temp\\build1.tmp\\Game.ino.elf", game).rfind("Game_ino_hex-", 0));
    EXPECT_EQ("x.hex", HexFileNameOfElf("x.elf"));
    EXPECT_EQ(".hex", HexFileNameOfElf("C:\\b\\elf"));
}

TEST(KeptBuilds, NamesTheAgentDoesNotMakeAreNotKeptNames)
{
    const std::string key = KeyOf("Game.ino.hex");
    const std::string refused[] = {
        "", ".elf", "x.elf", key + ".elf", key + "-.elf", key + "-1.ELF", key + "-1.elf.txt", key + "-x1.elf",
        key + "-1234567890123456789.elf",   // more digits than a name is given
        "Game_ino_hex-1a2b3c4D-1.elf", "Game_ino_hex-1a2b3c4-1.elf", "Game.ino-1a2b3c4d-1.elf",
        "..-1a2b3c4d-1.elf", std::string(KeptSketchCharacters + 1, 'x') + "-1a2b3c4d-1.elf",
    };
    for (const std::string& name : refused) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ParseKeptBuildName(name));
    }
    EXPECT_TRUE(ParseKeptBuildName(key + "-123456789012345678.elf"));
    // What the folder's listing keeps: the agent's copies, their companions and writing files, so
    // that no number of other files hides them.
    for (const std::string suffix : { "", ".size", ".map", ".analysis", ".analysis.tmp", ".tmp" })
        EXPECT_TRUE(IsKeptFileName(key + "-7.elf" + suffix)) << suffix;
    for (const std::string& name : refused)
        EXPECT_FALSE(IsKeptFileName(name)) << name;
    for (const char* name : { "desktop.ini", "x.elf.map", "notes.txt", "-7.elf.tmp" })
        EXPECT_FALSE(IsKeptFileName(name)) << name;
}

TEST(KeptBuilds, AFolderAtTheHighestSequenceIsNumberedAgainWithItsCompanions)
{
    const std::string a = KeyOf("A.hex"), b = KeyOf("B.hex");
    EXPECT_TRUE(KeptRenumbering({ Copy(a, 7), Copy(b, KeptSequenceLimit - 1) }).empty());
    const std::vector<KeptFile> files = { Copy(b, KeptSequenceLimit), Copy(a, 7), { Copy(a, 7).name + ".analysis", 5 },
                                          Copy(a, 9), { "notes.txt", 1 } };
    const std::vector<std::pair<std::string, std::string>> renames = KeptRenumbering(files);
    const std::vector<std::pair<std::string, std::string>> expected = {
        { Copy(a, 7).name, Copy(a, 1).name }, { Copy(a, 7).name + ".analysis", Copy(a, 1).name + ".analysis" },
        { Copy(a, 9).name, Copy(a, 2).name }, { Copy(b, KeptSequenceLimit).name, Copy(b, 3).name },
    };
    EXPECT_EQ(expected, renames);
}

TEST(KeptBuilds, RemovesAllButTheNewestTwoOfEachSketchThenTheOldestOverTheBoundsWithTheirCompanions)
{
    const std::string a = KeyOf("A.hex"), b = KeyOf("B.hex");
    const auto with = [](const KeptFile& copy, const char* suffix) { return KeptFile{ copy.name + suffix, 10 }; };
    const struct { const char* what; std::vector<KeptFile> files; std::vector<std::string> removed; } cases[] = {
        { "two of a sketch stay, with their companions",
          { Copy(a, 1), Copy(a, 2), Copy(b, 3), with(Copy(a, 1), ".analysis"), with(Copy(b, 3), ".map") }, {} },
        { "the third of a sketch goes, oldest first, whatever the listing's order",
          { Copy(a, 5), Copy(b, 2), Copy(a, 1), Copy(a, 3), Copy(a, 4) }, { Copy(a, 1).name, Copy(a, 3).name } },
        { "a copy goes with its analysis record and raw reports",
          { Copy(a, 1), Copy(a, 2), Copy(a, 3), with(Copy(a, 1), ".analysis"), with(Copy(a, 1), ".size"),
            with(Copy(a, 1), ".map"), with(Copy(a, 1), ".analysis.tmp") },
          { Copy(a, 1).name, Copy(a, 1).name + ".analysis", Copy(a, 1).name + ".size", Copy(a, 1).name + ".map",
            Copy(a, 1).name + ".analysis.tmp" } },
        { "stray companions and a copy's unfinished write go",
          { Copy(a, 2), with(Copy(a, 1), ".analysis"), with(Copy(a, 3), ".elf.tmp"), with(Copy(a, 2), ".tmp") },
          { Copy(a, 1).name + ".analysis", Copy(a, 2).name + ".tmp" } },
        { "the byte bound removes the oldest of the rest",
          { Copy(a, 1, 40 << 20), Copy(b, 2, 20 << 20), Copy(a, 3, 10 << 20) }, { Copy(a, 1).name } },
        { "a file over the whole bound goes, and so does what is older",
          { Copy(a, 1), Copy(b, 2, uint64_t(1) << 40) }, { Copy(a, 1).name, Copy(b, 2).name } },
        { "names not the agent's are left alone and not counted",
          { { "desktop.ini", uint64_t(1) << 40 }, Copy(a, 1), Copy(a, 2), { "x.elf", 5 }, { "x.elf.analysis", 5 } }, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> removed = KeptFilesToRemove(c.files);
        EXPECT_EQ(c.removed, removed);
    }
    // The count bound: 40 sketches with two builds each keep the newest 64 copies.
    std::vector<KeptFile> many;
    for (int i = 1; i <= 80; ++i)
        many.push_back(Copy(KeyOf("S" + std::to_string((i + 1) / 2) + ".hex"), i, 10));
    const std::vector<std::string> removed = KeptFilesToRemove(many);
    ASSERT_EQ(80 - KeptFileLimit, removed.size());
    for (size_t i = 0; i < removed.size(); ++i)
        EXPECT_EQ(many[i].name, removed[i]);
}

TEST(KeptBuilds, TheAnalysedBuildsPreviousIsTheCopyBeforeItsOwnOrTheNewestWrittenBeforeIt)
{
    const std::string game = KeyOf("Game.ino.hex");
    const std::string other = KeyOf("Other.ino.hex");
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
        { "a sketch without copies", KeyOf("New.ino.hex"), 99, {}, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto same = [&](const KeptFile& f) {
            return std::find(c.sameBytes.begin(), c.sameBytes.end(), f.name) != c.sameBytes.end();
        };
        EXPECT_EQ(c.previous, PreviousOfAnalysedBuild(kept, c.sketch, c.written, same));
    }
}

TEST(KeptBuilds, AnAnalysisRecordIsReadOnlyForTheBytesItWasMadeOfAndWhole)
{
    const std::string copy = std::string("\x7f" "ELF", 4) + std::string(300, '\x11');
    const KeptReports reports{ "   text\t   data\r\n   4068\t    136\r\n", "00000400 B screenBuffer\r\n" };
    const std::string record = AnalysisRecord(copy, reports);
    const std::optional<KeptReports> read = ReportsOfRecord(record, copy);
    ASSERT_TRUE(read);
    EXPECT_EQ(reports.size, read->size);
    EXPECT_EQ(reports.symbols, read->symbols);
    std::string otherBytes = copy;
    otherBytes[200] = '\x12';
    const struct { const char* what; std::string record; std::string copy; } refused[] = {
        { "a record of other bytes of the same size", record, otherBytes },
        { "a record of a longer copy", record, copy + "x" },
        { "a record cut short", record.substr(0, record.size() - 1), copy },
        { "a record with more after it", record + "00000007 T planted\r\n", copy },
        { "raw reports put in its place", reports.symbols, copy },
        { "an empty file", "", copy },
        { "another version", "kevra+ analysis 2" + record.substr(17), copy },
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(ReportsOfRecord(c.record, c.copy));
    }
    EXPECT_TRUE(ReportsOfRecord(AnalysisRecord("", {}), ""));
}
