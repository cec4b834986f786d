// How long the real agent takes from a command to its window on screen: "Memory Analyzer" (command
// 201 to the main window) until the analyzer window is visible, then command 1004 to the analyzer
// window until "Budget and changes" is visible; both closed again, so many times over. On real Arduino
// builds of one sketch, written into one build folder as the IDE writes them at each Verify: with a
// kept previous build (two builds, so the watcher keeps both) and without (the kept copies' folder
// emptied, one build). Several agents (say, one built before the budget window existed) run one after
// the other on the same builds, so their figures stand side by side; an agent whose analyzer does not
// answer command 1004 gets its analyzer figures only. The first opening stands apart in the figures:
// with a kept previous build, it is the one that runs the tools on the previous copy.
//
//   budget_timing <real builds folder> <runs> <label>=<agent.exe> [<label>=<agent.exe> ...]
//
// The agent finds avr-size and avr-nm on WINEPATH (the Debian tools' shims). The kept copies lie in
// this Wine prefix's local application data, which the probe empties: it refuses to run outside Wine.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "AgentDriver.h"

#ifndef KEVRA_FAKE_SIMULATOR_EXE
#error "KEVRA_FAKE_SIMULATOR_EXE names the recording fake simulator"
#endif

namespace {

constexpr int MenuMemoryAnalyzer = 201;
constexpr int IdBudgetAndChanges = 1004;
constexpr int IdChangesLine = 2006;
constexpr DWORD PollMs = 5;

// Wine's ntdll exports wine_get_version; Windows' does not.
bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string KeptFolder()
{
    wchar_t local[MAX_PATH]{};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local) != S_OK)
        return {};
    return Narrow(local) + "\\kevra+\\builds\\";
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

double NowMs()
{
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / perMs;
}

// The milliseconds until a visible window of the process has this caption, polled every PollMs;
// nothing when it did not come within the limit.
std::optional<double> TimeUntilVisible(DWORD process, const std::string& caption, double since, DWORD limitMs,
                                       HWND& window)
{
    for (;;) {
        window = FindProcessWindow(process, caption);
        if (window && IsWindowVisible(window))
            return NowMs() - since;
        if (NowMs() - since > limitMs) {
            window = nullptr;
            return std::nullopt;
        }
        Sleep(PollMs);
    }
}

bool Close(HWND window)
{
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(window, IDOK)));
    return WaitFor([&] { return !IsWindow(window); });
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

struct Figures {
    std::vector<double> analyzerMs, budgetMs;   // budgetMs empty: the agent has no such window
    size_t kept = 0;                            // .elf copies kept when the first window opened
    std::string changesLine;                    // the budget window's totals line at the first opening
    std::string failure;
};

struct Scenario {
    const char* label;
    std::vector<const char*> builds;   // the real builds, written one after the other
};

