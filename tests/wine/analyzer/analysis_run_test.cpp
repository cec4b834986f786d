#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>

#include "AnalyzerDriver.h"
#include "DriveAnalyzer.h"
#include "Fixture.h"
#include "analyzer/AnalysisRun.h"
#include "core/Settings.h"
#include "core/SharedValues.h"

namespace {

constexpr int IdMemoryAnalyzer = 1001;

// The build tree's Unix path as Wine's Z: drive sees it.
std::string FromUnix(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

struct MainWindow {
    HWND window = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"Memory Analyzer", WS_CHILD, 0, 0, 100, 20, window,
                                  reinterpret_cast<HMENU>(IdMemoryAnalyzer), nullptr, nullptr);
    ~MainWindow() { DestroyWindow(window); }
};

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

int64_t SizeOfType(const std::vector<std::string>& lines, const char* types)
{
    int64_t sum = 0;
    for (const std::string& line : lines)
        if (SymbolType(line).size() == 1 && std::string(types).find(SymbolType(line)) != std::string::npos)
            sum += SymbolSize(line);
    return sum;
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

    MainWindow main;
    OpenDriven("[kevra+ v0.3] Memory Analyzer: MemoryFixture.hex", [&] { RunMemoryAnalysis(main.window, IdMemoryAnalyzer); },
               [&](HWND analyzer) {
        ASSERT_TRUE(analyzer);
        EXPECT_FALSE(IsWindowEnabled(main.button));   // until the window has closed
        // The window shows what the run read, one row per line in the tool's order.
        std::vector<std::vector<std::string>> rows;
        for (const std::string& line : SymbolLines)
            rows.push_back({ SymbolName(line), SymbolType(line), SizeText(SymbolSize(line)) });
        EXPECT_EQ(rows, ListRows(GetDlgItem(analyzer, 1000)));
    });
    EXPECT_TRUE(IsWindowEnabled(main.button));

    // The tool's own report, made at build time on Linux, against what the agent read back.
    const SizeCounts expected = CountsOf(ReadFileBytes(FromUnix(KEVRA_FIXTURE_SIZE)));
    ASSERT_GT(expected.text, 0);
    ASSERT_NE(std::string::npos, SizeReport.find("\r\n")) << SizeReport;
    EXPECT_EQ(SizeReport, ReadFileBytes(elf + ".size"));
    const SizeCounts got = CountsOf(SizeReport);
    EXPECT_EQ(expected.text, got.text);
    EXPECT_EQ("SRAM: " + std::to_string(expected.data) + " B in static data, " + std::to_string(expected.bss) +
                  " B in uninitialized variables",
              SramSummaryText(SizeReport));

    ASSERT_FALSE(SymbolLines.empty()) << ReadFileBytes(elf + ".map");
    std::vector<std::string> names;
    for (const std::string& line : SymbolLines)
        names.push_back(SymbolName(line));
    for (const char* name : { "frameBuffer", "highScore", "levelDeltas", "main", "sprites::Sprite::blit(unsigned char, int)",
                              "drawText(char const*, unsigned char)" }) {
        SCOPED_TRACE(name);
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), name));
    }
    EXPECT_EQ("00000200 B frameBuffer", SymbolLines.front());   // the largest first
    // The global buffer is all of bss; the code symbols fit in text, the variables in data.
    EXPECT_EQ(expected.bss, SizeOfType(SymbolLines, "Bb"));
    EXPECT_LE(SizeOfType(SymbolLines, "Tt"), expected.text);
    EXPECT_LE(SizeOfType(SymbolLines, "Dd"), expected.data);
    const int64_t total = std::accumulate(SymbolLines.begin(), SymbolLines.end(), int64_t{0},
                                          [](int64_t sum, const std::string& line) { return sum + SymbolSize(line); });
    EXPECT_EQ("FLASH: " + GroupedThousands(total) + " bytes used by " + std::to_string(SymbolLines.size()) + " objects",
              FlashSummaryText(SymbolLines));
    EXPECT_GT(total, expected.bss);
}

TEST(MemoryAnalysis, WithoutAnInterpreterTheRunGoesOnWithEmptyReports)
{
    ScratchFolder scratch("analysis-none");
    const std::string elf = scratch.path + "x.cpp.elf";
    WriteLastElfPath(elf);
    wchar_t comspec[MAX_PATH] = {};
    GetEnvironmentVariableW(L"COMSPEC", comspec, MAX_PATH);
    SetEnvironmentVariableW(L"COMSPEC", nullptr);
    SizeReport = "earlier";
    SymbolLines = { "earlier" };

    OpenDriven("[kevra+ v0.3] Memory Analyzer: x.hex", [] { RunMemoryAnalysis(nullptr, 201); }, [](HWND analyzer) {
        ASSERT_TRUE(analyzer);
        EXPECT_TRUE(ListRows(GetDlgItem(analyzer, 1000)).empty());
    });
    SetEnvironmentVariableW(L"COMSPEC", comspec);
    EXPECT_EQ("", SizeReport);
    EXPECT_TRUE(SymbolLines.empty());
    EXPECT_TRUE(PathExists(elf + ".size"));   // created empty when opened
    EXPECT_TRUE(PathExists(elf + ".map"));
}
