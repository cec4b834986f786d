#include "watcher/BuildWatcher.h"

#include <objbase.h>
#include <shellapi.h>

#include <optional>

#include "core/Settings.h"
#include "core/SharedValues.h"
#include "core/Win32.h"

namespace {

uint64_t CurrentFileTime()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME t{};
    SystemTimeToFileTime(&now, &t);
    return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

// The old copy bears the build's own .hex name; the new one is the name less ".cpp.hex" + ".HEX".
void CopyIntoHomeDir(const std::string& hexPath)
{
    const std::string homedir = ReadHomeDir();
    const std::string name = PathFileName(hexPath);
    DeleteFileW(Widen(homedir + name).c_str());
    CopyFileW(Widen(hexPath).c_str(), Widen(homedir + HexCopyName(name)).c_str(), FALSE);
}

// Time within a poll runs on from the poll's instant by the performance counter, so a poll given
// an instant (tests) and a real one measure their second look alike.
struct PollClock {
    uint64_t instant;
    LARGE_INTEGER start{}, frequency{};
    explicit PollClock(uint64_t pollInstant) : instant(pollInstant)
    {
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
    }
    uint64_t Now() const
    {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        const uint64_t ticks = uint64_t(t.QuadPart - start.QuadPart);
        return instant + ticks / uint64_t(frequency.QuadPart) * FileTimeSecond +
               ticks % uint64_t(frequency.QuadPart) * FileTimeSecond / uint64_t(frequency.QuadPart);
    }
    void WaitUntil(uint64_t when) const
    {
        for (uint64_t now = Now(); now < when; now = Now())
            Sleep(DWORD((when - now + 9'999) / 10'000));   // whole milliseconds, rounded up
    }
};

std::optional<FileLook> LookAtFile(const std::string& path)
{
    // A search, like the scan's: the same view of size and write time that the scan's look had.
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileExW(Widen(path).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return std::nullopt;
    return FileLook{ (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow,
                     (uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) | found.ftLastWriteTime.dwLowDateTime, 0, 0 };
}

// Fails while any other handle may write to the file (or delete it): its writer has not let go.
bool OpensAlone(const std::string& path)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return bool(file);
}

void StartSimulator(const std::string& elfPath)
{
    // The simulator takes the path unquoted, spaces and all, as it always has.
    const std::string simulator = OwnExeFolder() + "kevra.exe";
    ShellExecuteW(nullptr, L"open", Widen(simulator).c_str(), Widen(elfPath).c_str(), nullptr, SW_SHOWNORMAL);
}

}  // namespace

void PollBuilds(HWND mainWindow, const BuildRoots& roots, uint64_t pollInstant, WatcherState& state)
{
    const PollClock clock(pollInstant);
    const uint64_t scanBegan = clock.Now();
    const std::vector<BuildEntry> entries = ScanBuilds(roots, pollInstant);
    const uint64_t scanEnded = clock.Now();
    const BuildProbe probe{
        [&] { return clock.Now(); },
        [&](uint64_t when) { clock.WaitUntil(when); },
        LookAtFile,
        OpensAlone,
    };
    const std::vector<bool> isNew = CompleteNewBuilds(state.seen, entries, pollInstant, scanBegan, scanEnded, probe);
    const std::string status = StatusText(roots.tempFolder, entries);

    for (size_t i = 0; i < entries.size(); ++i) {
        const BuildEntry& e = entries[i];
        WriteLastElfPathIfEmpty(e.elfPath);
        if (!isNew[i])
            continue;
        // copyhex is read afresh for each build: the user may switch it in the middle of a poll.
        if (ReadCopyHex() != 0)
            CopyIntoHomeDir(e.hexPath);
        WriteLastElfPath(e.elfPath);
        StartSimulator(e.elfPath);
    }

    // The control belongs to the user-interface thread: write it only when the text changed.
    if (status != state.shownStatusText) {
        SetWindowTextW(GetDlgItem(mainWindow, IdStatusText), Widen(status).c_str());
        state.shownStatusText = status;
    }
}

void PollBuilds(HWND mainWindow, const std::string& tempFolder, uint64_t pollInstant, WatcherState& state)
{
    PollBuilds(mainWindow, BuildRoots{ tempFolder, {}, {} }, pollInstant, state);
}

DWORD WINAPI BuildWatcher(LPVOID mainWindow) noexcept
{
    CoInitialize(nullptr);
    // Never freed: the thread outlives the entry point and runs until the process ends.
    WatcherState& state = *new WatcherState;
    // build.path is read once: the scan opens no file, and the IDE itself reads it only at its start.
    const BuildRoots& roots = *new BuildRoots{ TempFolder, LocalAppDataFolder, ArduinoBuildPathFolder() };
    for (;;) {
        PollBuilds(static_cast<HWND>(mainWindow), roots, CurrentFileTime(), state);
        Sleep(PollPauseMilliseconds);
    }
}
