#include <gtest/gtest.h>

#include <cstdint>

#include "base/Text.h"

TEST(DecimalText, PlainDigitsWithAMinusAndNoSpaceNorGrouping)
{
    const struct { int64_t value; const char* text; } cases[] = {
        { 0, "0" },
        { 1, "1" },
        { -3, "-3" },
        { 10, "10" },                                  // a trailing zero is a digit, not the end
        { 1234567, "1234567" },
        { -2147483647 - 1, "-2147483648" },
        { INT64_MAX, "9223372036854775807" },
        { INT64_MIN, "-9223372036854775808" },         // no positive int64_t holds its magnitude
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, DecimalText(c.value));
    }
}

TEST(TrimSpaces, OnlySpacesGoTabsAndLineEndsStay)
{
    const struct { const char* text; const char* trimmed; } cases[] = {
        { "  D:\\Games\\  ", "D:\\Games\\" },
        { " \tD:\\Games\\\t ", "\tD:\\Games\\\t" },
        { " ", "" },                                   // the default of an absent settings key
        { "", "" },
        { "a b", "a b" },                              // inner spaces stay
        { " \r\n", "\r\n" },
        { " \xC2\xA0x\xC2\xA0 ", "\xC2\xA0x\xC2\xA0" },   // a no-break space is text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.trimmed, TrimSpaces(c.text));
    }
}

TEST(PathNames, FileNameAfterTheLastBackslashAndBaseNameBeforeTheLastDot)
{
    const struct { const char* path; const char* fileName; const char* baseName; } cases[] = {
        { "C:\\a\\b\\Blink.cpp.hex", "Blink.cpp.hex", "Blink.cpp" },
        { "Blink.hex", "Blink.hex", "Blink" },
        { "C:\\a\\", "", "" },
        { "", "", "" },
        { "\\x", "x", "x" },
        { "C:\\Tools\\kevra-agent.exe", "kevra-agent.exe", "kevra-agent" },
        { "C:\\v1.2\\my.agent.exe", "my.agent.exe", "my.agent" },
        { "C:\\v1.2\\agent", "agent", "agent" },       // a dot in the folder is not the extension's
        { "C:/a/b.exe", "C:/a/b.exe", "C:/a/b" },      // only the backslash separates
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.fileName, PathFileName(c.path));
        EXPECT_EQ(c.baseName, ExeBaseName(c.path));
    }
}

TEST(TrailingBackslashes, FoldToExactlyOneOrNone)
{
    const struct { const char* in; const char* one; const char* none; } cases[] = {
        { "C:\\Temp", "C:\\Temp\\", "C:\\Temp" },
        { "C:\\Temp\\\\", "C:\\Temp\\", "C:\\Temp" },
        { "D:\\Sketches\\\\\\", "D:\\Sketches\\", "D:\\Sketches" },
        { "", "\\", "" },          // TEMP not set: the root of the current drive
        { "C:\\", "C:\\", "C:" },  // a drive root shows as "C:" in the label
        { "\\\\", "\\", "" },
        { "\\\\server\\share", "\\\\server\\share\\", "\\\\server\\share" },   // leading ones stay
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(c.one, WithOneTrailingBackslash(c.in));
        EXPECT_EQ(c.none, WithoutTrailingBackslashes(c.in));
    }
}

TEST(ReplaceAll, LeftToRightWithoutRescanningWhatWasPutIn)
{
    const struct { const char* text; const char* from; const char* to; const char* result; } cases[] = {
        { "aXb", "X", "XX", "aXXb" },
        { "abc", "", "Z", "abc" },                     // an empty pattern changes nothing
        { "", "X", "Y", "" },
        { "XXX", "XX", "-", "-X" },                    // matches do not overlap
        { "vXXX and vXXX", "vXXX", "v0.3", "v0.3 and v0.3" },
        { "C:\\T\\build\\C:\\T\\", "C:\\T\\", "", "build\\" },
        { "ab", "abc", "Z", "ab" },                    // a pattern longer than the text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.result, ReplaceAll(c.text, c.from, c.to));
    }
}

