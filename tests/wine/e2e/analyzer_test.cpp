#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "AgentDriver.h"
#include "AnalyzerDriver.h"

namespace {

constexpr int IdStatusText = 1000;
constexpr int IdMemoryAnalyzer = 1001;
constexpr int IdCopyHex = 997;
constexpr int MenuMemoryAnalyzer = 201;
constexpr int IdSymbolList = 1000;
constexpr int IdFlashLine = 1001;
constexpr int IdExportCsv = 1002;
constexpr int IdSramLine = 1003;

// The fixture's symbols as the Linux avr-nm printed them.
std::vector<ReportSymbol> FixtureSymbols()
{
    return ReportSymbols(ReadFileBytes(FromUnixPath(KEVRA_ROAD_NM)));
}

using Rows = std::vector<std::vector<std::string>>;


// PATH without the AVR tool shims that WINEPATH put there, with folder in front when given.
std::wstring PathWithout(const std::string& shims, const std::string& folder = {})
{
    std::wstring path(32768, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), DWORD(path.size())));
    std::wstring kept = folder.empty() ? L"" : Widen(folder) + L";";
    size_t from = 0;
    for (size_t end = 0; end != std::wstring::npos; from = end + 1) {
        end = path.find(L';', from);
        const std::wstring part = path.substr(from, end == std::wstring::npos ? std::wstring::npos : end - from);
        if (!part.empty() && lstrcmpiW(part.c_str(), Widen(shims).c_str()) != 0)
            kept += part + L";";
    }
    return kept;
}

