#include <gtest/gtest.h>

#include "analyzer/Analysis.h"
#include "base/Text.h"

TEST(SplitField, CountsFromOneAndKeepsEmptyFields)
{
    const struct { const char* text; const char* delimiter; int64_t n; const char* field; } cases[] = {
        { "a b c", " ", 1, "a" },
        { "a b c", " ", 3, "c" },
        { "a b c", " ", 4, "" },          // beyond the last field
        { " a", " ", 1, "" },             // text before the first delimiter, even empty
        { "a  b", " ", 2, "" },           // adjacent delimiters
        { "a  b", " ", 3, "b" },
        { "a\r\nb\r\n", "\r\n", 2, "b" },
        { "a\r\nb\r\n", "\r\n", 3, "" },
        { "abc", " ", 1, "abc" },
        { "abc", " ", 0, "" },
        { "", " ", 1, "" },
        { "a;b", "", 1, "a;b" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " #" + std::to_string(c.n));
        EXPECT_EQ(c.field, SplitField(c.text, c.delimiter, c.n));
    }
}

TEST(SymbolFields, NameTypeAndSizeOfAnAvrNmLine)
{
    const struct { const char* line; const char* name; const char* type; int32_t size; } cases[] = {
        { "00000100 T main", "main", "T", 256 },
        { "00000010 B buf", "buf", "B", 16 },
        { "0000002a T Sprite::blit(unsigned char, int)", "Sprite::blit(unsigned char, int)", "T", 42 },
        { "0000000A t lower", "lower", "t", 10 },
        { "0000001 T", "", "T", 1 },                 // shorter than 12 characters: no name
        { "00000001 T ", "", "T", 1 },                // exactly 11
        { "00000001 T x", "x", "T", 1 },              // exactly 12
        { "", "", "", 0 },
        { "zz T x", "", "T", 0 },                     // no hexadecimal digit
        { "12g4 T xyz", "", "T", 0x12 },              // digits up to the first other character
        { " 00000010 T x", " x", "00000010", 0 },    // a leading space shifts the fields
        { "FFFFFFFFFF T big", "T big", "T", 2147483647 },  // capped, never a negative size; the name stays at column 12
        { "80000000 T big", "big", "T", 2147483647 },
        { "00000004 D caf\xe9", "caf\xe9", "D", 4 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.name, SymbolName(c.line));
        EXPECT_EQ(c.type, SymbolType(c.line));
        EXPECT_EQ(c.size, SymbolSize(c.line));
    }
}

TEST(SymbolLines, OnlyLinesEndedByCrLfAreKept)
{
    const struct { const char* map; std::vector<std::string> lines; } cases[] = {
        { "00000100 T main\r\n00000010 B buf\r\n", { "00000100 T main", "00000010 B buf" } },
        { "00000100 T main\r\n00000010 B buf", { "00000100 T main" } },   // no line end: dropped
        { "00000100 T main", {} },
        { "", {} },
        { "\r\n\r\n", { "", "" } },
        { "a\nb\r\n", { "a\nb" } },       // a lone LF is not a line end
        { "\r\r\n\n", { "\r" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.map);
        EXPECT_EQ(c.lines, CutSymbolLines(c.map));
    }
    // Empty lines cost little of a 64 MB report but a string each: their number is bounded too.
    std::string manyEmpty;
    for (size_t i = 0; i < SymbolLineLimit + 2; ++i)
        manyEmpty += "\r\n";
    EXPECT_EQ(SymbolLineLimit, CutSymbolLines(manyEmpty).size());
}

TEST(FlashSummary, SumsEverySizeAndGroupsTheTotal)
{
    const struct { std::vector<std::string> lines; const char* text; } cases[] = {
        { CutSymbolLines("00000100 T main\r\n00000010 B buf\r\n"), "FLASH: 272 bytes used by 2 objects" },
        { { "0012D687 T big" }, "FLASH: 1,234,567 bytes used by 1 objects" },
        { { "000003E7 T a" }, "FLASH: 999 bytes used by 1 objects" },
        { { "000003E7 T a", "00000001 t b" }, "FLASH: 1,000 bytes used by 2 objects" },
        { { "000F4240 T a" }, "FLASH: 1,000,000 bytes used by 1 objects" },
        { { "garbage", "" }, "FLASH: 0 bytes used by 2 objects" },   // malformed lines count, with size 0
        { {}, "FLASH: 0 bytes used by 0 objects" },
        { { "7FFFFFFF T a", "7FFFFFFF T b" }, "FLASH: 4,294,967,294 bytes used by 2 objects" },  // no overflow
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, FlashSummaryText(SymbolRows(c.lines)));
    }
    EXPECT_EQ("-1,234", GroupedThousands(-1234));
    EXPECT_EQ("-999", GroupedThousands(-999));
}

TEST(SramSummary, DataAndBssFromTheCountsLine)
{
    const struct { const char* what; const char* report; const char* text; } cases[] = {
        { "tab-separated",
          "   text\t   data\t    bss\t    dec\t    hex\tfilename\r\n"
          "   1024\t     20\t    300\t   1344\t    540\tC:\\T\\build1.tmp\\Blink.cpp.elf\r\n",
          "SRAM: 20 B in static data, 300 B in uninitialized variables" },
        { "space-separated",
          "   text    data     bss     dec     hex filename\r\n"
          "   1024      20     300    1344     540 C:\\T\\build1.tmp\\Blink.cpp.elf\r\n",
          "SRAM: 20 B in static data, 300 B in uninitialized variables" },
        { "empty", "", "SRAM:  B in static data,  B in uninitialized variables" },
        { "header only", "   text\t   data\t    bss\r\n", "SRAM:  B in static data,  B in uninitialized variables" },
        { "no line end: from the second character", "x1024 20 300", "SRAM: 20 B in static data, 300 B in uninitialized variables" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.text, SramSummaryText(SramCountsOf(c.report)));
    }
}

