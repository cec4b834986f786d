// analyzer/AnalyzerWindow.h: the analyzer window, which shows the last analysis run (Analysis.h):
// one list row per symbol, the FLASH and SRAM lines, "Export as csv" and "Close"; and the CSV export
// behind that button. The window copies the run's results when it is created and shows and exports
// that copy, so a further run started from the tray while it is open changes neither. Runs on the
// user-interface thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Control ids of the analyzer window.
constexpr int IdSymbolList = 1000;
constexpr int IdFlashLine = 1001;
constexpr int IdExportCsv = 1002;
constexpr int IdSramLine = 1003;
constexpr int IdCloseAnalyzer = IDOK;

// Shows the analyzer window for AnalyzedElfPath, SizeReport and SymbolLines and returns when the
// user has closed it. Modal but owned by no window: the main window and the tray menu stay usable.
// mainWindow is not used.
void ShowAnalyzerWindow(HWND mainWindow);
INT_PTR CALLBACK AnalyzerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// Asks for a file name in the save dialog, placed on analyzerWindow's top-left corner, and writes
// the symbols as CSV there, replacing a file of that name without a question; then opens the
// explorer with the file selected. A cancelled dialog writes nothing. The new bytes go to a file of
// their own beside the chosen one, which replaces it (keeping its attributes) only when complete;
// where no such file can be made or put in place, the chosen file is rewritten where it stands.
// When neither can be done, or the file is read-only, it stays as it was and no explorer opens.
// Nothing is reported.
void ExportSymbolsCsv(HWND analyzerWindow, const std::string& elfPath, const std::vector<std::string>& symbolLines);

// Writes bytes to path as the export does: whole through a file beside it that replaces path (path
// keeps its attributes), or else in place. False when neither can be done or path is read-only;
// path is then as it was.
bool WriteCsvFile(const std::string& path, const std::string& bytes);