// The captions of the visible top-level windows of a process: where a report would show.
std::vector<std::string> VisibleWindows(DWORD processId)
{
    struct Search { DWORD id; std::vector<std::string> captions; } search{ processId, {} };
    EnumWindows([](HWND window, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        if (id == s.id && IsWindowVisible(window))
            s.captions.push_back(WindowText(window));
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.captions;
}

bool Answers(const RunningAgent& agent)
{
    DWORD_PTR result = 0;
    return WaitForSingleObject(agent.process.hProcess, 0) == WAIT_TIMEOUT &&
           SendMessageTimeoutW(agent.mainWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

struct AnalyzerRoad : ::testing::Test {
    ScratchFolder scratch{ "e2e analyzer" };
    std::string agentFolder = PrepareAgentFolder(scratch.path);
    std::string temp = scratch.path + "temp\\";
    RunningAgent agent;
    std::vector<DWORD> explorers;

    void SetUp() override { CreateDirectoryW(Widen(temp).c_str(), nullptr); }
    void TearDown() override
    {
        EndProcesses(ChildProcesses(agent.process.dwProcessId, L"explorer.exe"));
        if (agent.process.hProcess) {
            EXPECT_TRUE(Answers(agent));
            EXPECT_TRUE(agent.Exit());
        }
    }

    void WriteIni(const std::string& copyhex, const std::string& homedir)
    {
        WriteFileBytes(temp + "kevra-agent.ini",
                       "[Config]\r\ncopyhex=" + copyhex + "\r\nhomedir=" + homedir + "\r\n");
    }
    void Start()
    {
        if (GetFileAttributesW(Widen(temp + "kevra-agent.ini").c_str()) == INVALID_FILE_ATTRIBUTES)
            WriteIni("0", scratch.path);   // not a first run: no how-to in the way
        ASSERT_TRUE(agent.Start(agentFolder, temp));
    }

    // A build as the IDE leaves it: the .elf, then the .hex. Returns the .elf's path.
    std::string AddBuild(const std::string& folder, const std::string& name)
    {
        const std::string build = temp + folder + "\\";
        CreateDirectoryW(Widen(build).c_str(), nullptr);
        const std::string elf = build + name + ".cpp.elf";
        CopyFileW(Widen(FromUnixPath(KEVRA_ROAD_ELF)).c_str(), Widen(elf).c_str(), FALSE);
        WriteFileBytes(build + name + ".cpp.hex", ":00000001FF\r\n");
        return elf;
    }
    bool SimulatorStartedWith(const std::string& elf, DWORD milliseconds = 15000)
    {
        return WaitFor([&] {
            const std::vector<std::string> starts = agent.SimulatorStarts();
            return std::find(starts.begin(), starts.end(), elf) != starts.end();
        }, milliseconds);
    }

    // Runs the command and returns the analyzer window once it shows.
    HWND OpenAnalyzer(int commandId, const std::string& buildName)
    {
        HWND button = GetDlgItem(agent.mainWindow, IdMemoryAnalyzer);
        // Posted, not sent: the command runs until the window closes.
        if (commandId == IdMemoryAnalyzer)
            PostMessageW(agent.mainWindow, WM_COMMAND, MAKEWPARAM(IdMemoryAnalyzer, BN_CLICKED), LPARAM(button));
        else
            agent.Command(commandId);
        const std::string caption = "[kevra+ v0.3] Memory Analyzer: " + buildName + ".hex";
        HWND window = nullptr;
        WaitFor([&] {
            window = FindProcessWindow(agent.process.dwProcessId, caption);
            return window && IsWindowVisible(window);
        }, 30000);
        return window && IsWindowVisible(window) ? window : nullptr;
    }
    static bool CloseAnalyzer(HWND window, bool byCaption)
    {
        if (byCaption)
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(window, IDOK)));
        return WaitFor([&] { return !IsWindow(window); });
    }

    // Exports through the save dialog to path; true once the dialog has gone.
    bool Export(HWND analyzer, const std::string& path)
    {
        PostMessageW(analyzer, WM_COMMAND, MAKEWPARAM(IdExportCsv, BN_CLICKED), LPARAM(GetDlgItem(analyzer, IdExportCsv)));
        HWND dialog = nullptr;
        WaitFor([&] { return (dialog = FindOwnedWindow(analyzer)) != nullptr; });
        return dialog && SaveDialogAs(dialog, path);
    }
};

}  // namespace

TEST_F(AnalyzerRoad, OneBuildFromTheCompileToTheExportedCsv)
{
    const std::string copies = scratch.path + "hex copies\\";
    CreateDirectoryW(Widen(copies).c_str(), nullptr);
    WriteIni("1", copies);
    Start();

    // Steps 1-5: the build is seen, copied, simulated and listed.
    const std::string elf = AddBuild("build7034.tmp", "RoadFixture");
    ASSERT_TRUE(SimulatorStartedWith(elf));
    EXPECT_EQ(":00000001FF\r\n", ReadFileBytes(copies + "RoadFixture.HEX"));
    EXPECT_TRUE(WaitFor([&] { return ControlText(agent.mainWindow, IdStatusText).find("Last modified ") != std::string::npos; }));
    EXPECT_NE(std::string::npos, ControlText(agent.mainWindow, IdStatusText).find("RoadFixture.cpp.hex"));

    // Step 6: the analysis from the button.
    HWND analyzer = OpenAnalyzer(IdMemoryAnalyzer, "RoadFixture");
    ASSERT_TRUE(analyzer);
    HWND button = GetDlgItem(agent.mainWindow, IdMemoryAnalyzer);
    EXPECT_FALSE(IsWindowEnabled(button));
    EXPECT_TRUE(IsWindowEnabled(agent.mainWindow));
    EXPECT_EQ(nullptr, GetWindow(analyzer, GW_OWNER));

    const std::vector<ReportSymbol> symbols = FixtureSymbols();
    ASSERT_GE(symbols.size(), 5u);
    Rows rows;
    std::string csv = "Name;Type;Size\r\n";
    long total = 0;
    bool sawLongName = false, sawSpaces = false;
    for (const ReportSymbol& s : symbols) {
        rows.push_back({ s.name.substr(0, 255), s.type, std::to_string(s.size) });
        csv += s.name + ";" + s.type + ";" + std::to_string(s.size) + "\r\n";
        total += s.size;
        sawLongName = sawLongName || s.name.size() == 300;
        sawSpaces = sawSpaces || s.name.find(' ') != std::string::npos;
    }
    ASSERT_TRUE(sawLongName && sawSpaces) << "the fixture lost its long or spaced names";
    EXPECT_EQ(rows, ListRows(GetDlgItem(analyzer, IdSymbolList)));
    EXPECT_EQ("FLASH: " + Grouped(total) + " bytes used by " + std::to_string(symbols.size()) + " objects",
              ControlText(analyzer, IdFlashLine));
    long text = -1, data = -1, bss = -1;
    const std::string size = ReadFileBytes(FromUnixPath(KEVRA_ROAD_SIZE));
    ASSERT_EQ(3, std::sscanf(size.c_str() + size.find('\n') + 1, "%ld %ld %ld", &text, &data, &bss));
    EXPECT_EQ("SRAM: " + std::to_string(data) + " B in static data, " + std::to_string(bss) + " B in uninitialized variables",
              ControlText(analyzer, IdSramLine));

    // The main window stays live while the analyzer is open: "Run last project" starts the simulator.
    const size_t startsBefore = agent.SimulatorStarts().size();
    agent.Command(202);
    EXPECT_TRUE(WaitFor([&] { return agent.SimulatorStarts().size() == startsBefore + 1; }));

    // Step 7: the export, to a folder and name with spaces, and again to the same name.
    const std::string exports = scratch.path + "My Exports\\";
    CreateDirectoryW(Widen(exports).c_str(), nullptr);
    const std::string path = exports + "Road Fixture.csv";
    ASSERT_TRUE(Export(analyzer, path));
    EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(path) == csv; }));
    std::vector<DWORD> started;
    ASSERT_TRUE(WaitFor([&] { return !(started = ChildProcesses(agent.process.dwProcessId, L"explorer.exe")).empty(); }));
    EXPECT_NE(std::string::npos, ProcessCommandLine(started[0]).find("explorer.exe\" /select,\"" + path + "\""))
        << ProcessCommandLine(started[0]);
    EndProcesses(started);
    WriteFileBytes(path, csv + std::string(5000, 'z'));   // longer than the export
    ASSERT_TRUE(Export(analyzer, path));
    EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(path) == csv; }));
    EXPECT_TRUE(IsWindowVisible(analyzer));
    EXPECT_EQ(std::vector<std::string>{ "[kevra+ v0.3] Memory Analyzer: RoadFixture.hex" },
              VisibleWindows(agent.process.dwProcessId));

    EXPECT_TRUE(CloseAnalyzer(analyzer, false));
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(button) != FALSE; }));

    // From the menu: nothing is disabled, and the caption's close ends it as well.
    analyzer = OpenAnalyzer(MenuMemoryAnalyzer, "RoadFixture");
    ASSERT_TRUE(analyzer);
    EXPECT_TRUE(IsWindowEnabled(button));
    EXPECT_EQ(rows, ListRows(GetDlgItem(analyzer, IdSymbolList)));
    EXPECT_TRUE(CloseAnalyzer(analyzer, true));
    EXPECT_TRUE(IsWindowEnabled(button));
    EXPECT_TRUE(VisibleWindows(agent.process.dwProcessId).empty());
}

