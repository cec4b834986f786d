#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "AnalyzerDriver.h"
#include "DriveAnalyzer.h"
#include "Fixture.h"
#include "analyzer/AnalysisRun.h"
#include "analyzer/AnalyzerWindow.h"
#include "base/SharedValues.h"

namespace {

// The build tree's Unix path as Wine's Z: drive sees it.
std::string FromUnix(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

// text, data and bss of the counts line of an avr-size report.
struct SizeCounts { long text = -1, data = -1, bss = -1; };
SizeCounts CountsOf(const std::string& report)
{
    SizeCounts c;
    const size_t line = report.find('\n');
    if (line != std::string::npos)
        std::sscanf(report.c_str() + line + 1, "%ld %ld %ld", &c.text, &c.data, &c.bss);
    return c;
}

}  // namespace

TEST(MemoryAnalysis, RunsBothToolsThroughTheInterpreterOnAPathWithASpaceAndAnAmpersand)
{
    ScratchFolder scratch("analysis");
    const std::string temp = scratch.path + "John Smith & Co\\Temp\\";
    const std::string build = temp + "build4711.tmp\\";
    CreateDirectoryW(Widen(scratch.path + "John Smith & Co").c_str(), nullptr);
    CreateDirectoryW(Widen(temp).c_str(), nullptr);
    CreateDirectoryW(Widen(build).c_str(), nullptr);
    SetEnvironmentVariableW(L"TEMP", Widen(temp).c_str());
    const std::string elf = build + "MemoryFixture.cpp.elf";
    ASSERT_TRUE(CopyFileW(Widen(FromUnix(KEVRA_FIXTURE_ELF)).c_str(), Widen(elf).c_str(), FALSE));
    WriteLastElfPath(elf);

    const AnalysisResult run = AnalyzeBuild(ReadLastElfPath());
    EXPECT_EQ(elf, run.elfPath);

    // The tools' own reports, made at build time on Linux (avr-size) and now beside the .elf (avr-nm).
    const SizeCounts expected = CountsOf(ReadFileBytes(FromUnix(KEVRA_FIXTURE_SIZE)));
    ASSERT_GT(expected.text, 0);
    const std::string sizeReport = ReadFileBytes(elf + ".size");
    ASSERT_NE(std::string::npos, sizeReport.find("\r\n")) << sizeReport;
    EXPECT_EQ(SramCountsOf(sizeReport), run.sram);
    EXPECT_EQ(expected.text, CountsOf(sizeReport).text);
    const std::vector<ReportSymbol> symbols = ReportSymbols(ReadFileBytes(elf + ".map"));
    ASSERT_GE(symbols.size(), 6u) << ReadFileBytes(elf + ".map");

    // The sketch's own variables, sized by hand: uint8_t[512], int8_t[6] and one uint16_t; the
    // buffer is all of bss and the largest symbol, so it comes first. The code symbols fit in text,
    // the variables in data.
    std::vector<std::vector<std::string>> rows;
    long total = 0, bss = 0, code = 0, data = 0;
    for (const ReportSymbol& s : symbols) {
        rows.push_back({ s.name, s.type, std::to_string(s.size) });
        total += s.size;
        bss += s.type == "B" || s.type == "b" ? s.size : 0;
        code += s.type == "T" || s.type == "t" ? s.size : 0;
        data += s.type == "D" || s.type == "d" ? s.size : 0;
    }
    EXPECT_EQ((std::vector<std::string>{ "frameBuffer", "B", "512" }), rows.front());
    for (const std::vector<std::string>& row : { std::vector<std::string>{ "levelDeltas", "D", "6" },
                                                 std::vector<std::string>{ "highScore", "D", "2" } }) {
        SCOPED_TRACE(row[0]);
        EXPECT_NE(rows.end(), std::find(rows.begin(), rows.end(), row));
    }
    for (const char* name : { "main", "sprites::Sprite::blit(unsigned char, int)", "drawText(char const*, unsigned char)" }) {
        SCOPED_TRACE(name);
        EXPECT_NE(symbols.end(), std::find_if(symbols.begin(), symbols.end(),
                                              [&](const ReportSymbol& s) { return s.name == name && s.type == "T"; }));
    }
    EXPECT_EQ(512, expected.bss);
    EXPECT_EQ(expected.bss, bss);
    EXPECT_LE(code, expected.text);
    EXPECT_LE(data, expected.data);
    EXPECT_GT(total, expected.bss);

    // The window shows every line in the tool's order, and the totals of both reports.
    OpenDriven("[kevra+ v0.3] Memory Analyzer: MemoryFixture.hex", [&] { ShowAnalyzerWindow(run); }, [&](HWND analyzer) {
        ASSERT_TRUE(analyzer);
        EXPECT_EQ(rows, ListRows(GetDlgItem(analyzer, 1000)));
        EXPECT_EQ("FLASH: " + Grouped(total) + " bytes used by " + std::to_string(symbols.size()) + " objects",
                  ControlText(analyzer, 1001));
        EXPECT_EQ("SRAM: " + std::to_string(expected.data) + " B in static data, " + std::to_string(expected.bss) +
                      " B in uninitialized variables",
                  ControlText(analyzer, 1003));
    });
}

namespace {


std::wstring CurrentFolder()
{
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(GetCurrentDirectoryW(DWORD(folder.size()), folder.data()));
    return folder;
}

// This process's current folder, which the interpreter inherits, changed for one test.
struct CurrentFolderChange {
    std::wstring old = CurrentFolder();
    explicit CurrentFolderChange(const std::string& folder) { SetCurrentDirectoryW(Widen(folder).c_str()); }
    ~CurrentFolderChange() { SetCurrentDirectoryW(old.c_str()); }
};

// The names of the files and folders in a folder, sorted.
std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    UniqueFind find(FindFirstFileW(Widen(folder + "*").c_str(), &found));
    for (BOOL more = bool(find); more; more = FindNextFileW(find.get(), &found))
        if (lstrcmpW(found.cFileName, L".") != 0 && lstrcmpW(found.cFileName, L"..") != 0)
            names.push_back(Narrow(found.cFileName));
    std::sort(names.begin(), names.end());
    return names;
}

// The lines of a text the Linux tools wrote (LF line ends), as the Windows tools' CR LF lines read.
std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(text.substr(from, end - from));
    return lines;
}

