#include "analyzer/AnalyzerText.h"

#include <algorithm>

#include "analyzer/Analysis.h"
#include "base/Text.h"
#include "base/Version.h"

std::string BuildName(std::string_view elfPath)
{
    // IDE 1.0 - 1.6.5 name the build Blink.cpp.elf, every later IDE Blink.ino.elf. Both are exactly
    // 8 characters, so the earliest of either is taken out at each step.
    constexpr std::string_view Endings[] = { ".cpp.elf", ".ino.elf" };
    constexpr size_t EndingSize = 8;
    const std::string fileName = PathFileName(elfPath);
    auto next = [&](size_t from) { return std::min(fileName.find(Endings[0], from), fileName.find(Endings[1], from)); };
    std::string name;
    size_t from = 0;
    for (size_t at; (at = next(from)) != std::string::npos; from = at + EndingSize)
        name.append(fileName, from, at - from);
    name.append(fileName, from);
    return name;
}

std::string AnalyzerCaption(std::string_view elfPath)
{
    return std::string("[kevra+ ") + VersionText + "] Memory Analyzer: " + BuildName(elfPath) + ".hex";
}

std::string BudgetCaption(std::string_view elfPath)
{
    return std::string("[kevra+ ") + VersionText + "] Budget and changes: " + BuildName(elfPath) + ".hex";
}

std::string CsvFileName(std::string_view elfPath)
{
    return BuildName(elfPath) + ".csv";
}

std::string ListCellText(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    return std::string(text.substr(0, ListCellCharacters));
}

std::string SymbolCsvLine(const SymbolRow& row)
{
    return row.name + ";" + row.type + ";" + DecimalText(row.size);
}

std::string SymbolsCsv(const std::vector<SymbolRow>& rows)
{
    std::string csv = "Name;Type;Size\r\n";
    for (const SymbolRow& row : rows)
        csv.append(SymbolCsvLine(row)).append("\r\n");
    return csv;
}

std::string ExplorerSelectParameters(std::string_view path)
{
    return std::string("/select,\"").append(path).append("\"");
}

std::string ExplorerProgram(std::string_view windowsFolder)
{
    const std::string folder = WithoutTrailingBackslashes(windowsFolder);
    return folder.empty() ? std::string() : folder + "\\explorer.exe";
}

ListSort SortAfterClick(ListSort current, SymbolColumn clicked)
{
    if (current.column == clicked)
        return { clicked, !current.reversed };
    return { clicked, false };
}

namespace {

// The byte of an ASCII letter in lower case; every other byte as it is.
unsigned char Folded(char c)
{
    return static_cast<unsigned char>(LowerAscii(c));
}

// <0, 0 or >0 as a sorts before, with or after b in the column's forward order.
int CompareRows(const SymbolRow& a, const SymbolRow& b, SymbolColumn column)
{
    switch (column) {
    case SymbolColumn::Name: {
        const size_t n = std::min(a.name.size(), b.name.size());
        for (size_t i = 0; i < n; ++i)
            if (Folded(a.name[i]) != Folded(b.name[i]))
                return Folded(a.name[i]) < Folded(b.name[i]) ? -1 : 1;
        return a.name.size() == b.name.size() ? 0 : (a.name.size() < b.name.size() ? -1 : 1);
    }
    case SymbolColumn::Type:
        return a.type.compare(b.type);
    case SymbolColumn::Size:
        return a.size == b.size ? 0 : (a.size > b.size ? -1 : 1);
    }
    return 0;
}

}  // namespace

std::vector<size_t> SortedRowOrder(const std::vector<SymbolRow>& rows, ListSort sort)
{
    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (!sort.column)
        return order;
    const SymbolColumn column = *sort.column;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = CompareRows(rows[a], rows[b], column);
        return sort.reversed ? c > 0 : c < 0;
    });
    return order;
}
