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

// One poll at the given instant (a file time): scan tempFolder, act on the new builds in list order,
// then set the status control's text if it changed. Never fails; failed copies and starts are silent.
void PollBuilds(HWND mainWindow, const std::string& tempFolder, uint64_t pollInstant, WatcherState& state);

// The thread procedure: initialises COM for its thread, then polls TempFolder forever with a pause of
// 4 s after each poll. Its parameter is the main window; it never returns.
DWORD WINAPI BuildWatcher(LPVOID mainWindow) noexcept;