TEST(ToolCommandLines, TheFileNameAloneIsQuotedInsideOneOuterPairWithoutDelayedExpansion)
{
    const struct { const char* name; const char* size; const char* map; } cases[] = {
        { "Blink.cpp.elf", "/V:OFF /C \"avr-size \"Blink.cpp.elf\"\"", "/V:OFF /C \"avr-nm --size-sort -C -r \"Blink.cpp.elf\"\"" },
        { "A&B (R^D) x.cpp.elf", "/V:OFF /C \"avr-size \"A&B (R^D) x.cpp.elf\"\"",
          "/V:OFF /C \"avr-nm --size-sort -C -r \"A&B (R^D) x.cpp.elf\"\"" },
        // Without delayed expansion '!' is a letter; one '%' encloses nothing.
        { "x!PATH!.cpp.elf", "/V:OFF /C \"avr-size \"x!PATH!.cpp.elf\"\"", "/V:OFF /C \"avr-nm --size-sort -C -r \"x!PATH!.cpp.elf\"\"" },
        { "50%.elf", "/V:OFF /C \"avr-size \"50%.elf\"\"", "/V:OFF /C \"avr-nm --size-sort -C -r \"50%.elf\"\"" },
        // A short form; a fullwidth quote is an ordinary letter to the interpreter, which reads UTF-16.
        { "A_&M~OAQ.ELF", "/V:OFF /C \"avr-size \"A_&M~OAQ.ELF\"\"", "/V:OFF /C \"avr-nm --size-sort -C -r \"A_&M~OAQ.ELF\"\"" },
        { "a\xEF\xBC\x82&calc&\xEF\xBC\x82.elf", "/V:OFF /C \"avr-size \"a\xEF\xBC\x82&calc&\xEF\xBC\x82.elf\"\"",
          "/V:OFF /C \"avr-nm --size-sort -C -r \"a\xEF\xBC\x82&calc&\xEF\xBC\x82.elf\"\"" },
        // Not an option to the tool.
        { "-h.elf", "/V:OFF /C \"avr-size \".\\-h.elf\"\"", "/V:OFF /C \"avr-nm --size-sort -C -r \".\\-h.elf\"\"" },
        { "", "<none>", "<none>" },
        { "C:\\T\\x.elf", "<none>", "<none>" },   // a name only: the folder is the current one
        { "x%TEMP%.elf", "<none>", "<none>" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.size, SizeRunParameters(c.name).value_or("<none>"));
        EXPECT_EQ(c.map, SymbolRunParameters(c.name).value_or("<none>"));
    }
}

TEST(ToolCommandLines, ANameTheInterpreterWouldReadAsMoreThanTextMakesNoRun)
{
    const struct { const char* text; bool fits; } cases[] = {
        { "C:\\Users\\R&D (old)^\\x.cpp.elf", true },
        { "C:\\T\\caf\xC3\xA9 \xEF\xBC\x82\\x.elf", true },
        { "C:\\T\\a\"&calc&\".elf", false },
        { "C:\\T\\%TEMP%\\x.elf", false },
        { "C:\\T\\50%.elf", true },               // one % encloses nothing
        { "C:\\T\\50%%.elf", false },
        { "C:\\T\\!x!.elf", true },               // /V:OFF: no delayed expansion
        { "C:\\T\\a\tb.elf", false },
        { "C:\\T\\a\nb.elf", false },
        { "C:\\T\\a\x7F.elf", false },
        { "", true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.fits, FitsCommandLine(c.text));
    }
    EXPECT_FALSE(FitsCommandLine(std::string("C:\\T\\a\0b.elf", 12)));   // a zero byte is a control character too
}

TEST(ToolCommandLines, TheInterpreterIsStartedByItsAbsolutePathOnly)
{
    const struct { const char* program; const char* line; } cases[] = {
        { "C:\\Windows\\system32\\cmd.exe", "\"C:\\Windows\\system32\\cmd.exe\" /C x" },
        { "c:\\Program Files\\Shell\\cmd.exe", "\"c:\\Program Files\\Shell\\cmd.exe\" /C x" },
        { "\\\\server\\tools\\cmd.exe", "\"\\\\server\\tools\\cmd.exe\" /C x" },
        { "cmd.exe", nullptr },                   // would be found in the current folder first
        { "system32\\cmd.exe", nullptr },
        { "\\Windows\\cmd.exe", nullptr },        // the current drive's root
        { "C:cmd.exe", nullptr },                 // the current folder of drive C:
        { "\\\\\\x\\cmd.exe", nullptr },
        { "\"C:\\Windows\\system32\\cmd.exe\"", nullptr },
        { "C:\\Win\"dows\\cmd.exe", nullptr },
        { "", nullptr },                          // COMSPEC not set
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        EXPECT_EQ(c.line ? std::optional<std::string>(c.line) : std::nullopt, InterpreterCommandLine(c.program, "/C x"));
    }
}
