// analyzer/StackBudget.h: the texts and the picture of how deep a build's stack can go against what
// its global variables leave of RAM: the stack line, its mark, the deepest path as the list shows it,
// the heap's warning and the two bars of the "Budget and changes" window. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/StackDepth.h"

enum class BudgetLevel { None, Warning, Over };

// "Stack: up to 356 bytes, 1,014 bytes to spare"; over what is left, "Stack: up to 1,512 bytes, 142
// bytes more than the 1,370 left: the game may crash"; a lower bound, "Stack: at least 412 bytes
// (fill(unsigned char) calls itself), 958 bytes to spare at most"; without a maximum the figure alone.
// reasonFunction is the function named in the reason, as the symbol list names it.
std::string StackLine(const StackDepth& depth, std::string_view reasonFunction, std::optional<uint64_t> left);
// Over what the global variables leave, or over 75 % of it.
BudgetLevel StackLevel(uint64_t stack, std::optional<uint64_t> left);

// When malloc is linked: "The heap (malloc, String, new) takes from the same space and is not counted."
constexpr std::string_view HeapLine = "The heap (malloc, String, new) takes from the same space and is not counted.";

// One row of the deepest path: the function as the symbol list names it, what it adds, the total.
struct StackRow {
    std::string function;
    uint32_t bytes = 0;
    uint32_t total = 0;
    bool interrupt = false;
};
std::vector<StackRow> StackRows(const StackDepth& depth);

// A bar of the picture: its parts in order, each with the level of its mark, against a whole.
struct BarPart {
    uint64_t bytes = 0;
    BudgetLevel level = BudgetLevel::None;
    bool free = false;   // what is left, drawn empty
};
struct BudgetBar {
    std::vector<BarPart> parts;
    uint64_t whole = 0;
    std::string caption;   // the byte figures beside it
};
// Program storage against its maximum: "4,068 of 28,672 bytes".
BudgetBar ProgramBar(uint64_t program, std::optional<uint64_t> maximum, BudgetLevel level);
// RAM: the globals, the deepest stack and what is left: "globals 1,190 + stack 356, 1,014 bytes left".
BudgetBar RamBar(uint64_t globals, BudgetLevel globalsLevel, std::optional<uint64_t> stack, BudgetLevel stackLevel,
                 std::optional<uint64_t> maximum);
// The parts' widths in a bar of width pixels: each in proportion to the whole, rounded so that they
// end where their running sums end; a bar over its whole is drawn to the whole of its width.
std::vector<int> BarWidths(const BudgetBar& bar, int width);
