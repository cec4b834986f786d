#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "analyzer/BoardFiles.h"

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

// build.options.json as the builder writes it, after the fixtures script gave it Windows paths.
constexpr std::string_view BuilderOptions = R"({
  "builtInLibrariesFolders": "",
  "customBuildProperties": "tools.ctags.pattern=\"{cmd.path}\" -u,compiler.cpp.extra_flags=-DDECIMAL_DIG=17",
  "fqbn": "arduino:avr:leonardo",
  "hardwareFolders": "Z:\\usr\\share\\arduino\\hardware",
  "otherLibrariesFolders": "",
  "runtime.ide.version": "10600",
  "sketchLocation": "Z:\\tmp\\w18\\s\\Game\\Game.ino",
  "toolsFolders": "Z:\\usr\\share\\arduino-builder"
}
)";

std::string DebianBoardsTxt()
{
    std::ifstream in("/usr/share/arduino/hardware/arduino/avr/boards.txt", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(FlatJson, ReadsStringMembersWithTheirEscapes)
{
    const struct { const char* json; Members members; } cases[] = {
        { R"({"a":"b"})", { { "a", "b" } } },
        { " \r\n{ } \n", {} },
        { "\xEF\xBB\xBF{\"a\" : \"\"}", { { "a", "" } } },
        { R"({"p":"C:\\x\/y \"q\""})", { { "p", "C:\\x/y \"q\"" } } },
        { R"({"t":"\b\f\n\r\t"})", { { "t", "\b\f\n\r\t" } } },
        { R"({"u":"\u0041\u00e9\u20AC\ud83d\ude00"})", { { "u", "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" } } },
        { R"({"b":"2","a":"1"})", { { "b", "2" }, { "a", "1" } } },
        { "{\"k\":\"caf\xC3\xA9\"}", { { "k", "caf\xC3\xA9" } } },   // raw UTF-8 stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const auto members = ParseFlatJsonObject(c.json);
        ASSERT_TRUE(members);
        EXPECT_EQ(c.members, *members);
    }
}

