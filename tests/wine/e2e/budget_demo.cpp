// Not a test: the real agent given two real Arduino builds of one sketch, written one after the other
// into one build folder as the IDE writes them, so that it keeps the first as the previous build;
// then the analyzer window and its "Budget and changes" window opened as a user opens them, for the
// README's screenshot. Ends the agent after the seconds given (default 20) and removes the copies it
// kept in this Wine prefix's local application data; it refuses to run outside Wine.
// The agent finds avr-size and avr-nm on WINEPATH (the Debian tools' shims).
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "AgentDriver.h"

namespace {

constexpr int MenuMemoryAnalyzer = 201;
constexpr int IdBudgetAndChanges = 1004;

bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

size_t KeptElfCount(const std::string& kept)
{
    size_t count = 0;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(Widen(kept + "*.elf").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++count;
    while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

HWND VisibleWindow(const RunningAgent& agent, const std::string& caption)
{
    HWND window = nullptr;
    WaitFor([&] {
        window = FindProcessWindow(agent.process.dwProcessId, caption);
        return window && IsWindowVisible(window);
    }, 30000);
    return window && IsWindowVisible(window) ? window : nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    if (!RunningUnderWine()) {
        std::fprintf(stderr, "budget_demo empties the agent's kept copies and runs only under Wine\n");
        return 2;
    }
    wchar_t local[MAX_PATH]{};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local) != S_OK)
        return 1;
    const std::string kept = Narrow(local) + "\\kevra+\\builds\\";
    RemoveTree(kept);

    ScratchFolder scratch("budget demo");
    const std::string temp = scratch.path + "Temp\\";
    CreateDirectoryW(Widen(temp).c_str(), nullptr);
    WriteFileBytes(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=0\r\nhomedir=C:\\Users\\Player\\Documents\\Arduino\\\r\n");
    RunningAgent agent;
    if (!agent.Start(PrepareAgentFolder(scratch.path), temp))
        return 1;

    // The first Verify an hour and a quarter ago, the second now: build.options.json and the .elf
    // first, the .hex last, each once the agent has acted on the one before.
    const std::string realBuilds = FromUnixPath(KEVRA_REAL_BUILDS) + "\\", folder = temp + "build4242.tmp\\";
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    const uint64_t now = NowFileTime();
    const struct { const char* build; uint64_t elfTime; } builds[] = {
        { "game-1", now - 75 * 60 * 10'000'000ULL },
        { "game-2", now },
    };
    for (size_t i = 0; i < std::size(builds); ++i) {
        const auto& b = builds[i];
        const std::string from = realBuilds + b.build + "\\";
        const size_t starts = agent.SimulatorStarts().size();
        WriteFileBytes(folder + "build.options.json", ReadFileBytes(from + "build.options.json"));
        WriteFileBytes(folder + "Game.ino.elf", ReadFileBytes(from + "Game.ino.elf"));
        SetWriteTime(folder + "Game.ino.elf", b.elfTime);
        WriteFileBytes(folder + "Game.ino.hex", ReadFileBytes(from + "Game.ino.hex"));
        WaitFor([&] { return agent.SimulatorStarts().size() == starts + 1; }, 15000);
        WaitFor([&] { return KeptElfCount(kept) == i + 1; });
    }

    agent.Command(MenuMemoryAnalyzer);
    int rc = 1;
    if (HWND analyzer = VisibleWindow(agent, "[kevra+ v0.3] Memory Analyzer: Game.hex")) {
        PostMessageW(analyzer, WM_COMMAND, MAKEWPARAM(IdBudgetAndChanges, 0), 0);
        if (VisibleWindow(agent, "[kevra+ v0.3] Budget and changes: Game.hex")) {
            rc = 0;
            Sleep(DWORD(seconds) * 1000);
        }
    }
    agent.Exit();
    RemoveTree(kept);
    return rc;
}
