// The real agent finds avr-size and avr-nm where the Arduino IDE keeps them when PATH has none:
// the newest boards-manager avr-gcc, then an IDE 1.x folder; tools on PATH win. Neither this
// process nor the agent has the tool shims on PATH (no WINEPATH): every tool that runs is one of
// the fixture's.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "AgentDriver.h"
#include "AnalyzerDriver.h"
#include "base/Folders.h"

namespace {

constexpr int MenuMemoryAnalyzer = 201;
constexpr int IdSymbolList = 1000;
constexpr int IdFlashLine = 1001;
constexpr int IdSramLine = 1003;

// These tests write into the prefix's real local application-data and program-files folders.
bool UnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Folders made in real user folders, removed again from the topmost one each path needed.
class MadeFolders {
    std::vector<std::string> tops;
public:
    MadeFolders() = default;
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;
    ~MadeFolders()
    {
        for (auto top = tops.rbegin(); top != tops.rend(); ++top)
            RemoveTree(*top + "\\");
    }
    void Make(const std::string& path)
    {
        bool madeOne = false;
        for (size_t at = path.find('\\', 3);; at = path.find('\\', at + 1)) {
            const std::string part = path.substr(0, at);
            if (CreateDirectoryW(Widen(part).c_str(), nullptr) && !madeOne) {
                tops.push_back(part);
                madeOne = true;
            }
            if (at == std::string::npos)
                return;
        }
    }
};


using Rows = std::vector<std::vector<std::string>>;

struct Expected {
    Rows rows;
    std::string flash, sram;
};

// What the window shows for the fixture, read from what the Linux tools printed for it.
Expected RealToolOutput()
{
    Expected e;
    long total = 0;
    for (const ReportSymbol& s : ReportSymbols(ReadFileBytes(FromUnixPath(KEVRA_ROAD_NM)))) {
        e.rows.push_back({ s.name.substr(0, 255), s.type, std::to_string(s.size) });
        total += s.size;
    }
    e.flash = "FLASH: " + Grouped(total) + " bytes used by " + std::to_string(e.rows.size()) + " objects";
    long text = -1, data = -1, bss = -1;
    const std::string size = ReadFileBytes(FromUnixPath(KEVRA_ROAD_SIZE));
    std::sscanf(size.c_str() + size.find('\n') + 1, "%ld %ld %ld", &text, &data, &bss);
    e.sram = "SRAM: " + std::to_string(data) + " B in static data, " + std::to_string(bss) + " B in uninitialized variables";
    return e;
}

enum class Kind { Shims, Canned };

struct IdeTools : ::testing::Test {
    ScratchFolder scratch{ "e2e ide tools" };
    std::string agentFolder = PrepareAgentFolder(scratch.path);
    std::string temp = scratch.path + "temp\\";
    std::string avrGcc = ShellFolder(CSIDL_LOCAL_APPDATA) + "Arduino15\\packages\\arduino\\tools\\avr-gcc\\";
    std::string ideBin = ShellFolder(CSIDL_PROGRAM_FILES) + "Arduino\\hardware\\tools\\avr\\bin\\";
    MadeFolders made;
    RunningAgent agent;