TEST(FlatJson, RefusesWhatIsNotAFlatObjectOfStrings)
{
    const char* const cases[] = {
        "", "[]", "\"a\"", "{", "}", R"({"a"})", R"({"a":})", R"({"a":1})", R"({"a":true})", R"({"a":null})",
        R"({"a":{}})", R"({"a":["b"]})", R"({"a":"b",})", R"({,"a":"b"})", R"({"a":"b" "c":"d"})",
        R"({"a":"b"}x)", R"({"a":"b"}{})", R"({a:"b"})", R"({'a':'b'})", R"({"a":"b)", R"({"a":"b\)",
        R"({"a":"\x"})", R"({"a":"\u12"})", R"({"a":"\u12G4"})", R"({"a":"\ud83d"})", R"({"a":"\ude00"})",
        R"({"a":"\ud83d\u0041"})", "{\"a\":\"line\nbreak\"}", "{\"a\":\"tab\there\"}",
        R"({"a":"1","a":"2"})",   // the second value would silently win
    };
    for (const char* json : cases) {
        SCOPED_TRACE(json);
        EXPECT_FALSE(ParseFlatJsonObject(json));
    }
    std::string big = "{\"a\":\"" + std::string(BuildOptionsByteLimit, 'x') + "\"}";
    EXPECT_FALSE(ParseFlatJsonObject(big));
    EXPECT_FALSE(ParseFlatJsonObject(std::string_view("{\"a\":\"\0\"}", 9)));
}

TEST(BuildOptionsFile, BuildersOwnFileGivesTheBoardAndTheHardwareFolders)
{
    const std::optional<BuildOptions> options = ReadBuildOptions(BuilderOptions);
    ASSERT_TRUE(options);
    EXPECT_EQ("arduino", options->fqbn.vendor);
    EXPECT_EQ("avr", options->fqbn.arch);
    EXPECT_EQ("leonardo", options->fqbn.board);
    EXPECT_TRUE(options->fqbn.options.empty());
    EXPECT_EQ(std::vector<std::string>{ "Z:\\usr\\share\\arduino\\hardware" }, options->hardwareFolders);
    EXPECT_EQ(std::vector<std::string>{ "Z:\\usr\\share\\arduino\\hardware\\arduino\\avr\\boards.txt" },
              BoardsFileCandidates(*options));
    EXPECT_EQ(std::vector<std::string>{ "Z:\\usr\\share\\arduino\\hardware\\arduino\\hardware\\avr\\" },
              PackagedPlatformFolders(*options));

    EXPECT_FALSE(ReadBuildOptions(R"({"hardwareFolders":"C:\\x"})"));                 // no fqbn
    EXPECT_FALSE(ReadBuildOptions(R"({"fqbn":"arduino:avr","hardwareFolders":""})"));   // not an fqbn
    EXPECT_FALSE(ReadBuildOptions(R"({"fqbn":"arduino:avr:leonardo","x":1})"));
}

TEST(BuildOptionsFile, OnlyPlainDriveFoldersAreHardwareFolders)
{
    // As the IDE writes it on Windows: its own folder, its packages folder, the sketchbook's.
    const std::string json = R"({"fqbn":"arduino:avr:leonardo","hardwareFolders":")"
        R"(C:\\Program Files (x86)\\Arduino\\hardware,C:\\Users\\Ann\\AppData\\Local\\Arduino15\\packages,)"
        R"(D:/sketches/hardware/,\\\\server\\share\\hardware,\\\\?\\C:\\x,C:\\a\\..\\b,C:\\a\\.\\b,C:\\a\\\\b,)"
        R"(C:relative,hardware,C:\\x:stream,C:\\tab\there,,E:\\)"
        R"("})";
    const std::optional<BuildOptions> options = ReadBuildOptions(json);
    ASSERT_TRUE(options);
    const std::vector<std::string> folders = { "C:\\Program Files (x86)\\Arduino\\hardware",
                                               "C:\\Users\\Ann\\AppData\\Local\\Arduino15\\packages",
                                               "D:/sketches/hardware", "E:" };
    EXPECT_EQ(folders, options->hardwareFolders);
    EXPECT_EQ("C:\\Users\\Ann\\AppData\\Local\\Arduino15\\packages\\arduino\\hardware\\avr\\",
              PackagedPlatformFolders(*options)[1]);
    EXPECT_EQ("E:\\arduino\\avr\\boards.txt", BoardsFileCandidates(*options)[3]);
}

TEST(Fqbn, PartsArePlainNames)
{
    const std::optional<Fqbn> full = ParseFqbn("arduino:avr:nano:cpu=atmega168,speed=fast_1");
    ASSERT_TRUE(full);
    EXPECT_EQ("nano", full->board);
    const Members options = { { "cpu", "atmega168" }, { "speed", "fast_1" } };
    EXPECT_EQ(options, full->options);

    const char* const refused[] = {
        "", "arduino", "arduino:avr", "arduino:avr:", ":avr:leonardo", "arduino:avr:leonardo:",
        "arduino:avr:leonardo:cpu", "arduino:avr:leonardo:cpu=", "arduino:avr:leonardo:=x",
        "arduino:avr:leonardo:cpu=a,", "arduino:avr:leonardo:cpu=a,cpu=b", "arduino:avr:leonardo:cpu=a:b",
        "..:avr:leonardo", "arduino:..:leonardo", "ard\\uino:avr:leonardo", "arduino:a/vr:leonardo",
        "C:avr:leonardo:x=y:z", "arduino:avr:leo.nardo", "arduino:avr:leonardo:cpu.x=a", "ard uino:avr:b",
        "arduino:avr:leo\nnardo", "arduino:avr:leonardo\t",
    };
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseFqbn(text));
    }
    EXPECT_TRUE(ParseFqbn("a:b:" + std::string(FqbnPartLimit, 'c')));
    EXPECT_FALSE(ParseFqbn("a:b:" + std::string(FqbnPartLimit + 1, 'c')));
}

