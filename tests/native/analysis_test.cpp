#include <gtest/gtest.h>

#include "analyzer/Analysis.h"

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
        EXPECT_EQ(c.text, FlashSummaryText(c.lines));
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
        EXPECT_EQ(c.text, SramSummaryText(c.report));
    }
}

TEST(ToolCommandLines, EveryPathIsQuotedInsideOneOuterPair)
{
    const struct { const char* elf; const char* size; const char* map; } cases[] = {
        { "C:\\Users\\John Smith\\Temp\\build1.tmp\\Blink.cpp.elf",
          "/C \"avr-size \"C:\\Users\\John Smith\\Temp\\build1.tmp\\Blink.cpp.elf\" > "
          "\"C:\\Users\\John Smith\\Temp\\build1.tmp\\Blink.cpp.elf.size\"\"",
          "/C \"avr-nm --size-sort -C -r \"C:\\Users\\John Smith\\Temp\\build1.tmp\\Blink.cpp.elf\" > "
          "\"C:\\Users\\John Smith\\Temp\\build1.tmp\\Blink.cpp.elf.map\"\"" },
        { "C:\\T\\A&B\\x.cpp.elf",
          "/C \"avr-size \"C:\\T\\A&B\\x.cpp.elf\" > \"C:\\T\\A&B\\x.cpp.elf.size\"\"",
          "/C \"avr-nm --size-sort -C -r \"C:\\T\\A&B\\x.cpp.elf\" > \"C:\\T\\A&B\\x.cpp.elf.map\"\"" },
        { "", "/C \"avr-size \"\" > \".size\"\"", "/C \"avr-nm --size-sort -C -r \"\" > \".map\"\"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elf);
        EXPECT_EQ(c.size, SizeRunParameters(c.elf));
        EXPECT_EQ(c.map, SymbolRunParameters(c.elf));
    }
}