    void SetUp() override
    {
        if (!UnderWine())
            GTEST_SKIP() << "writes into the real user folders: runs under Wine only";
        ASSERT_NE("Arduino15\\packages\\arduino\\tools\\avr-gcc\\", avrGcc);
        ASSERT_NE("Arduino\\hardware\\tools\\avr\\bin\\", ideBin);
        CreateDirectoryW(Widen(temp).c_str(), nullptr);
        WriteFileBytes(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=0\r\nhomedir=" + scratch.path + "\r\n");
    }
    void TearDown() override
    {
        if (agent.process.hProcess) {
            EXPECT_TRUE(agent.Exit());
        }
    }

    // avr-size.exe and avr-nm.exe in folder: the shims of the real tools, or canned tools whose
    // answer and environment record would show that they ran.
    void PutTools(const std::string& folder, Kind kind)
    {
        made.Make(folder.substr(0, folder.size() - 1));
        for (const char* tool : { "avr-size", "avr-nm" }) {
            const std::string from = kind == Kind::Shims ? FromUnixPath(KEVRA_SHIM_FOLDER) + "\\" + tool + ".exe"
                                                         : FromUnixPath(KEVRA_CANNED_TOOL);
            ASSERT_TRUE(CopyFileW(Widen(from).c_str(), Widen(folder + tool + ".exe").c_str(), FALSE));
            if (kind == Kind::Canned) {
                WriteFileBytes(folder + tool + ".out", "00000001 T ran_" + std::string(tool) + "\r\n");
                WriteFileBytes(folder + tool + ".env", "");
            }
        }
    }
    bool Ran(const std::string& cannedFolder)
    {
        return !ReadFileBytes(cannedFolder + "avr-size.env").empty() || !ReadFileBytes(cannedFolder + "avr-nm.env").empty();
    }

    // Starts the agent, lets it see one build and opens the analyzer on it from the menu.
    HWND AnalyzeOneBuild()
    {
        if (!agent.Start(agentFolder, temp))
            return nullptr;
        const std::string build = temp + "build1.tmp\\";
        CreateDirectoryW(Widen(build).c_str(), nullptr);
        const std::string elf = build + "Road.cpp.elf";
        CopyFileW(Widen(FromUnixPath(KEVRA_ROAD_ELF)).c_str(), Widen(elf).c_str(), FALSE);
        WriteFileBytes(build + "Road.cpp.hex", ":00000001FF\r\n");
        if (!WaitFor([&] { return !agent.SimulatorStarts().empty(); }, 15000))
            return nullptr;
        agent.Command(MenuMemoryAnalyzer);
        HWND window = nullptr;
        WaitFor([&] {
            window = FindProcessWindow(agent.process.dwProcessId, "[kevra+ v0.3] Memory Analyzer: Road.hex");
            return window && IsWindowVisible(window);
        }, 30000);
        return window;
    }
    static void ExpectShows(HWND analyzer, const Expected& expected)
    {
        EXPECT_EQ(expected.rows, ListRows(GetDlgItem(analyzer, IdSymbolList)));
        EXPECT_EQ(expected.flash, ControlText(analyzer, IdFlashLine));
        EXPECT_EQ(expected.sram, ControlText(analyzer, IdSramLine));
    }
    static void Close(HWND analyzer)
    {
        PostMessageW(analyzer, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(analyzer); }));
    }
};

}  // namespace

TEST_F(IdeTools, WithoutToolsAnywhereTheAnalysisIsEmpty)
{
    ASSERT_EQ(0u, SearchPathW(nullptr, L"avr-size.exe", nullptr, 0, nullptr, nullptr)) << "tools on this PATH";
    HWND analyzer = AnalyzeOneBuild();
    ASSERT_TRUE(analyzer);
    ExpectShows(analyzer, { {}, "FLASH: 0 bytes used by 0 objects", "SRAM:  B in static data,  B in uninitialized variables" });
    Close(analyzer);
}

TEST_F(IdeTools, TheNewestBoardsManagerToolsRun)
{
    const std::string older = avrGcc + "5.4.0-atmel3.6.1-arduino2\\bin\\";
    PutTools(older, Kind::Canned);
    PutTools(avrGcc + "7.3.0-atmel3.6.1-arduino7\\bin\\", Kind::Shims);
    HWND analyzer = AnalyzeOneBuild();
    ASSERT_TRUE(analyzer);
    ExpectShows(analyzer, RealToolOutput());
    EXPECT_FALSE(Ran(older));
    Close(analyzer);
}

TEST_F(IdeTools, TheToolsOfAnIde1FolderRun)
{
    PutTools(ideBin, Kind::Shims);
    HWND analyzer = AnalyzeOneBuild();
    ASSERT_TRUE(analyzer);
    ExpectShows(analyzer, RealToolOutput());
    Close(analyzer);
}

TEST_F(IdeTools, ToolsOnPathRunAndTheIdesStayIdle)
{
    PutTools(ideBin, Kind::Canned);
    PutTools(avrGcc + "7.3.0-atmel3.6.1-arduino7\\bin\\", Kind::Canned);
    std::wstring path(32768, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), DWORD(path.size())));
    const std::wstring withShims = Widen(FromUnixPath(KEVRA_SHIM_FOLDER)) + L";" + path;
    const EnvironmentChange onPath(L"PATH", &withShims);
    HWND analyzer = AnalyzeOneBuild();
    ASSERT_TRUE(analyzer);
    ExpectShows(analyzer, RealToolOutput());
    EXPECT_FALSE(Ran(ideBin));
    EXPECT_FALSE(Ran(avrGcc + "7.3.0-atmel3.6.1-arduino7\\bin\\"));
    Close(analyzer);
}
