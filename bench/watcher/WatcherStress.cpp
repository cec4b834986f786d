// Stress probe of the new-build rule: 100 builds are written at random moments of a simulated clock,
// many of them right around the edges of a poll (its instant, its folder search, its end, the 4 s
// window), some stamped by a clock 3 s ahead, some polls running long. Every poll runs the real
// PollBuilds on the real files, so the fake kevra.exe beside this program logs each simulator start.
// Beside it, on the same scans, the rule as first designed (younger than 4 whole seconds at the poll)
// is counted, so both show side by side. A build is "started" once for each poll that acts on it.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>
#include <random>

#include "base/SharedValues.h"
#include "base/Win32.h"
#include "watcher/BuildWatcher.h"

namespace {

// A poll that searches everything, for the roots given.
uint64_t PollBuilds(HWND mainWindow, const BuildRoots& roots, uint64_t pollInstant, WatcherState& state)
{
    SetBuildRoots(state, roots, pollInstant);
    PollScope everything;
    everything.everything = true;
    return PollBuilds(mainWindow, pollInstant, everything, state);
}

constexpr int64_t Ms = 10'000;
constexpr int Builds = 100;
constexpr int Sketches = 20;

struct Build {
    int64_t writtenAt;   // real moment of the write (simulated clock)
    int64_t stamp;       // its last-write time as the file system reports it
    int sketch;
};

struct Poll {
    int64_t instant, search, end;
};

void WriteBuild(const std::string& path, int id, uint64_t stamp)
{
    const std::string bytes = ":02000004" + std::to_string(1000 + id) + "\r\n:00000001FF\r\n";
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    FILETIME t{ DWORD(stamp), DWORD(stamp >> 32) };
    SetFileTime(file, nullptr, nullptr, &t);
    CloseHandle(file);
}

std::string ScratchFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::string path = Narrow(temp) + "kevra-watcher-stress-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryW(Widen(path).c_str(), nullptr);
    return path;
}

// Waits until no kevra.exe started by this process is still running.
void WaitForSimulators()
{
    const DWORD self = GetCurrentProcessId();
    for (bool running = true; running;) {
        running = false;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W p{};
        p.dwSize = sizeof p;
        for (BOOL more = Process32FirstW(snapshot, &p); more; more = Process32NextW(snapshot, &p)) {
            if (p.th32ParentProcessID != self || lstrcmpiW(p.szExeFile, L"kevra.exe") != 0)
                continue;
            if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, p.th32ProcessID)) {
                running = true;
                WaitForSingleObject(process, 1000);
                CloseHandle(process);
            }
        }
        CloseHandle(snapshot);
    }
}

std::string HexOf(const std::string& temp, int sketch)
{
    return temp + "build" + std::to_string(sketch) + ".tmp\\Sketch.cpp.hex";
}