TEST(BoardsFile, DebianBoardsGiveTheLeonardoAndTheNanosMenus)
{
    const std::string boards = DebianBoardsTxt();
    ASSERT_FALSE(boards.empty()) << "arduino-core-avr is not installed";
    const struct { const char* fqbn; const char* name; uint32_t program; uint32_t data; } cases[] = {
        { "arduino:avr:leonardo", "Arduino Leonardo", 28672, 2560 },
        { "arduino:avr:nano:cpu=atmega168", "Arduino Nano", 14336, 1024 },
        { "arduino:avr:nano", "Arduino Nano", 30720, 2048 },   // the menu's first option, as the builder takes it
        { "arduino:avr:nano:cpu=nosuchcpu", "Arduino Nano", 0, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fqbn);
        const std::optional<BoardMaxima> maxima = ReadBoardMaxima(boards, *ParseFqbn(c.fqbn));
        ASSERT_TRUE(maxima);
        EXPECT_EQ(c.name, maxima->name);
        EXPECT_EQ(c.program ? std::optional<uint32_t>(c.program) : std::nullopt, maxima->programBytes);
        EXPECT_EQ(c.data ? std::optional<uint32_t>(c.data) : std::nullopt, maxima->dataBytes);
    }
    EXPECT_FALSE(ReadBoardMaxima(boards, *ParseFqbn("arduino:avr:nosuchboard")));
}

TEST(BoardsFile, MenuOptionsOverrideTheBoardsOwnValues)
{
    const std::string boards =
        "# a hand-written board with two menus\r\n"
        "menu.cpu=Processor\r\n"
        "handheld.name = Handheld 32U4 \r\n"
        "handheld.upload.maximum_size=28672\r\n"
        "handheld.upload.maximum_data_size=2560\r\n"
        "handheld.menu.boot.big=Large bootloader\r\n"
        "handheld.menu.boot.big.upload.maximum_size=24576\r\n"
        "handheld.menu.boot.none=No bootloader\r\n"
        "handheld.menu.boot.none.upload.maximum_size=32768\r\n"
        "handheld.menu.ram.half=Half the RAM for a screen buffer\r\n"
        "handheld.menu.ram.half.upload.maximum_data_size=1280\r\n"
        "handheld.menu.ram.all=All the RAM\r\n"
        "handheldx.upload.maximum_size=1\r\n"        // another board whose name starts alike
        "other.menu.boot.none.upload.maximum_size=2\n";
    const struct { const char* fqbn; uint32_t program; uint32_t data; } cases[] = {
        { "kevra:avr:handheld", 24576, 1280 },                       // each menu's first option
        { "kevra:avr:handheld:boot=none", 32768, 1280 },
        { "kevra:avr:handheld:ram=all,boot=none", 32768, 2560 },     // an option without the key keeps the board's
        { "kevra:avr:handheld:boot=big,ram=half", 24576, 1280 },
        { "kevra:avr:handheld:cpu=x", 24576, 1280 },                 // a menu the board lacks changes nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fqbn);
        const std::optional<BoardMaxima> maxima = ReadBoardMaxima(boards, *ParseFqbn(c.fqbn));
        ASSERT_TRUE(maxima);
        EXPECT_EQ("Handheld 32U4", maxima->name);
        EXPECT_EQ(c.program, maxima->programBytes);
        EXPECT_EQ(c.data, maxima->dataBytes);
    }
}

