// The "Budget and changes" window in the real agent, on real Arduino builds of one sketch written one
// after the other into one build folder, as the IDE writes them at each Verify: the budget lines
// against the builder's own size lines, the changes against the difference of avr-nm's two reports
// (worked out here on the reports' own terms), the kept copies and their remembered analysis, an
// oversize build, and the analyzer list's sorting and copying.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <tuple>

#include "AgentDriver.h"
#include "analyzer/StackDepth.h"
#include "base/KeptBuilds.h"
#include "AnalyzerDriver.h"
#include "WineOnly.h"

namespace {

constexpr int IdMemoryAnalyzer = 1001;
constexpr int IdSymbolList = 1000;
constexpr int IdBudgetAndChanges = 1004;
constexpr int IdProgramLine = 2001;
constexpr int IdProgramMark = 2002;
constexpr int IdDataLine = 2003;
constexpr int IdDataMark = 2004;
constexpr int IdAgainstLine = 2005;
constexpr int IdChangesLine = 2006;
constexpr int IdChangesList = 2007;
constexpr int IdProgramBarText = 2009;
constexpr int IdRamBarText = 2011;
constexpr int IdStackLine = 2012;
constexpr int IdStackList = 2014;

using Rows = std::vector<std::vector<std::string>>;

std::string RealBuilds() { return FromUnixPath(KEVRA_REAL_BUILDS) + "\\"; }

// What the builder printed for one build: "Sketch uses N bytes (P%) ... Maximum is M bytes." and
// "Global variables use N bytes (P%) ..., leaving L bytes for local variables. Maximum is M bytes."
struct BuilderLines {
    long program = -1, programPercent = -1, programMax = -1;
    long data = -1, dataPercent = -1, left = -1, dataMax = -1;
};
BuilderLines BuilderLinesOf(const std::string& build)
{
    BuilderLines b;
    const std::string all = ReadFileBytes(RealBuilds() + "builder-lines.txt");
    for (size_t at = 0; at < all.size();) {
        const size_t end = std::min(all.find('\n', at), all.size());
        const std::string line = all.substr(at, end - at);
        at = end + 1;
        const std::string prefix = build + ": ";
        if (line.rfind(prefix, 0) != 0)
            continue;
        const char* rest = line.c_str() + prefix.size();
        std::sscanf(rest, "Sketch uses %ld bytes (%ld%%) of program storage space. Maximum is %ld bytes.", &b.program,
                    &b.programPercent, &b.programMax);
        std::sscanf(rest, "Global variables use %ld bytes (%ld%%) of dynamic memory, leaving %ld bytes for local "
                          "variables. Maximum is %ld bytes.", &b.data, &b.dataPercent, &b.left, &b.dataMax);
    }
    return b;
}

std::vector<ReportSymbol> SymbolsOf(const std::string& build)
{
    return ReportSymbols(ReadFileBytes(RealBuilds() + build + ".avr-nm.txt"));
}

// The changes list's rows from two reports: the k-th symbol of a name and type in one report is the
// k-th in the other; rows of the symbols whose size differs, that appeared or that went, sorted here
// by their texts (the window's order is checked apart).
Rows ExpectedChanges(const std::vector<ReportSymbol>& before, const std::vector<ReportSymbol>& after)
{
    using Key = std::tuple<std::string, std::string, int>;
    std::map<Key, std::pair<std::optional<long>, std::optional<long>>> sizes;
    std::map<std::pair<std::string, std::string>, int> seen;
    for (const ReportSymbol& s : before)
        sizes[{ s.name, s.type, seen[{ s.name, s.type }]++ }].first = s.size;
    seen.clear();
    for (const ReportSymbol& s : after)
        sizes[{ s.name, s.type, seen[{ s.name, s.type }]++ }].second = s.size;
    Rows rows;
    for (const auto& [key, pair] : sizes) {
        if (pair.first == pair.second)
            continue;
        const long change = pair.second.value_or(0) - pair.first.value_or(0);
        rows.push_back({ std::get<0>(key).substr(0, 255), std::get<1>(key),
                         pair.first ? std::to_string(*pair.first) : "", pair.second ? std::to_string(*pair.second) : "",
                         (change > 0 ? "+" : "") + std::to_string(change) });
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// "10:42:13" of a file time, in this machine's local time.
std::string LocalClock(uint64_t fileTime)
{
    const FILETIME utc{ DWORD(fileTime), DWORD(fileTime >> 32) };
    SYSTEMTIME universal{}, local{};
    FileTimeToSystemTime(&utc, &universal);
    SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.wHour, local.wMinute, local.wSecond);
    return text;
}

// "+154 bytes", "-2 bytes", "unchanged".
std::string SignedBytes(long change)
{
    if (change == 0)
        return "unchanged";
    return (change > 0 ? "+" : "-") + Grouped(std::labs(change)) + " bytes";
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

struct BudgetRoad : ::testing::Test {
    ScratchFolder scratch{ "e2e budget" };
    std::string agentFolder = PrepareAgentFolder(scratch.path);
    std::string temp = scratch.path + "temp\\";
    std::string kept;   // the agent's kept copies, in the prefix's local application data
    RunningAgent agent;

    void SetUp() override
    {
        ASSERT_TRUE(UnderWine());
        wchar_t local[MAX_PATH]{};
        ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local));
        kept = Narrow(local) + "\\kevra+\\builds\\";
        RemoveTree(kept);
        CreateDirectoryW(Widen(temp).c_str(), nullptr);
        WriteFileBytes(temp + "kevra-agent.ini", "[Config]\r\ncopyhex=0\r\nhomedir=" + scratch.path + "\r\n");
        ASSERT_TRUE(agent.Start(agentFolder, temp));
    }
    void TearDown() override
    {
        if (agent.process.hProcess) {
            EXPECT_TRUE(agent.Exit());
        }
        RemoveTree(kept);
    }

    // The .elf files kept, by name.
    std::vector<std::string> KeptElfs() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(Widen(kept + "*.elf").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            names.push_back(Narrow(found.cFileName));
        while (FindNextFileW(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

    // Writes a real build into the build folder as the IDE does, build.options.json and the .elf
    // (last written at elfTime) first, the .hex last, and waits until the agent has acted on it (the
    // simulator started) and kept its copy. Returns the .elf's path.
    // The values of build.options.json given in replaced stand in place of the build's own (as JSON
    // text, its backslashes doubled).
    std::string WriteBuild(const std::string& real, const std::string& name, const std::string& folder,
                           uint64_t elfTime, size_t keptAfter,
                           const std::vector<std::pair<std::string, std::string>>& replaced = {})
    {
        const std::string from = RealBuilds() + real + "\\", to = temp + folder + "\\";
        CreateDirectoryW(Widen(to).c_str(), nullptr);
        const size_t starts = agent.SimulatorStarts().size();
        std::string options = ReadFileBytes(from + "build.options.json");
        for (const auto& [name, value] : replaced) {
            const std::string key = "\"" + name + "\": \"";
            const size_t at = options.find(key);
            EXPECT_NE(std::string::npos, at) << name;
            if (at != std::string::npos)
                options.replace(at + key.size(), options.find('"', at + key.size()) - at - key.size(), value);
        }
        WriteFileBytes(to + "build.options.json", options);
        const std::string elf = to + name + ".ino.elf";
        const std::string realName = real == "oversize" ? "Oversize" : "Game";   // the real build's own name
        WriteFileBytes(elf, ReadFileBytes(from + realName + ".ino.elf"));
        SetWriteTime(elf, elfTime);
        WriteFileBytes(to + name + ".ino.hex", ReadFileBytes(from + realName + ".ino.hex"));
        EXPECT_TRUE(WaitFor([&] { return agent.SimulatorStarts().size() == starts + 1; }, 15000)) << real;
        EXPECT_TRUE(WaitFor([&] { return KeptElfs().size() == keptAfter; })) << real;
        return elf;
    }

    HWND OpenWindow(const std::string& caption, DWORD milliseconds = 30000) const
    {
        HWND window = nullptr;
        WaitFor([&] {
            window = FindProcessWindow(agent.process.dwProcessId, caption);
            return window && IsWindowVisible(window);
        }, milliseconds);
        return window && IsWindowVisible(window) ? window : nullptr;
    }
    HWND OpenAnalyzer(const std::string& buildName) const
    {
        PostMessageW(agent.mainWindow, WM_COMMAND, MAKEWPARAM(IdMemoryAnalyzer, BN_CLICKED),
                     LPARAM(GetDlgItem(agent.mainWindow, IdMemoryAnalyzer)));
        return OpenWindow("[kevra+ v0.3] Memory Analyzer: " + buildName + ".hex");
    }
    HWND OpenBudget(HWND analyzer, const std::string& buildName) const
    {
        PostMessageW(analyzer, WM_COMMAND, MAKEWPARAM(IdBudgetAndChanges, 0), 0);
        return OpenWindow("[kevra+ v0.3] Budget and changes: " + buildName + ".hex");
    }
    static bool Close(HWND window)
    {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(window, IDOK)));
        return WaitFor([&] { return !IsWindow(window); });
    }
};

// The change of the deepest stack between two real builds, as the analysis works it out (its own
// tests hold it against the simulator).
long StackChange(const std::string& before, const std::string& after)
{
    const auto bytes = [](const std::string& build) {
        const std::optional<StackDepth> depth = DeepestStack(ReadFileBytes(RealBuilds() + build + "\\Game.ino.elf"));
        return depth ? long(depth->bytes) : -1;
    };
    return bytes(after) - bytes(before);
}

// The stack line, the deepest path under it and the RAM bar's figures agree with each other and with
// what the builder says the globals leave.
void ExpectStackOf(HWND budget, const BuilderLines& b)
{
    const Rows path = ListRows(GetDlgItem(budget, IdStackList));
    ASSERT_GE(path.size(), 3u);
    long total = 0;
    for (const auto& row : path) {
        ASSERT_EQ(4u, row.size());
        total += std::atol(row[1].c_str());
        EXPECT_EQ(std::to_string(total), row[2]) << row[0];
    }
    EXPECT_EQ("__vectors", path.front()[0]);   // from the reset vector
    EXPECT_EQ("", path.front()[3]);
    EXPECT_EQ("interrupt", path.back()[3]);     // the USB interrupt on top
    EXPECT_EQ("Stack: up to " + Grouped(total) + " bytes, " + Grouped(b.left - total) + " bytes to spare",
              ControlText(budget, IdStackLine));
    EXPECT_EQ("globals " + Grouped(b.data) + " + stack " + Grouped(total) + ", " + Grouped(b.left - total) +
                  " bytes left",
              ControlText(budget, IdRamBarText));
    EXPECT_EQ(Grouped(b.program) + " of " + Grouped(b.programMax) + " bytes", ControlText(budget, IdProgramBarText));
}

void ExpectBudgetLines(HWND budget, const BuilderLines& b)
{
    ASSERT_GE(b.program, 0);
    ASSERT_GE(b.data, 0);
    EXPECT_EQ("Program storage: " + Grouped(b.program) + " of " + Grouped(b.programMax) + " bytes (" +
                  std::to_string(b.programPercent) + " %)",
              ControlText(budget, IdProgramLine));
    EXPECT_EQ("Global variables: " + Grouped(b.data) + " of " + Grouped(b.dataMax) + " bytes (" +
                  std::to_string(b.dataPercent) + " %), " + Grouped(b.left) + " bytes left for local variables",
              ControlText(budget, IdDataLine));
    EXPECT_EQ("Against the board \"Arduino Leonardo\"", ControlText(budget, IdAgainstLine));
}

}  // namespace

TEST_F(BudgetRoad, TwoBuildsOfOneSketchShowTheBuildersBudgetAndAvrNmsDifference)
{
    const uint64_t firstTime = NowFileTime() - 3600ull * 10'000'000 - 17ull * 10'000'000;
    WriteBuild("game-1", "Game", "build4242.tmp", firstTime, 1);
    WriteBuild("game-2", "Game", "build4242.tmp", NowFileTime(), 2);

    HWND analyzer = OpenAnalyzer("Game");
    ASSERT_TRUE(analyzer);
    HWND budget = OpenBudget(analyzer, "Game");
    ASSERT_TRUE(budget);
    EXPECT_EQ(analyzer, GetWindow(budget, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(analyzer));

    const BuilderLines before = BuilderLinesOf("game-1"), after = BuilderLinesOf("game-2");
    ExpectBudgetLines(budget, after);
    EXPECT_EQ("", ControlText(budget, IdProgramMark));
    EXPECT_EQ("", ControlText(budget, IdDataMark));
    EXPECT_EQ("Program storage " + SignedBytes(after.program - before.program) + ", global variables " +
                  SignedBytes(after.data - before.data) + ", stack " + SignedBytes(StackChange("game-1", "game-2")) +
                  " since the build of " + LocalClock(firstTime),
              ControlText(budget, IdChangesLine));
    ExpectStackOf(budget, after);

    const std::vector<ReportSymbol> first = SymbolsOf("game-1"), second = SymbolsOf("game-2");
    const Rows expected = ExpectedChanges(first, second);
    ASSERT_FALSE(expected.empty());
    // The second build has a larger table and one function fewer: both show.
    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](const auto& r) { return r[3].empty(); }));
    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](const auto& r) { return r[4][0] == '+'; }));
    HWND changes = GetDlgItem(budget, IdChangesList);
    const std::vector<ListColumn> columns = ListColumns(changes);
    ASSERT_EQ(5u, columns.size());
    EXPECT_EQ((std::vector<std::string>{ "Name", "Type", "Before", "After", "Change" }),
              (std::vector<std::string>{ columns[0].title, columns[1].title, columns[2].title, columns[3].title,
                                         columns[4].title }));
    Rows shown = ListRows(changes);
    for (size_t i = 1; i < shown.size(); ++i)
        EXPECT_GE(std::labs(std::atol(shown[i - 1][4].c_str())), std::labs(std::atol(shown[i][4].c_str())))
            << "largest change first, row " << i;
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(expected, shown);

    // The kept copy's analysis is recorded beside it and read, not run again, at the next opening: a
    // symbol written into its record shows as gone.
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(IsWindowEnabled(analyzer));
    const std::vector<std::string> copies = KeptElfs();
    ASSERT_EQ(2u, copies.size());
    // The copies are named ...-1.elf and ...-2.elf: the first build's is the one ending in -1.
    const std::string previousCopy = kept + (copies[0].find("-1.elf") != std::string::npos ? copies[0] : copies[1]);
    const std::string previousBytes = ReadFileBytes(previousCopy);
    EXPECT_EQ(ReadFileBytes(RealBuilds() + "game-1\\Game.ino.elf"), previousBytes);
    std::optional<KeptReports> reports = ReportsOfRecord(ReadFileBytes(previousCopy + ".analysis"), previousBytes);
    ASSERT_TRUE(reports);
    EXPECT_FALSE(reports->size.empty());
    EXPECT_FALSE(PathExists(previousCopy + ".map"));   // the raw reports go once recorded
    EXPECT_FALSE(PathExists(previousCopy + ".size"));
    reports->symbols += "00000007 T remembered_only\r\n";
    WriteFileBytes(previousCopy + ".analysis", AnalysisRecord(previousBytes, *reports));
    budget = OpenBudget(analyzer, "Game");
    ASSERT_TRUE(budget);
    const Rows again = ListRows(GetDlgItem(budget, IdChangesList));
    EXPECT_EQ(expected.size() + 1, again.size());
    EXPECT_NE(again.end(), std::find(again.begin(), again.end(), std::vector<std::string>{ "remembered_only", "T", "7", "", "-7" }));
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(Close(analyzer));
}

