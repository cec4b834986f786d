// The watcher as a user meets it, in the real agent: how long from each .hex's write time until the
// simulator starts, and whether every build is started once. Builds are written on a real clock at
// random moments around the agent's 4 s timer, on 20 sketches in turn, a quarter of them in several
// parts by writers that open, append and close in turn; some into build folders made by their first
// build, as the IDE makes them. Several agents (say, an earlier build beside this one) run one after
// the other on the same schedule, so their figures stand side by side.
//
//   watcher_latency latency <seed> <builds> <label>=<agent.exe> [<label>=<agent.exe> ...]
//   watcher_latency tree <folder> <build folders>     (two old .hex in each, for the idle-cost probe)
//   watcher_latency start <temp folder> <agent.exe>   (starts the agent on that TEMP and leaves it)
//   watcher_latency files <folder> <count>            (plain files of other programs, for the idle-cost probe)
//   watcher_latency churn <folder> <seconds>          (makes and deletes ~DF*.tmp files there, as the shell does)
//   watcher_latency answer <seconds>                  (how fast the running agent's main window answers)
//
// The fake kevra.exe beside this program logs each start's .elf path and the moment it started.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/Win32.h"

namespace {

constexpr int Sketches = 20;
constexpr uint64_t Ms = 10'000;

std::wstring W(const std::string& s) { return Widen(s); }

std::string OwnFolder()
{
    const std::string path = OwnExePath();
    return path.substr(0, path.rfind('\\') + 1);
}

uint64_t Now()
{
    FILETIME t;
    GetSystemTimePreciseAsFileTime(&t);
    return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

uint64_t WriteTimeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &data);
    return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

void Append(const std::string& path, const std::string& bytes, bool truncate)
{
    UniqueHandle file(CreateFileW(W(path).c_str(), truncate ? GENERIC_WRITE : FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  truncate ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

std::string ReadAll(const std::string& path)
{
    UniqueHandle file(CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (file && ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(W(folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Narrow(found.cFileName);
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + "\\");
            else
                DeleteFileW(W(folder + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(W(folder).c_str());
}

struct Build {
    int sketch;
    int64_t gapMs;                  // after the previous build's last part
    std::vector<int64_t> pausesMs;  // between its parts; empty: written at once
    uint64_t writeTime = 0;
};

std::vector<Build> Schedule(unsigned seed, int count)
{
    std::mt19937_64 random(seed);
    auto uniform = [&](int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random); };
    std::vector<Build> builds;
    for (int i = 0; i < count; ++i) {
        Build b{ i % Sketches, uniform(300, 2500), {} };
        if (uniform(0, 3) == 0)
            for (int64_t p = uniform(1, 3); p > 0; --p)
                b.pausesMs.push_back(uniform(30, 300));
        builds.push_back(b);
    }
    return builds;
}

std::string HexText(int id)
{
    std::string text;
    for (int line = 0; line < 40; ++line)
        text += ":10" + std::to_string(1000 + line) + "00" + std::string(32, char('A' + (id + line) % 6)) + "00\r\n";
    return text + ":00000001FF\r\n";
}

// The agent's main window, found by its process; null until it exists.
HWND AgentWindow(DWORD processId)
{
    struct Search { DWORD id; HWND found; } search{ processId, nullptr };
    EnumWindows([](HWND w, LPARAM p) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        wchar_t title[128]{};
        GetWindowTextW(w, title, 128);
        if (owner == s.id && std::wstring(title).find(L"Arduino compiler monitoring agent") != std::wstring::npos) {
            s.found = w;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Figures {
    int started = 0, missed = 0, doubled = 0;
    std::vector<double> latencyMs;   // to the simulator's first instruction
    std::vector<double> askedMs;     // to the making of its process: what the agent takes
};

Figures RunAgent(const std::string& label, const std::string& agentExe, std::vector<Build> builds)
{
    wchar_t tempPath[MAX_PATH];
    GetTempPathW(MAX_PATH, tempPath);
    const std::string scratch = Narrow(tempPath) + "kevra-latency-" + label + "\\";
    RemoveTree(scratch);
    const std::string folder = scratch + "agent\\", temp = scratch + "Temp\\", log = scratch + "simulator.log";
    for (const std::string& f : { scratch, folder, temp })
        CreateDirectoryW(W(f).c_str(), nullptr);
    CopyFileW(W(agentExe).c_str(), W(folder + "kevra-agent.exe").c_str(), FALSE);
    CopyFileW(W(OwnFolder() + "kevra.exe").c_str(), W(folder + "kevra.exe").c_str(), FALSE);
    // Not a first run: no how-to text, no copies.
    Append(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=0\r\nhomedir=\r\n", true);
    // Half the sketches have built before; the others' folders come with their first build.
    for (int s = 0; s < Sketches / 2; ++s)
        CreateDirectoryW(W(temp + "arduino_build_" + std::to_string(s)).c_str(), nullptr);

    SetEnvironmentVariableW(L"TEMP", W(temp).c_str());
    SetEnvironmentVariableW(L"KEVRA_FAKE_SIMULATOR_LOG", W(log).c_str());
    SetEnvironmentVariableW(L"KEVRA_FAKE_SIMULATOR_CLOCK", L"1");
    std::wstring line = L"\"" + W(folder + "kevra-agent.exe") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION agent{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, W(folder).c_str(), &startup, &agent)) {
        std::printf("%s: the agent did not start\n", label.c_str());
        return {};
    }
    for (int i = 0; i < 200 && !AgentWindow(agent.dwProcessId); ++i)
        Sleep(50);
    Sleep(2000);   // its first poll, and the timer's phase left to chance

    for (size_t i = 0; i < builds.size(); ++i) {
        Build& b = builds[i];
        Sleep(DWORD(b.gapMs));
        const std::string buildFolder = temp + "arduino_build_" + std::to_string(b.sketch) + "\\";
        CreateDirectoryW(W(buildFolder).c_str(), nullptr);
        const std::string hex = buildFolder + "Sketch" + std::to_string(b.sketch) + ".ino.hex";
        const std::string text = HexText(int(i));
        const size_t parts = b.pausesMs.size() + 1;
        const size_t chunk = text.size() / parts + 1;
        for (size_t p = 0; p < parts; ++p) {
            if (p > 0)
                Sleep(DWORD(b.pausesMs[p - 1]));
            Append(hex, text.substr(p * chunk, chunk), p == 0);
        }
        b.writeTime = WriteTimeOf(hex);
    }
    Sleep(6000);
    if (HWND window = AgentWindow(agent.dwProcessId))
        PostMessageW(window, WM_COMMAND, 204, 0);
    if (WaitForSingleObject(agent.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(agent.hProcess, 1);
    CloseHandle(agent.hThread);
    CloseHandle(agent.hProcess);
    Sleep(1000);   // the last simulators log their start

    // Each start belongs to the latest build of its sketch written before it started.
    Figures figures;
    std::map<size_t, int> startsOf;
    const std::string text = ReadAll(log);
    for (size_t from = 0, end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
        const std::string entry = text.substr(from, end - from);
        const size_t createdTab = entry.rfind('\t'), tab = entry.rfind('\t', createdTab - 1);
        const std::string elf = entry.substr(0, tab);
        const uint64_t started = std::stoull(entry.substr(tab + 1, createdTab - tab - 1));
        const uint64_t created = std::stoull(entry.substr(createdTab + 1));
        ++figures.started;
        std::optional<size_t> match;
        for (size_t i = 0; i < builds.size(); ++i) {
            const std::string expected = temp + "arduino_build_" + std::to_string(builds[i].sketch) + "\\Sketch" +
                                         std::to_string(builds[i].sketch) + ".ino.elf";
            if (expected == elf && builds[i].writeTime <= started + 10 * Ms)
                match = i;
        }
        if (!match)
            continue;
        if (++startsOf[*match] == 1) {
            figures.latencyMs.push_back(double(int64_t(started - builds[*match].writeTime)) / double(Ms));
            figures.askedMs.push_back(double(int64_t(created - builds[*match].writeTime)) / double(Ms));
        } else
            ++figures.doubled;
    }
    for (size_t i = 0; i < builds.size(); ++i)
        figures.missed += startsOf.count(i) == 0;
    RemoveTree(scratch);
    return figures;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

int Latency(unsigned seed, int count, const std::vector<std::string>& agents)
{
    const std::vector<Build> builds = Schedule(seed, count);
    int multiPart = 0;
    for (const Build& b : builds)
        multiPart += !b.pausesMs.empty();
    std::printf("seed %u: %d builds on %d sketches, %d of them written in several parts\n", seed, count, Sketches,
                multiPart);
    std::printf("From each .hex's write to the simulator: to its process made (the agent's part), and to its\n"
                "first instruction (with Wine's start of a process)\n");
    std::printf("%-10s %7s %7s %7s %9s %9s %9s   %9s %9s %9s\n", "agent", "starts", "missed", "doubled", "made p50",
                "p95", "worst", "ran p50", "p95", "worst");
    for (const std::string& labelled : agents) {   // "<label>=<agent.exe>"
        const size_t eq = labelled.find('=');
        const std::string label = labelled.substr(0, eq);
        const Figures f = RunAgent(label, labelled.substr(eq + 1), builds);
        std::printf("%-10s %7d %7d %7d %9.0f %9.0f %9.0f   %9.0f %9.0f %9.0f\n", label.c_str(), f.started, f.missed,
                    f.doubled, Percentile(f.askedMs, 0.5), Percentile(f.askedMs, 0.95), Percentile(f.askedMs, 1.0),
                    Percentile(f.latencyMs, 0.5), Percentile(f.latencyMs, 0.95), Percentile(f.latencyMs, 1.0));
        std::fflush(stdout);
    }
    return 0;
}

int Tree(const std::string& folder, int count)
{
    CreateDirectoryW(W(folder).c_str(), nullptr);
    const uint64_t old = Now() - 3 * 86400 * 10'000'000ULL;
    for (int k = 0; k < count; ++k) {
        const std::string build = folder + "arduino_build_" + std::to_string(100000 + k) + "\\";
        CreateDirectoryW(W(build).c_str(), nullptr);
        for (const char* name : { "Game.ino.hex", "Game.ino.with_bootloader.hex", "Other.ino.hex" }) {
            if (std::string(name).find("bootloader") != std::string::npos)
                continue;
            UniqueHandle file(CreateFileW(W(build + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            WriteFile(file.get(), ":00000001FF\r\n", 13, &written, nullptr);
            FILETIME t{ DWORD(old), DWORD(old >> 32) };
            SetFileTime(file.get(), nullptr, nullptr, &t);
        }
    }
    return 0;
}

int Start(const std::string& temp, const std::string& agentExe)
{
    Append(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=0\r\nhomedir=\r\n", true);
    SetEnvironmentVariableW(L"TEMP", W(temp).c_str());
    std::wstring line = L"\"" + W(agentExe) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION agent{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &agent))
        return 1;
    for (int i = 0; i < 200 && !AgentWindow(agent.dwProcessId); ++i)
        Sleep(50);
    return AgentWindow(agent.dwProcessId) ? 0 : 1;
}

int Files(const std::string& folder, int count)
{
    CreateDirectoryW(W(folder).c_str(), nullptr);
    for (int k = 0; k < count; ++k) {
        UniqueHandle file(CreateFileW(W(folder + "cache_" + std::to_string(100000 + k) + ".dat").c_str(), GENERIC_WRITE,
                                      0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.get(), "x", 1, &written, nullptr);
    }
    return 0;
}

// Twenty ~DF*.tmp files a second, each written and deleted again.
int Churn(const std::string& folder, int seconds)
{
    unsigned n = 0;
    for (const DWORD end = GetTickCount() + DWORD(seconds) * 1000; GetTickCount() < end; Sleep(50)) {
        char name[32];
        std::snprintf(name, sizeof name, "~DF%04X.tmp", ++n & 0xFFFF);
        const std::string path = folder + name;
        {
            UniqueHandle file(CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            WriteFile(file.get(), "scratch", 7, &written, nullptr);
        }
        DeleteFileW(W(path).c_str());
    }
    return 0;
}

// The agent's main window, by its title, whatever process it is in.
HWND AnyAgentWindow()
{
    HWND found = nullptr;
    EnumWindows([](HWND w, LPARAM p) -> BOOL {
        wchar_t title[128]{};
        GetWindowTextW(w, title, 128);
        if (std::wstring(title).find(L"Arduino compiler monitoring agent") == std::wstring::npos)
            return TRUE;
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A message sent to the main window every 50 ms: how long each takes to come back.
int Answer(int seconds)
{
    const HWND window = AnyAgentWindow();
    if (!window) {
        std::printf("no agent window\n");
        return 1;
    }
    std::vector<double> ms;
    for (const DWORD end = GetTickCount() + DWORD(seconds) * 1000; GetTickCount() < end; Sleep(50)) {
        const uint64_t before = Now();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        ms.push_back(double(Now() - before) / double(Ms));
    }
    std::printf("main window: %zu messages, answered in p50 %.1f ms, p95 %.1f ms, worst %.1f ms\n", ms.size(),
                Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "latency" && argc > 4)
        return Latency(unsigned(std::strtoul(argv[2], nullptr, 10)), std::atoi(argv[3]),
                       std::vector<std::string>(argv + 4, argv + argc));
    if (mode == "tree" && argc == 4)
        return Tree(argv[2], std::atoi(argv[3]));
    if (mode == "start" && argc == 4)
        return Start(argv[2], argv[3]);
    if (mode == "files" && argc == 4)
        return Files(argv[2], std::atoi(argv[3]));
    if (mode == "churn" && argc == 4)
        return Churn(argv[2], std::atoi(argv[3]));
    if (mode == "answer" && argc == 3)
        return Answer(std::atoi(argv[2]));
    std::fprintf(stderr, "usage: watcher_latency latency <seed> <builds> <label>=<agent.exe>...\n"
                         "       watcher_latency tree <folder> <build folders>\n"
                         "       watcher_latency start <temp folder> <agent.exe>\n"
                         "       watcher_latency files <folder> <count>\n"
                         "       watcher_latency churn <folder> <seconds>\n"
                         "       watcher_latency answer <seconds>\n");
    return 2;
}
