// analyzer/BudgetWindow.h: the "Budget and changes" window, opened from the analyzer window: what the
// analysed build uses of program storage and of RAM against the board's (or else the chip's)
// maxima, with the marks for a build near or over them, and what changed, symbol by symbol and in
// the two totals, since the previous build of the same sketch among the kept copies
// (base/KeptBuildStore.h). Shows the build as the analysis read it (its snapshot), worked out by
// WorkOutBudget (Budget.h); this window reads the board's files and the kept copies, and fills its
// controls. Runs on the user-interface thread.
#pragma once

#include <windows.h>

#include "analyzer/Analysis.h"

// Works out the figures (the snapshot's .elf and build.options.json, the board's boards.txt, the kept
// previous build and its recorded analysis, which is run the first time), then shows the window
// modally, owned by owner (disabled meanwhile), and returns when the user has closed it. current
// is the analyzer window's own result, whose rows are the build's symbols. Nothing is reported: a
// figure that cannot be read is shown as absent.
void ShowBudgetWindow(HWND owner, const AnalysisResult& current);
// Runs the tools on the kept previous build of the analysed build unless its analysis is recorded
// already, so that the window opens without waiting for them. Serves the thread's messages while
// they run.
void AnalyzePreviousBuild(const AnalysisResult& current);
INT_PTR CALLBACK BudgetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
