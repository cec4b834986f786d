#include "analyzer/AnalysisRun.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "analyzer/ElfImage.h"
#include "analyzer/ToolFolders.h"
#include "base/BuildOptions.h"
#include "base/Text.h"
#include "base/Win32.h"
#include "ui/Window.h"

static_assert(KeptReportByteLimit == ReportByteLimit, "a kept copy's record holds its reports as the analysis reads them");

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

// How one tool run ended: its interpreter ended by itself, it was ended for taking too long (or could
// not be started), or a WM_QUIT came while it ran.
enum class RunEnd { Done, Ended, Quit };

// Runs the interpreter in folder with the report file as its standard output and waits until
// deadline (GetTickCount64) while the thread's messages are served; then ends it and every process
// it started (the job), so a tool that never ends cannot hold the agent. A WM_QUIT ends them at once.
// A report that cannot be opened for writing or a start that failed gives nothing to wait for.
RunEnd RunAndWait(const std::string& interpreter, const std::string& parameters, const std::wstring& environment,
                  const std::string& folder, const std::string& reportPath, ULONGLONG deadline)
{
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job = UniqueHandle{};
    // The interpreter's redirection would do the same: the report emptied, then written by the tool.
    SECURITY_ATTRIBUTES inherited{ sizeof inherited, nullptr, TRUE };
    UniqueHandle report(CreateFileW(Widen(reportPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!report)
        return RunEnd::Ended;
    UniqueHandle process(StartHiddenProcess(interpreter, parameters, environment, job.get(), folder, report.get()));
    report = UniqueHandle{};   // the interpreter holds its own copy
    if (!process)
        return RunEnd::Ended;
    const ULONGLONG now = GetTickCount64();
    const WaitEnd waited = WaitServingMessages(process.get(), now >= deadline ? 0 : DWORD(deadline - now));
    if (waited == WaitEnd::Signalled)
        return RunEnd::Done;   // closing the job ends whatever the interpreter left running
    if (job)
        TerminateJobObject(job.get(), ERROR_TIMEOUT);
    TerminateProcess(process.get(), ERROR_TIMEOUT);   // also when it could not join the job
    if (waited == WaitEnd::Quit)
        return RunEnd::Quit;
    // Ending is asynchronous: wait a little so that the reports are closed before they are read.
    return WaitServingMessages(process.get(), 5000) == WaitEnd::Quit ? RunEnd::Quit : RunEnd::Ended;
}

// The .elf's file name as the ANSI tools can open it from the build's folder and the interpreter
// reads it as nothing but a name: the name itself when it fits the ANSI code page and the command
// line, else its short (8.3) form when that does; nullopt when neither does, since the tool would
// get a best-fit copy of the name, which names another file or none.
std::optional<std::string> ToolElfName(const std::string& elfPath)
{
    const auto usable = [](const std::string& name) -> std::optional<std::string> {
        if (name.empty() || !FitsCommandLine(name) || !AnsiText(name))
            return std::nullopt;
        return name;
    };
    if (std::optional<std::string> name = usable(elfPath.substr(elfPath.rfind('\\') + 1)))
        return name;
    const std::string shortPath = ShortPathOf(elfPath);
    return shortPath.empty() ? std::nullopt : usable(shortPath.substr(shortPath.rfind('\\') + 1));
}


}  // namespace

HANDLE StartHiddenProcess(const std::string& program, const std::string& parameters, const std::wstring& environment,
                          HANDLE job, const std::string& folder, HANDLE output)
{
    const std::optional<std::string> commandLine = InterpreterCommandLine(program, parameters);
    if (!commandLine)
        return nullptr;
    const std::wstring application = Widen(program);
    const std::wstring currentFolder = Widen(folder);
    std::wstring line = Widen(*commandLine);
    std::wstring block = environment;
    // The report is the one handle handed on: nothing else of the agent's reaches the tools.
    SIZE_T listBytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listBytes);
    std::vector<unsigned char> list(listBytes);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &listBytes))
        return nullptr;
    HANDLE handedOn[] = { output };
    const bool listed = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handedOn,
                                                  sizeof handedOn, nullptr, nullptr) != FALSE;
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdOutput = output;
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION started{};
    const BOOL made = listed && CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                                               CREATE_SUSPENDED | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT |
                                                   EXTENDED_STARTUPINFO_PRESENT,
                                               block.empty() ? nullptr : block.data(),
                                               currentFolder.empty() ? nullptr : currentFolder.c_str(),
                                               &startup.StartupInfo, &started);
    DeleteProcThreadAttributeList(attributes);
    if (!made)
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
    const std::wstring folder = toolFolder.find(';') == std::string::npos ? Widen(toolFolder)
                                                                           : L"\"" + Widen(toolFolder) + L"\"";
    std::wstring block;
    bool pathSeen = false;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; entry && *entry; entry += wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        if (IsVariable(text, NoCurrentFolderSearch))
            continue;
        if (IsVariable(text, L"PATH") && !folder.empty()) {
            pathSeen = true;
            const size_t equals = text.find(L'=', 1);
            block.append(text.substr(0, equals + 1)).append(folder);
            if (text.size() > equals + 1)
                block.append(L";").append(text.substr(equals + 1));
        } else {
            block.append(text);
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

namespace {

// The reports of one run of both tools, and whether both tools ran to their end and their reports
// were read whole: only such a run may stand for a build's analysis later.
struct ToolRun {
    KeptReports reports;
    bool whole = false;
    bool quit = false;
};

// A report as the tools left it: its first ReportByteLimit bytes.
std::string ReadReport(const std::string& path, bool& cut)
{
    FileStart start = ReadFileStart(path, ReportByteLimit);
    cut = cut || start.cut;
    return std::move(start.bytes);
}

ToolRun RunTools(const std::string& elfPath, DWORD runLimit)
{
    const ULONGLONG deadline = GetTickCount64() + runLimit;
    const std::string interpreter = EnvironmentText(L"COMSPEC");
    const std::string buildFolder = ParentFolder(elfPath);
    const std::optional<std::string> toolElf = ToolElfName(elfPath);
    // Without an interpreter nothing runs, and the reports are read as they stand.
    const bool canRun = InterpreterCommandLine(interpreter, "").has_value() && !buildFolder.empty();
    // Looked up afresh for each analysis: the IDE may install its tools while the agent runs.
    const AvrToolFolders tools = canRun ? FindAvrTools() : AvrToolFolders{};
    struct Run {
        const char* tool;
        const std::string& folder;
        std::optional<std::string> parameters;
        std::string reportPath;
        std::string& report;
    };
    ToolRun result;
    const Run runs[] = {
        { "avr-size", tools.size, toolElf ? SizeRunParameters(*toolElf) : std::nullopt, elfPath + ".size", result.reports.size },
        { "avr-nm", tools.nm, toolElf ? SymbolRunParameters(*toolElf) : std::nullopt, elfPath + ".map", result.reports.symbols },
    };
    bool cut = false, ended = !canRun;
    for (const Run& run : runs) {
        if (canRun) {
            // A tool that is not found, a name that cannot stand on the line, or a file in the build's
            // folder that the interpreter would run in the tool's place: no run, and no earlier
            // report shown as if it were this build's.
            // The tool's own folder holds the checked .exe first.
            const bool toolsFolder = SameIgnoringCase(WithOneTrailingBackslash(run.folder), buildFolder);
            if (run.folder.empty() || !run.parameters || (!toolsFolder && FolderHoldsCommand(buildFolder, run.tool)) ||
                GetTickCount64() >= deadline) {   // the analysis's time is spent: the other tool is not started
                ended = true;
                continue;
            }
            const RunEnd end = RunAndWait(interpreter, *run.parameters, InterpreterEnvironment(run.folder), buildFolder,
                                          run.reportPath, deadline);
            if (end == RunEnd::Quit) {
                result.quit = true;
                return result;
            }
            ended = ended || end == RunEnd::Ended;
        }
        run.report = ReadReport(run.reportPath, cut);
    }
    result.whole = !ended && !cut;
    return result;
}

}  // namespace

AnalysisResult AnalyzeBuild(const std::string& elfPath, DWORD runLimit)
{
    const ToolRun run = RunTools(elfPath, runLimit);
    if (run.quit)
        return ParsedAnalysis(elfPath, {}, {});
    AnalysisResult result = ParsedAnalysis(elfPath, run.reports.size, run.reports.symbols);
    if (std::optional<PlainFile> elf = ReadPlainFile(elfPath, ElfByteLimit)) {
        result.build.elfBytes = std::move(elf->bytes);
        result.build.elfWriteTime = elf->writeTime;
    }
    if (std::optional<PlainFile> options = ReadPlainFile(ParentFolder(elfPath) + "build.options.json", BuildOptionsByteLimit))
        result.build.buildOptions = std::move(options->bytes);
    return result;
}

AnalysisResult AnalyzeKeptBuild(const KeptCopy& copy, DWORD runLimit)
{
    if (const std::optional<KeptReports> kept = ReadKeptReports(copy))
        return ParsedAnalysis(copy.path, kept->size, kept->symbols);
    const ToolRun run = RunTools(copy.path, runLimit);
    if (run.whole && !run.reports.symbols.empty())
        RecordKeptReports(copy, run.reports);
    return ParsedAnalysis(copy.path, run.reports.size, run.reports.symbols);
}
