// tests/wine/e2e/AgentDriver.h: starts the real kevra-agent.exe in a fixture folder and drives it
// from outside, the way the shell and a user do: window messages to its main window, button clicks,
// control texts read across the process boundary.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Fixture.h"

// A Unix path of the build tree as Wine sees it: on drive Z:.
std::string FromUnixPath(const std::string& path);

// Polls until the condition holds or the time runs out; returns the last answer.
bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 10000);

// A top-level window of the process with this caption (exact) and class; null when none.
HWND FindProcessWindow(DWORD processId, const std::string& caption, const wchar_t* className = L"#32770");

std::string WindowText(HWND window);
std::string ControlText(HWND parent, int id);
std::string ClassName(HWND window);

// The agent copied into a folder of its own with the recording fake simulator beside it, started
// with TEMP pointing at a fixture folder.
struct RunningAgent {
    std::string folder;        // where kevra-agent.exe and kevra.exe lie, ending with a backslash
    std::string temp;          // the agent's TEMP, ending with a backslash
    PROCESS_INFORMATION process{};
    HWND mainWindow = nullptr;

    // Starts the agent and waits until its main window (hidden) takes commands. False when it did not.
    bool Start(const std::string& agentFolder, const std::string& tempFolder);
    // The two halves of Start: the process only, then the wait for its window and icon.
    bool Launch(const std::string& agentFolder, const std::string& tempFolder);
    bool WaitUntilReady(DWORD milliseconds = 10000);
    // Posts "Exit kevra+" and waits for the process to end; kills it when it does not.
    bool Exit();
    ~RunningAgent();

    std::string IniPath() const { return temp + "kevra-agent.ini"; }
    // The parameter texts the fake simulator was started with, one per start, in order.
    std::vector<std::string> SimulatorStarts() const;
    // True when the shell holds the agent's notification icon.
    bool IconPresent() const;
    // Takes the icon away as a restarting Explorer would; true when the shell held it.
    bool DropIcon() const;
    void SendTrayEvent(UINT mouseMessage) const;
    void Command(int id) const;
};

// The agents' single-instance mutex, held as a running agent holds it, by a thread of this process,
// until LetGo: released then, or abandoned by the thread's end.
class AgentMutexHolder {
public:
    explicit AgentMutexHolder(bool release);
    ~AgentMutexHolder();
    bool Owned() const { return owned; }
    void LetGo();

private:
    static DWORD WINAPI Hold(LPVOID self) noexcept;
    bool release;
    bool owned = false;
    UniqueHandle taken{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle letGo{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle thread;
};

// A folder with the agent and the fake simulator copied in; the caller removes it.
std::string PrepareAgentFolder(const std::string& scratch);