namespace {

void ExpectEmptyAnalysis(HWND analyzer)
{
    EXPECT_TRUE(ListRows(GetDlgItem(analyzer, IdSymbolList)).empty());
    EXPECT_EQ("FLASH: 0 bytes used by 0 objects", ControlText(analyzer, IdFlashLine));
    EXPECT_EQ("SRAM:  B in static data,  B in uninitialized variables", ControlText(analyzer, IdSramLine));
}

}  // namespace

// Nothing is reported: without an interpreter, or with no AVR tools on PATH, the analyzer opens empty,
// no other window shows, the build stays as it was and the button that started it comes back.
TEST_F(AnalyzerRoad, WithoutComspecOrTheAvrToolsTheAnalyzerOpensEmpty)
{
    const std::wstring noShims = PathWithout(FromUnixPath(KEVRA_SHIM_FOLDER));
    const struct {
        const char* what;
        const wchar_t* variable;
        const std::wstring* value;   // null: the variable is removed
        const char* folder;
        const char* name;
        int command;                 // the button or the menu
        bool closeByCaption;
    } cases[] = {
        { "no COMSPEC", L"COMSPEC", nullptr, "build1.tmp", "NoShell", MenuMemoryAnalyzer, false },
        { "no AVR tools on PATH", L"PATH", &noShims, "build2.tmp", "NoTools", IdMemoryAnalyzer, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EnvironmentChange change(c.variable, c.value);
        Start();
        const std::string elf = AddBuild(c.folder, c.name);
        ASSERT_TRUE(SimulatorStartedWith(elf));
        HWND analyzer = OpenAnalyzer(c.command, c.name);
        ASSERT_TRUE(analyzer);
        ExpectEmptyAnalysis(analyzer);
        EXPECT_TRUE(CloseAnalyzer(analyzer, c.closeByCaption));
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(agent.mainWindow, IdMemoryAnalyzer)) != FALSE; }));
        EXPECT_TRUE(VisibleWindows(agent.process.dwProcessId).empty());
        EXPECT_EQ(ReadFileBytes(FromUnixPath(KEVRA_ROAD_ELF)), ReadFileBytes(elf));
        EXPECT_TRUE(Answers(agent));
        EXPECT_TRUE(agent.Exit());
    }
}

