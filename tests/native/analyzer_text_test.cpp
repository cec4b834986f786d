#include <gtest/gtest.h>

#include "analyzer/Analysis.h"
#include "analyzer/AnalyzerText.h"
#include "base/Text.h"

TEST(AnalyzerCaption, NamesTheBuildWithoutItsCppElfEnding)
{
    const struct { const char* elfPath; const char* caption; const char* csvName; } cases[] = {
        { "C:\\Temp\\build7034.tmp\\Blink.cpp.elf", "[kevra+ v0.3] Memory Analyzer: Blink.hex", "Blink.csv" },
        { "C:\\Temp\\build1.tmp\\x.elf", "[kevra+ v0.3] Memory Analyzer: x.elf.hex", "x.elf.csv" },
        { "", "[kevra+ v0.3] Memory Analyzer: .hex", ".csv" },
        { "Blink.cpp.elf", "[kevra+ v0.3] Memory Analyzer: Blink.hex", "Blink.csv" },       // no backslash
        { "C:\\a.cpp.elf\\b.cpp.elf", "[kevra+ v0.3] Memory Analyzer: b.hex", "b.csv" },   // the folder's is not looked at
        { "C:\\T\\My Game.cpp.elf.cpp.elf", "[kevra+ v0.3] Memory Analyzer: My Game.hex", "My Game.csv" },
        { "C:\\T\\a.cpp.elfb", "[kevra+ v0.3] Memory Analyzer: ab.hex", "ab.csv" },         // taken out anywhere
        { "C:\\T\\.cpp.e.cpp.elflf", "[kevra+ v0.3] Memory Analyzer: .cpp.elf.hex", ".cpp.elf.csv" },   // one pass
        { "C:\\T\\", "[kevra+ v0.3] Memory Analyzer: .hex", ".csv" },
        { "C:\\T\\Caf\xe9.cpp.elf", "[kevra+ v0.3] Memory Analyzer: Caf\xe9.hex", "Caf\xe9.csv" },
        { "C:\\T\\arduino_build_1\\Blink.ino.elf", "[kevra+ v0.3] Memory Analyzer: Blink.hex", "Blink.csv" },   // IDE 1.6.6 on
        { "C:\\T\\a.ino.elf.cpp.elfb.ino.elf", "[kevra+ v0.3] Memory Analyzer: ab.hex", "ab.csv" },   // both, anywhere
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elfPath);
        EXPECT_EQ(c.caption, AnalyzerCaption(c.elfPath));
        const std::string_view analyzerStart = "[kevra+ v0.3] Memory Analyzer: ";
        EXPECT_EQ("[kevra+ v0.3] Budget and changes: " + std::string(c.caption).substr(analyzerStart.size()),
                  BudgetCaption(c.elfPath));
        EXPECT_EQ(c.csvName, CsvFileName(c.elfPath));
    }
}

TEST(ListCellText, ShowsAtMost255CharactersAndStopsAtAZeroByte)
{
    const std::string long300(300, 'n');
    const struct { std::string text; std::string shown; } cases[] = {
        { long300, std::string(255, 'n') },
        { std::string(255, 'x'), std::string(255, 'x') },
        { std::string(256, 'x'), std::string(255, 'x') },
        { std::string(254, 'x') + "\xe9\xe8", std::string(254, 'x') + "\xe9" },
        { std::string("ab\0cd", 5), "ab" },
        { "", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.size());
        EXPECT_EQ(c.shown, ListCellText(c.text));
    }
}

