#include <gtest/gtest.h>

#include "base/Folders.h"
#include "base/IdeFiles.h"
#include "core/SettingsText.h"

TEST(Folders, AppDataDropsLeadingBackslashesToo)
{
    EXPECT_EQ("C:\\Users\\x\\AppData\\Roaming\\", AppDataFolderFrom("C:\\Users\\x\\AppData\\Roaming"));
    EXPECT_EQ("server\\share\\", AppDataFolderFrom("\\\\server\\share\\"));
    EXPECT_EQ("\\", AppDataFolderFrom(""));  // the shell gave nothing
}

TEST(Settings, CopyHexTakesTheLeadingNumberRoundedHalfToEven)
{
    const struct { const char* text; int32_t value; } cases[] = {
        { "abc", 0 }, { "", 0 }, { "1", 1 }, { "0", 0 }, { "-3", -3 }, { "2.6", 3 }, { "2.4", 2 },
        { "2.5", 2 }, { "3.5", 4 }, { "2.50001", 3 }, { "-2.6", -3 }, { "12abc", 12 }, { " 7", 7 },
        { "+4", 4 }, { "1.", 1 }, { ".5", 0 }, { "-", 0 },
        { "99999999999999999999999", 2147483647 }, { "-99999999999999999999", -2147483647 - 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.value, ParseCopyHex(c.text));
    }
}

TEST(Preferences, SketchbookValueRunsToTheLineBreakOrTheEnd)
{
    const struct { const char* text; const char* value; } cases[] = {
        { "editor.font=Mono\r\nsketchbook.path=D:\\Sketches\r\nupdate.check=true\r\n", "D:\\Sketches" },
        { "sketchbook.path=D:\\Sketches\nupdate=1", "D:\\Sketches" },       // lone LF
        { "sketchbook.path=D:\\Sketches\rupdate=1", "D:\\Sketches" },       // lone CR
        { "sketchbook.path=\r\nx=1", "" },                                  // empty value
        { "last=1\r\nsketchbook.path=D:\\My Sketches\\\\\\", "D:\\My Sketches\\\\\\" },  // at the end
        { "sketchbook.path= D:\\S \r\n", " D:\\S " },                       // taken unchanged
        { "old.sketchbook.path=A\r\nsketchbook.path=B\r\n", "A" },          // first occurrence, anywhere
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto value = SketchbookPathValue(c.text);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(c.value, *value);
    }
    EXPECT_FALSE(SketchbookPathValue("Sketchbook.path=D:\\S\r\n"));  // case-sensitive
    EXPECT_FALSE(SketchbookPathValue(""));
}

TEST(Arduino15Preferences, AKeyIsWhatStandsBeforeTheFirstEqualsSign)
{
    const struct { const char* text; std::optional<std::string> buildPath; } cases[] = {
        { "build.path=C:\\Builds\r\n", "C:\\Builds" },
        { "editor.font=Mono\nbuild.path=D:\\b\nx=1\n", "D:\\b" },
        { "  build.path = D:\\b c \t\r\n", "D:\\b c" },              // trimmed as the IDE trims
        { "build.path=D:\\a=b\r\n", "D:\\a=b" },                      // only the first "=" splits
        { "build.path=D:\\first\r\nbuild.path=D:\\last", "D:\\last" }, // a later line wins, no line end needed
        { "custom.build.path=D:\\other\r\n", std::nullopt },
        { "#build.path=D:\\commented\r\n", std::nullopt },
        { "build.path.x=D:\\other\r\n", std::nullopt },
        { "build.path=\r\n", std::nullopt },
        { "build.path\r\n", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.buildPath, PreferenceValue(c.text, "build.path"));
    }
    EXPECT_EQ("C:\\Sketches", PreferenceValue("last.sketchbook.path=X\nsketchbook.path=C:\\Sketches\n", "sketchbook.path"));
}

