// tests/wine/analyzer/DriveAnalyzer.h: runs something that opens the analyzer window on this thread
// while a second thread drives the window; whatever the driver leaves open is closed, so a failed
// check never leaves the test waiting on a modal window.
#pragma once

#include <windows.h>

#include <functional>
#include <thread>

#include "AgentDriver.h"

// The analyzer window's control ids.
constexpr int IdSymbolList = 1000;
constexpr int IdFlashLine = 1001;
constexpr int IdExportCsv = 1002;
constexpr int IdSramLine = 1003;
constexpr int IdCloseAnalyzer = IDOK;

// The visible analyzer window of this process with this caption; null when none within 10 s.
inline HWND WaitForAnalyzer(const std::string& caption)
{
    HWND window = nullptr;
    WaitFor([&] {
        window = FindProcessWindow(GetCurrentProcessId(), caption);
        return window && IsWindowVisible(window);
    });
    return window && IsWindowVisible(window) ? window : nullptr;
}

// Calls open() here while drive(window) runs on a second thread once the window with this caption
// shows; drive gets null when it never does.
inline void OpenDriven(const std::string& caption, const std::function<void()>& open,
                       const std::function<void(HWND)>& drive)
{
    std::thread driver([&] {
        HWND window = WaitForAnalyzer(caption);
        drive(window);
        if (window && IsWindow(window))
            PostMessageW(window, WM_COMMAND, IDOK, 0);
    });
    open();
    driver.join();
}
