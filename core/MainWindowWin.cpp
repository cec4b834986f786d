#include "core/MainWindow.h"

#include <shlobj.h>

#include "analyzer/AnalysisRun.h"
#include "analyzer/AnalyzerWindow.h"
#include "core/AgentText.h"
#include "base/Folders.h"
#include "core/Settings.h"
#include "base/SharedValues.h"
#include "base/Text.h"
#include "core/TrayIcon.h"
#include "ui/MessageDialog.h"
#include "ui/Window.h"
#include "watcher/BuildWatcher.h"

HWND MainWindow = nullptr;
UniqueFont MainFont;
HANDLE WatcherThread = nullptr;

namespace {

// The controls' ids: only this window's code touches its controls.
constexpr int IdCopyHex = 997;
constexpr int IdFolderLabel = 998;
constexpr int IdChooseFolder = 999;
constexpr int IdStatusText = 1000;   // the watcher's list of builds
constexpr int IdMemoryAnalyzer = 1001;
constexpr int IdRunLastProject = 1002;
constexpr int IdHowTo = 1003;

constexpr COLORREF FolderText = 0x800080;

constexpr ControlRow MainControls[] = {
    // id                class     text                      x    y   cx   cy  style (0: the kind's default)
    { IdCopyHex,        "BUTTON", "Copy new .hex file to",   2,   2, 104,  16, BS_AUTOCHECKBOX | WS_TABSTOP },
    { IdFolderLabel,    "STATIC", "",                      107,   4, 190,  12, SS_PATHELLIPSIS | SS_SUNKEN | SS_NOTIFY },
    { IdChooseFolder,   "BUTTON", "...",                   298,   4,  20,  12, BS_PUSHBUTTON | WS_TABSTOP },
    { IdStatusText,     "EDIT",   "",                        2,  22, 316, 176, ES_MULTILINE },
    { IdRunLastProject, "BUTTON", "Run last project",        5, 200,  90,  16, BS_PUSHBUTTON | WS_TABSTOP },
    { IdMemoryAnalyzer, "BUTTON", "Memory Analyzer",       100, 200,  90,  16, BS_PUSHBUTTON | WS_TABSTOP },
    { IdHowTo,          "BUTTON", "How to / About",        195, 200,  90,  16, BS_PUSHBUTTON | WS_TABSTOP },
};

constexpr DWORD StackSize = 0x100000;

// Explorer broadcasts this after a restart, when the notification area has forgotten every icon.
const UINT TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");

void SetFolderLabel(const std::string& homedir)
{
    SetDlgItemTextW(MainWindow, IdFolderLabel, Widen(WithoutTrailingBackslashes(homedir)).c_str());
}

std::string LoadHowToResource()
{
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, "HOWTO", MAKEINTRESOURCEA(10));   // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(self, found)) : std::string();
}

// Places the folder browser 50 pixels right of the main window's left edge, level with its top.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) noexcept
{
    if (message == BFFM_INITIALIZED) {
        const std::wstring& selected = *reinterpret_cast<const std::wstring*>(data);
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(selected.c_str()));
        RECT r;
        GetWindowRect(MainWindow, &r);
        SetWindowPos(browser, nullptr, r.left + 50, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    return 0;
}

void ChooseTargetFolder()
{
    const std::wstring selected = Widen(ReadHomeDir());
    const std::wstring title = L"Choose target directory for .hex files";
    BROWSEINFOW info{};
    info.hwndOwner = MainWindow;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&selected);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return;
    wchar_t path[MAX_PATH] = {};
    const bool hasPath = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    if (!hasPath || path[0] == 0)
        return;
    const std::string homedir = WithOneTrailingBackslash(Narrow(path));
    WriteHomeDir(homedir);
    SetFolderLabel(homedir);
    SaveSettings();
}

// The "Memory Analyzer" command: analyses LastElfPath as it stands now and shows the result until the
// user closes it. The button that started it stays disabled meanwhile; the menu's command has none.
// The tool runs serve the thread's messages: a second "Memory Analyzer" while they run starts no
// second run inside the first, and after Exit (the main window gone) no window is shown.
void RunMemoryAnalysis(int commandId)
{
    static bool toolsRunning = false;
    if (toolsRunning)
        return;
    const HWND button = commandId == IdMemoryAnalyzer ? GetDlgItem(MainWindow, IdMemoryAnalyzer) : nullptr;
    if (button)
        EnableWindow(button, FALSE);
    toolsRunning = true;
    const AnalysisResult result = AnalyzeBuild(ReadLastElfPath());
    toolsRunning = false;
    if (IsWindow(MainWindow))
        ShowAnalyzerWindow(result);
    if (button && IsWindow(button))
        EnableWindow(button, TRUE);
}

void Initialise()
{
    WatcherThread = CreateThread(nullptr, StackSize, BuildWatcher, MainWindow, 0, nullptr);
    TrayIconAdd();
    CreateTrayMenu();
    if (!PathExists(SettingsFile)) {
        if (const std::optional<std::string> found = DiscoverSketchbookFolder())
            SetFolderLabel(*found);
        ShowHowTo(MainWindow);
    }
}