TEST(BoardsFile, UnreadableValuesAreAbsent)
{
    const struct { const char* value; std::optional<uint32_t> bytes; } cases[] = {
        { "28672", 28672 }, { " 28672 ", 28672 }, { "4294967295", 4294967295u }, { "0004096", 4096 },
        { "4294967296", std::nullopt }, { "99999999999", std::nullopt }, { "0", std::nullopt },
        { "", std::nullopt }, { "-1", std::nullopt }, { "+5", std::nullopt }, { "28 672", std::nullopt },
        { "0x7000", std::nullopt }, { "28672k", std::nullopt }, { "{build.size}", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string boards = std::string("b.upload.maximum_size=") + c.value + "\nb.upload.maximum_data_size=" + c.value + "\n";
        const std::optional<BoardMaxima> maxima = ReadBoardMaxima(boards, *ParseFqbn("v:a:b"));
        ASSERT_TRUE(maxima);
        EXPECT_EQ(c.bytes, maxima->programBytes);
        EXPECT_EQ(c.bytes, maxima->dataBytes);
        EXPECT_EQ("", maxima->name);
    }
    const std::optional<BoardMaxima> longName = ReadBoardMaxima("b.name=" + std::string(1000, 'n') + "\n", *ParseFqbn("v:a:b"));
    ASSERT_TRUE(longName);
    EXPECT_EQ(std::string(BoardNameLimit, 'n'), longName->name);
    EXPECT_EQ("", ReadBoardMaxima(std::string("b.name=a\x01z\n"), *ParseFqbn("v:a:b"))->name);
    EXPECT_FALSE(ReadBoardMaxima(std::string(BoardsFileByteLimit + 1, '\n') + "b.name=x", *ParseFqbn("v:a:b")));
}

TEST(BoardPackages, NewestVersionComparesPartsAsNumbers)
{
    const struct { std::vector<std::string> names; std::optional<std::string> newest; } cases[] = {
        { { "1.8.9", "1.8.10", "1.8.2" }, "1.8.10" },
        { { "1.8", "1.8.0" }, "1.8.0" },
        { { "2", "1.99.99" }, "2" },
        { { "1.8.6", "..", "1.9.0-beta", "1..9", "1.9.", ".1", "x" }, "1.8.6" },
        { { "..", "" }, std::nullopt },
        { {}, std::nullopt },
        { { "1234567890.1" }, std::nullopt },   // a part too long to be a version
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.newest, NewestVersionName(c.names));
}

TEST(BuildOptionsFile, AFolderNamedOverAndOverIsTakenOnceAndTheSketchsOwnPathIsRead)
{
    // 64 KB naming one folder thousands of times, in either case: one folder to look at.
    std::string folders;
    for (int i = 0; folders.size() < BuildOptionsByteLimit - 200; ++i)
        folders += i % 2 ? "C:\\\\Hw\\\\hardware," : "c:\\\\hw\\\\HARDWARE\\\\,";
    const std::string json = R"({"fqbn":"arduino:avr:leonardo","hardwareFolders":")" + folders +
                             R"(D:\\two","sketchLocation":"C:\\Users\\Ann\\Game\\Game.ino"})";
    ASSERT_LE(json.size(), BuildOptionsByteLimit);
    const std::optional<BuildOptions> options = ReadBuildOptions(json);
    ASSERT_TRUE(options);
    EXPECT_EQ((std::vector<std::string>{ "c:\\hw\\HARDWARE", "D:\\two" }), options->hardwareFolders);
    EXPECT_EQ("C:\\Users\\Ann\\Game\\Game.ino", options->sketchLocation);

    // Many different folders: only the first few count.
    std::string distinct;
    for (int i = 0; i < 100; ++i)
        distinct += "C:\\\\h" + std::to_string(i) + ",";
    const std::optional<BuildOptions> many = ReadBuildOptions(R"({"fqbn":"a:b:c","hardwareFolders":")" + distinct + R"("})");
    ASSERT_TRUE(many);
    EXPECT_EQ(HardwareFolderCountLimit, many->hardwareFolders.size());
    EXPECT_EQ("C:\\h0", many->hardwareFolders.front());

    // A sketch path that is no local path is no sketch path.
    for (const char* location : { "\\\\\\\\host\\\\Game.ino", "Game.ino", "C:\\\\a\\\\..\\\\Game.ino" })
        EXPECT_EQ("", ReadBuildOptions(std::string(R"({"fqbn":"a:b:c","sketchLocation":")") + location + R"("})")->sketchLocation)
            << location;
}