TEST_F(AnalyzerRoad, ToolOutputOfBinaryGarbageOrOneMegabyteLineIsShownAndExported)
{
    // avr-size and avr-nm that answer with prepared bytes, first on the search path.
    const std::string tools = scratch.path + "canned tools\\";
    CreateDirectoryW(Widen(tools).c_str(), nullptr);
    for (const char* tool : { "avr-size", "avr-nm" })
        CopyFileW(Widen(FromUnixPath(KEVRA_CANNED_TOOL)).c_str(), Widen(tools + tool + ".exe").c_str(), FALSE);
    std::mt19937 random(6);
    std::string garbage;
    for (int i = 0; i < 65536; ++i)
        garbage += char(random() & 0xFF);
    for (size_t at = 100; at < garbage.size(); at += 997)
        garbage.replace(at, 2, "\r\n");
    size_t lineEnds = 0;
    for (size_t at = 0; (at = garbage.find("\r\n", at)) != std::string::npos; at += 2)
        ++lineEnds;
    WriteFileBytes(tools + "avr-size.out", garbage);
    WriteFileBytes(tools + "avr-nm.out", garbage);
    const std::wstring path = PathWithout(FromUnixPath(KEVRA_SHIM_FOLDER), tools);
    EnvironmentChange change(L"PATH", &path);
    Start();
    const std::string elf = AddBuild("build3.tmp", "Garbage");
    ASSERT_TRUE(SimulatorStartedWith(elf));

    HWND analyzer = OpenAnalyzer(MenuMemoryAnalyzer, "Garbage");
    ASSERT_TRUE(analyzer);
    EXPECT_EQ(lineEnds, ListRows(GetDlgItem(analyzer, IdSymbolList)).size());
    const std::string flash = ControlText(analyzer, IdFlashLine);
    EXPECT_NE(std::string::npos, flash.find(" bytes used by " + std::to_string(lineEnds) + " objects")) << flash;
    EXPECT_EQ(0u, ControlText(analyzer, IdSramLine).rfind("SRAM: ", 0));
    EXPECT_TRUE(CloseAnalyzer(analyzer, false));
    ASSERT_TRUE(Answers(agent));

    const std::string longName(1 << 20, 'x');
    WriteFileBytes(tools + "avr-nm.out", "00100000 T " + longName + "\r\n00000004 D after\r\n");
    WriteFileBytes(tools + "avr-size.out", "text data bss dec hex filename\r\n1 2 3 6 6 x\r\n");
    analyzer = OpenAnalyzer(MenuMemoryAnalyzer, "Garbage");
    ASSERT_TRUE(analyzer);
    EXPECT_EQ((Rows{ { std::string(255, 'x'), "T", "1048576" }, { "after", "D", "4" } }),
              ListRows(GetDlgItem(analyzer, IdSymbolList)));
    EXPECT_EQ("FLASH: 1,048,580 bytes used by 2 objects", ControlText(analyzer, IdFlashLine));
    EXPECT_EQ("SRAM: 2 B in static data, 3 B in uninitialized variables", ControlText(analyzer, IdSramLine));
    const std::string csv = scratch.path + "long.csv";
    ASSERT_TRUE(Export(analyzer, csv));
    EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(csv) == "Name;Type;Size\r\n" + longName + ";T;1048576\r\nafter;D;4\r\n"; }));
    EXPECT_TRUE(CloseAnalyzer(analyzer, false));
    EXPECT_TRUE(VisibleWindows(agent.process.dwProcessId).empty());
}