TEST_F(BudgetRoad, AnOversizeBuildIsListedAndOverItsBudgetWithNoEarlierBuild)
{
    WriteBuild("oversize", "Oversize", "build5151.tmp", NowFileTime(), 1);
    HWND analyzer = OpenAnalyzer("Oversize");
    ASSERT_TRUE(analyzer);
    const std::vector<ReportSymbol> symbols = SymbolsOf("oversize");
    Rows rows;
    for (const ReportSymbol& s : symbols)
        rows.push_back({ s.name.substr(0, 255), s.type, std::to_string(s.size) });
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows, ListRows(GetDlgItem(analyzer, IdSymbolList)));

    HWND budget = OpenBudget(analyzer, "Oversize");
    ASSERT_TRUE(budget);
    const BuilderLines b = BuilderLinesOf("oversize");
    EXPECT_GT(b.program, 28672);
    EXPECT_GT(b.programPercent, 100);
    ExpectBudgetLines(budget, b);
    EXPECT_EQ("Sketch too big", ControlText(budget, IdProgramMark));
    EXPECT_EQ("", ControlText(budget, IdDataMark));
    EXPECT_EQ("No earlier build of Oversize.hex to compare with.", ControlText(budget, IdChangesLine));
    EXPECT_TRUE(ListRows(GetDlgItem(budget, IdChangesList)).empty());
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(Close(analyzer));
}

