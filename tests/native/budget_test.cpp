#include <gtest/gtest.h>

#include "TestFiles.h"
#include "analyzer/Budget.h"

#include <fstream>
#include <sstream>

#include "analyzer/Demangle.h"
#include "analyzer/ElfImage.h"

TEST(Budget, LinesAtEachShareOfTheLeonardo)
{
    const struct { uint64_t program; uint64_t data; const char* programLine; const char* dataLine; } cases[] = {
        { 4626, 1305, "Program storage: 4,626 of 28,672 bytes (16 %)",
          "Global variables: 1,305 of 2,560 bytes (50 %), 1,255 bytes left for local variables" },
        { 21504, 1920, "Program storage: 21,504 of 28,672 bytes (75 %)",
          "Global variables: 1,920 of 2,560 bytes (75 %), 640 bytes left for local variables" },
        { 21791, 1945, "Program storage: 21,791 of 28,672 bytes (76 %)",   // 76.0 %, truncated
          "Global variables: 1,945 of 2,560 bytes (75 %), 615 bytes left for local variables" },   // 75.98 %
        { 21792, 1946, "Program storage: 21,792 of 28,672 bytes (76 %)",
          "Global variables: 1,946 of 2,560 bytes (76 %), 614 bytes left for local variables" },
        { 28672, 2560, "Program storage: 28,672 of 28,672 bytes (100 %)",
          "Global variables: 2,560 of 2,560 bytes (100 %), 0 bytes left for local variables" },
        { 28959, 2586, "Program storage: 28,959 of 28,672 bytes (101 %)",
          "Global variables: 2,586 of 2,560 bytes (101 %), 26 bytes over the maximum, none left for local variables" },
        { 32436, 2561, "Program storage: 32,436 of 28,672 bytes (113 %)",
          "Global variables: 2,561 of 2,560 bytes (100 %), 1 bytes over the maximum, none left for local variables" },
        { 0, 0, "Program storage: 0 of 28,672 bytes (0 %)",
          "Global variables: 0 of 2,560 bytes (0 %), 2,560 bytes left for local variables" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programLine);
        EXPECT_EQ(c.programLine, ProgramStorageLine(c.program, 28672));
        EXPECT_EQ(c.dataLine, GlobalVariablesLine(c.data, 2560));
    }
}

TEST(Budget, WithoutAMaximumOnlyTheUsedBytes)
{
    for (const std::optional<uint64_t> none : { std::optional<uint64_t>(), std::optional<uint64_t>(0) }) {
        EXPECT_EQ("Program storage: 4,626 bytes", ProgramStorageLine(4626, none));
        EXPECT_EQ("Global variables: 1,305 bytes", GlobalVariablesLine(1305, none));
        EXPECT_EQ(BudgetLevel::None, ProgramStorageMark(4626, none).level);
        EXPECT_EQ(BudgetLevel::None, GlobalVariablesMark(1305, none).level);
    }
    EXPECT_EQ("Against the board \"Arduino Leonardo\"", AgainstBoardLine("Arduino Leonardo"));
    EXPECT_EQ("Against the chip atmega32u4 (no board file found)", AgainstChipLine("atmega32u4"));
    EXPECT_EQ("No maximum known", NoMaximumLine);
}

TEST(Budget, MarksOver75PercentOfRamAndOverEitherMaximum)
{
    const char* const low = "Low memory available, stability problems may occur.";
    const struct { uint64_t used; BudgetLevel program; BudgetLevel data; const char* dataWords; } cases[] = {
        { 1305, BudgetLevel::None, BudgetLevel::None, "" },         // 50 %
        { 1920, BudgetLevel::None, BudgetLevel::None, "" },         // exactly 75 %: the IDE does not warn
        { 1921, BudgetLevel::None, BudgetLevel::Warning, low },     // 75.04 %, shown as 75 % but over it
        { 1946, BudgetLevel::None, BudgetLevel::Warning, low },     // 76 %
        { 2560, BudgetLevel::None, BudgetLevel::Warning, low },     // 100 %: full, not over
        { 2561, BudgetLevel::Over, BudgetLevel::Over, "Not enough memory" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.used);
        const BudgetMark data = GlobalVariablesMark(c.used, 2560);
        EXPECT_EQ(c.data, data.level);
        EXPECT_EQ(c.dataWords, data.words);
        // Program storage is marked only over its maximum, whatever its share.
        const BudgetMark program = ProgramStorageMark(c.used, 2560);
        EXPECT_EQ(c.program, program.level);
        EXPECT_EQ(c.program == BudgetLevel::Over ? "Sketch too big" : "", program.words);
    }
    EXPECT_EQ(BudgetLevel::Over, ProgramStorageMark(32436, 28672).level);
}

