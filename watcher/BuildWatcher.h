// watcher/BuildWatcher.h: the build watcher thread. Every 4 seconds it lists the builds in the status
// control (id 1000) of the main window, and for each new build copies its .hex into homedir when
// copyhex is on, makes it LastElfPath and starts kevra.exe beside the agent on its .elf.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "watcher/Watcher.h"

constexpr int IdStatusText = 1000;

// What one watcher keeps from poll to poll; it belongs to the watcher's thread alone.
struct WatcherState {
    SeenBuilds seen;
    std::string shownStatusText;
};

// One poll at the given instant (a file time): scan the roots, act on the new builds whose .hex is
// complete in list order, then set the status control's text if it changed. The poll's clock runs on
// from pollInstant in real time: a new build may keep the poll about a second longer for a second
// look. Never fails; failed copies and starts are silent.
void PollBuilds(HWND mainWindow, const BuildRoots& roots, uint64_t pollInstant, WatcherState& state);
// The same with the builds under tempFolder alone.
void PollBuilds(HWND mainWindow, const std::string& tempFolder, uint64_t pollInstant, WatcherState& state);

// The thread procedure: initialises COM for its thread, reads build.path once, then polls TempFolder,
// LocalAppDataFolder and the build.path folder forever with a pause of 4 s after each poll. Its
// parameter is the main window; it never returns.
DWORD WINAPI BuildWatcher(LPVOID mainWindow) noexcept;
