// analyzer/AnalysisRun.h: the memory analysis run: avr-size and avr-nm on the last build's .elf,
// each through the command interpreter named by COMSPEC, hidden and waited for a bounded time;
// their reports are read back as the run's result (Analysis.h). Runs on the user-interface thread and
// blocks it. Changes nothing of the user's environment: the interpreter gets its own.
#pragma once

#include <windows.h>

#include <string>

#include "analyzer/Analysis.h"

// How long one tool run may take before the interpreter and everything it started are ended.
constexpr DWORD ToolRunLimit = 2 * 60 * 1000;

// Starts program (an absolute path) with parameters hidden, without a console window, with the
// given CREATE_UNICODE_ENVIRONMENT block, held suspended until it is in job (when job is not null)
// so that every process it starts belongs to the job too. The new process's handle, which the
// caller closes, or null when it could not be started.
HANDLE StartHiddenProcess(const std::string& program, const std::string& parameters, const std::wstring& environment,
                          HANDLE job);

// This process's environment as a block for the interpreter: NoDefaultCurrentDirectoryInExePath
// set, so that the interpreter looks for the tools on PATH and not in its current folder first,
// and toolFolder appended to PATH as one more entry when it is not empty.
std::wstring InterpreterEnvironment(const std::string& toolFolder);

// Runs both tools on elfPath, found on PATH or else in the Arduino IDE's own tool folder
// (AvrToolFolderForInterpreter), waiting at most runLimit milliseconds for each, and returns what
// their reports hold then. A tool that fails or is ended leaves an empty, partial or earlier report;
// a path that cannot be put on a command line safely gives both empty. Nothing is reported.
AnalysisResult AnalyzeBuild(const std::string& elfPath, DWORD runLimit = ToolRunLimit);