// avr-size.exe and avr-nm.exe that answer with prepared bytes (CannedTool.cpp), in folder.
void PutCannedTools(const std::string& folder, const std::string& sizeAnswer, const std::string& nmAnswer)
{
    for (const char* tool : { "avr-size", "avr-nm" })
        ASSERT_TRUE(CopyFileW(Widen(FromUnix(KEVRA_CANNED_TOOL)).c_str(), Widen(folder + tool + ".exe").c_str(), FALSE));
    WriteFileBytes(folder + "avr-size.out", sizeAnswer);
    WriteFileBytes(folder + "avr-nm.out", nmAnswer);
}

// folder in front of this process's PATH, for one test.
std::wstring PathWith(const std::string& folder)
{
    std::wstring path(32768, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), DWORD(path.size())));
    return Widen(folder) + L";" + path;
}

}  // namespace

TEST(MemoryAnalysis, TheRealToolsReadBuildsInFoldersAndNamesOutsideTheCodePage)
{
    const std::vector<std::string> expectedLines = LinesOf(ReadFileBytes(FromUnix(KEVRA_ROAD_NM)));
    const SizeCounts expected = CountsOf(ReadFileBytes(FromUnix(KEVRA_ROAD_SIZE)));
    ASSERT_GE(expectedLines.size(), 5u);
    ASSERT_GT(expected.text, 0);
    ScratchFolder scratch("analysis-names");
    ScratchFolder current("analysis-current");
    CurrentFolderChange inCurrent(current.path);
    const struct { const char* folder; const char* file; } cases[] = {
        { "John Smith & Co (R^D)", "Road.cpp.elf" },
        { "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82 \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0", "Road.cpp.elf" },   // Тест ゲーム
        // Fullwidth quotes: narrowed with a best fit they would close the quotes and run mkdir.
        { "fullwidth", "a\xEF\xBC\x82&mkdir CANARY&\xEF\xBC\x82.cpp.elf" },
        { "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0", "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82 \xEF\xBC\x82 x.cpp.elf" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + "\\" + c.file);
        const std::string folder = scratch.path + c.folder + "\\";
        ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
        const std::string elf = folder + c.file;
        ASSERT_TRUE(CopyFileW(Widen(FromUnix(KEVRA_ROAD_ELF)).c_str(), Widen(elf).c_str(), FALSE));

        const AnalysisResult run = AnalyzeBuild(elf);
        EXPECT_EQ(SymbolRows(expectedLines), run.rows);
        const SizeCounts got = CountsOf(ReadFileBytes(elf + ".size"));
        EXPECT_EQ(expected.text, got.text);
        EXPECT_EQ(expected.data, got.data);
        EXPECT_EQ(expected.bss, got.bss);
        // The reports keep the build's long name, and nothing else was made.
        EXPECT_EQ(SramCountsOf(ReadFileBytes(elf + ".size")), run.sram);
        EXPECT_EQ((std::vector<std::string>{ c.file, std::string(c.file) + ".map", std::string(c.file) + ".size" }),
                  Entries(folder));
        EXPECT_TRUE(Entries(current.path).empty());
    }
}

