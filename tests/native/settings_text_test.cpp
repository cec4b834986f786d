#include <gtest/gtest.h>

#include "core/SettingsText.h"

TEST(Folders, TrailingBackslashesFoldToExactlyOne)
{
    const struct { const char* in; const char* one; const char* none; } cases[] = {
        { "C:\\Temp", "C:\\Temp\\", "C:\\Temp" },
        { "C:\\Temp\\\\", "C:\\Temp\\", "C:\\Temp" },
        { "D:\\Sketches\\\\\\", "D:\\Sketches\\", "D:\\Sketches" },
        { "", "\\", "" },          // TEMP not set: the root of the current drive
        { "C:\\", "C:\\", "C:" },  // a drive root shows as "C:" in the label
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(c.one, WithOneTrailingBackslash(c.in));
        EXPECT_EQ(c.none, WithoutTrailingBackslashes(c.in));
    }
}

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

TEST(Settings, HomeDirTrimsSpacesButNotTabs)
{
    EXPECT_EQ("D:\\Games\\", TrimSpaces("  D:\\Games\\  "));
    EXPECT_EQ("\tD:\\Games\\\t", TrimSpaces(" \tD:\\Games\\\t "));
    EXPECT_EQ("", TrimSpaces(" "));  // the default of an absent key
    EXPECT_EQ("a b", TrimSpaces("a b"));
}

TEST(Settings, DecimalTextHasNoSpaceNorGrouping)
{
    EXPECT_EQ("0", DecimalText(0));
    EXPECT_EQ("1", DecimalText(1));
    EXPECT_EQ("-3", DecimalText(-3));
    EXPECT_EQ("1234567", DecimalText(1234567));
    EXPECT_EQ("-2147483648", DecimalText(-2147483647 - 1));
    EXPECT_EQ("-9223372036854775808", DecimalText(INT64_MIN));
}

TEST(Settings, FileNameIsTheExecutableNameLessItsExtension)
{
    EXPECT_EQ("kevra-agent", ExeBaseName("C:\\Tools\\kevra-agent.exe"));
    EXPECT_EQ("my.agent", ExeBaseName("C:\\v1.2\\my.agent.exe"));
    EXPECT_EQ("agent", ExeBaseName("C:\\v1.2\\agent"));
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
