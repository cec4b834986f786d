// analyzer/Budget.h: the texts of a build's budget: what it uses of program storage and of RAM for
// global variables against a maximum, with the percent the Arduino IDE prints, which maximum that
// is, and the mark for a build near or over it; and all the window shows of one analysed build, worked
// out from what its analysis read. Pure functions of their arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/Analysis.h"
#include "analyzer/BoardFiles.h"
#include "analyzer/BuildChanges.h"
#include "analyzer/StackBudget.h"

// A maximum of 0 bytes counts as no maximum: no share can be taken of it.
// "Program storage: 4,626 of 28,672 bytes (16 %)", the percent used * 100 / maximum, truncated;
// without a maximum "Program storage: 4,626 bytes".
std::string ProgramStorageLine(uint64_t used, std::optional<uint64_t> maximum);

// "Global variables: 1,305 of 2,560 bytes (50 %), 1,255 bytes left for local variables"; over the
// maximum "Global variables: 2,600 of 2,560 bytes (101 %), 40 bytes over the maximum, none left for
// local variables"; without a maximum "Global variables: 1,305 bytes".
std::string GlobalVariablesLine(uint64_t used, std::optional<uint64_t> maximum);

// Which maximum the figures are against.
std::string AgainstBoardLine(std::string_view boardName);     // Against the board "Arduino Leonardo"
std::string AgainstChipLine(std::string_view deviceName);     // Against the chip atmega32u4 (no board file found)
constexpr std::string_view NoMaximumLine = "No maximum known";

struct BudgetMark {
    BudgetLevel level = BudgetLevel::None;
    std::string words;   // "" for None
};

// Over the maximum: "Sketch too big" (the IDE's words; it refuses to upload such a build).
BudgetMark ProgramStorageMark(uint64_t used, std::optional<uint64_t> maximum);
// Over the maximum: "Not enough memory"; over 75 % of it, as the IDE warns: "Low memory available,
// stability problems may occur."
BudgetMark GlobalVariablesMark(uint64_t used, std::optional<uint64_t> maximum);

// A figure that cannot be read (the analysed .elf is not one): "Program storage: unknown".
std::string UnknownProgramStorageLine();
std::string UnknownGlobalVariablesLine();
std::string UnknownStackLine();

// The previous build of the same sketch as kept: its .elf's bytes, the rows of its analysis and its
// write time as a clock text.
struct PreviousBuild {
    std::string_view elfBytes;
    std::vector<SymbolRow> rows;
    std::string clock;
};

// What the "Budget and changes" window shows.
struct BudgetView {
    std::string caption;
    BudgetBar programBar, ramBar;
    std::string programLine, dataLine, againstLine, stackLine, heapLine, changesLine;
    BudgetMark programMark, dataMark;
    BudgetLevel stackLevel = BudgetLevel::None;
    std::vector<StackRow> stackRows;
    std::vector<SymbolChange> changes;
};

// The window's figures for the analysed build (its snapshot's .elf and its rows), against the board's
// maxima when they are known, else the chip's from the .elf's device note, else none: the budget, the
// deepest stack against what the global variables leave, and what changed since the previous build
// when there is one.
BudgetView WorkOutBudget(const AnalysisResult& current, const std::optional<BoardMaxima>& board,
                         const std::optional<PreviousBuild>& previous);
