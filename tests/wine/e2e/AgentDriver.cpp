#include "AgentDriver.h"

#include <psapi.h>
#include <shellapi.h>

#include "FakeSimulatorLog.h"

#ifndef KEVRA_AGENT_EXE
#error "KEVRA_AGENT_EXE names the agent under test"
#endif
#ifndef KEVRA_FAKE_SIMULATOR_EXE
#error "KEVRA_FAKE_SIMULATOR_EXE names the recording fake simulator"
#endif

namespace {

constexpr UINT TrayCallbackMessage = WM_USER + 501;

struct WindowSearch {
    DWORD processId;
    std::wstring caption;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search.processId)
        return TRUE;
    wchar_t text[512] = {};
    wchar_t cls[64] = {};
    GetWindowTextW(window, text, 512);
    GetClassNameW(window, cls, 64);
    if (search.caption == text && (!search.className || lstrcmpW(cls, search.className) == 0)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// This process's environment with TEMP and the fake simulator's log replaced; the agent passes the
// log's name on to the simulators it starts.
std::string Environment(const std::string& temp, const std::string& simulatorLog)
{
    std::wstring block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* p = current; *p; p += wcslen(p) + 1) {
        if (_wcsnicmp(p, L"TEMP=", 5) != 0 && _wcsnicmp(p, L"KEVRA_FAKE_SIMULATOR_LOG=", 25) != 0)
            block.append(p).push_back(L'\0');
    }
    FreeEnvironmentStringsW(current);
    block.append(L"TEMP=" + Widen(temp)).push_back(L'\0');
    block.append(L"KEVRA_FAKE_SIMULATOR_LOG=" + Widen(simulatorLog)).push_back(L'\0');
    block.push_back(L'\0');
    return std::string(reinterpret_cast<const char*>(block.data()), block.size() * sizeof(wchar_t));
}

}  // namespace

std::string FromUnixPath(const std::string& path)
{
    std::string out = "Z:";
    for (char c : path)
        out += c == '/' ? '\\' : c;
    return out;
}

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(50);
    }
}

HWND FindProcessWindow(DWORD processId, const std::string& caption, const wchar_t* className)
{
    WindowSearch search{ processId, Widen(caption), className, nullptr };
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window)
{
    const LRESULT n = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(size_t(n) + 1, L'\0');
    text.resize(SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return Narrow(text);
}

std::string ControlText(HWND parent, int id)
{
    return WindowText(GetDlgItem(parent, id));
}

std::string ClassName(HWND window)
{
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    return Narrow(cls);
}

std::string PrepareAgentFolder(const std::string& scratch)
{
    const std::string folder = scratch + "agent folder\\";
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    CopyFileW(Widen(FromUnixPath(KEVRA_AGENT_EXE)).c_str(), Widen(folder + "kevra-agent.exe").c_str(), FALSE);
    CopyFileW(Widen(FromUnixPath(KEVRA_FAKE_SIMULATOR_EXE)).c_str(), Widen(folder + "kevra.exe").c_str(), FALSE);
    return folder;
}

bool RunningAgent::Start(const std::string& agentFolder, const std::string& tempFolder)
{
    return Launch(agentFolder, tempFolder) && WaitUntilReady();
}

bool RunningAgent::Launch(const std::string& agentFolder, const std::string& tempFolder)
{
    folder = agentFolder;
    temp = tempFolder;
    std::wstring commandLine = L"\"" + Widen(folder + "kevra-agent.exe") + L"\"";
    const std::string environment = Environment(temp, folder + "kevra-calls.txt");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          const_cast<char*>(environment.data()), Widen(folder).c_str(), &startup, &process);
}

bool RunningAgent::WaitUntilReady(DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    auto left = [&] { return DWORD(end > GetTickCount64() ? end - GetTickCount64() : 0); };
    WaitFor([&] {
        mainWindow = FindProcessWindow(process.dwProcessId, "[kevra+ v0.3] Arduino compiler monitoring agent");
        return mainWindow != nullptr;
    }, left());
    if (!mainWindow)
        return false;
    // The window has its caption before its controls exist and before its handler runs: a click
    // sent that early is lost. The icon is added by the handler's first message, so once the shell
    // holds it the window takes commands.
    return WaitFor([&] { return IconPresent(); }, left());
}

bool RunningAgent::Exit()
{
    if (!process.hProcess)
        return true;
    PostMessageW(mainWindow, WM_COMMAND, 204, 0);
    const bool ended = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};
    return ended;
}

RunningAgent::~RunningAgent()
{
    if (process.hProcess) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

AgentMutexHolder::AgentMutexHolder(bool release) : release(release)
{
    thread = UniqueHandle(CreateThread(nullptr, 0, Hold, this, 0, nullptr));
    WaitForSingleObject(taken.get(), 10000);
}

AgentMutexHolder::~AgentMutexHolder()
{
    LetGo();
}

void AgentMutexHolder::LetGo()
{
    SetEvent(letGo.get());
    WaitForSingleObject(thread.get(), 10000);
}

DWORD WINAPI AgentMutexHolder::Hold(LPVOID self) noexcept
{
    auto& holder = *static_cast<AgentMutexHolder*>(self);
    UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\kevra-agent.single-instance"));
    const DWORD wait = WaitForSingleObject(mutex.get(), 10000);
    holder.owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    SetEvent(holder.taken.get());
    WaitForSingleObject(holder.letGo.get(), INFINITE);
    if (holder.owned && holder.release)
        ReleaseMutex(mutex.get());
    return 0;   // a mutex still owned is abandoned as the thread ends
}

std::vector<std::string> RunningAgent::SimulatorStarts() const
{
    return LogLines(folder + "kevra-calls.txt");
}

namespace {
// The shell names the agent's icon by its window and the agent's module handle.
NOTIFYICONDATAW IconName(const RunningAgent& agent)
{
    HMODULE module = nullptr;
    DWORD needed = 0;
    EnumProcessModules(agent.process.hProcess, &module, sizeof module, &needed);
    NOTIFYICONDATAW name{};
    name.cbSize = sizeof name;
    name.hWnd = agent.mainWindow;
    name.uID = static_cast<UINT>(reinterpret_cast<uintptr_t>(module));
    return name;
}
}  // namespace

bool RunningAgent::IconPresent() const
{
    // The shell answers a change of an icon it does not hold with a failure: a probe that changes nothing.
    NOTIFYICONDATAW probe = IconName(*this);
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

bool RunningAgent::DropIcon() const
{
    NOTIFYICONDATAW name = IconName(*this);
    return Shell_NotifyIconW(NIM_DELETE, &name) != FALSE;
}

void RunningAgent::SendTrayEvent(UINT mouseMessage) const
{
    PostMessageW(mainWindow, TrayCallbackMessage, 0, mouseMessage);
}

void RunningAgent::Command(int id) const
{
    PostMessageW(mainWindow, WM_COMMAND, id, 0);
}