TEST(Budget, TheWindowShowsTheAnalysedBuildAndAFigureThatCannotBeReadAsUnknown)
{
    const std::string elf = FileBytes(KEVRA_BUDGET_ELF);
    const std::optional<ElfImage> image = ReadElfImage(elf);
    ASSERT_TRUE(image);
    const uint64_t program = ProgramStorageBytes(*image), data = GlobalVariableBytes(*image);
    AnalysisResult current;
    current.elfPath = "C:\\Temp\\build1.tmp\\Game.ino.elf";
    current.rows = { { "loop", "T", 40 }, { "grown", "T", 10 } };
    current.build.elfBytes = elf;
    const BoardMaxima leonardo{ "Arduino Leonardo", 28672, 2560 };

    // The board's maxima, no earlier build.
    BudgetView view = WorkOutBudget(current, leonardo, std::nullopt);
    EXPECT_EQ("[kevra+ v0.3] Budget and changes: Game.hex", view.caption);
    EXPECT_EQ(ProgramStorageLine(program, 28672), view.programLine);
    EXPECT_EQ(GlobalVariablesLine(data, 2560), view.dataLine);
    EXPECT_EQ("Against the board \"Arduino Leonardo\"", view.againstLine);
    EXPECT_EQ("No earlier build of Game.hex to compare with.", view.changesLine);
    EXPECT_TRUE(view.changes.empty());
    // The deepest stack of the same .elf, against what its globals leave of the board's RAM.
    const std::optional<StackDepth> stack = DeepestStack(elf);
    ASSERT_TRUE(stack);
    EXPECT_EQ(StackLine(*stack, DemangledName(stack->unboundedFunction), 2560 - data), view.stackLine);
    EXPECT_EQ(0u, view.stackLine.rfind("Stack: up to ", 0)) << view.stackLine;
    ASSERT_FALSE(view.stackRows.empty());
    EXPECT_EQ(stack->bytes, view.stackRows.back().total);
    EXPECT_EQ(3u, view.ramBar.parts.size());
    EXPECT_EQ(2560u, view.ramBar.whole);

    // Without the board, the chip's from the device note; the previous build's changes.
    const PreviousBuild previous{ elf, { { "loop", "T", 38 }, { "gone", "t", 4 } }, "10:42:13" };
    view = WorkOutBudget(current, std::nullopt, previous);
    EXPECT_EQ("Against the chip atmega32u4 (no board file found)", view.againstLine);
    EXPECT_EQ(ProgramStorageLine(program, 32768), view.programLine);
    EXPECT_EQ("Program storage unchanged, global variables unchanged, stack unchanged since the build of 10:42:13", view.changesLine);
    ASSERT_EQ(3u, view.changes.size());
    EXPECT_EQ("grown", view.changes[0].name);

    // The .elf could not be read when it was analysed (or is no ELF): unknown, never 0 bytes.
    for (const std::optional<std::string>& bytes : { std::optional<std::string>(), std::optional<std::string>("not an elf") }) {
        current.build.elfBytes = bytes;
        view = WorkOutBudget(current, leonardo, previous);
        EXPECT_EQ("Program storage: unknown", view.programLine);
        EXPECT_EQ("Global variables: unknown", view.dataLine);
        EXPECT_EQ(BudgetLevel::None, view.dataMark.level);
        EXPECT_EQ("Stack: unknown", view.stackLine);
        EXPECT_TRUE(view.stackRows.empty());
        EXPECT_TRUE(view.ramBar.parts.empty());
        EXPECT_EQ("Program storage unknown, global variables unknown, stack unknown since the build of 10:42:13", view.changesLine);
        view = WorkOutBudget(current, std::nullopt, std::nullopt);
        EXPECT_EQ("No maximum known", view.againstLine);
    }
}

