#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <map>

#include "AgentDriver.h"
#include "WineOnly.h"

namespace {

constexpr char HowToCaption[] = "kevra+ howto/about";

// The agent's roaming folder is the shell's, not an environment variable: the preferences fixture
// goes there and is removed again.
std::string ArduinoFolder()
{
    char appData[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    return std::string(appData) + "\\Arduino\\";
}

struct AgentTest : ::testing::Test {
    ScratchFolder scratch{"e2e"};
    std::string agentFolder;
    std::string temp;

    void SetUp() override
    {
        ASSERT_TRUE(UnderWine());
        agentFolder = PrepareAgentFolder(scratch.path);
        temp = scratch.path + "temp\\";
        CreateDirectoryW(Widen(temp).c_str(), nullptr);
        RemoveIdeFolder(ArduinoFolder());
    }
    void TearDown() override { RemoveIdeFolder(ArduinoFolder()); }

    void WritePreferences(const std::string& text)
    {
        CreateDirectoryW(Widen(ArduinoFolder()).c_str(), nullptr);
        WriteFileBytes(ArduinoFolder() + "preferences.txt", text);
    }
    void WriteIni(const std::string& copyhex, const std::string& homedir)
    {
        WriteFileBytes(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=" + copyhex + "\r\nhomedir=" + homedir + "\r\n");
    }
};

constexpr char MainTitle[] = "[kevra+ v0.3] Arduino compiler monitoring agent";

// A window that a second start takes for a running agent's main window: the dialog class and the
// agent's title, in this process. It counts the double clicks handed over to it; made to go, it is
// destroyed while it takes one, as an ending agent's window may be.
int handOvers = 0;
bool goOnHandOver = false;

INT_PTR CALLBACK OtherAgentProc(HWND window, UINT message, WPARAM, LPARAM lParam) noexcept
{
    if (message != WM_USER + 501 || lParam != WM_LBUTTONDBLCLK)
        return FALSE;
    ++handOvers;
    if (goOnHandOver)
        DestroyWindow(window);
    return TRUE;
}

HWND MakeOtherAgentWindow(bool goes)
{
    handOvers = 0;
    goOnHandOver = goes;
    HWND window = CreateWindowExW(0, L"#32770", Widen(MainTitle).c_str(), WS_POPUP, 0, 0, 100, 100, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(OtherAgentProc));
    return window;
}

HWND WaitForHowTo(const RunningAgent& agent, DWORD milliseconds = 10000)
{
    // The dialog exists hidden while its controls are made and laid out; it is ready once shown.
    HWND dialog = nullptr;
    WaitFor([&] {
        dialog = FindProcessWindow(agent.process.dwProcessId, HowToCaption);
        return dialog && IsWindowVisible(dialog);
    }, milliseconds);
    return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

}  // namespace

TEST_F(AgentTest, FirstRunPresetsTheFolderAndShowsTheHowTo)
{
    // The discovery takes only a folder that exists.
    const std::string sketchbook = scratch.path + "Sketches";
    CreateDirectoryW(Widen(sketchbook).c_str(), nullptr);
    WritePreferences("editor.font=Mono\r\nsketchbook.path=" + sketchbook + "\r\n");
    RunningAgent agent;
    ASSERT_TRUE(agent.Start(agentFolder, temp));

    HWND howTo = WaitForHowTo(agent);
    ASSERT_TRUE(howTo);
    EXPECT_FALSE(IsWindowVisible(agent.mainWindow));
    EXPECT_TRUE(agent.IconPresent());
    const std::string text = ControlText(howTo, 12300);
    EXPECT_NE(std::string::npos, text.find("v0.3"));
    EXPECT_EQ(std::string::npos, text.find("vXXX"));
    EXPECT_EQ("&OK", ControlText(howTo, 12302));
    EXPECT_FALSE(IsWindowEnabled(agent.mainWindow));   // the dialog's owner

    EXPECT_EQ("[Config]\r\ncopyhex=0\r\nhomedir=" + sketchbook + "\\\r\n", ReadFileBytes(agent.IniPath()));
    EXPECT_EQ(sketchbook, ControlText(agent.mainWindow, 998));

    SendMessageW(GetDlgItem(howTo, 12302), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(howTo); }));
    EXPECT_TRUE(IsWindowEnabled(agent.mainWindow));
    EXPECT_FALSE(IsWindowVisible(agent.mainWindow));
    ASSERT_TRUE(agent.Exit());

    // The file exists now: the next start is no first run.
    RunningAgent again;
    ASSERT_TRUE(again.Start(agentFolder, temp));
    EXPECT_FALSE(WaitForHowTo(again, 3000));
    EXPECT_EQ(sketchbook, ControlText(again.mainWindow, 998));
    EXPECT_TRUE(again.Exit());
}

// "Exit kevra+" chosen while a modal window runs its own loop ends the agent at once, and writes no
// settings: the how-to of a first run (no sketchbook found, so no file at all), or the analyzer.
TEST_F(AgentTest, ExitFromTheMenuEndsTheAgentWhileAModalWindowIsOpen)
{
    enum Modal { HowTo, Analyzer };
    const struct { const char* what; Modal modal; } cases[] = {
        { "the how-to of a first run", HowTo },
        { "the analyzer", Analyzer },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(Widen(temp + "kevra-agent.ini").c_str());
        if (c.modal == Analyzer)
            WriteIni("0", "");
        const std::string ini = ReadFileBytes(temp + "kevra-agent.ini");
        RunningAgent agent;
        ASSERT_TRUE(agent.Start(agentFolder, temp));
        if (c.modal == HowTo) {
            ASSERT_TRUE(WaitForHowTo(agent));
        } else {
            // A build to analyse; without the AVR tools its analysis is empty, but the window opens.
            const size_t starts = agent.SimulatorStarts().size();
            CreateDirectoryW(Widen(temp + "build3.tmp").c_str(), nullptr);
            WriteFileBytes(temp + "build3.tmp\\Leaving.cpp.hex", ":00000001FF\r\n");
            ASSERT_TRUE(WaitFor([&] { return agent.SimulatorStarts().size() == starts + 1; }, 15000));
            agent.Command(201);
            ASSERT_TRUE(WaitFor([&] {
                HWND analyzer = FindProcessWindow(agent.process.dwProcessId, "[kevra+ v0.3] Memory Analyzer: Leaving.hex");
                return analyzer && IsWindowVisible(analyzer);
            }, 30000));
        }
        agent.Command(204);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(agent.process.hProcess, 10000));
        EXPECT_EQ(ini, ReadFileBytes(temp + "kevra-agent.ini"));
        EXPECT_EQ(c.modal == Analyzer, GetFileAttributesW(Widen(agent.IniPath()).c_str()) != INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(agent.Exit());
    }
}

TEST_F(AgentTest, ControlsAreThoseOfTheTableAndTheCheckBoxSavesAtOnce)
{
    WriteIni("0", "D:\\Games\\");
    RunningAgent agent;
    ASSERT_TRUE(agent.Start(agentFolder, temp));

    const struct { int id; const char* cls; const char* text; DWORD style; } controls[] = {
        { 997, "Button", "Copy new .hex file to", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX },
        { 998, "Static", "D:\\Games", WS_CHILD | WS_VISIBLE | SS_PATHELLIPSIS | SS_SUNKEN | SS_NOTIFY },
        { 999, "Button", "...", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON },
        { 1002, "Button", "Run last project", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON },
        { 1001, "Button", "Memory Analyzer", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON },
        { 1003, "Button", "How to / About", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON },
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.id);
        HWND control = GetDlgItem(agent.mainWindow, c.id);
        ASSERT_TRUE(control);
        EXPECT_EQ(0, lstrcmpiA(c.cls, ClassName(control).c_str()));
        EXPECT_EQ(c.text, WindowText(control));
        // Styles of the table; the class may add bits of its own only above the low word's type bits.
        EXPECT_EQ(c.style, DWORD(GetWindowLongW(control, GWL_STYLE)) & (c.style | 0xFFFF000F));
    }
    HWND status = GetDlgItem(agent.mainWindow, 1000);
    ASSERT_TRUE(status);
    EXPECT_EQ(0, lstrcmpiA("Edit", ClassName(status).c_str()));
    const DWORD statusStyle = GetWindowLongW(status, GWL_STYLE);
    EXPECT_TRUE(statusStyle & ES_MULTILINE);
    EXPECT_FALSE(statusStyle & (WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_READONLY));

