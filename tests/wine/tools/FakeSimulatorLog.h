// tests/wine/tools/FakeSimulatorLog.h: what a test needs around the fake kevra.exe: point it at a log
// file, wait until every simulator this process started has ended, and read the lines it recorded.
#pragma once

#include <string>
#include <vector>

// Makes the fake simulators started from now on append to logPath; probePath, when not empty, is the
// path whose presence each records at its start.
void UseSimulatorLog(const std::string& logPath, const std::string& probePath = {});

// Waits (at most about 20 s) until no child process of this one named kevra.exe is running.
void WaitForSimulators();

// The lines of a log file, without their CR LF.
std::vector<std::string> LogLines(const std::string& logPath);
