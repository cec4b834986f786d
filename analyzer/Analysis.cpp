#include "analyzer/Analysis.h"

#include <algorithm>
#include <limits>

#include "base/Text.h"


namespace {

constexpr std::string_view LineEnd = "\r\n";

// cmd /C strips the first and the last quote when the line holds more than two; the outer pair is
// there to be stripped.
std::optional<std::string> InterpreterParameters(std::string_view command, std::string_view elfName)
{
    if (elfName.empty() || elfName.find('\\') != std::string_view::npos || !FitsCommandLine(elfName))
        return std::nullopt;
    std::string line = "/V:OFF /C \"";
    line.append(command).append("\"");
    if (elfName.front() == '-')
        line.append(".\\");
    line.append(elfName).append("\"\"");
    return line;
}

}  // namespace

std::string SplitField(std::string_view text, std::string_view delimiter, int64_t n)
{
    if (n < 1)
        return {};
    if (delimiter.empty())
        return n == 1 ? std::string(text) : std::string();
    size_t from = 0;
    for (int64_t field = 1; field < n; ++field) {
        const size_t at = text.find(delimiter, from);
        if (at == std::string_view::npos)
            return {};
        from = at + delimiter.size();
    }
    const size_t end = text.find(delimiter, from);
    return std::string(text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
}

std::vector<std::string> CutSymbolLines(std::string_view mapText)
{
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; lines.size() < SymbolLineLimit && (end = mapText.find(LineEnd, from)) != std::string_view::npos;
         from = end + LineEnd.size())
        lines.emplace_back(mapText.substr(from, end - from));
    return lines;
}

SramCounts SramCountsOf(std::string_view sizeReport)
{
    const size_t headerEnd = sizeReport.find(LineEnd);
    std::string_view counts = headerEnd != std::string_view::npos ? sizeReport.substr(headerEnd + LineEnd.size())
                              : sizeReport.empty()                ? sizeReport
                                                                  : sizeReport.substr(1);
    std::string text = TrimSpaces(counts);
    std::string single;
    single.reserve(text.size());
    for (char c : text) {
        if (c == '\t')
            c = ' ';
        if (c == ' ' && !single.empty() && single.back() == ' ')
            continue;   // runs of blanks collapse to one space
        single += c;
    }
    return { SplitField(single, " ", 2), SplitField(single, " ", 3) };
}

std::string SramSummaryText(const SramCounts& counts)
{
    return "SRAM: " + counts.data + " B in static data, " + counts.bss + " B in uninitialized variables";
}

std::string FlashSummaryText(const std::vector<SymbolRow>& rows)
{
    int64_t bytes = 0;
    for (const SymbolRow& row : rows)
        bytes += row.size;
    const int64_t objects = int64_t(rows.size());
    return "FLASH: " + GroupedThousands(bytes) + " bytes used by " + DecimalText(objects) + " objects";
}

std::string SymbolName(std::string_view line)
{
    constexpr size_t NameStart = 11;
    return line.size() > NameStart ? std::string(line.substr(NameStart)) : std::string();
}

std::string SymbolType(std::string_view line)
{
    return SplitField(line, " ", 2);
}

int32_t SymbolSize(std::string_view line)
{
    constexpr uint64_t Largest = std::numeric_limits<int32_t>::max();
    const std::string field = SplitField(line, " ", 1);
    uint64_t value = 0;
    for (char c : field) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + uint64_t(digit);
        if (value > Largest)
            return int32_t(Largest);
    }
    return int32_t(value);
}

bool FitsCommandLine(std::string_view text)
{
    return !HasControlCharacter(text) && text.find('"') == std::string_view::npos &&
           std::count(text.begin(), text.end(), '%') <= 1;
}

std::optional<std::string> SizeRunParameters(std::string_view elfName)
{
    return InterpreterParameters("avr-size ", elfName);
}

std::optional<std::string> SymbolRunParameters(std::string_view elfName)
{
    return InterpreterParameters("avr-nm --size-sort -C -r ", elfName);
}

std::optional<std::string> InterpreterCommandLine(std::string_view program, std::string_view parameters)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const bool onDrive = program.size() >= 3 && isLetter(program[0]) && program[1] == ':' && program[2] == '\\';
    const bool onShare = program.size() >= 3 && program[0] == '\\' && program[1] == '\\' && program[2] != '\\';
    if ((!onDrive && !onShare) || program.find('"') != std::string_view::npos)
        return std::nullopt;
    std::string line = "\"";
    line.append(program).append("\" ").append(parameters);
    return line;
}

std::vector<SymbolRow> SymbolRows(const std::vector<std::string>& symbolLines)
{
    std::vector<SymbolRow> rows;
    rows.reserve(symbolLines.size());
    for (const std::string& line : symbolLines)
        rows.push_back({ SymbolName(line), SymbolType(line), SymbolSize(line) });
    return rows;
}

AnalysisResult ParsedAnalysis(std::string elfPath, std::string_view sizeReport, std::string_view mapText)
{
    return { std::move(elfPath), SramCountsOf(sizeReport), SymbolRows(CutSymbolLines(mapText)), {} };
}