TEST_F(AnalyzerRoad, ASettingsFileThatCannotBeWrittenAndAMissingCopyFolderStopNothingElse)
{
    const std::string missing = scratch.path + "no such folder\\";
    WriteIni("1", missing);
    const std::string ini = temp + "kevra-agent.ini";
    const std::string settings = ReadFileBytes(ini);
    // Read-only, and held open for reading by another program: Wine run as root writes read-only files.
    SetFileAttributesW(Widen(ini).c_str(), FILE_ATTRIBUTE_READONLY);
    UniqueHandle reader(CreateFileW(Widen(ini).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    Start();

    const std::string elf = AddBuild("build4.tmp", "Homeless");
    ASSERT_TRUE(SimulatorStartedWith(elf));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Widen(missing).c_str()));
    HWND check = GetDlgItem(agent.mainWindow, IdCopyHex);
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(settings, ReadFileBytes(ini));
    EXPECT_TRUE(Answers(agent));
    EXPECT_TRUE(VisibleWindows(agent.process.dwProcessId).empty());

    HWND analyzer = OpenAnalyzer(MenuMemoryAnalyzer, "Homeless");
    ASSERT_TRUE(analyzer);
    EXPECT_EQ(FixtureSymbols().size(), ListRows(GetDlgItem(analyzer, IdSymbolList)).size());
    EXPECT_TRUE(CloseAnalyzer(analyzer, false));
    reader = UniqueHandle{};
    SetFileAttributesW(Widen(ini).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(AnalyzerRoad, ACopyTargetLockedByAnotherProgramIsLeftAloneAndTheNextBuildIsCopied)
{
    const std::string copies = scratch.path + "copies\\";
    CreateDirectoryW(Widen(copies).c_str(), nullptr);
    WriteIni("1", copies);
    WriteFileBytes(copies + "Locked.HEX", "old copy\r\n");
    Start();
    {
        UniqueHandle lock(CreateFileW(Widen(copies + "Locked.HEX").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        const std::string elf = AddBuild("build5.tmp", "Locked");
        ASSERT_TRUE(SimulatorStartedWith(elf));
        EXPECT_TRUE(Answers(agent));
    }
    EXPECT_EQ("old copy\r\n", ReadFileBytes(copies + "Locked.HEX"));
    EXPECT_TRUE(VisibleWindows(agent.process.dwProcessId).empty());

    const size_t starts = agent.SimulatorStarts().size();
    WriteFileBytes(temp + "build5.tmp\\Locked.cpp.hex", ":00000001FF\r\n:00000001FF\r\n");
    EXPECT_TRUE(WaitFor([&] { return agent.SimulatorStarts().size() == starts + 1; }, 15000));
    EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(copies + "Locked.HEX") == ":00000001FF\r\n:00000001FF\r\n"; }));
}

TEST_F(AnalyzerRoad, BuildFoldersDeletedWhileTheyAreScannedStopNothing)
{
    Start();
    // Folders of many files appear and vanish for longer than two polls.
    const ULONGLONG end = GetTickCount64() + 9000;
    for (int round = 0; GetTickCount64() < end; ++round) {
        const std::string build = temp + "build9" + std::to_string(round % 3) + ".tmp\\";
        CreateDirectoryW(Widen(build).c_str(), nullptr);
        for (int i = 0; i < 150; ++i) {
            const std::string hex = build + "old" + std::to_string(i) + ".cpp.hex";
            WriteFileBytes(hex, ":00000001FF\r\n");
            SetWriteTime(hex, NowFileTime() - 3600ull * 10'000'000);
        }
        RemoveTree(build);
    }
    ASSERT_TRUE(Answers(agent));
    const std::string elf = AddBuild("build10.tmp", "After");
    EXPECT_TRUE(SimulatorStartedWith(elf));
    EXPECT_TRUE(WaitFor([&] { return ControlText(agent.mainWindow, IdStatusText).find("After.cpp.hex") != std::string::npos; }));
    EXPECT_TRUE(VisibleWindows(agent.process.dwProcessId).empty());
}

TEST_F(AnalyzerRoad, ATempPathWithASpaceAnAmpersandAndAnAccentedLetterWorksAllTheWay)
{
    const std::string accented = "\xC3\xA9";   // é
    temp = scratch.path + "R&D Caf" + accented + " Temp\\";
    CreateDirectoryW(Widen(temp).c_str(), nullptr);
    Start();

    const std::string elf = AddBuild("build11.tmp", std::string("Caf") + accented);
    ASSERT_TRUE(SimulatorStartedWith(elf));
    HWND analyzer = OpenAnalyzer(IdMemoryAnalyzer, std::string("Caf") + accented);
    ASSERT_TRUE(analyzer);
    const std::vector<ReportSymbol> symbols = FixtureSymbols();
    const Rows rows = ListRows(GetDlgItem(analyzer, IdSymbolList));
    ASSERT_EQ(symbols.size(), rows.size());
    EXPECT_EQ(symbols[0].name, rows[0][0]);
    const std::string csv = temp + "R&D Caf" + accented + ".csv";
    ASSERT_TRUE(Export(analyzer, csv));
    EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(csv).rfind("Name;Type;Size\r\n" + symbols[0].name + ";", 0) == 0; }));
    std::vector<DWORD> started;
    EXPECT_TRUE(WaitFor([&] { return !(started = ChildProcesses(agent.process.dwProcessId, L"explorer.exe")).empty(); }));
    EXPECT_TRUE(CloseAnalyzer(analyzer, false));
    EXPECT_TRUE(VisibleWindows(agent.process.dwProcessId).empty());
}