TEST(HexDigitValue, DigitsAndBothCasesOfAToFOnly)
{
    const struct { char c; int value; } cases[] = {
        { '0', 0 }, { '9', 9 }, { 'a', 10 }, { 'f', 15 }, { 'A', 10 }, { 'F', 15 }, { 'c', 12 }, { 'D', 13 },
        // The neighbours of each range.
        { '/', -1 }, { ':', -1 }, { '`', -1 }, { 'g', -1 }, { '@', -1 }, { 'G', -1 },
        { ' ', -1 }, { '\0', -1 }, { 'x', -1 },
        // Bytes of 0x80 and up whose low seven bits are a digit: '0', 'a' and 'A' with the top bit set.
        { '\xB0', -1 }, { '\xE1', -1 }, { '\xC1', -1 }, { '\xFF', -1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(static_cast<unsigned char>(c.c)));
        EXPECT_EQ(c.value, HexDigitValue(c.c));
    }
}

TEST(JoinHalves, HighHalfAboveLowHalfWithoutSignExtension)
{
    const struct { uint32_t high, low; uint64_t joined; } cases[] = {
        { 0, 0, 0 },
        { 0, 0xFFFF'FFFF, 0x0000'0000'FFFF'FFFFull },          // the low half is not sign-extended
        { 1, 0, 0x0000'0001'0000'0000ull },
        { 0x8000'0000, 0, 0x8000'0000'0000'0000ull },          // the top bit survives the shift
        { 0x01DC'6A1B, 0x8000'0001, 0x01DC'6A1B'8000'0001ull },   // a file time of 2026
        { 0xFFFF'FFFF, 0xFFFF'FFFF, UINT64_MAX },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.joined);
        EXPECT_EQ(c.joined, JoinHalves(c.high, c.low));
    }
}

TEST(ControlCharacters, AreTheBytesBelowSpaceAndDelete)
{
    using namespace std::string_literals;
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        EXPECT_EQ(byte < 0x20 || byte == 0x7F, HasControlCharacter("C:\\a"s + char(byte) + "b"));
    }
    EXPECT_FALSE(HasControlCharacter(""));
}

TEST(PathPieces, JoinedParentFolderDriveAndCaseFoldedCompare)
{
    const struct { const char* folder; const char* name; const char* joined; } joins[] = {
        { "C:\\Games", "Blink.hex", "C:\\Games\\Blink.hex" },
        { "C:\\", "Blink.hex", "C:\\Blink.hex" },           // a drive root already ends with one
        { "C:/Games/", "bin", "C:/Games/bin" },
        { "", "bin", "bin" },
    };
    for (const auto& c : joins)
        EXPECT_EQ(c.joined, Joined(c.folder, c.name)) << c.folder;

    const struct { const char* path; const char* parent; } parents[] = {
        { "C:\\Temp\\build1.tmp\\Blink.cpp.elf", "C:\\Temp\\build1.tmp\\" },
        { "C:\\Temp\\build1.tmp\\", "C:\\Temp\\build1.tmp\\" },
        { "Blink.cpp.elf", "" },
        { "", "" },
    };
    for (const auto& c : parents)
        EXPECT_EQ(c.parent, ParentFolder(c.path)) << c.path;

    const struct { const char* text; bool drive; } drives[] = {
        { "C:\\", true }, { "z:/x", true }, { "C:", false }, { "C:x", false }, { "1:\\", false },
        { "\\\\host\\share", false }, { "", false }, { "\xC3\x84:\\", false },
    };
    for (const auto& c : drives)
        EXPECT_EQ(c.drive, StartsWithDrive(c.text)) << c.text;

    EXPECT_TRUE(SameIgnoringCase("C:\\Temp\\BUILD1.tmp", "c:\\temp\\build1.TMP"));
    EXPECT_FALSE(SameIgnoringCase("C:\\Temp", "C:\\Temp\\"));
    // Only ASCII letters fold: bytes of other scripts are compared as they are.
    EXPECT_FALSE(SameIgnoringCase("\xD0\xA2", "\xD1\x82"));   // Т and т
    EXPECT_TRUE(SameIgnoringCase("", ""));
}