TEST_F(BudgetRoad, HeaderClicksSortTheAnalyzersListAndTheSelectedRowIsCopied)
{
    WriteBuild("game-2", "Game", "build77.tmp", NowFileTime(), 1);
    HWND analyzer = OpenAnalyzer("Game");
    ASSERT_TRUE(analyzer);
    HWND list = GetDlgItem(analyzer, IdSymbolList);
    const Rows original = ListRows(list);
    ASSERT_GE(original.size(), 10u);
    Rows sortedOriginal = original;
    std::sort(sortedOriginal.begin(), sortedOriginal.end());

    const auto sorted = [&](int column, bool reversed) {
        const Rows rows = ListRows(list);
        Rows same = rows;
        std::sort(same.begin(), same.end());
        if (same != sortedOriginal)
            return ::testing::AssertionFailure() << "the rows themselves changed";
        for (size_t i = 1; i < rows.size(); ++i) {
            const std::string& a = rows[i - 1][size_t(column)];
            const std::string& b = rows[i][size_t(column)];
            bool inOrder = true;
            if (column == 0)
                inOrder = reversed ? LowerCase(a) >= LowerCase(b) : LowerCase(a) <= LowerCase(b);
            else if (column == 1)
                inOrder = reversed ? a >= b : a <= b;
            else
                inOrder = reversed ? std::atol(a.c_str()) <= std::atol(b.c_str()) : std::atol(a.c_str()) >= std::atol(b.c_str());
            if (!inOrder)
                return ::testing::AssertionFailure() << "column " << column << " row " << i << ": " << a << " then " << b;
        }
        return ::testing::AssertionSuccess();
    };
    // Each click in turn: names, names again (reversed), types, types reversed, sizes, sizes reversed.
    const struct { int column; bool reversed; } clicks[] = {
        { 0, false }, { 0, true }, { 1, false }, { 1, true }, { 2, false }, { 2, true },
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(::testing::Message() << "column " << c.column << (c.reversed ? " reversed" : ""));
        Sleep(GetDoubleClickTime() + 100);   // a second click, not a double click
        ASSERT_TRUE(ClickListHeader(list, c.column));
        WaitFor([&] { return bool(sorted(c.column, c.reversed)); }, 5000);
        EXPECT_TRUE(sorted(c.column, c.reversed));
        if (c.column == 0 && !c.reversed) {
            EXPECT_NE(original, ListRows(list));
        }
    }

    // Copy with Ctrl+C, then with "Copy" from the list's context menu opened by a right click on the
    // row: the row the list shows, as the CSV writes it.
    SetForegroundWindow(analyzer);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == analyzer; }));
    const Rows rows = ListRows(list);
    for (const int row : { 3, int(rows.size()) - 1 }) {
        SCOPED_TRACE(row);
        EmptyTheClipboard();
        ASSERT_TRUE(SelectListRow(list, row));
        if (row == 3) {
            PressKeys({ VK_CONTROL, 'C' });
        } else {
            ASSERT_TRUE(RightClickListRow(list, row));
            ASSERT_TRUE(WaitFor([] { HWND menu = FindWindowW(L"#32768", nullptr); return menu && IsWindowVisible(menu); }, 5000));
            PressKeys({ VK_DOWN });
            Sleep(200);
            PressKeys({ VK_RETURN });
        }
        const std::string line = rows[size_t(row)][0] + ";" + rows[size_t(row)][1] + ";" + rows[size_t(row)][2];
        EXPECT_TRUE(WaitFor([&] { return ClipboardText() == line; }, 5000)) << ClipboardText();
        EXPECT_TRUE(IsWindowVisible(analyzer));
    }

    // The keyboard's right click, Shift+F10 and the menu key, opens the same menu at the selected row.
    for (const bool shiftF10 : { true, false }) {
        SCOPED_TRACE(shiftF10 ? "Shift+F10" : "the menu key");
        ASSERT_TRUE(SelectListRow(list, 2));
        EmptyTheClipboard();
        if (shiftF10)
            PressKeys({ VK_SHIFT, VK_F10 });
        else
            PressKeys({ VK_APPS });
        ASSERT_TRUE(WaitFor([] { HWND menu = FindWindowW(L"#32768", nullptr); return menu && IsWindowVisible(menu); }, 5000));
        PressKeys({ VK_DOWN });
        Sleep(200);
        PressKeys({ VK_RETURN });
        const std::string line = rows[2][0] + ";" + rows[2][1] + ";" + rows[2][2];
        EXPECT_TRUE(WaitFor([&] { return ClipboardText() == line; }, 5000)) << ClipboardText();
    }

    // Ctrl+B opens "Budget and changes"; its Close gives the analyzer back.
    PressKeys({ VK_CONTROL, 'B' });
    HWND budget = OpenWindow("[kevra+ v0.3] Budget and changes: Game.hex", 10000);
    ASSERT_TRUE(budget);
    EXPECT_EQ("No earlier build of Game.hex to compare with.", ControlText(budget, IdChangesLine));
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(Close(analyzer));
}

