// analyzer/AnalysisRun.h: the memory analysis run: avr-size and avr-nm on the last build's .elf,
// each through the command interpreter named by COMSPEC, hidden and waited for; their reports are
// read into SizeReport and SymbolLines (Analysis.h). Runs on the user-interface thread and blocks it.
#pragma once

#include <windows.h>

#include <string>

#include "analyzer/Analysis.h"

// Starts program with parameters through the shell, without its error boxes; the new process's
// handle, which the caller closes, or null when it could not be started.
HANDLE ShellStartProcess(const std::string& program, const std::string& parameters, int showState);

// Runs both tools on elfPath, waiting for each, and replaces SizeReport and SymbolLines with what
// they wrote. A tool that fails leaves an empty (or the earlier) report; nothing is reported.
void AnalyzeBuild(const std::string& elfPath);

// The "Memory Analyzer" command: disables the main window's control commandId (none for the menu's
// command), analyses LastElfPath as it stands at the start, shows the result and enables the
// control again.
void RunMemoryAnalysis(HWND mainWindow, int commandId);