void Clean(const std::string& temp)
{
    for (int s = 0; s < Sketches; ++s) {
        DeleteFileW(Widen(HexOf(temp, s)).c_str());
        RemoveDirectoryW(Widen(temp + "build" + std::to_string(s) + ".tmp").c_str());
    }
    DeleteFileW(Widen(temp + "simulator.log").c_str());
    RemoveDirectoryW(Widen(temp).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const unsigned seed = argc > 1 ? unsigned(std::strtoul(argv[1], nullptr, 10)) : 20261209u;
    std::mt19937_64 random(seed);
    auto uniform = [&](int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random); };

    // The polls first: a pause of 4 s after each, searches a few ms into a poll, now and then a long one.
    const uint64_t origin = 134'098'992'000'000'000ULL;
    std::vector<Poll> polls;
    int64_t t = 0;
    for (int k = 0; k < 60; ++k) {
        const int64_t search = t + uniform(1, 40) * Ms;
        const int64_t end = uniform(0, 9) == 0 ? search + uniform(1000, 6000) * Ms : search + uniform(1, 30) * Ms;
        polls.push_back({ t, search, end });
        t = end + 4000 * Ms + uniform(0, 20) * Ms;
    }

    // Builds: half right at an edge of a poll, the rest anywhere; none before the first poll ends.
    std::vector<Build> builds;
    while (builds.size() < Builds) {
        const Poll& p = polls[uniform(1, int64_t(polls.size()) - 8)];
        int64_t at = 0;
        switch (uniform(0, 5)) {
        case 0: at = p.instant + uniform(-3, 3) * Ms; break;               // at the poll's instant
        case 1: at = p.search + uniform(-3, 3) * Ms; break;                // just before or after the search
        case 2: at = p.end + uniform(-3, 3) * Ms; break;                   // as the pause begins
        case 3: at = p.search - 4000 * Ms + uniform(-3, 3) * Ms; break;    // the edge of the 4 s window
        default: at = p.instant + uniform(0, 4000) * Ms; break;
        }
        const bool ahead = uniform(0, 19) == 0;                            // a network drive's clock
        builds.push_back({ at, at + (ahead ? 3000 * Ms : 0), 0 });
    }
    std::sort(builds.begin(), builds.end(), [](const Build& a, const Build& b) { return a.writtenAt < b.writtenAt; });
    // Sketches in turn, so the same .hex is rewritten only many seconds later.
    for (size_t i = 0; i < builds.size(); ++i)
        builds[i].sketch = int(i % Sketches);

    const std::string temp = ScratchFolder();
    Clean(temp);   // process ids repeat under Wine: a run that was cut short may have left its files
    CreateDirectoryW(Widen(temp).c_str(), nullptr);
    const std::string log = temp + "simulator.log";
    SetEnvironmentVariableW(L"KEVRA_FAKE_SIMULATOR_LOG", Widen(log).c_str());
    for (int s = 0; s < Sketches; ++s)
        CreateDirectoryW(Widen(temp + "build" + std::to_string(s) + ".tmp").c_str(), nullptr);
    auto hexOf = [&](int sketch) { return HexOf(temp, sketch); };

    WatcherState state;
    std::vector<int> startedNew(Builds), startedAsDesigned(Builds);
    std::map<std::pair<std::string, uint64_t>, int> buildOf;   // (hexPath, stamp) -> build
    SeenBuilds mirror;                                         // the same rule again, to tell builds apart
    size_t next = 0;
    for (const Poll& p : polls) {
        // What the search of this poll sees: every write made before it.
        for (; next < builds.size() && builds[next].writtenAt < p.search; ++next) {
            const Build& b = builds[next];
            WriteBuild(hexOf(b.sketch), int(next), origin + b.stamp);
            buildOf[{ hexOf(b.sketch), origin + b.stamp }] = int(next);
        }
        const uint64_t instant = origin + p.instant;
        PollBuilds(nullptr, BuildRoots{ temp, {}, {} }, instant, state);

        std::vector<BuildEntry> entries = ScanBuilds(BuildRoots{ temp, {}, {} }, instant);
        for (BuildEntry& e : entries)
            e.previousSearch = &p == &polls.front() ? 0 : origin + (&p - 1)->instant;
        const std::vector<bool> isNew = NewBuilds(mirror, entries, instant);
        for (size_t i = 0; i < entries.size(); ++i) {
            const int b = buildOf.at({ entries[i].hexPath, entries[i].lastWrite });
            startedNew[b] += isNew[i];
            startedAsDesigned[b] += entries[i].ageMinutes == 0 && entries[i].ageSeconds < 4;
        }
    }
    WaitForSimulators();

    auto report = [&](const char* rule, const std::vector<int>& started) {
        const auto count = [&](auto match) { return std::count_if(started.begin(), started.end(), match); };
        std::printf("%-24s %6lld %8lld %8lld %8lld\n", rule, (long long)count([](int n) { return n == 1; }),
                    (long long)count([](int n) { return n == 0; }), (long long)count([](int n) { return n > 1; }),
                    (long long)std::accumulate(started.begin(), started.end(), 0));
    };
    std::printf("seed %u: %d builds on %d sketches over %zu polls\n", seed, Builds, Sketches, polls.size());
    std::printf("%-24s %6s %8s %8s %8s\n", "rule", "once", "missed", "twice+", "starts");
    report("acts on every write", startedNew);
    report("younger than 4 s", startedAsDesigned);

    // The real polls' simulator starts, per sketch, against the builds of that sketch.
    std::map<std::string, int> logged;
    const std::string text = [&] {
        std::string bytes;
        HANDLE file = CreateFileW(Widen(log).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        char chunk[4096];
        DWORD got = 0;
        while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
            bytes.append(chunk, got);
        CloseHandle(file);
        return bytes;
    }();
    size_t lines = 0;
    for (size_t from = 0, end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2, ++lines)
        ++logged[text.substr(from, end - from)];
    int matching = 0;
    for (int s = 0; s < Sketches; ++s) {
        const std::string elf = ElfPathFor(hexOf(s));
        const int expected = int(std::count_if(builds.begin(), builds.end(), [&](const Build& b) { return b.sketch == s; }));
        matching += logged[elf] == expected;
    }
    std::printf("real polls: %zu simulator starts logged by kevra.exe; %d of %d sketches started once per build\n",
                lines, matching, Sketches);
    Clean(temp);
    return 0;
}