INT_PTR OnCommand(int id, int code)
{
    // The controls' other notifications (an edit's changes, a label's clicks) are no commands; the
    // menu's come with any code.
    const bool control = id >= IdCopyHex && id <= IdHowTo;
    if (control && code != BN_CLICKED)
        return 0;
    switch (id) {
    case IdMemoryAnalyzer:
    case MenuMemoryAnalyzer:
        RunMemoryAnalysis(id);
        break;
    case IdRunLastProject:
    case MenuRunLastProject:
        StartSimulator(ReadLastElfPath());
        break;
    case IdHowTo:
    case MenuHowTo:
        ShowHowTo(MainWindow);
        break;
    case MenuExit:
        DestroyWindow(MainWindow);
        break;
    case IdCopyHex:
        WriteCopyHex(SendDlgItemMessageW(MainWindow, IdCopyHex, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
        SaveSettings();
        break;
    case IdChooseFolder:
        ChooseTargetFolder();
        break;
    }
    return 0;
}

}  // namespace

INT_PTR CALLBACK MainWindowProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_POWERBROADCAST && wParam == PBT_APMRESUMEAUTOMATIC)
        TellWatcherOfResume();   // changes made while the PC slept may have gone unnoticed
    switch (message) {
    case WM_INITDIALOG:
        Initialise();
        return 0;
    case TrayCallbackMessage:
        return OnTrayMessage(lParam);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case StatusTextMessage:
        // The watcher's text replaces the whole control, what the user typed into it included.
        SetDlgItemTextW(MainWindow, IdStatusText, Widen(ReadStatusText()).c_str());
        return 1;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE || (wParam & 0xFFF0) == SC_CLOSE) {
            ShowWindow(MainWindow, SW_HIDE);
            TrayIconAdd();
            return 1;
        }
        return 0;
    case WM_DESTROY:
        CloseHandle(WatcherThread);
        TrayIconRemove();
        // Exit may come from the icon's menu while an unowned window (the analyzer) runs its own
        // loop; the quit message ends that loop too, so the agent ends now and not when it closes.
        PostQuitMessage(0);
        return 0;
    }
    // While the window is hidden the icon is the only way in: put it back after an Explorer restart.
    if (message == TaskbarCreatedMessage && TaskbarCreatedMessage != 0 && !IsWindowVisible(MainWindow))
        TrayIconAdd();
    return 0;
}

void ShowHowTo(HWND owner)
{
    ShowMessageDialog(owner, HowToText(LoadHowToResource()), "kevra+ howto/about", MB_ICONASTERISK, "");
}

void CreateMainWindow()
{
    MainFont = CreatePointFont(LookFace, LookPoints);
    WindowDesc desc;
    desc.caption = MainWindowTitle();
    desc.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    desc.width = 320;
    desc.height = 220;
    desc.unit = WindowUnit::DialogUnits;
    desc.fontFace = "MS Sans Serif";
    desc.fontPoints = 8;
    desc.fontWeight = FW_BOLD;
    desc.controlFont = MainFont.get();
    MainWindow = CreateRuntimeDialog(desc, MainControls, MainWindowProc);
    if (!MainWindow)
        return;
    SetWindowColors(MainWindow, { LookText, LookBackground });
    SetControlColors(MainWindow, IdCopyHex, { LookText, LookBackground });
    SetControlColors(MainWindow, IdFolderLabel, { FolderText, LookBackground });
    SetControlColors(MainWindow, IdStatusText, { LookText, LookBackground });
    SetWindowIconResource(MainWindow, "AICO");
    // The settings may hold any number; the box shows what the watcher does with it: copy when non-zero.
    SendDlgItemMessageW(MainWindow, IdCopyHex, BM_SETCHECK, ReadCopyHex() != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    SetFolderLabel(ReadHomeDir());
    RunUntilDestroyed(MainWindow);
}

bool HandOverToRunningAgent()
{
    // The agent owns this mutex for its whole life; the handle stays open until the process ends,
    // which releases the mutex or abandons it, the same thing to a start that waits for it.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\kevra-agent.single-instance");
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    // Another agent is starting, running or ending. Its window, once there and answering, takes the
    // hand-over; while it has none, or does not answer (busy or hung), look again every second, and
    // go on as the agent once the other has ended.
    const std::wstring title = Widen(MainWindowTitle());
    for (;;) {
        if (HWND running = FindWindowW(L"#32770", title.c_str())) {
            DWORD process = 0;
            GetWindowThreadProcessId(running, &process);
            AllowSetForegroundWindow(process);
            // Sent rather than posted, so that a window that never takes it is not taken for a hand-over.
            DWORD_PTR ignored = 0;
            if (SendMessageTimeoutW(running, TrayCallbackMessage, 0, WM_LBUTTONDBLCLK, SMTO_ABORTIFHUNG, 2000,
                                    &ignored)) {
                // An ending agent's window can still take it during its WM_DESTROY; then it is gone a
                // moment later, and the mutex soon after.
                const DWORD ended = WaitForSingleObject(mutex, 500);
                if (ended == WAIT_OBJECT_0 || ended == WAIT_ABANDONED)
                    return false;
                if (IsWindow(running))
                    return true;
            }
        }
        switch (WaitForSingleObject(mutex, 1000)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:
            return false;
        case WAIT_FAILED:   // nothing to wait for: end quietly rather than run a second agent
            return true;
        }
    }
}