// One agent on one scenario: started on a fresh TEMP with the kept copies' folder emptied, given the
// scenario's builds, then the two windows opened and closed `runs` times.
Figures Run(const std::string& agentExe, const std::string& realBuilds, const Scenario& scenario, int runs,
            const std::string& kept)
{
    Figures f;
    ScratchFolder scratch("budget timing");
    const std::string agentFolder = scratch.path + "agent folder\\", temp = scratch.path + "temp\\";
    CreateDirectoryW(Widen(agentFolder).c_str(), nullptr);
    CreateDirectoryW(Widen(temp).c_str(), nullptr);
    CopyFileW(Widen(agentExe).c_str(), Widen(agentFolder + "kevra-agent.exe").c_str(), FALSE);
    CopyFileW(Widen(FromUnixPath(KEVRA_FAKE_SIMULATOR_EXE)).c_str(), Widen(agentFolder + "kevra.exe").c_str(), FALSE);
    // Not a first run: no how-to text, no copies of the .hex.
    WriteFileBytes(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=0\r\nhomedir=" + scratch.path + "\r\n");
    RemoveTree(kept);

    RunningAgent agent;
    if (!agent.Start(agentFolder, temp)) {
        f.failure = "the agent did not start";
        return f;
    }
    // Each build as the IDE writes it into its one build folder: build.options.json and the .elf
    // first, the .hex last; the next one only once the agent has acted on it (started the simulator)
    // and, when it keeps copies, kept its copy.
    const std::string folder = temp + "build4242.tmp\\";
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    for (size_t i = 0; i < scenario.builds.size(); ++i) {
        const std::string from = realBuilds + scenario.builds[i] + "\\";
        const size_t starts = agent.SimulatorStarts().size();
        WriteFileBytes(folder + "build.options.json", ReadFileBytes(from + "build.options.json"));
        WriteFileBytes(folder + "Game.ino.elf", ReadFileBytes(from + "Game.ino.elf"));
        WriteFileBytes(folder + "Game.ino.hex", ReadFileBytes(from + "Game.ino.hex"));
        if (!WaitFor([&] { return agent.SimulatorStarts().size() == starts + 1; }, 15000)) {
            f.failure = std::string("the agent did not act on ") + scenario.builds[i];
            return f;
        }
        WaitFor([&] { return KeptElfCount(kept) == i + 1; }, 3000);
    }
    f.kept = KeptElfCount(kept);

    const DWORD process = agent.process.dwProcessId;
    bool budget = true;
    for (int run = 0; run < runs; ++run) {
        HWND analyzer = nullptr, budgetWindow = nullptr;
        const double commanded = NowMs();
        agent.Command(MenuMemoryAnalyzer);
        const std::optional<double> opened =
            TimeUntilVisible(process, "[kevra+ v0.3] Memory Analyzer: Game.hex", commanded, 30000, analyzer);
        if (!opened) {
            f.failure = "no analyzer window within 30 s";
            break;
        }
        f.analyzerMs.push_back(*opened);
        if (budget) {
            const double asked = NowMs();
            PostMessageW(analyzer, WM_COMMAND, MAKEWPARAM(IdBudgetAndChanges, 0), 0);
            const std::optional<double> shown = TimeUntilVisible(
                process, "[kevra+ v0.3] Budget and changes: Game.hex", asked, run == 0 ? 10000 : 30000, budgetWindow);
            if (shown) {
                f.budgetMs.push_back(*shown);
                if (run == 0)
                    f.changesLine = ControlText(budgetWindow, IdChangesLine);
                Close(budgetWindow);
            } else if (run == 0) {
                budget = false;   // this agent's analyzer has no such window
            } else {
                f.failure = "no Budget and changes window within 30 s";
                break;
            }
        }
        Close(analyzer);
        Sleep(200);
    }
    agent.Exit();
    RemoveTree(kept);
    return f;
}

void PrintRow(const char* name, const std::vector<double>& ms)
{
    if (ms.empty()) {
        std::printf("  %-10s %s\n", name, "-");
        return;
    }
    std::printf("  %-10s first %5.0f  p50 %5.0f  p95 %5.0f  max %5.0f ms\n", name, ms.front(), Percentile(ms, 0.5),
                Percentile(ms, 0.95), Percentile(ms, 1.0));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: budget_timing <real builds folder> <runs> <label>=<agent.exe>...\n");
        return 2;
    }
    if (!RunningUnderWine()) {
        std::fprintf(stderr, "budget_timing empties the agent's kept copies in the local application data and "
                             "runs only under Wine\n");
        return 2;
    }
    const std::string kept = KeptFolder();
    if (kept.empty())
        return 1;
    std::string realBuilds = argv[1];
    if (realBuilds.back() != '\\')
        realBuilds += '\\';
    const int runs = std::max(1, std::atoi(argv[2]));
    const Scenario scenarios[] = {
        { "kept", { "game-1", "game-2" } },   // the second build of the sketch: a kept previous build
        { "single", { "game-2" } },           // its only build: nothing to compare with
    };

    std::printf("%d runs of each; from the command to the window visible (polled every %lu ms)\n", runs,
                PollMs);
    // Scenario by scenario, the agents one right after the other: what else the machine does then
    // weighs on their figures alike.
    std::vector<std::pair<std::string, std::string>> agents;   // label, agent.exe
    for (int i = 3; i < argc; ++i) {                           // "<label>=<agent.exe>"
        const std::string labelled = argv[i];
        const size_t eq = labelled.find('=');
        agents.emplace_back(labelled.substr(0, eq), labelled.substr(eq + 1));
    }
    for (const Scenario& s : scenarios) {
        std::vector<double> p50s;
        for (const auto& [label, exe] : agents) {
            const Figures f = Run(exe, realBuilds, s, runs, kept);
            std::printf("%s, %s (%zu build%s written, %zu kept copies):\n", label.c_str(), s.label, s.builds.size(),
                        s.builds.size() == 1 ? "" : "s", f.kept);
            if (!f.failure.empty())
                std::printf("  FAILED: %s\n", f.failure.c_str());
            PrintRow("analyzer", f.analyzerMs);
            PrintRow("budget", f.budgetMs);
            if (!f.changesLine.empty())
                std::printf("  %-10s \"%s\"\n", "changes", f.changesLine.c_str());
            p50s.push_back(Percentile(f.analyzerMs, 0.5));
            std::fflush(stdout);
        }
        // The analyzer's p50 of each later agent against the first one's.
        for (size_t a = 1; a < agents.size(); ++a)
            if (p50s[0] > 0)
                std::printf("analyzer p50, %s: %s / %s = %.2f\n", s.label, agents[a].first.c_str(),
                            agents[0].first.c_str(), p50s[a] / p50s[0]);
    }
    return 0;
}
