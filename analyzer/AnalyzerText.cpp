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