    // Tab order is creation order.
    const int order[] = { 997, 998, 999, 1000, 1002, 1001, 1003 };
    HWND child = GetWindow(agent.mainWindow, GW_CHILD);
    for (int id : order) {
        ASSERT_TRUE(child);
        EXPECT_EQ(id, GetDlgCtrlID(child));
        child = GetWindow(child, GW_HWNDNEXT);
    }

    // Where the controls lie, as relations rather than pixels: in the client area, the check box, the
    // folder label and "..." in a row above the status text, the three buttons in a row below it, left
    // to right in tab order, none over another; the status text as wide as the top row.
    RECT client{};
    GetClientRect(agent.mainWindow, &client);
    std::map<int, RECT> at;
    for (int id : order) {
        RECT r{};
        GetWindowRect(GetDlgItem(agent.mainWindow, id), &r);
        MapWindowPoints(nullptr, agent.mainWindow, reinterpret_cast<POINT*>(&r), 2);
        at[id] = r;
    }
    for (const auto& [id, r] : at) {
        SCOPED_TRACE(id);
        EXPECT_GE(r.left, client.left);
        EXPECT_GE(r.top, client.top);
        EXPECT_LE(r.right, client.right);
        EXPECT_LE(r.bottom, client.bottom);
        EXPECT_LT(r.left, r.right);
        EXPECT_LT(r.top, r.bottom);
        for (const auto& [other, o] : at) {
            RECT overlap{};
            EXPECT_TRUE(other == id || !IntersectRect(&overlap, &r, &o)) << "overlaps " << other;
        }
    }
    const RECT& text = at[1000];
    for (int id : { 997, 998, 999 }) {
        SCOPED_TRACE(id);
        EXPECT_LE(at[id].bottom, text.top);
    }
    EXPECT_LE(at[997].right, at[998].left);
    EXPECT_LE(at[998].right, at[999].left);
    EXPECT_LE(std::abs(text.left - at[997].left), 1);
    EXPECT_LE(std::abs(text.right - at[999].right), 1);
    const int buttons[] = { 1002, 1001, 1003 };
    for (int id : buttons) {
        SCOPED_TRACE(id);
        EXPECT_GE(at[id].top, text.bottom);
        EXPECT_EQ(at[1002].top, at[id].top);
        EXPECT_EQ(at[1002].bottom - at[1002].top, at[id].bottom - at[id].top);
        // One width in dialog units; in pixels each edge is rounded on its own.
        EXPECT_LE(std::abs((at[1002].right - at[1002].left) - (at[id].right - at[id].left)), 1);
    }
    EXPECT_LT(at[1002].right, at[1001].left);
    EXPECT_LT(at[1001].right, at[1003].left);