TEST(MemoryAnalysis, APathWithAPercentOrExclamationSignIsAnalysedAndNothingInItIsExpanded)
{
    const std::vector<std::string> expectedLines = LinesOf(ReadFileBytes(FromUnix(KEVRA_ROAD_NM)));
    const SizeCounts expected = CountsOf(ReadFileBytes(FromUnix(KEVRA_ROAD_SIZE)));
    ScratchFolder scratch("analysis-expand");
    ScratchFolder current("analysis-expand-current");
    CurrentFolderChange inCurrent(current.path);
    const std::wstring canary = L"y";
    EnvironmentChange variable(L"KEVRA_CANARY", &canary);
    const struct { const char* folder; const char* file; } cases[] = {
        { "percent", "x%KEVRA_CANARY%.cpp.elf" },
        { "exclamation", "x!KEVRA_CANARY!.cpp.elf" },
        { "one percent", "50%.cpp.elf" },
        { "in the folder %KEVRA_CANARY% !KEVRA_CANARY! %CD%", "x.cpp.elf" },
        { "option", "-x.cpp.elf" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + "\\" + c.file);
        const std::string folder = scratch.path + c.folder + "\\";
        ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
        const std::string elf = folder + c.file;
        // The build, and the build its expanded name would reach, with reports of an earlier run.
        for (const std::string& build : { elf, folder + "xy.cpp.elf" })
            ASSERT_TRUE(CopyFileW(Widen(FromUnix(KEVRA_ROAD_ELF)).c_str(), Widen(build).c_str(), FALSE));
        WriteFileBytes(elf + ".size", "   text\t   data\t    bss\r\n      1\t      2\t      3\r\n");
        WriteFileBytes(elf + ".map", "00000010 T stale\r\n");

        const AnalysisResult run = AnalyzeBuild(elf);
        EXPECT_EQ(SymbolRows(expectedLines), run.rows);
        const std::string sizeReport = ReadFileBytes(elf + ".size");
        EXPECT_EQ(expected.text, CountsOf(sizeReport).text);
        EXPECT_EQ(expected.bss, CountsOf(sizeReport).bss);
        EXPECT_EQ(SramCountsOf(sizeReport), run.sram);
        // The reports stand beside the .elf under its long name, and nothing else was made.
        std::vector<std::string> made = { c.file, std::string(c.file) + ".map", std::string(c.file) + ".size", "xy.cpp.elf" };
        std::sort(made.begin(), made.end());
        EXPECT_EQ(made, Entries(folder));
        EXPECT_TRUE(Entries(current.path).empty());
    }
}