namespace {

// TEMP under a user name in another script than the system's code page: Cyrillic and Japanese
// letters and a space, on a Western code page.
struct UnicodeTempRoad : AnalyzerRoad {
    UnicodeTempRoad() { temp = scratch.path + "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82 \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Temp\\"; }
};

}  // namespace

TEST_F(UnicodeTempRoad, ABuildUnderAnyScriptIsListedCopiedStartedAndAnalysed)
{
    const std::string copies = scratch.path + "\xD0\x9A\xD0\xBE\xD0\xBF\xD0\xB8\xD0\xB8 \xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC\\";
    CreateDirectoryW(Widen(copies).c_str(), nullptr);
    WriteIni("1", ShortPathOf(copies));   // the settings file holds what its code page can
    Start();

    const std::string elf = AddBuild("arduino_build_7", "RoadFixture");
    ASSERT_TRUE(SimulatorStartedWith(elf));   // its true path, whole
    EXPECT_EQ(":00000001FF\r\n", ReadFileBytes(copies + "RoadFixture.HEX"));
    EXPECT_TRUE(WaitFor([&] {
        return ControlText(agent.mainWindow, IdStatusText) ==
               "Temp folder is \"" + temp + "\"\r\n\r\n1. \"arduino_build_7\\RoadFixture.cpp.hex\"\r\n"
               "Last modified 0 minute ago\r\n\r\n";
    }));

    HWND analyzer = OpenAnalyzer(MenuMemoryAnalyzer, "RoadFixture");
    ASSERT_TRUE(analyzer);
    Rows rows;
    long total = 0;
    const std::vector<ReportSymbol> symbols = FixtureSymbols();
    for (const ReportSymbol& s : symbols) {
        rows.push_back({ s.name.substr(0, 255), s.type, std::to_string(s.size) });
        total += s.size;
    }
    EXPECT_EQ(rows, ListRows(GetDlgItem(analyzer, IdSymbolList)));
    EXPECT_EQ("FLASH: " + Grouped(total) + " bytes used by " + std::to_string(symbols.size()) + " objects",
              ControlText(analyzer, IdFlashLine));
    EXPECT_TRUE(CloseAnalyzer(analyzer, false));
    // Started once, however many polls and notifications came after.
    const std::vector<std::string> starts = agent.SimulatorStarts();
    EXPECT_EQ(1, std::count(starts.begin(), starts.end(), elf));
}