    const DWORD style = GetWindowLongW(agent.mainWindow, GWL_STYLE);
    EXPECT_EQ(DWORD(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX));

    HWND check = GetDlgItem(agent.mainWindow, 997);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(check, BM_GETCHECK, 0, 0));
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(check, BM_GETCHECK, 0, 0));
    EXPECT_EQ("[Config]\r\ncopyhex=1\r\nhomedir=D:\\Games\\\r\n", ReadFileBytes(agent.IniPath()));
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ("[Config]\r\ncopyhex=0\r\nhomedir=D:\\Games\\\r\n", ReadFileBytes(agent.IniPath()));
    EXPECT_TRUE(agent.Exit());
}

TEST_F(AgentTest, RunLastProjectAndANewBuild)
{
    WriteIni("0", "");
    RunningAgent agent;
    ASSERT_TRUE(agent.Start(agentFolder, temp));

    // No build seen yet: the simulator starts with an empty parameter text.
    SendMessageW(GetDlgItem(agent.mainWindow, 1002), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return agent.SimulatorStarts().size() == 1; }, 20000));
    EXPECT_EQ("", agent.SimulatorStarts()[0]);

    CreateDirectoryW(Widen(temp + "build7034.tmp").c_str(), nullptr);
    WriteFileBytes(temp + "build7034.tmp\\Blink.cpp.hex", ":00000001FF\r\n");
    const std::string elf = temp + "build7034.tmp\\Blink.cpp.elf";
    ASSERT_TRUE(WaitFor([&] { return agent.SimulatorStarts().size() == 2; }, 15000));
    EXPECT_EQ(elf, agent.SimulatorStarts()[1]);

    const std::string expected = "Temp folder is \"" + temp + "\"\r\n\r\n1. \"build7034.tmp\\Blink.cpp.hex\"\r\n"
                                 "Last modified 0 minute ago\r\n\r\n";
    EXPECT_TRUE(WaitFor([&] { return ControlText(agent.mainWindow, 1000) == expected; }));
    EXPECT_EQ(expected, ControlText(agent.mainWindow, 1000));

    agent.Command(202);   // the menu's "Run last project"
    ASSERT_TRUE(WaitFor([&] { return agent.SimulatorStarts().size() == 3; }));
    EXPECT_EQ(elf, agent.SimulatorStarts()[2]);
    // A later build makes the watcher poll again: that poll starts the new build alone, the first
    // one is not new any more.
    CreateDirectoryW(Widen(temp + "build7035.tmp").c_str(), nullptr);
    WriteFileBytes(temp + "build7035.tmp\\Game.cpp.hex", ":00000001FF\r\n");
    ASSERT_TRUE(WaitFor([&] { return agent.SimulatorStarts().size() >= 4; }, 15000));
    Sleep(300);
    ASSERT_EQ(4u, agent.SimulatorStarts().size());
    EXPECT_EQ(temp + "build7035.tmp\\Game.cpp.elf", agent.SimulatorStarts()[3]);
    EXPECT_TRUE(agent.Exit());
}

