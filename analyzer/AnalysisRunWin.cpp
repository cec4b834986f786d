#include "analyzer/AnalysisRun.h"

#include <shellapi.h>

#include <algorithm>

#include "analyzer/AnalyzerWindow.h"
#include "core/SharedValues.h"
#include "core/Win32.h"

namespace {

void RunAndWait(const std::string& interpreter, const std::string& parameters)
{
    // A start that failed gives no handle: nothing to wait for, and the run goes on.
    UniqueHandle process(ShellStartProcess(interpreter, parameters, SW_HIDE));
    if (process)
        WaitForSingleObject(process.get(), INFINITE);
}

// The whole file as it stands when opened; a missing file is created empty, as the tools' own
// redirection would leave it.
std::string ReadReport(const std::string& path)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size))
        return {};
    std::string bytes(size_t(size.QuadPart), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        DWORD n = 0;
        if (!ReadFile(file.get(), bytes.data() + got, DWORD(std::min<size_t>(bytes.size() - got, 1 << 20)), &n, nullptr) ||
            n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace

HANDLE ShellStartProcess(const std::string& program, const std::string& parameters, int showState)
{
    const std::wstring file = Widen(program);
    const std::wstring arguments = Widen(parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = file.c_str();
    info.lpParameters = arguments.c_str();
    info.nShow = showState;
    return ShellExecuteExW(&info) ? info.hProcess : nullptr;
}

void AnalyzeBuild(const std::string& elfPath)
{
    const std::string interpreter = EnvironmentText(L"COMSPEC");
    AnalyzedElfPath = elfPath;
    RunAndWait(interpreter, SizeRunParameters(elfPath));
    SizeReport = ReadReport(elfPath + ".size");
    RunAndWait(interpreter, SymbolRunParameters(elfPath));
    SymbolLines = CutSymbolLines(ReadReport(elfPath + ".map"));
}

void RunMemoryAnalysis(HWND mainWindow, int commandId)
{
    // The menu's command id names no control, so for it nothing is disabled.
    const HWND command = GetDlgItem(mainWindow, commandId);
    EnableWindow(command, FALSE);
    // One copy for both runs and both files: a build landing meanwhile cannot mix two builds.
    AnalyzeBuild(ReadLastElfPath());
    ShowAnalyzerWindow(mainWindow);
    EnableWindow(command, TRUE);
}
