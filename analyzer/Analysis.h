// analyzer/Analysis.h: the memory analysis of the last build. avr-size and avr-nm run on its .elf
// through the command interpreter and write their reports beside it; this module builds their
// command lines and reads the reports: the SRAM and FLASH summary lines and the name, type and size
// of every symbol. The runs themselves (AnalyzeBuild) are in AnalysisRun.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/SymbolRow.h"

// What one run found, handed by value to the analyzer window, which shows and exports it: both
// reports read once, into the two summary lines and one row per symbol.
// The SRAM counts of an avr-size report as it writes them: its data and bss columns, as text.
struct SramCounts {
    std::string data;
    std::string bss;
    bool operator==(const SramCounts&) const = default;
};

// The build as the run read it once its tools were done. The Budget and changes window shows this,
// however the build folder changes while the analyzer window is open.
struct BuildSnapshot {
    std::optional<std::string> elfBytes;   // nullopt when the .elf could not be read whole
    uint64_t elfWriteTime = 0;
    std::string buildOptions;              // the folder's build.options.json, "" when there is none
};

// What one run found, handed by value to the analyzer window, which shows and exports it: both
// reports read once, into the SRAM counts and one row per symbol, and the build as read then.
struct AnalysisResult {
    // The .elf the run analysed: the copy of LastElfPath that both reports came from, so that the
    // window's caption and the CSV file's name stay those of the build the rows are of.
    std::string elfPath;
    SramCounts sram;
    std::vector<SymbolRow> rows;   // one per avr-nm line, in the report's order
    BuildSnapshot build;
};

// The result of one run from its two reports as read: the avr-size report and the avr-nm text.
AnalysisResult ParsedAnalysis(std::string elfPath, std::string_view sizeReport, std::string_view mapText);

// A report holds at most this many symbol lines; lines beyond are dropped. A real program has a few
// thousand, and each kept line costs memory of its own however short it is.
constexpr size_t SymbolLineLimit = 1'000'000;

// Field n (1-based) of text split at delimiter: the text before the first delimiter is field 1,
// adjacent delimiters give an empty field, and n beyond the last field (or below 1) gives "".
std::string SplitField(std::string_view text, std::string_view delimiter, int64_t n);

// The lines of a report, each ended by CR LF; text after the last CR LF is dropped, and so is every
// line after the first SymbolLineLimit.
std::vector<std::string> CutSymbolLines(std::string_view mapText);

// The counts taken as text from the line after the report's header: its second and third fields,
// blanks between fields counting as one.
SramCounts SramCountsOf(std::string_view sizeReport);
// "SRAM: <data> B in static data, <bss> B in uninitialized variables".
std::string SramSummaryText(const SramCounts& counts);

// "FLASH: <total, grouped by thousands> bytes used by <count> objects"; every row counts, one read
// from a malformed line with size 0.
std::string FlashSummaryText(const std::vector<SymbolRow>& rows);

// The fields of an avr-nm line "00000100 T main": the name from the 12th character on ("" for a
// shorter line), the type letter, and the size read as hexadecimal (0 without a digit, capped at
// the largest 32-bit value rather than wrapping to a negative size).
std::string SymbolName(std::string_view line);
std::string SymbolType(std::string_view line);
int32_t SymbolSize(std::string_view line);
// The three fields of every line.
std::vector<SymbolRow> SymbolRows(const std::vector<std::string>& symbolLines);

// The most bytes of a report that are read; what lies beyond counts as absent. A stale report of
// several gigabytes must not take the agent's memory.
constexpr size_t ReportByteLimit = size_t(64) << 20;

// True when text may stand between the quotes of an interpreter line run with /V:OFF and mean
// only itself: no '"' (ends the quotes), no control character, and at most one '%' (cmd expands
// %VAR% even inside quotes, but only what two of them enclose). '!' is plain text there: /V:OFF
// keeps delayed expansion off whatever the registry asks for.
bool FitsCommandLine(std::string_view text);

// The parameters for the command interpreter that run avr-size or avr-nm on the .elf named elfName
// in the interpreter's current folder, which is the build's: "/V:OFF /C \"avr-size \"<name>\"\"". The
// tool is named bare, so the interpreter takes the one that the look-up checked, first on its PATH
// (ToolFolders.h). No folder and no report path stands on the line: the run hands the interpreter
// the report file as its standard output. The name is quoted, and the whole command once more, so
// that cmd /C, which strips the first and the last quote of such a line, keeps the inner ones; a
// name starting with '-' is written ".\-..." so that the tool does not take it for an option.
// nullopt when the name is empty, holds a backslash or does not FitsCommandLine: such a run is not
// made at all.
std::optional<std::string> SizeRunParameters(std::string_view elfName);
std::optional<std::string> SymbolRunParameters(std::string_view elfName);

// The interpreter's whole command line: the program's path in quotes, a space, the parameters.
// nullopt when program is not an absolute path ("C:\..." or "\\server\..."), which would be looked
// for in the current folder first, or when it holds a quote.
std::optional<std::string> InterpreterCommandLine(std::string_view program, std::string_view parameters);