TEST_F(BudgetRoad, AFolderHoldingTheHighestSequenceStillKeepsAndFindsTheBuilds)
{
    // A name the agent could have written, with the highest sequence one may carry.
    const std::string planted = "Planted_hex-0123abcd-999999999999999999.elf";
    CreateDirectoryW(Widen(kept.substr(0, kept.size() - 7)).c_str(), nullptr);
    CreateDirectoryW(Widen(kept).c_str(), nullptr);
    WriteFileBytes(kept + planted, "planted");
    const uint64_t firstTime = NowFileTime() - 600ull * 10'000'000;
    WriteBuild("game-1", "Game", "build31.tmp", firstTime, 2);
    WriteBuild("game-2", "Game", "build31.tmp", NowFileTime(), 3);
    for (const std::string& name : KeptElfs()) {
        const std::optional<KeptName> read = ParseKeptBuildName(name);
        ASSERT_TRUE(read) << name;
        EXPECT_LE(read->sequence, 3u) << name;
    }
    HWND analyzer = OpenAnalyzer("Game");
    ASSERT_TRUE(analyzer);
    HWND budget = OpenBudget(analyzer, "Game");
    ASSERT_TRUE(budget);
    EXPECT_NE(std::string::npos, ControlText(budget, IdChangesLine).find(" since the build of " + LocalClock(firstTime)))
        << ControlText(budget, IdChangesLine);
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(Close(analyzer));
}

