// Not a test: the soak run. The real agent polls a TEMP of 200 build folders for the minutes given
// (default 30), with a new build every 20 s and the analyzer opened and closed 50 times spread over
// the run; its handle count, GDI objects and private memory are printed at the start, every minute
// and at the end (Wine reports no handle or GDI counts: 0 there), with the kept builds' folder: its
// copies, the other files beside them and their bytes. Each build is whole (its .hex ends with the
// end-of-file record) and of bytes of its own, so that the agent acts on it and keeps a copy. Needs the AVR tool shims on WINEPATH (scripts/soak-analyzer.sh sets it).
// Usage: analyzer_soak.exe [minutes] [analyzer cycles]
#include <windows.h>

#include <psapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "AgentDriver.h"
#include "AnalyzerDriver.h"

namespace {

struct Figures {
    DWORD handles = 0, gdi = 0, user = 0;
    SIZE_T privateBytes = 0, workingSet = 0;
};

Figures Measure(HANDLE process)
{
    Figures f;
    GetProcessHandleCount(process, &f.handles);
    f.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    f.user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        // Windows gives the same figure in both; Wine fills in only the page-file one.
        f.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
        f.workingSet = memory.WorkingSetSize;
    }
    return f;
}

// The kept builds' folder: its .elf copies, its other files and the bytes of all.
struct Store {
    size_t copies = 0, others = 0;
    uint64_t bytes = 0;
};

Store MeasureStore(const std::string& folder)
{
    Store store;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(Widen(folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return store;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::wstring name = found.cFileName;
        (name.size() > 4 && name.substr(name.size() - 4) == L".elf" ? store.copies : store.others) += 1;
        store.bytes += (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return store;
}

void Print(const char* when, double minutes, const Figures& f, int builds, int cycles, size_t starts, const Store& kept)
{
    std::printf("%-5s %5.1f min  handles %4lu  gdi %4lu  user %4lu  private %6.1f MB  working set %6.1f MB  builds %3d  "
                "analyzer %2d  simulator starts %3zu  kept %2zu copies + %2zu others, %5.2f MB\n",
                when, minutes, f.handles, f.gdi, f.user, double(f.privateBytes) / (1 << 20), double(f.workingSet) / (1 << 20),
                builds, cycles, starts, kept.copies, kept.others, double(kept.bytes) / (1 << 20));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::atof(argv[1]) : 30;
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 50;
    ScratchFolder scratch("soak");
    const std::string agentFolder = PrepareAgentFolder(scratch.path);
    const std::string temp = scratch.path + "temp\\";
    CreateDirectoryW(Widen(temp).c_str(), nullptr);
    WriteFileBytes(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=1\r\nhomedir=" + scratch.path + "\r\n");
    const std::string elf = FromUnixPath(KEVRA_ROAD_ELF);
    const std::string elfBytes = ReadFileBytes(elf);
    wchar_t local[MAX_PATH]{};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
    const std::string kept = Narrow(local) + "\\kevra+\\builds\\";
    RemoveTree(kept);
    const uint64_t hourAgo = NowFileTime() - 3600ull * 10'000'000;
    for (int i = 0; i < 200; ++i) {
        const std::string build = temp + "build" + std::to_string(1000 + i) + ".tmp\\";
        CreateDirectoryW(Widen(build).c_str(), nullptr);
        CopyFileW(Widen(elf).c_str(), Widen(build + "Game" + std::to_string(i) + ".cpp.elf").c_str(), FALSE);
        WriteFileBytes(build + "Game" + std::to_string(i) + ".cpp.hex", ":00000001FF\r\n");
        SetWriteTime(build + "Game" + std::to_string(i) + ".cpp.hex", hourAgo);
    }

    RunningAgent agent;
    if (!agent.Start(agentFolder, temp)) {
        std::printf("the agent did not start\n");
        return 1;
    }
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG length = ULONGLONG(minutes * 60000);
    auto elapsed = [&] { return double(GetTickCount64() - start) / 60000; };
    Sleep(5000);   // the first polls: the 200 folders listed once
    int builds = 0, opened = 0, failures = 0;
    Print("start", elapsed(), Measure(agent.process.hProcess), builds, opened, agent.SimulatorStarts().size(),
          MeasureStore(kept));

    ULONGLONG nextBuild = GetTickCount64(), nextCycle = GetTickCount64() + 3000, nextPrint = GetTickCount64() + 60000;
    const ULONGLONG cycleEvery = length / ULONGLONG(cycles + 1);
    while (GetTickCount64() - start < length) {
        const ULONGLONG now = GetTickCount64();
        if (now >= nextBuild) {
            const int i = builds % 200;
            const std::string build = temp + "build" + std::to_string(1000 + i) + ".tmp\\Game" + std::to_string(i);
            // Bytes after the section table leave the .elf whole and make each build's its own.
            WriteFileBytes(build + ".cpp.elf", elfBytes + std::to_string(builds));
            WriteFileBytes(build + ".cpp.hex", ":" + std::to_string(builds) + "\r\n:00000001FF\r\n");
            ++builds;
            nextBuild += 20000;
        }
        if (opened < cycles && now >= nextCycle) {
            agent.Command(201);
            HWND window = nullptr;
            WaitFor([&] {
                DWORD id = 0;
                window = FindWindowW(L"#32770", nullptr);
                for (; window; window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
                    GetWindowThreadProcessId(window, &id);
                    if (id == agent.process.dwProcessId && IsWindowVisible(window) &&
                        WindowText(window).rfind("[kevra+ v0.3] Memory Analyzer: ", 0) == 0)
                        return true;
                }
                return false;
            }, 30000);
            if (!window || ListRows(GetDlgItem(window, 1000)).empty())
                ++failures;
            if (window) {
                PostMessageW(window, WM_COMMAND, IDOK, 0);
                WaitFor([&] { return !IsWindow(window); });
            }
            ++opened;
            nextCycle += cycleEvery;
        }
        if (now >= nextPrint) {
            Print("run", elapsed(), Measure(agent.process.hProcess), builds, opened, agent.SimulatorStarts().size(),
                  MeasureStore(kept));
            nextPrint += 60000;
        }
        Sleep(200);
    }
    Sleep(5000);   // the last build's poll
    Print("end", elapsed(), Measure(agent.process.hProcess), builds, opened, agent.SimulatorStarts().size(),
          MeasureStore(kept));
    std::printf("analyzer cycles without rows or window: %d\n", failures);
    const bool exited = agent.Exit();
    std::printf("agent %s\n", exited ? "exited on \"Exit kevra+\"" : "had to be killed");
    return failures == 0 && exited ? 0 : 1;
}