TEST_F(AnalyzerRoad, AToolThatHangsLeavesTheAgentAnsweringAndExitEndsBothAtOnce)
{
    // avr-size never ends; avr-nm would answer.
    const std::string tools = scratch.path + "hung tools\\";
    CreateDirectoryW(Widen(tools).c_str(), nullptr);
    for (const char* tool : { "avr-size", "avr-nm" })
        ASSERT_TRUE(CopyFileW(Widen(FromUnixPath(KEVRA_CANNED_TOOL)).c_str(), Widen(tools + tool + ".exe").c_str(), FALSE));
    WriteFileBytes(tools + "avr-nm.out", "00000010 T a\r\n");
    WriteFileBytes(tools + "avr-size.hang", "");
    const std::wstring path = PathWithout(FromUnixPath(KEVRA_SHIM_FOLDER), tools);
    EnvironmentChange change(L"PATH", &path);
    Start();
    const std::string elf = AddBuild("build5.tmp", "Hung");
    ASSERT_TRUE(SimulatorStartedWith(elf));

    agent.Command(MenuMemoryAnalyzer);
    DWORD toolId = 0;
    ASSERT_TRUE(WaitFor([&] { return (toolId = DWORD(std::strtoul(ReadFileBytes(tools + "avr-size.hang").c_str(), nullptr, 10))) != 0; }));
    UniqueHandle tool(OpenProcess(SYNCHRONIZE, FALSE, toolId));
    ASSERT_TRUE(tool);
    ASSERT_EQ(WAIT_TIMEOUT, WaitForSingleObject(tool.get(), 0));
    // While it runs the window answers and the icon's double click shows it.
    EXPECT_TRUE(Answers(agent));
    agent.SendTrayEvent(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(agent.mainWindow) != FALSE; }, 5000));
    // A second "Memory Analyzer" meanwhile starts no second run.
    agent.Command(MenuMemoryAnalyzer);
    EXPECT_TRUE(Answers(agent));
    EXPECT_EQ(1u, ChildProcesses(agent.process.dwProcessId, L"cmd.exe").size());
    EXPECT_EQ(nullptr, FindProcessWindow(agent.process.dwProcessId, "[kevra+ v0.3] Memory Analyzer: Hung.hex"));
    // "Exit kevra+" ends the agent and the tool it waits for.
    const HANDLE process = agent.process.hProcess;
    PostMessageW(agent.mainWindow, WM_COMMAND, 204, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 5000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(tool.get(), 5000));
    EXPECT_TRUE(agent.Exit());
}
