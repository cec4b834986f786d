// analyzer/CsvExport.h: "Export as csv" of the analyzer window: the symbols of one run written to a
// file the user names, then shown selected in an explorer window. Runs on the user-interface thread;
// reports nothing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "analyzer/SymbolRow.h"

// Asks for a file name in the save dialog, placed on analyzerWindow's top-left corner, and writes
// the symbols as CSV there, replacing a file of that name without a question; then opens the
// explorer with the file selected. A cancelled dialog writes nothing. The new bytes go to a file of
// their own beside the chosen one, which replaces it (keeping its attributes) only when complete;
// where no such file can be made or put in place, the chosen file is rewritten where it stands.
// When neither can be done, or the file is read-only, it stays as it was and no explorer opens.
void ExportSymbolsCsv(HWND analyzerWindow, const std::string& elfPath, const std::vector<SymbolRow>& rows);

// Writes bytes to path as the export does: whole through a file beside it that replaces path (path
// keeps its attributes), or else in place. False when neither can be done or path is read-only;
// path is then as it was.
bool WriteCsvFile(const std::string& path, const std::string& bytes);
