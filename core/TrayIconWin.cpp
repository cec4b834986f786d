#include "core/TrayIcon.h"

#include <cstring>

#include "core/MainWindow.h"

namespace {

NOTIFYICONDATAA TrayIconData{};
HMENU TrayMenu = nullptr;

void FillTrayIconData()
{
    TrayIconData = {};
    TrayIconData.cbSize = sizeof(NOTIFYICONDATAA);
    TrayIconData.hWnd = MainWindow;
    // The module handle only names this one icon; its low 32 bits are as unique as the whole value.
    TrayIconData.uID = static_cast<UINT>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
    TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIconData.uCallbackMessage = TrayCallbackMessage;
    TrayIconData.hIcon = LoadIconA(GetModuleHandleA(nullptr), "AICO");
    std::strncpy(TrayIconData.szTip, "kevra+ agent", sizeof TrayIconData.szTip - 1);
}

void OpenTrayMenu()
{
    POINT at;
    GetCursorPos(&at);
    // The menu closes on a click outside it only when our window is the foreground one, hidden or not.
    SetForegroundWindow(MainWindow);
    TrackPopupMenu(TrayMenu, TPM_RIGHTBUTTON | TPM_RIGHTALIGN | TPM_BOTTOMALIGN, at.x, at.y, 0, MainWindow, nullptr);
}

}  // namespace

const NOTIFYICONDATAA& TrayIconAdd()
{
    if (TrayIconData.cbSize == 0)
        FillTrayIconData();
    Shell_NotifyIconA(NIM_ADD, &TrayIconData);
    return TrayIconData;
}

void TrayIconRemove()
{
    Shell_NotifyIconA(NIM_DELETE, &TrayIconData);
}

void CreateTrayMenu()
{
    TrayMenu = CreatePopupMenu();
    AppendMenuA(TrayMenu, MF_STRING, MenuRunLastProject, "Run last project");
    AppendMenuA(TrayMenu, MF_STRING, MenuMemoryAnalyzer, "Memory Analyzer");
    AppendMenuA(TrayMenu, MF_STRING, MenuHowTo, "Howto / About");
    AppendMenuA(TrayMenu, MF_STRING, MenuExit, "Exit kevra+");
}

LRESULT OnTrayMessage(LPARAM lParam)
{
    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP:
        OpenTrayMenu();
        return 0;
    case WM_LBUTTONDBLCLK:
        TrayIconRemove();
        ShowWindow(MainWindow, SW_RESTORE);
        return 1;
    }
    return 0;
}
