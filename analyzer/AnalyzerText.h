// analyzer/AnalyzerText.h: the texts around the analyzer window and the CSV export: the window's
// caption, a list cell as the list shows it, the CSV file's bytes and initial name, and the
// parameters that open the explorer on the written file. Pure functions of their arguments.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/SymbolRow.h"

// The most characters a list cell shows; the CSV export writes names whole.
constexpr size_t ListCellCharacters = 255;
// The most rows the list shows: inserting millions of rows would hold the window for minutes. The
// FLASH line and the CSV export cover every symbol all the same.
constexpr size_t ListRowLimit = 100'000;

// The build's name as the caption and the CSV file show it: the file name of elfPath (the text after
// its last backslash) with every ".cpp.elf" and ".ino.elf" taken out, in one pass from the left.
std::string BuildName(std::string_view elfPath);

// "[kevra+ v0.3] Memory Analyzer: " + the build's name + ".hex".
std::string AnalyzerCaption(std::string_view elfPath);

// "[kevra+ v0.3] Budget and changes: " + the build's name + ".hex".
std::string BudgetCaption(std::string_view elfPath);

// The save dialog's initial file name: the build's name + ".csv".
std::string CsvFileName(std::string_view elfPath);

// text cut to its first ListCellCharacters bytes, and at the first zero byte, which would end the
// list's zero-terminated buffer anyway.
std::string ListCellText(std::string_view text);

// "Name;Type;Size", then Name;Type;Size of every row in order, every line ended by CR LF. The
// fields are the rows' own bytes: no quoting, and names are never shortened.
std::string SymbolsCsv(const std::vector<SymbolRow>& rows);
// One row as the CSV writes it, without a line end: name;type;size.
std::string SymbolCsvLine(const SymbolRow& row);

// The explorer's parameters that open the folder of path with the file selected:
// /select,"<path>".
std::string ExplorerSelectParameters(std::string_view path);

// The explorer's full path in the Windows folder, so that no explorer.exe in the current folder
// is ever the one started; "" when the Windows folder is unknown.
std::string ExplorerProgram(std::string_view windowsFolder);

// The list's columns, in their order.
enum class SymbolColumn { Name, Type, Size };

// How the list is sorted: by a column (nullopt: avr-nm's own order), forwards or reversed.
struct ListSort {
    std::optional<SymbolColumn> column;
    bool reversed = false;
    bool operator==(const ListSort&) const = default;
};
// The sort after a click on a column's header: that column forwards, or the same column reversed
// when it was already sorted by it (a third click sorts it forwards again).
ListSort SortAfterClick(ListSort current, SymbolColumn clicked);

// The rows' indices in the order the list shows them: names alphabetically ignoring case, types
// alphabetically (the letters' own order: 'T' and 't' stay apart), sizes largest first; reversed
// turns that order round. Rows that compare equal keep avr-nm's order either way.
std::vector<size_t> SortedRowOrder(const std::vector<SymbolRow>& rows, ListSort sort);
