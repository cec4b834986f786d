// A stand-in for the console simulator kevra.exe: appends its parameter text, as it received it, and
// CR LF to the file named by KEVRA_FAKE_SIMULATOR_LOG, then ends. Tests count and compare the lines.
// When KEVRA_FAKE_SIMULATOR_PROBE names a path, the line gets a tab and "present" or "absent" after
// the parameters, as that path stood when the simulator started. When KEVRA_FAKE_SIMULATOR_CLOCK is
// set, a tab and the moment it started, then a tab and the moment the system made its process (the
// starting program's request; Wine takes far longer than Windows from there to the first
// instruction), each as a decimal file time, come last.
#include <windows.h>

#include <string>

#include "base/Win32.h"

namespace {

// The command line after the program's own name and the blanks that follow it.
std::wstring ParameterText(std::wstring_view line)
{
    size_t i = 0;
    if (!line.empty() && line[0] == L'"') {
        const size_t close = line.find(L'"', 1);
        i = close == std::wstring_view::npos ? line.size() : close + 1;
    } else {
        while (i < line.size() && line[i] != L' ' && line[i] != L'\t')
            ++i;
    }
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t'))
        ++i;
    return std::wstring(line.substr(i));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t log[MAX_PATH * 4];
    if (!GetEnvironmentVariableW(L"KEVRA_FAKE_SIMULATOR_LOG", log, MAX_PATH * 4))
        return 2;
    FILETIME started;
    GetSystemTimePreciseAsFileTime(&started);
    std::string line = Narrow(ParameterText(GetCommandLineW()));
    wchar_t probe[MAX_PATH * 4];
    if (GetEnvironmentVariableW(L"KEVRA_FAKE_SIMULATOR_PROBE", probe, MAX_PATH * 4))
        line += GetFileAttributesW(probe) != INVALID_FILE_ATTRIBUTES ? "\tpresent" : "\tabsent";
    if (GetEnvironmentVariableW(L"KEVRA_FAKE_SIMULATOR_CLOCK", nullptr, 0)) {
        FILETIME created{}, exited, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        line += "\t" + std::to_string((uint64_t{started.dwHighDateTime} << 32) | started.dwLowDateTime) + "\t" +
                std::to_string((uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime);
    }
    line += "\r\n";
    // Several simulators may start at once: retry while another one holds the file.
    for (int attempt = 0; attempt < 500; ++attempt) {
        UniqueHandle file(CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            WriteFile(file.get(), line.data(), DWORD(line.size()), &written, nullptr);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}
