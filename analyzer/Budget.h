// analyzer/Budget.h: the texts of a build's budget: what it uses of program storage and of RAM for
// global variables against a maximum, with the percent the Arduino IDE prints, which maximum that
// is, and the mark for a build near or over it. Pure functions of their arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

enum class BudgetLevel { None, Warning, Over };

struct BudgetMark {
    BudgetLevel level = BudgetLevel::None;
    std::string words;   // "" for None
};

// Over the maximum: "Sketch too big" (the IDE's words; it refuses to upload such a build).
BudgetMark ProgramStorageMark(uint64_t used, std::optional<uint64_t> maximum);
// Over the maximum: "Not enough memory"; over 75 % of it, as the IDE warns: "Low memory available,
// stability problems may occur."
BudgetMark GlobalVariablesMark(uint64_t used, std::optional<uint64_t> maximum);
