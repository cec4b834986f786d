#include <gtest/gtest.h>

#include "analyzer/BuildChanges.h"

namespace {

using Size = std::optional<int32_t>;

std::string Row(const SymbolChange& c)
{
    return c.name + ";" + c.type + ";" + ChangeSizeText(c.before) + ";" + ChangeSizeText(c.after) + ";" +
           SignedChangeText(c.change);
}

std::vector<std::string> Rows(const std::vector<SymbolRow>& before, const std::vector<SymbolRow>& after)
{
    std::vector<std::string> rows;
    for (const SymbolChange& c : SymbolChanges(before, after))
        rows.push_back(Row(c));
    return rows;
}

}  // namespace

TEST(BuildChanges, OnlyChangedAppearedAndGoneSymbolsLargestChangeFirst)
{
    // The two real builds of the fixture sketch: the table four times larger, drawBorder gone.
    const std::vector<SymbolRow> before = {
        { "__vector_11", "T", 1148 }, { "frameBuffer", "b", 1024 }, { "main", "T", 488 },
        { "levelTable", "t", 64 }, { "drawScore(unsigned char)", "t", 48 }, { "drawLevel(unsigned char)", "t", 38 },
        { "drawBorder()", "t", 32 },
    };
    const std::vector<SymbolRow> after = {
        { "__vector_11", "T", 1148 }, { "frameBuffer", "b", 1024 }, { "main", "T", 470 },
        { "levelTable", "t", 256 }, { "drawScore(unsigned char)", "t", 48 }, { "drawLevel(unsigned char)", "t", 36 },
        { "newThing", "T", 18 },
    };
    const std::vector<std::string> rows = {
        "levelTable;t;64;256;+192", "drawBorder();t;32;;-32", "main;T;488;470;-18", "newThing;T;;18;+18",
        "drawLevel(unsigned char);t;38;36;-2",
    };
    EXPECT_EQ(rows, Rows(before, after));
    EXPECT_TRUE(Rows(after, after).empty());
    EXPECT_TRUE(Rows({}, {}).empty());
    EXPECT_EQ(std::vector<std::string>{ "x;T;;5;+5" }, Rows({}, { { "x", "T", 5 } }));
    EXPECT_EQ(std::vector<std::string>{ "x;T;5;;-5" }, Rows({ { "x", "T", 5 } }, {}));
}

TEST(BuildChanges, SymbolsAreMatchedByNameTypeAndOccurrence)
{
    const struct { const char* what; std::vector<SymbolRow> before, after; std::vector<std::string> rows; } cases[] = {
        { "the same name, another type: one went, one appeared",
          { { "buf", "b", 10 } }, { { "buf", "d", 10 } }, { "buf;b;10;;-10", "buf;d;;10;+10" } },
        { "two static functions of one name pair in order",
          { { "init()", "t", 40 }, { "init()", "t", 20 } }, { { "init()", "t", 40 }, { "init()", "t", 26 } },
          { "init();t;20;26;+6" } },
        { "the second of a name went",
          { { "init()", "t", 40 }, { "init()", "t", 20 } }, { { "init()", "t", 40 } }, { "init();t;20;;-20" } },
        { "a third of a name appeared",
          { { "f", "t", 8 } }, { { "f", "t", 8 }, { "f", "t", 8 }, { "f", "t", 2 } }, { "f;t;;8;+8", "f;t;;2;+2" } },
        { "ties by name, then type",
          { { "b", "T", 1 }, { "a", "T", 3 }, { "a", "D", 1 } }, { { "b", "T", 3 }, { "a", "T", 1 }, { "a", "D", 3 } },
          { "a;D;1;3;+2", "a;T;3;1;-2", "b;T;1;3;+2" } },
        { "a symbol of size 0 that appeared is listed",
          {}, { { "empty", "T", 0 } }, { "empty;T;;0;0" } },
        { "the largest sizes do not overflow the change",
          { { "big", "T", 2147483647 } }, {}, { "big;T;2147483647;;-2147483647" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.rows, Rows(c.before, c.after));
    }
    // The order is the same whichever order the symbols came in.
    const std::vector<SymbolRow> forward = { { "p", "T", 1 }, { "q", "T", 2 }, { "r", "T", 3 } };
    const std::vector<SymbolRow> backward = { { "r", "T", 3 }, { "q", "T", 2 }, { "p", "T", 1 } };
    EXPECT_EQ(Rows({}, forward), Rows({}, backward));
}

TEST(BuildChanges, TotalsAndCellTexts)
{
    const struct { int64_t program, data; std::optional<int64_t> stack; const char* line; } cases[] = {
        { 24, -2, 24, "Program storage +24 bytes, global variables -2 bytes, stack +24 bytes since the build of 10:42:13" },
        { 0, 0, 0, "Program storage unchanged, global variables unchanged, stack unchanged since the build of 10:42:13" },
        { 28672, -1305, -1030,
          "Program storage +28,672 bytes, global variables -1,305 bytes, stack -1,030 bytes since the build of 10:42:13" },
        { -1, 1, std::nullopt, "Program storage -1 bytes, global variables +1 bytes, stack unknown since the build of 10:42:13" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.line, ChangeTotalsLine(c.program, c.data, c.stack, ClockText(10, 42, 13)));
    EXPECT_EQ("+24", SignedChangeText(24));
    EXPECT_EQ("-2", SignedChangeText(-2));
    EXPECT_EQ("0", SignedChangeText(0));
    EXPECT_EQ("+1234", SignedChangeText(1234));
    EXPECT_EQ("", ChangeSizeText(std::nullopt));
    EXPECT_EQ("0", ChangeSizeText(0));
    EXPECT_EQ("00:00:00", ClockText(0, 0, 0));
    EXPECT_EQ("23:59:59", ClockText(23, 59, 59));
    EXPECT_EQ("No earlier build of Blink.hex to compare with.", NoEarlierBuildLine("Blink.hex"));
}