TEST_F(BudgetRoad, TwoSketchesOfOneNameAreComparedEachWithItsOwnBuilds)
{
    // Two projects both called Game: the second one's build comes between the first one's two.
    const std::string first = "Z:\\\\Projects\\\\Game\\\\Game.ino", other = "Z:\\\\Old\\\\Game\\\\Game.ino";
    const uint64_t firstTime = NowFileTime() - 1200ull * 10'000'000;
    WriteBuild("game-1", "Game", "build1.tmp", firstTime, 1, { { "sketchLocation", first } });
    WriteBuild("oversize", "Game", "build2.tmp", NowFileTime() - 600ull * 10'000'000, 2, { { "sketchLocation", other } });
    // The first project again, in a new IDE session's build folder.
    WriteBuild("game-2", "Game", "build3.tmp", NowFileTime(), 3, { { "sketchLocation", first } });
    HWND analyzer = OpenAnalyzer("Game");
    ASSERT_TRUE(analyzer);
    HWND budget = OpenBudget(analyzer, "Game");
    ASSERT_TRUE(budget);
    const BuilderLines before = BuilderLinesOf("game-1"), after = BuilderLinesOf("game-2");
    EXPECT_EQ("Program storage " + SignedBytes(after.program - before.program) + ", global variables " +
                  SignedBytes(after.data - before.data) + ", stack " + SignedBytes(StackChange("game-1", "game-2")) +
                  " since the build of " + LocalClock(firstTime),
              ControlText(budget, IdChangesLine));
    Rows shown = ListRows(GetDlgItem(budget, IdChangesList));
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(ExpectedChanges(SymbolsOf("game-1"), SymbolsOf("game-2")), shown);
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(Close(analyzer));
}

