#include "analyzer/AnalysisRun.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "analyzer/ToolFolders.h"
#include "base/Win32.h"

namespace {

constexpr std::wstring_view NoCurrentFolderSearch = L"NoDefaultCurrentDirectoryInExePath";

// True when the environment entry "NAME=value" is the variable name, in any case. An entry may
// start with '=' (the interpreter's per-drive current folders): its name runs to the next '='.
bool IsVariable(std::wstring_view entry, std::wstring_view name)
{
    const size_t equals = entry.find(L'=', 1);
    return equals == name.size() &&
           CompareStringOrdinal(entry.data(), int(equals), name.data(), int(name.size()), TRUE) == CSTR_EQUAL;
}

// Runs the interpreter and waits at most limit milliseconds; then ends it and every process it
// started (the job), so a tool that never ends cannot hold the agent. A start that failed gives
// nothing to wait for, and the run goes on.
void RunAndWait(const std::string& interpreter, const std::string& parameters, const std::wstring& environment,
                DWORD limit)
{
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job = UniqueHandle{};
    UniqueHandle process(StartHiddenProcess(interpreter, parameters, environment, job.get()));
    if (!process)
        return;
    if (WaitForSingleObject(process.get(), limit) == WAIT_OBJECT_0)
        return;   // closing the job ends whatever the interpreter left running
    if (job)
        TerminateJobObject(job.get(), ERROR_TIMEOUT);
    TerminateProcess(process.get(), ERROR_TIMEOUT);   // also when it could not join the job
    // Ending is asynchronous: wait a little so that the reports are closed before they are read.
    WaitForSingleObject(process.get(), 5000);
}

// A report as it stands when opened, at most ReportByteLimit bytes of it; "" when it is missing.
// Read only: a missing report is not created, and a reader that allows no writing still lets us in.
std::string ReadReport(const std::string& path)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0)
        return {};
    std::string bytes(size_t(std::min<uint64_t>(uint64_t(size.QuadPart), ReportByteLimit)), '\0');
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

HANDLE StartHiddenProcess(const std::string& program, const std::string& parameters, const std::wstring& environment,
                          HANDLE job)
{
    const std::optional<std::string> commandLine = InterpreterCommandLine(program, parameters);
    if (!commandLine)
        return nullptr;
    const std::wstring application = Widen(program);
    std::wstring line = Widen(*commandLine);
    std::wstring block = environment;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                        block.empty() ? nullptr : block.data(), nullptr, &startup, &started))
        return nullptr;
    UniqueHandle thread(started.hThread);
    // Without the job (the agent's own job may forbid it) the run is still made; a run that takes
    // too long then ends the interpreter alone.
    if (job)
        AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(thread.get());
    return started.hProcess;
}

std::wstring InterpreterEnvironment(const std::string& toolFolder)
{
    const std::wstring folder = Widen(toolFolder);
    std::wstring block;
    bool pathSeen = false;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; entry && *entry; entry += wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        if (IsVariable(text, NoCurrentFolderSearch))
            continue;
        block.append(text);
        if (IsVariable(text, L"PATH") && !folder.empty()) {
            pathSeen = true;
            if (text.back() != L';' && text.back() != L'=')
                block += L';';
            block += folder;
        }
        block += L'\0';
    }
    if (current)
        FreeEnvironmentStringsW(current);
    if (!pathSeen && !folder.empty())
        block.append(L"PATH=").append(folder) += L'\0';
    block.append(NoCurrentFolderSearch).append(L"=1") += L'\0';
    block += L'\0';
    return block;
}

AnalysisResult AnalyzeBuild(const std::string& elfPath, DWORD runLimit)
{
    // The ANSI tools get a form of the path they can open; a best-fit copy would name another file.
    const std::optional<std::string> toolElf = AnsiFittingPath(elfPath);
    const std::optional<std::string> sizeRun = toolElf ? SizeRunParameters(*toolElf, elfPath) : std::nullopt;
    const std::optional<std::string> symbolRun = toolElf ? SymbolRunParameters(*toolElf, elfPath) : std::nullopt;
    // Such a path never reaches the interpreter: the result is empty, as when the tools are missing.
    if (!sizeRun || !symbolRun)
        return ParsedAnalysis(elfPath, {}, {});
    const std::string interpreter = EnvironmentText(L"COMSPEC");
    // Looked up afresh for each analysis: the IDE may install its tools while the agent runs.
    const std::wstring environment = InterpreterEnvironment(AvrToolFolderForInterpreter());
    RunAndWait(interpreter, *sizeRun, environment, runLimit);
    const std::string sizeReport = ReadReport(elfPath + ".size");
    RunAndWait(interpreter, *symbolRun, environment, runLimit);
    return ParsedAnalysis(elfPath, sizeReport, ReadReport(elfPath + ".map"));
}
