// core/TrayIcon.h: the agent's icon in the notification area and its menu. All of it runs on the
// user-interface thread, inside the main window's handler. Failures of the shell are ignored.
#pragma once

#include <windows.h>

#include <shellapi.h>

// The callback message the shell sends to the main window for mouse events on the icon.
constexpr UINT TrayCallbackMessage = WM_USER + 501;

// Menu command ids; the main window's handler dispatches them.
constexpr int MenuMemoryAnalyzer = 201;
constexpr int MenuRunLastProject = 202;
constexpr int MenuHowTo = 203;
constexpr int MenuExit = 204;

// Adds the icon, its record filled at the first call; returns the record handed to the shell.
const NOTIFYICONDATAA& TrayIconAdd();
void TrayIconRemove();
void CreateTrayMenu();
// The handler result for a mouse event on the icon: 1 for a double click (handled), else 0.
LRESULT OnTrayMessage(LPARAM lParam);