TEST(ArduinoCliYaml, UserDirectoryUnderDirectories)
{
    const std::string head = "board_manager:\n  additional_urls: []\ndirectories:\n  data: C:\\Users\\x\\AppData\\Local\\Arduino15\n";
    const struct { std::string yaml; std::optional<std::string> user; } cases[] = {
        { head + "  user: C:\\Users\\x\\Documents\\Arduino\nlocale: en\n", "C:\\Users\\x\\Documents\\Arduino" },
        { "\xEF\xBB\xBF" "directories:\r\n    user: D:\\Sketches   \r\n", "D:\\Sketches" },  // BOM, CR LF, 4 spaces
        { head + "  user: D:\\No#1 Sketches # where they live\n", "D:\\No#1 Sketches" },  // " #" starts a comment
        { head + "  user: 'D:\\It''s here'\n", "D:\\It's here" },
        { head + "  user: \"D:\\\\Sk\\u00E9tches\\x41\\\"\"\n", "D:\\Sk\xC3\xA9tchesA\"" },   // stays UTF-8
        { head + "  user: \"D:\\q\"\n", std::nullopt },   // not an escape: a broken file
        { head + "  user: \"D:\\\\open\n", std::nullopt },
        { head + "  user:\n", std::nullopt },
        { head + "  user: ~\n", std::nullopt },
        { head + "  user: ''\n", std::nullopt },
        { head + "  downloads:\n    user: D:\\deeper\n", std::nullopt },
        { "user: D:\\top\n", std::nullopt },
        { "other:\n  user: D:\\elsewhere\ndirectories:\n  data: x\n", std::nullopt },
        { "directories:\n  data: x\n\n  # the sketchbook\n  user: D:\\after\n", "D:\\after" },
        { "directories:\n  username: D:\\no\n  user: D:\\yes\n", "D:\\yes" },
        { "", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.yaml);
        EXPECT_EQ(c.user, DirectoriesUserValue(c.yaml));
    }
}

TEST(ArduinoCliYaml, DataDirectoryUnderDirectoriesBesideUser)
{
    const struct { std::string yaml; std::optional<std::string> data; } cases[] = {
        { "directories:\n  data: D:\\Arduino\\data\n  downloads: D:\\Arduino\\data\\staging\n  user: D:\\Sketches\n",
          "D:\\Arduino\\data" },
        { "directories:\n  user: D:\\Sketches\n  data: 'E:\\cli data'  \n", "E:\\cli data" },  // after user, quoted
        { "directories:\n  user: D:\\Sketches\n", std::nullopt },
        { "directories:\n  downloads:\n    data: D:\\deeper\n", std::nullopt },
        { "data: D:\\top\ndirectories:\n  user: D:\\Sketches\n", std::nullopt },
        { "directories:\n  data_dir: D:\\other\n  database: D:\\other\n", std::nullopt },
        { "directories: {data: D:\\flow}\n", std::nullopt },
        { "directories:\n  data: null\n", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.yaml);
        EXPECT_EQ(c.data, DirectoriesDataValue(c.yaml));
    }
    // The user key is still read from the same text.
    EXPECT_EQ("D:\\Sketches", DirectoriesUserValue(cases[0].yaml));
}

TEST(IdeFolders, OnlyLocalAbsoluteFoldersWithoutControlCharactersAreTaken)
{
    using namespace std::string_literals;
    const struct { std::string path; bool taken; } cases[] = {
        { "C:\\Users\\x\\Documents\\Arduino", true },
        { "d:/Sketches/", true },                              // forward slashes, small drive letter
        { "Z:\\", true },
        { "C:\\My Sketches\\\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B\\", true },   // bytes of 0x80 and up are text
        { "C:\\a#b;c,d=e&f'g\\", true },
        { "C:\\Sketches\x7F", false },
        { "C:\\Sketches"s + '\0' + "\\..\\evil.txt", false },  // the wide call would stop at the NUL
        { "C:\\Sketches\r\nbuild.path=D:\\x", false },
        { "C:\\Sketches\t", false },
        { "C:\\Sketches\x1F", false },
        { "C:", false },                                       // the current folder of drive C
        { "C:Sketches", false },
        { "Sketches", false },
        { "..\\Sketches", false },
        { "\\Sketches", false },                               // the root of the current drive
        { "\\\\host\\share\\Sketches", false },
        { "//host/share/Sketches", false },
        { "\\\\?\\C:\\Sketches", false },
        { "\\\\.\\C:\\Sketches", false },
        { "-", false },
        { "@C:\\list", false },
        { "1:\\x", false },
        { "\xC3\x84:\\x", false },                             // no drive letter beyond ASCII
        { "C:\\Sk*\\", false },                                // would widen a search
        { "C:\\Sk?\\", false },
        { "C:\\a\"b", false },
        { "C:\\a<b>|c", false },
        { "C:\\file.txt:stream", false },
        { "", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.taken, IsLocalFolderText(c.path));
    }
}