TEST(SymbolsCsv, HeaderThenOneUnquotedLinePerSymbolEachEndedByCrLf)
{
    const std::string longName = "ns::" + std::string(296, 'q');   // 300 characters, written whole
    const struct { std::vector<std::string> lines; std::string csv; } cases[] = {
        { {}, "Name;Type;Size\r\n" },
        { { "00000100 T main" }, "Name;Type;Size\r\nmain;T;256\r\n" },
        { { "00000200 B frameBuffer", "0000002a T sprites::Sprite::blit(unsigned char, int)", "00000002 d x" },
          "Name;Type;Size\r\nframeBuffer;B;512\r\nsprites::Sprite::blit(unsigned char, int);T;42\r\nx;d;2\r\n" },
        { { "0000000a T f(a;b)" }, "Name;Type;Size\r\nf(a;b);T;10\r\n" },             // no quoting
        { { "00000001 T \"q\"" }, "Name;Type;Size\r\n\"q\";T;1\r\n" },
        { { "" }, "Name;Type;Size\r\n;;0\r\n" },                                        // a malformed line still counts
        { { "0000001 T" }, "Name;Type;Size\r\n;T;1\r\n" },
        { { "0000ffff W " + longName }, "Name;Type;Size\r\n" + longName + ";W;65535\r\n" },
        { { "80000000 T big" }, "Name;Type;Size\r\nbig;T;2147483647\r\n" },
        { { "00000004 D caf\xe9" }, "Name;Type;Size\r\ncaf\xe9;D;4\r\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv);
        EXPECT_EQ(c.csv, SymbolsCsv(SymbolRows(c.lines)));
    }
}

TEST(Explorer, StartsFromTheWindowsFolderWithTheQuotedPathSelected)
{
    EXPECT_EQ("/select,\"C:\\My Docs\\R&D\\a b.csv\"", ExplorerSelectParameters("C:\\My Docs\\R&D\\a b.csv"));
    EXPECT_EQ("/select,\"\"", ExplorerSelectParameters(""));
    const struct { const char* windows; const char* program; } cases[] = {
        { "C:\\windows", "C:\\windows\\explorer.exe" },
        { "C:\\windows\\", "C:\\windows\\explorer.exe" },
        { "D:\\Win Dows", "D:\\Win Dows\\explorer.exe" },
        { "", "" },       // unknown: nothing is started, never a bare name found on the search path
        { "\\", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        EXPECT_EQ(c.program, ExplorerProgram(c.windows));
    }
}

TEST(ListSort, AClickSortsByItsColumnAndASecondClickOnItReverses)
{
    const ListSort none;
    EXPECT_EQ((ListSort{ SymbolColumn::Size, false }), SortAfterClick(none, SymbolColumn::Size));
    EXPECT_EQ((ListSort{ SymbolColumn::Size, true }), SortAfterClick({ SymbolColumn::Size, false }, SymbolColumn::Size));
    EXPECT_EQ((ListSort{ SymbolColumn::Size, false }), SortAfterClick({ SymbolColumn::Size, true }, SymbolColumn::Size));
    EXPECT_EQ((ListSort{ SymbolColumn::Name, false }), SortAfterClick({ SymbolColumn::Size, true }, SymbolColumn::Name));
}

TEST(ListSort, NamesIgnoreCaseTypesKeepTheirLettersSizesLargestFirstAndTiesKeepTheReportsOrder)
{
    // As avr-nm --size-sort -r lists them: largest first.
    const std::vector<SymbolRow> rows = {
        { "setup", "T", 40 },   // 0
        { "Zebra", "t", 30 },   // 1
        { "apple", "B", 30 },   // 2
        { "Apple", "T", 12 },   // 3
        { "_tail", "b", 12 },   // 4
        { "zeta", "B", 300 },   // 5 (out of the report's order: sorting by size puts it first)
    };
    const struct {
        const char* what;
        ListSort sort;
        std::vector<size_t> order;
    } cases[] = {
        { "unsorted", {}, { 0, 1, 2, 3, 4, 5 } },
        { "unsorted, reversed flag alone", { std::nullopt, true }, { 0, 1, 2, 3, 4, 5 } },
        // Letters compare in lower case, and '_' (0x5F) comes before them.
        { "names", { SymbolColumn::Name, false }, { 4, 2, 3, 0, 1, 5 } },
        { "names reversed", { SymbolColumn::Name, true }, { 5, 1, 0, 2, 3, 4 } },
        { "types", { SymbolColumn::Type, false }, { 2, 5, 0, 3, 4, 1 } },
        { "types reversed", { SymbolColumn::Type, true }, { 1, 4, 0, 3, 2, 5 } },
        { "sizes", { SymbolColumn::Size, false }, { 5, 0, 1, 2, 3, 4 } },
        { "sizes reversed", { SymbolColumn::Size, true }, { 3, 4, 1, 2, 0, 5 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.order, SortedRowOrder(rows, c.sort));
    }
    EXPECT_TRUE(SortedRowOrder({}, { SymbolColumn::Name, false }).empty());
}
