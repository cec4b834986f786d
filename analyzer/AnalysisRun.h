// analyzer/AnalysisRun.h: the memory analysis run: avr-size and avr-nm on the last build's .elf,
// each through the command interpreter named by COMSPEC, hidden, started in the build's folder and
// waited for a bounded time while the thread's messages are served; their reports are read back as
// the run's result (Analysis.h). Runs on the user-interface thread. Changes nothing of the user's
// environment: the interpreter gets its own.
#pragma once

#include <windows.h>

#include <string>

#include "analyzer/Analysis.h"
#include "base/KeptBuildStore.h"

// How long one analysis, both tool runs together, may take before the interpreter and everything it
// started are ended.
constexpr DWORD AnalysisTimeLimit = 30 * 1000;

// Starts program (an absolute path) with parameters hidden, without a console window, with the
// given CREATE_UNICODE_ENVIRONMENT block, in folder, with output as its standard output (the one
// handle it inherits; standard input and error get none), held suspended until it is in job (when
// job is not null) so that every process it starts belongs to the job too. The new process's
// handle, which the caller closes, or null when it could not be started.
HANDLE StartHiddenProcess(const std::string& program, const std::string& parameters, const std::wstring& environment,
                          HANDLE job, const std::string& folder, HANDLE output);

// This process's environment as a block for the interpreter: NoDefaultCurrentDirectoryInExePath
// set, so that the interpreter looks for the tool on PATH and not in its current folder first, and
// toolFolder put in front of PATH as its first entry (quoted when it holds a ';') when it is not
// empty, so that the interpreter's search ends in the folder the look-up checked.
std::wstring InterpreterEnvironment(const std::string& toolFolder);

// Runs both tools on elfPath, found by FindAvrTools (ToolFolders.h), waiting at most runLimit
// milliseconds for both together while the thread's messages are served, and returns what their
// reports hold then. A tool that fails or is ended leaves an empty, partial or earlier report. A
// tool that is not found, a build folder that holds a file the interpreter would run in the tool's
// place, or a file name that cannot be put on a command line safely (neither its long nor its short
// form) leaves that tool's report empty. Once the tools are done, the .elf and its folder's
// build.options.json are read into the result's snapshot. A WM_QUIT that comes meanwhile (Exit) ends the tools
// at once and is put back in the queue; the rest of the run is not made. Nothing is reported.
AnalysisResult AnalyzeBuild(const std::string& elfPath, DWORD runLimit = AnalysisTimeLimit);

// The analysis of a kept copy of a build (base/KeptBuildStore.h), which runs once: the reports of its
// analysis record, when it has one of its bytes; else a run on it now, whose reports are recorded
// for the next time when both tools ran to their end and the symbol report is not empty. A run cut
// short by the time limit or by Exit is shown but never recorded.
AnalysisResult AnalyzeKeptBuild(const KeptCopy& copy, DWORD runLimit = AnalysisTimeLimit);