TEST_F(BudgetRoad, ReportsThatAreNotOfTheCopysBytesAreNeverItsAnalysis)
{
    const uint64_t firstTime = NowFileTime() - 600ull * 10'000'000;
    WriteBuild("game-1", "Game", "build8.tmp", firstTime, 1);
    const std::vector<std::string> firstCopy = KeptElfs();
    ASSERT_EQ(1u, firstCopy.size());
    const std::string previousCopy = kept + firstCopy[0];
    // What a tool run cut short leaves (a report broken off), and the record of another build that
    // once had the copy's name: neither is the first build's analysis.
    const std::string otherReport = ReadFileBytes(RealBuilds() + "game-2.avr-nm.txt");
    WriteFileBytes(previousCopy + ".map", otherReport.substr(0, otherReport.size() / 2));
    WriteFileBytes(previousCopy + ".size", "   text\t   data\t    bss\r\n   1\t   2\t    3\r\n");
    WriteFileBytes(previousCopy + ".analysis",
                   AnalysisRecord(ReadFileBytes(RealBuilds() + "game-2\\Game.ino.elf"), { "", otherReport }));
    WriteBuild("game-2", "Game", "build8.tmp", NowFileTime(), 2);

    HWND analyzer = OpenAnalyzer("Game");
    ASSERT_TRUE(analyzer);
    HWND budget = OpenBudget(analyzer, "Game");
    ASSERT_TRUE(budget);
    Rows shown = ListRows(GetDlgItem(budget, IdChangesList));
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(ExpectedChanges(SymbolsOf("game-1"), SymbolsOf("game-2")), shown);
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(Close(analyzer));
    // The whole run on the copy is recorded in place of the foreign record.
    const std::optional<KeptReports> recorded =
        ReportsOfRecord(ReadFileBytes(previousCopy + ".analysis"), ReadFileBytes(previousCopy));
    ASSERT_TRUE(recorded);
    EXPECT_EQ(SymbolsOf("game-1").size(), ReportSymbols(recorded->symbols).size());
}

