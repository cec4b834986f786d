// core/MainWindow.h: the agent's main window and command dispatcher. It is created hidden and lives
// from start-up to "Exit kevra+"; closing or minimising it only hides it. Its initialisation starts
// the build watcher, adds the notification icon and, on a first run, presets the copy folder and
// shows the how-to text.
#pragma once

#include <windows.h>

#include "base/Win32.h"

// The agent's look: the main window's font and colours, which start-up gives the message dialog too.
constexpr char LookFace[] = "System";
constexpr int LookPoints = 14;
constexpr COLORREF LookText = 0x554848;
constexpr COLORREF LookBackground = 0xAAFFDA;

extern HWND MainWindow;
extern UniqueFont MainFont;      // "System" 14 pt, every control's font; released by the entry point
extern HANDLE WatcherThread;

// Creates the main window hidden and runs it until it is destroyed.
void CreateMainWindow();
INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Shows the how-to/about text in the message dialog, owned by owner.
void ShowHowTo(HWND owner);

// Makes this process the session's one agent, or hands over to the agent that runs: shows its main
// window as a double click on its icon would and returns true (this start ends). Waits while the
// other agent has no window that answers, and returns false (this one goes on) once it has ended or
// when none ran.
bool HandOverToRunningAgent();
