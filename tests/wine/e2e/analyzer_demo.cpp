// Not a test: opens the analyzer window on the end-to-end fixture's real avr-nm and avr-size output,
// for the README's screenshot. Closes itself after the seconds given (default 20).
#include <windows.h>

#include <cstdlib>
#include <thread>

#include "AgentDriver.h"
#include "analyzer/Analysis.h"
#include "analyzer/AnalyzerWindow.h"

namespace {

// The Linux tools end lines with LF; the Windows ones, which the agent reads, with CR LF.
std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const AnalysisResult run = ParsedAnalysis("C:\\Users\\Maker\\AppData\\Local\\Temp\\build7034.tmp\\RoadFixture.cpp.elf",
                                              WithCrLf(ReadFileBytes(FromUnixPath(KEVRA_ROAD_SIZE))),
                                              WithCrLf(ReadFileBytes(FromUnixPath(KEVRA_ROAD_NM))));
    std::thread closer([seconds] {
        Sleep(DWORD(seconds) * 1000);
        if (HWND window = FindWindowW(L"#32770", L"[kevra+ v0.3] Memory Analyzer: RoadFixture.hex"))
            PostMessageW(window, WM_COMMAND, IDOK, 0);
    });
    ShowAnalyzerWindow(run);
    closer.join();
    return 0;
}
