#include "FakeSimulatorLog.h"

#include <windows.h>

#include <tlhelp32.h>

#include "Fixture.h"

void UseSimulatorLog(const std::string& logPath, const std::string& probePath)
{
    SetEnvironmentVariableW(L"KEVRA_FAKE_SIMULATOR_LOG", Widen(logPath).c_str());
    SetEnvironmentVariableW(L"KEVRA_FAKE_SIMULATOR_PROBE", probePath.empty() ? nullptr : Widen(probePath).c_str());
}

void WaitForSimulators()
{
    const DWORD self = GetCurrentProcessId();
    const DWORD deadline = GetTickCount() + 20000;
    for (bool running = true; running && GetTickCount() < deadline;) {
        running = false;
        UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W p{};
        p.dwSize = sizeof p;
        for (BOOL more = Process32FirstW(snapshot.get(), &p); more; more = Process32NextW(snapshot.get(), &p)) {
            if (p.th32ParentProcessID != self || lstrcmpiW(p.szExeFile, L"kevra.exe") != 0)
                continue;
            UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, p.th32ProcessID));
            if (process) {
                running = true;
                WaitForSingleObject(process.get(), 1000);
            }
        }
    }
}

std::vector<std::string> LogLines(const std::string& logPath)
{
    const std::string text = ReadFileBytes(logPath);
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(text.substr(from, end - from));
    return lines;
}
