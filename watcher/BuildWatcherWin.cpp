#include "watcher/BuildWatcher.h"

#include <objbase.h>
#include <shellapi.h>

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

void StartSimulator(const std::string& elfPath)
{
    // The simulator takes the path unquoted, spaces and all, as it always has.
    const std::string simulator = OwnExeFolder() + "kevra.exe";
    ShellExecuteA(nullptr, "open", simulator.c_str(), elfPath.c_str(), nullptr, SW_SHOWNORMAL);
}

}  // namespace

void PollBuilds(HWND mainWindow, const std::string& tempFolder, uint64_t pollInstant, WatcherState& state)
{
    const std::vector<BuildEntry> entries = ScanBuilds(tempFolder, pollInstant);
    const std::vector<bool> isNew = NewBuilds(state.seen, entries, pollInstant);
    const std::string status = StatusText(tempFolder, entries);

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

DWORD WINAPI BuildWatcher(LPVOID mainWindow) noexcept
{
    CoInitialize(nullptr);
    // Never freed: the thread outlives the entry point and runs until the process ends.
    WatcherState& state = *new WatcherState;
    for (;;) {
        PollBuilds(static_cast<HWND>(mainWindow), TempFolder, CurrentFileTime(), state);
        Sleep(PollPauseMilliseconds);
    }
}
