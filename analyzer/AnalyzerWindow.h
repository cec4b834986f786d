// analyzer/AnalyzerWindow.h: the analyzer window, which shows one analysis run (Analysis.h): one list
// row per symbol, the FLASH and SRAM lines, "Export as csv" (CsvExport.h) and "Close". Runs on the
// user-interface thread.
#pragma once

#include <windows.h>

#include "analyzer/Analysis.h"

// Shows the analyzer window for one run's result and returns when the user has closed it. The
// window keeps the result it was given: a further run started from the tray while it is open changes
// neither what it shows nor what it exports. Modal but owned by no window: the main window and the
// tray menu stay usable.
void ShowAnalyzerWindow(AnalysisResult result);
INT_PTR CALLBACK AnalyzerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