TEST_F(BudgetRoad, TheWindowShowsTheAnalysedBuildAfterItsFolderIsRemovedOrBuiltAgain)
{
    const uint64_t firstTime = NowFileTime() - 600ull * 10'000'000;
    WriteBuild("game-1", "Game", "build6.tmp", firstTime, 1);
    WriteBuild("game-2", "Game", "build6.tmp", NowFileTime(), 2);
    HWND analyzer = OpenAnalyzer("Game");
    ASSERT_TRUE(analyzer);
    const BuilderLines before = BuilderLinesOf("game-1"), after = BuilderLinesOf("game-2");
    const std::string totals = "Program storage " + SignedBytes(after.program - before.program) +
                               ", global variables " + SignedBytes(after.data - before.data) + ", stack " +
                               SignedBytes(StackChange("game-1", "game-2")) + " since the build of " + LocalClock(firstTime);

    // The IDE removes its build folder when it closes.
    RemoveTree(temp + "build6.tmp\\");
    ASSERT_FALSE(PathExists(temp + "build6.tmp"));
    HWND budget = OpenBudget(analyzer, "Game");
    ASSERT_TRUE(budget);
    ExpectBudgetLines(budget, after);
    EXPECT_EQ(totals, ControlText(budget, IdChangesLine));
    ASSERT_TRUE(Close(budget));

    // A rebuild of the sketch into the same folder while the analyzer shows the build before it (IDE
    // 2.x), to other bytes: the third copy of the sketch, which takes the first one's place.
    const std::string options = ReadFileBytes(RealBuilds() + "game-1\\build.options.json");
    const std::string key = "\"sketchLocation\": \"";
    const size_t at = options.find(key) + key.size();
    WriteBuild("oversize", "Game", "build6.tmp", NowFileTime(), 2,
               { { "sketchLocation", options.substr(at, options.find('"', at) - at) } });
    budget = OpenBudget(analyzer, "Game");
    ASSERT_TRUE(budget);
    ExpectBudgetLines(budget, after);
    EXPECT_EQ("", ControlText(budget, IdProgramMark));
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(Close(analyzer));
}

