// watcher/BuildWatcher.h: the build watcher thread. It keeps the list of builds and hands its status
// text to the main window, and for each new build whose .hex is whole copies it into homedir when
// copyhex is on, makes it LastElfPath and starts kevra.exe beside the agent on its .elf. It wakes on
// the change notifications of the watched folders and every 4 seconds; a wake at which nothing
// changed costs no search. Every root is searched whole at the start, after a watch overflowed, failed
// or was set again, after build.path changed and after a resume from sleep; a root without
// notifications at every timed poll.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "watcher/BuildListing.h"
#include "watcher/Watcher.h"

// Posted to the main window when the status text changed; the window reads it with ReadStatusText.
constexpr UINT StatusTextMessage = WM_APP + 1;

// What one watcher keeps from poll to poll; it belongs to the watcher's thread alone.
struct WatcherState {
    std::string tempFolder;   // the status text's header
    SeenBuilds seen;
    BuildListing listing;
    std::string shownStatusText;
    uint64_t shownAt = 0;         // the instant of the poll that built it
    uint64_t sameUntil = 0;       // the instant its ages change
};

// Takes up the roots the builds are looked for in (at start, and when the IDE's preferences changed);
// previous is the instant of the poll before, or 0 before the first. True when they are other roots
// than before (build.path changed).
bool SetBuildRoots(WatcherState& state, const BuildRoots& roots, uint64_t previous);

// One poll at pollInstant (a file time): searches what scope names, acts on the new builds whose .hex
// is whole in list order, and posts StatusTextMessage to mainWindow (which may be null) when the text
// changed. Returns the instant of the monotonic clock (MonotonicNow) at which a waiting build wants
// its folder searched again; 0 when none waits. Never fails; failed copies and starts are silent.
uint64_t PollBuilds(HWND mainWindow, uint64_t pollInstant, const PollScope& scope, WatcherState& state);

// The watcher's clock, in file-time units: it runs on whatever the wall clock does.
uint64_t MonotonicNow();

// Starts kevra.exe beside the agent with elfPath as its parameter text, unquoted, without waiting.
void StartSimulator(const std::string& elfPath);

// Tells the watcher that the PC woke from sleep: changes made meanwhile may have gone unnoticed, so
// its next poll searches every root whole. Any thread may call it.
void TellWatcherOfResume();

// The thread procedure: initialises COM for its thread, then watches TEMP, LocalAppDataFolder and the
// build.path folders for as long as the process lives. Its parameter is the main window.
DWORD WINAPI BuildWatcher(LPVOID mainWindow) noexcept;