TEST(MemoryAnalysis, TheToolsThatRunAreTheOnesTheLookUpChecked)
{
    const std::vector<std::string> expectedLines = LinesOf(ReadFileBytes(FromUnix(KEVRA_ROAD_NM)));
    const std::string shims = FromUnix(KEVRA_SHIM_FOLDER);
    ScratchFolder scratch("analysis-planted");
    const std::string canary = scratch.path + "CANARY";
    // Stand-ins that the interpreter would run in place of the tools: each leaves the canary and
    // made-up figures.
    const std::string plantedBat = "@echo planted> \"" + canary + "\"\r\n@echo 00000999 T planted\r\n";
    const auto plantBats = [&](const std::string& folder) {
        for (const char* tool : { "avr-size", "avr-nm" })
            WriteFileBytes(folder + tool + ".bat", plantedBat);
    };
    const std::string planted = scratch.path + "planted\\";
    CreateDirectoryW(Widen(planted).c_str(), nullptr);
    plantBats(planted);
    // A folder with both tools and an avr-size.com beside avr-size.exe: the .com answers made up.
    const std::string withCom = scratch.path + "with com\\";
    CreateDirectoryW(Widen(withCom).c_str(), nullptr);
    for (const char* tool : { "avr-size", "avr-nm" })
        ASSERT_TRUE(CopyFileW(Widen(shims + "\\" + tool + ".exe").c_str(), Widen(withCom + tool + ".exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Widen(FromUnix(KEVRA_CANNED_TOOL)).c_str(), Widen(withCom + "avr-size.com").c_str(), FALSE));
    WriteFileBytes(withCom + "avr-size.out", "   text\t   data\t    bss\r\n      1\t      2\t      3\r\n");
    // The agent's current folder, with stand-ins too.
    const std::string current = scratch.path + "current\\";
    CreateDirectoryW(Widen(current).c_str(), nullptr);
    plantBats(current);
    CurrentFolderChange inCurrent(current);
    const std::wstring standardExtensions = L".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC";
    EnvironmentChange pathExt(L"PATHEXT", &standardExtensions);
    const struct { const char* what; std::string path; bool plantInBuild; bool analysed; } cases[] = {
        { "a .bat in an earlier PATH folder", planted + ";" + shims, false, true },
        { "an avr-size.com beside avr-size.exe", withCom + ";" + shims, false, true },
        { "the agent's current folder", shims, false, true },
        { "\".\" and empty PATH entries", ".;;" + shims, false, true },
        // The build's folder is the interpreter's current one, which Wine's searches first.
        { "a .bat in the build's folder", shims, true, false },
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string build = scratch.path + "build" + std::to_string(++n) + ".tmp\\";
        ASSERT_TRUE(CreateDirectoryW(Widen(build).c_str(), nullptr));
        const std::string elf = build + "Road.cpp.elf";
        ASSERT_TRUE(CopyFileW(Widen(FromUnix(KEVRA_ROAD_ELF)).c_str(), Widen(elf).c_str(), FALSE));
        if (c.plantInBuild)
            plantBats(build);
        const std::wstring path = Widen(c.path);
        EnvironmentChange onPath(L"PATH", &path);

        const AnalysisResult run = AnalyzeBuild(elf);
        EXPECT_EQ(SymbolRows(c.analysed ? expectedLines : std::vector<std::string>{}), run.rows);
        const std::string sizeReport = c.analysed ? ReadFileBytes(elf + ".size") : std::string();
        EXPECT_EQ(c.analysed ? CountsOf(ReadFileBytes(FromUnix(KEVRA_ROAD_SIZE))).text : -1, CountsOf(sizeReport).text);
        EXPECT_EQ(SramCountsOf(sizeReport), run.sram);
        EXPECT_FALSE(PathExists(canary));
        DeleteFileW(Widen(canary).c_str());
    }
}

TEST(MemoryAnalysis, TheInterpreterGetsItsOwnEnvironmentWithoutTheCurrentFolderSearch)
{
    // Windows' cmd honours NoDefaultCurrentDirectoryInExePath and then never runs an avr-size from
    // its current folder; Wine's cmd ignores it, so here the environment the tools inherit is checked.
    ScratchFolder tools("analysis-env");
    PutCannedTools(tools.path, "", "00000010 T a\r\n");
    WriteFileBytes(tools.path + "avr-nm.env", "");
    const std::wstring path = PathWith(tools.path);
    EnvironmentChange onPath(L"PATH", &path);
    const std::wstring seen = L"kept";
    EnvironmentChange passed(L"KEVRA_PASSED_ON", &seen);

    EXPECT_EQ(SymbolRows({ "00000010 T a" }), AnalyzeBuild(tools.path + "x.cpp.elf").rows);
    const std::vector<std::string> environment = LinesOf(ReadFileBytes(tools.path + "avr-nm.env"));
    const auto has = [&](const std::string& entry) {
        return std::find(environment.begin(), environment.end(), entry) != environment.end();
    };
    EXPECT_TRUE(has("NoDefaultCurrentDirectoryInExePath=1"));
    EXPECT_TRUE(has("KEVRA_PASSED_ON=kept"));
    // The folder the look-up checked comes first; the rest is the agent's own PATH.
    EXPECT_TRUE(has("PATH=" + tools.path.substr(0, tools.path.size() - 1) + ";" + Narrow(path)));
    // The agent's own environment is not changed.
    EXPECT_EQ(0u, GetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", nullptr, 0));
}

TEST(MemoryAnalysis, AToolThatNeverEndsIsEndedWithTheInterpreterWithinOneLimitForBothTools)
{
    const std::string sizeAnswer = "   text\t   data\t    bss\r\n      1\t      2\t      3\r\n";
    const struct { const char* hanging; std::string sizeReport; std::vector<std::string> symbolLines; } cases[] = {
        { "avr-nm", sizeAnswer, {} },
        // The limit is the whole analysis's: the time is spent, and avr-nm is not started.
        { "avr-size", "", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hanging);
        ScratchFolder tools("analysis-hang");
        PutCannedTools(tools.path, sizeAnswer, "00000010 T a\r\n00000004 D b\r\n");
        WriteFileBytes(tools.path + c.hanging + ".hang", "");
        const std::wstring path = PathWith(tools.path);
        EnvironmentChange onPath(L"PATH", &path);
        const std::string elf = tools.path + "x.cpp.elf";

        const AnalysisResult run = AnalyzeBuild(elf, 5000);
        EXPECT_EQ(SymbolRows(c.symbolLines), run.rows);
        EXPECT_EQ(SramCountsOf(c.sizeReport), run.sram);
        EXPECT_FALSE(PathExists(elf + ".map") && std::string(c.hanging) == "avr-size");
        // The hanging tool, a child of the interpreter, is gone too.
        const DWORD toolId = DWORD(std::strtoul(ReadFileBytes(tools.path + c.hanging + ".hang").c_str(), nullptr, 10));
        ASSERT_NE(0u, toolId);
        UniqueHandle tool(OpenProcess(SYNCHRONIZE, FALSE, toolId));
        if (tool) {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(tool.get(), 5000));
        }
    }
}

TEST(MemoryAnalysis, WithoutAnInterpreterTheReportsAreReadAsTheyStandAndNoneIsCreated)
{
    ScratchFolder scratch("analysis-none");
    EnvironmentChange noInterpreter(L"COMSPEC", nullptr);
    const std::string elf = scratch.path + "x.cpp.elf";
    const AnalysisResult run = AnalyzeBuild(elf);
    OpenDriven("[kevra+ v0.3] Memory Analyzer: x.hex", [&] { ShowAnalyzerWindow(run); }, [](HWND analyzer) {
        ASSERT_TRUE(analyzer);
        EXPECT_TRUE(ListRows(GetDlgItem(analyzer, 1000)).empty());
    });
    EXPECT_EQ(SramCounts{}, run.sram);
    EXPECT_TRUE(run.rows.empty());
    EXPECT_TRUE(Entries(scratch.path).empty());   // a missing report is not made by reading it

    // A report that another program holds open, letting others read but not write, is read.
    WriteFileBytes(elf + ".map", "00000010 T held\r\n");
    UniqueHandle reader(CreateFileW(Widen(elf + ".map").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_EQ(SymbolRows({ "00000010 T held" }), AnalyzeBuild(elf).rows);
}

TEST(MemoryAnalysis, AReportIsReadNoFurtherThanItsLimit)
{
    ScratchFolder scratch("analysis-huge");
    EnvironmentChange noInterpreter(L"COMSPEC", nullptr);
    const std::string elf = scratch.path + "x.cpp.elf";
    {
        // A first line, then zeros up to a line that crosses the limit, and one beyond it.
        UniqueHandle map(CreateFileW(Widen(elf + ".map").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(map);
        const auto writeAt = [&](int64_t at, const std::string& bytes) {
            LARGE_INTEGER to{};
            to.QuadPart = at;
            DWORD n = 0;
            return SetFilePointerEx(map.get(), to, nullptr, FILE_BEGIN) &&
                   WriteFile(map.get(), bytes.data(), DWORD(bytes.size()), &n, nullptr) && n == bytes.size();
        };
        ASSERT_TRUE(writeAt(0, "00000010 T first\r\n"));
        ASSERT_TRUE(writeAt(int64_t(ReportByteLimit) - 5, "00000020 T crossing\r\n"));
        ASSERT_TRUE(writeAt(int64_t(ReportByteLimit) + 100, "00000030 T beyond\r\n"));
    }
    EXPECT_EQ(SymbolRows({ "00000010 T first" }), AnalyzeBuild(elf).rows);
}