TEST_F(BudgetRoad, ABoardFileOnANetworkDriveIsNeverRead)
{
    // N: is a network drive of the test prefix (tests/wine/run-wine.sh).
    ASSERT_EQ(UINT(DRIVE_REMOTE), GetDriveTypeW(L"N:\\"));
    const std::string hardware = "N:\\kevra-budget-hardware\\";
    RemoveTree(hardware);
    for (const std::string& folder : { hardware, hardware + "arduino\\", hardware + "arduino\\avr\\" })
        ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr)) << folder;
    WriteFileBytes(hardware + "arduino\\avr\\boards.txt", "leonardo.name=Leonardo on the share\n"
                                                         "leonardo.upload.maximum_size=30000\n"
                                                         "leonardo.upload.maximum_data_size=3000\n");
    WriteBuild("game-1", "Game", "build12.tmp", NowFileTime(), 1,
               { { "hardwareFolders", "N:\\\\kevra-budget-hardware" } });
    HWND analyzer = OpenAnalyzer("Game");
    ASSERT_TRUE(analyzer);
    HWND budget = OpenBudget(analyzer, "Game");
    ASSERT_TRUE(budget);
    EXPECT_EQ("Against the chip atmega32u4 (no board file found)", ControlText(budget, IdAgainstLine));
    ASSERT_TRUE(Close(budget));
    EXPECT_TRUE(Close(analyzer));
    RemoveTree(hardware);
}

TEST_F(BudgetRoad, OtherFilesInTheFolderHideNoCopyFromItsBounds)
{
    // More files that are not the agent's than one listing takes, named to come first, and five
    // copies of one sketch: the next copy still prunes that sketch to its newest two.
    CreateDirectoryW(Widen(kept.substr(0, kept.size() - 7)).c_str(), nullptr);
    CreateDirectoryW(Widen(kept).c_str(), nullptr);
    for (int i = 0; i < 1100; ++i)
        WriteFileBytes(kept + "a-" + std::to_string(i) + ".txt", "x");
    for (int i = 1; i <= 5; ++i)
        WriteFileBytes(kept + "Planted_hex-0123abcd-" + std::to_string(i) + ".elf", "planted");
    WriteBuild("game-1", "Game", "build21.tmp", NowFileTime(), 3);
    const std::vector<std::string> copies = KeptElfs();
    EXPECT_EQ(0, std::count(copies.begin(), copies.end(), "Planted_hex-0123abcd-1.elf"));
    EXPECT_EQ(1, std::count(copies.begin(), copies.end(), "Planted_hex-0123abcd-5.elf"));
}
