// Starts the real agent on a fixture TEMP with two builds, one fresh and one two hours old, and shows
// its main window as a double click on the icon would; for the README's screenshots. Ends the agent
// after the given number of seconds (default 60).
//   agent_demo [seconds] [first-run]   (first-run: no settings file, so the how-to text shows)
#include <cstdlib>

#include "AgentDriver.h"

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const bool firstRun = argc > 2 && std::string(argv[2]) == "first-run";
    ScratchFolder scratch("demo");
    const std::string temp = scratch.path + "Temp\\";
    CreateDirectoryW(Widen(temp).c_str(), nullptr);
    if (!firstRun)
        WriteFileBytes(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=1\r\nhomedir=C:\\Users\\Player\\Documents\\Arduino\\\r\n");
    const uint64_t now = NowFileTime();
    const struct { const char* folder; const char* file; uint64_t age; } builds[] = {
        { "build7034.tmp", "Blink.cpp.hex", 0 },
        { "build6190.tmp", "Game.cpp.hex", 125 * 60 * 10'000'000ULL },
    };
    for (const auto& b : builds) {
        CreateDirectoryW(Widen(temp + b.folder).c_str(), nullptr);
        const std::string hex = temp + b.folder + "\\" + b.file;
        WriteFileBytes(hex, ":00000001FF\r\n");
        SetWriteTime(hex, now - b.age);
    }

    RunningAgent agent;
    if (!agent.Start(PrepareAgentFolder(scratch.path), temp))
        return 1;
    if (!firstRun)
        agent.SendTrayEvent(WM_LBUTTONDBLCLK);
    Sleep(DWORD(seconds) * 1000);
    agent.Exit();
    return 0;
}