TEST(StackBudget, TheStackLineAgainstWhatTheGlobalsLeave)
{
    StackDepth bound;
    bound.bytes = 356;
    StackDepth deep = bound;
    deep.bytes = 1512;
    StackDepth recursive;
    recursive.bytes = 412;
    recursive.unbounded = StackUnbounded::Recursion;
    StackDepth spWrite = recursive, pointer = recursive;
    spWrite.unbounded = StackUnbounded::SpWrite;
    pointer.unbounded = StackUnbounded::PointerCall;
    const std::string fill = "fill(unsigned char, unsigned char, unsigned char, unsigned char)";
    const struct { const StackDepth* depth; std::string function; std::optional<uint64_t> left; const char* line; BudgetLevel level; } cases[] = {
        { &bound, "", 1370, "Stack: up to 356 bytes, 1,014 bytes to spare", BudgetLevel::None },
        { &deep, "", 1370, "Stack: up to 1,512 bytes, 142 bytes more than the 1,370 left: the game may crash", BudgetLevel::Over },
        { &recursive, fill, 1370,
          "Stack: at least 412 bytes (fill(unsigned char, unsigned char, unsigned char, unsigned char) calls itself), "
          "958 bytes to spare at most", BudgetLevel::None },
        { &spWrite, "setup", 412, "Stack: at least 412 bytes (setup sets the stack pointer in a way that cannot be followed), "
          "0 bytes to spare at most", BudgetLevel::Warning },
        { &pointer, "run()", 100, "Stack: at least 412 bytes (run() calls through a pointer with no known target), "
          "312 bytes more than the 100 left: the game may crash", BudgetLevel::Over },
        { &bound, "", std::nullopt, "Stack: up to 356 bytes", BudgetLevel::None },
        { &bound, "", 475, "Stack: up to 356 bytes, 119 bytes to spare", BudgetLevel::None },    // 74.9 %
        { &bound, "", 474, "Stack: up to 356 bytes, 118 bytes to spare", BudgetLevel::Warning },  // 75.1 %
        { &bound, "", 0, "Stack: up to 356 bytes, 356 bytes more than the 0 left: the game may crash", BudgetLevel::Over },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.line, StackLine(*c.depth, c.function, c.left));
        EXPECT_EQ(c.level, StackLevel(c.depth->bytes, c.left));
    }
}

TEST(StackBudget, BarsAreTheirPartsInProportionAndTheirFiguresBeside)
{
    const BudgetBar ram = RamBar(1190, BudgetLevel::None, 356, BudgetLevel::Warning, 2560);
    EXPECT_EQ("globals 1,190 + stack 356, 1,014 bytes left", ram.caption);
    ASSERT_EQ(3u, ram.parts.size());
    EXPECT_TRUE(ram.parts[2].free);
    EXPECT_EQ(BudgetLevel::Warning, ram.parts[1].level);
    EXPECT_EQ((std::vector<int>{ 139, 42, 119 }), BarWidths(ram, 300));   // ends at 139.4, 181.1 and 300
    const BudgetBar over = RamBar(2000, BudgetLevel::Warning, 700, BudgetLevel::Over, 2560);
    EXPECT_EQ("globals 2,000 + stack 700, 140 bytes over", over.caption);
    EXPECT_EQ((std::vector<int>{ 222, 78 }), BarWidths(over, 300));   // over its whole: drawn to the whole width
    EXPECT_EQ("globals 1,190", RamBar(1190, BudgetLevel::None, std::nullopt, BudgetLevel::None, std::nullopt).caption);
    const BudgetBar program = ProgramBar(4068, 28672, BudgetLevel::None);
    EXPECT_EQ("4,068 of 28,672 bytes", program.caption);
    EXPECT_EQ((std::vector<int>{ 42, 258 }), BarWidths(program, 300));
    EXPECT_EQ("4,068 bytes", ProgramBar(4068, std::nullopt, BudgetLevel::None).caption);
    EXPECT_EQ((std::vector<int>{ 0 }), BarWidths(ProgramBar(0, std::nullopt, BudgetLevel::None), 300));
}