TEST_F(AgentTest, IconAndWindowTradePlacesAndExitLeavesTheSettingsAlone)
{
    WriteIni("1", "D:\\Games\\");
    const std::string ini = ReadFileBytes(temp + "kevra-agent.ini");
    RunningAgent agent;
    ASSERT_TRUE(agent.Start(agentFolder, temp));
    ASSERT_TRUE(WaitFor([&] { return agent.IconPresent(); }));
    EXPECT_FALSE(IsWindowVisible(agent.mainWindow));

    agent.SendTrayEvent(WM_LBUTTONDOWN);   // a single click does nothing
    agent.SendTrayEvent(WM_LBUTTONUP);
    Sleep(300);
    EXPECT_FALSE(IsWindowVisible(agent.mainWindow));

    SendMessageW(agent.mainWindow, WM_USER + 501, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(agent.mainWindow));
    EXPECT_FALSE(agent.IconPresent());

    for (WPARAM command : { SC_MINIMIZE, SC_CLOSE }) {
        SCOPED_TRACE(command);
        SendMessageW(agent.mainWindow, WM_SYSCOMMAND, command, 0);
        EXPECT_FALSE(IsWindowVisible(agent.mainWindow));
        EXPECT_FALSE(IsIconic(agent.mainWindow));
        EXPECT_TRUE(agent.IconPresent());
        SendMessageW(agent.mainWindow, WM_USER + 501, 0, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(IsWindowVisible(agent.mainWindow));
    }
    SendMessageW(agent.mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);

    // Explorer restarted: the icon is gone until the agent hears of the new taskbar.
    ASSERT_TRUE(agent.DropIcon());
    EXPECT_FALSE(agent.IconPresent());
    SendMessageW(agent.mainWindow, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(agent.IconPresent());

    EXPECT_TRUE(agent.Exit());
    EXPECT_EQ(ini, ReadFileBytes(temp + "kevra-agent.ini"));
}

TEST_F(AgentTest, ASecondStartShowsTheFirstAgentAndEnds)
{
    WriteIni("0", "");
    RunningAgent first;
    ASSERT_TRUE(first.Start(agentFolder, temp));
    ASSERT_TRUE(WaitFor([&] { return first.IconPresent(); }));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION second{};
    std::wstring commandLine = L"\"" + Widen(agentFolder + "kevra-agent.exe") + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &second));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second.hProcess, 10000));
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);

    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(first.mainWindow) != FALSE; }));
    EXPECT_FALSE(first.IconPresent());
    EXPECT_TRUE(first.Exit());
}

TEST_F(AgentTest, AStartWhileAnotherAgentEndsWaitsForItAndThenRuns)
{
    WriteIni("0", "");
    const struct { const char* how; bool release; bool window; } cases[] = {
        { "no window; the mutex released", true, false },
        { "no window; the mutex abandoned", false, false },
        { "its window destroyed as it takes the hand-over", true, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        AgentMutexHolder other(c.release);
        ASSERT_TRUE(other.Owned());
        HWND otherWindow = c.window ? MakeOtherAgentWindow(true) : nullptr;
        RunningAgent agent;
        ASSERT_TRUE(agent.Launch(agentFolder, temp));
        if (c.window) {
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(otherWindow); }));
            EXPECT_EQ(1, handOvers);
        }

        // It waits for the other agent: no window of its own, and still running.
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(agent.process.hProcess, 2500));
        EXPECT_FALSE(FindProcessWindow(agent.process.dwProcessId, MainTitle));

        other.LetGo();
        ASSERT_TRUE(agent.WaitUntilReady());
        EXPECT_TRUE(agent.IconPresent());
        EXPECT_TRUE(agent.Exit());
    }
}

TEST_F(AgentTest, AStartLooksAgainForTheOtherAgentsWindowAndHandsOver)
{
    WriteIni("0", "");
    // The other agent's window comes while this start waits (it was starting), or is there but does
    // not answer at first (it was busy).
    for (bool late : { true, false }) {
        SCOPED_TRACE(late ? "window comes late" : "window answers late");
        AgentMutexHolder other(true);
        ASSERT_TRUE(other.Owned());
        HWND otherWindow = late ? nullptr : MakeOtherAgentWindow(false);
        RunningAgent agent;
        ASSERT_TRUE(agent.Launch(agentFolder, temp));
        // Neither pumping messages nor having a window: this start can hand over to nobody yet.
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(agent.process.hProcess, 3000));
        if (late)
            otherWindow = MakeOtherAgentWindow(false);

        // The double click reaches the window and the start ends.
        EXPECT_TRUE(WaitFor([&] {
            return handOvers >= 1 && WaitForSingleObject(agent.process.hProcess, 0) == WAIT_OBJECT_0;
        }));
        DWORD exitCode = 1;
        GetExitCodeProcess(agent.process.hProcess, &exitCode);
        EXPECT_EQ(0u, exitCode);
        DestroyWindow(otherWindow);
    }
}
