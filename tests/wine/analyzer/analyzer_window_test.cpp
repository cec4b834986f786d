#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "AnalyzerDriver.h"
#include "DriveAnalyzer.h"
#include "Fixture.h"
#include "analyzer/Analysis.h"
#include "analyzer/AnalyzerText.h"
#include "analyzer/AnalyzerWindow.h"
#include "analyzer/CsvExport.h"

namespace {

constexpr char BlinkCaption[] = "[kevra+ v0.3] Memory Analyzer: Blink.hex";
const std::string LongName = "games::level_" + std::string(287, 'k');   // 300 characters

// The run the window of a test shows.
AnalysisResult Shown;

void UseBlinkRun()
{
    Shown = ParsedAnalysis("C:\\Temp\\build7034.tmp\\Blink.cpp.elf",
                           "   text\t   data\t    bss\t    dec\t    hex\tfilename\r\n"
                           "   1024\t     20\t    300\t   1344\t    540\tBlink.cpp.elf\r\n",
                           "00001000 B frameBuffer\r\n"
                           "0000012c T " + LongName + "\r\n"
                           "0000002a T sprites::Sprite::blit(unsigned char, int)\r\n"
                           "00000006 D levelDeltas\r\n"
                           "00000002 d x y\r\n");
}

const std::vector<std::vector<std::string>> BlinkRows = {
    { "frameBuffer", "B", "4096" },
    { LongName.substr(0, 255), "T", "300" },
    { "sprites::Sprite::blit(unsigned char, int)", "T", "42" },
    { "levelDeltas", "D", "6" },
    { "x y", "d", "2" },
};
const std::string BlinkCsv = "Name;Type;Size\r\nframeBuffer;B;4096\r\n" + LongName +
                             ";T;300\r\nsprites::Sprite::blit(unsigned char, int);T;42\r\nlevelDeltas;D;6\r\nx y;d;2\r\n";

RECT ClientRectOf(HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<DWORD> OwnExplorers()
{
    return ChildProcesses(GetCurrentProcessId(), L"explorer.exe");
}

// A stand-in main window whose WM_APP runs a second analysis while the first window is open, as the
// tray's "Memory Analyzer" does.
LRESULT CALLBACK SecondRunProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_APP) {
        ShowAnalyzerWindow(ParsedAnalysis("C:\\Temp\\build9.tmp\\Other.cpp.elf", "", "00000010 T other\r\n"));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

TEST(AnalyzerWindow, ShowsTheRunInItsFixedLayout)
{
    UseBlinkRun();
    HWND main = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    OpenDriven(BlinkCaption, [&] { ShowAnalyzerWindow(Shown); }, [&](HWND window) {
        ASSERT_TRUE(window);
        EXPECT_EQ(nullptr, GetWindow(window, GW_OWNER));
        EXPECT_TRUE(IsWindowEnabled(main));   // not owned, so not disabled
        const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        EXPECT_EQ(DWORD(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
        EXPECT_EQ(0, style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(512, client.right);
        EXPECT_EQ(502, client.bottom);
        RECT outer, work;
        GetWindowRect(window, &outer);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_LE(std::abs((outer.left - work.left) - (work.right - outer.right)), 1);
        EXPECT_LE(std::abs((outer.top - work.top) - (work.bottom - outer.bottom)), 1);
        EXPECT_TRUE(SendMessageW(window, WM_GETICON, ICON_BIG, 0));

        const struct { int id; const char* cls; const char* text; RECT at; DWORD style; } controls[] = {
            { IdSymbolList, "SysListView32", "", { 2, 2, 510, 470 }, 0x5081000D },
            { IdFlashLine, "Static", "FLASH: 4,446 bytes used by 5 objects", { 2, 472, 324, 485 }, 0x50000000 },
            { IdSramLine, "Static", "SRAM: 20 B in static data, 300 B in uninitialized variables", { 2, 488, 324, 501 }, 0x50000000 },
            { IdExportCsv, "Button", "Export as csv", { 332, 474, 428, 498 }, 0x50010000 },
            { IdCloseAnalyzer, "Button", "Close", { 438, 474, 508, 498 }, 0x50010000 },
        };
        HDC screen = GetDC(nullptr);
        const int fontHeight = -int(std::lround(8.0 * GetDeviceCaps(screen, LOGPIXELSY) / 72));
        ReleaseDC(nullptr, screen);
        HWND previous = nullptr;
        for (const auto& c : controls) {
            SCOPED_TRACE(c.id);
            HWND control = GetDlgItem(window, c.id);
            ASSERT_TRUE(control);
            EXPECT_EQ(c.cls, ClassName(control));
            EXPECT_EQ(c.text, WindowText(control));
            const RECT at = ClientRectOf(control);
            EXPECT_EQ(c.at.left, at.left);
            EXPECT_EQ(c.at.top, at.top);
            EXPECT_EQ(c.at.right, at.right);
            EXPECT_EQ(c.at.bottom, at.bottom);
            EXPECT_EQ(c.style, DWORD(GetWindowLongPtrW(control, GWL_STYLE)) & ~DWORD(WS_GROUP));
            EXPECT_EQ(0, GetWindowLongPtrW(control, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_NOPARENTNOTIFY | WS_EX_CLIENTEDGE));
            LOGFONTW font{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
            EXPECT_STREQ(L"MS Sans Serif", font.lfFaceName);
            EXPECT_EQ(fontHeight, font.lfHeight);
            // Creation order is the order of the window's children.
            EXPECT_EQ(previous ? GetWindow(previous, GW_HWNDNEXT) : GetWindow(window, GW_CHILD), control);
            previous = control;
        }

        HWND list = GetDlgItem(window, IdSymbolList);
        const DWORD extended = DWORD(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        EXPECT_EQ(DWORD(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT), extended & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
        const std::vector<ListColumn> columns = ListColumns(list);
        ASSERT_EQ(3u, columns.size());
        const ListColumn expectedColumns[] = { { "Name", 380 }, { "Type", 40 }, { "Size", 60 } };
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(expectedColumns[i].title, columns[i].title);
            EXPECT_EQ(expectedColumns[i].width, columns[i].width);
        }
        EXPECT_EQ(BlinkRows, ListRows(list));
    });
    EXPECT_TRUE(IsWindowEnabled(main));
    DestroyWindow(main);
}

TEST(AnalyzerWindow, WithoutAnyOutputShowsNoRowsAndZeroTotals)
{
    OpenDriven("[kevra+ v0.3] Memory Analyzer: .hex", [] { ShowAnalyzerWindow({}); }, [](HWND window) {
        ASSERT_TRUE(window);
        EXPECT_TRUE(ListRows(GetDlgItem(window, IdSymbolList)).empty());
        EXPECT_EQ("FLASH: 0 bytes used by 0 objects", ControlText(window, IdFlashLine));
        EXPECT_EQ("SRAM:  B in static data,  B in uninitialized variables", ControlText(window, IdSramLine));
    });
}

TEST(AnalyzerWindow, CloseAndTheCaptionsCloseEndItWhileEscapeAndOtherIdsDoNot)
{
    UseBlinkRun();
    const struct { const char* how; UINT message; WPARAM wParam; } closers[] = {
        { "Close", WM_COMMAND, MAKEWPARAM(IdCloseAnalyzer, BN_CLICKED) },
        { "caption's close", WM_SYSCOMMAND, SC_CLOSE },
    };
    for (const auto& closer : closers) {
        SCOPED_TRACE(closer.how);
        bool returned = false;
        OpenDriven(BlinkCaption, [&] { ShowAnalyzerWindow(Shown); returned = true; }, [&](HWND window) {
            ASSERT_TRUE(window);
            for (WPARAM ignored : { WPARAM(IDCANCEL), WPARAM(4242), WPARAM(IdSramLine) })
                SendMessageW(window, WM_COMMAND, ignored, 0);
            EXPECT_TRUE(IsWindowVisible(window));
            PostMessageW(window, closer.message, closer.wParam, 0);
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(window); }));
        });
        EXPECT_TRUE(returned);
    }
}

struct CsvExport : ::testing::Test {
    ScratchFolder scratch{ "csv export" };
    std::string folder;
    std::vector<DWORD> explorersBefore = OwnExplorers();

    void SetUp() override
    {
        folder = scratch.path + "My Exports\\";
        CreateDirectoryW(Widen(folder).c_str(), nullptr);
        UseBlinkRun();
    }
    void TearDown() override
    {
        std::vector<DWORD> started;
        for (DWORD id : OwnExplorers())
            if (std::find(explorersBefore.begin(), explorersBefore.end(), id) == explorersBefore.end())
                started.push_back(id);
        EndProcesses(started);
    }
    // The files of the export folder.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found;
        UniqueFind find(FindFirstFileW(Widen(folder + "*").c_str(), &found));
        for (BOOL more = bool(find); more; more = FindNextFileW(find.get(), &found))
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(Narrow(found.cFileName));
        return names;
    }
    std::vector<DWORD> NewExplorers() const
    {
        std::vector<DWORD> started;
        for (DWORD id : OwnExplorers())
            if (std::find(explorersBefore.begin(), explorersBefore.end(), id) == explorersBefore.end())
                started.push_back(id);
        return started;
    }
};

HWND OpenSaveDialog(HWND analyzer)
{
    PostMessageW(analyzer, WM_COMMAND, MAKEWPARAM(IdExportCsv, BN_CLICKED), 0);
    HWND dialog = nullptr;
    WaitFor([&] { return (dialog = FindOwnedWindow(analyzer)) != nullptr; });
    return dialog;
}

TEST_F(CsvExport, WritesEveryNameWholeReplacesAnEarlierFileAndShowsItInTheExplorer)
{
    const std::string path = folder + "Blink symbols.csv";
    WriteFileBytes(path, std::string(20000, 'x') + "\r\n");   // longer than the export: nothing of it may stay
    OpenDriven(BlinkCaption, [] { ShowAnalyzerWindow(Shown); }, [&](HWND window) {
        ASSERT_TRUE(window);
        HWND dialog = OpenSaveDialog(window);
        ASSERT_TRUE(dialog);
        RECT analyzerRect, dialogRect;
        GetWindowRect(window, &analyzerRect);
        GetWindowRect(dialog, &dialogRect);
        EXPECT_EQ(analyzerRect.left, dialogRect.left);
        EXPECT_EQ(analyzerRect.top, dialogRect.top);
        EXPECT_EQ("Blink.csv", WindowText(FileNameEdit(dialog)));
        ASSERT_TRUE(SaveDialogAs(dialog, path));
        EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(path) == BlinkCsv; })) << ReadFileBytes(path).substr(0, 200);
        EXPECT_TRUE(IsWindowVisible(window));   // the export leaves the window open

        std::vector<DWORD> explorers;
        ASSERT_TRUE(WaitFor([&] { return !(explorers = NewExplorers()).empty(); }));
        ASSERT_EQ(1u, explorers.size());
        // The explorer of the Windows folder, by its full path, with the quoted path selected.
        wchar_t windows[MAX_PATH]{};
        GetWindowsDirectoryW(windows, MAX_PATH);
        const std::string expected = "\"" + Narrow(windows) + "\\explorer.exe\" /select,\"" + path + "\"";
        EXPECT_EQ(0, lstrcmpiA(expected.c_str(), ProcessCommandLine(explorers[0]).c_str())) << ProcessCommandLine(explorers[0]);
    });
    EXPECT_EQ(std::vector<std::string>{ "Blink symbols.csv" }, Files());
}

TEST_F(CsvExport, CancellingWritesAndStartsNothing)
{
    OpenDriven(BlinkCaption, [] { ShowAnalyzerWindow(Shown); }, [&](HWND window) {
        ASSERT_TRUE(window);
        HWND dialog = OpenSaveDialog(window);
        ASSERT_TRUE(dialog);
        SendMessageW(FileNameEdit(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(folder + "x.csv").c_str()));
        ASSERT_TRUE(CancelSaveDialog(dialog));
        EXPECT_TRUE(IsWindowVisible(window));
    });
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(NewExplorers().empty());
}

TEST_F(CsvExport, AFileLockedByAnotherProgramStaysAsItWasAndNoExplorerOpens)
{
    const std::string path = folder + "locked.csv";
    WriteFileBytes(path, "kept\r\n");
    UniqueHandle lock(CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    OpenDriven(BlinkCaption, [] { ShowAnalyzerWindow(Shown); }, [&](HWND window) {
        ASSERT_TRUE(window);
        HWND dialog = OpenSaveDialog(window);
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(SaveDialogAs(dialog, path));
        // The export runs on the window's thread: once the window answers, it has finished.
        SendMessageW(window, WM_NULL, 0, 0);
        EXPECT_TRUE(IsWindowVisible(window));
    });
    lock = UniqueHandle{};
    EXPECT_EQ("kept\r\n", ReadFileBytes(path));
    EXPECT_EQ(std::vector<std::string>{ "locked.csv" }, Files());   // no half-written file left beside it
    EXPECT_TRUE(NewExplorers().empty());
}

TEST_F(CsvExport, ExportsTheRowsItShowsAfterAFurtherRunFromTheTray)
{
    WNDCLASSW cls{};
    cls.lpfnWndProc = SecondRunProc;
    cls.lpszClassName = L"KevraSecondRun";
    RegisterClassW(&cls);
    HWND main = CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const std::string path = folder + "first.csv";
    OpenDriven(BlinkCaption, [] { ShowAnalyzerWindow(Shown); }, [&](HWND first) {
        ASSERT_TRUE(first);
        PostMessageW(main, WM_APP, 0, 0);
        HWND second = WaitForAnalyzer("[kevra+ v0.3] Memory Analyzer: Other.hex");
        ASSERT_TRUE(second);
        EXPECT_EQ((std::vector<std::vector<std::string>>{ { "other", "T", "16" } }),
                  ListRows(GetDlgItem(second, IdSymbolList)));
        PostMessageW(second, WM_COMMAND, IdCloseAnalyzer, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(second); }));

        EXPECT_EQ(BlinkRows, ListRows(GetDlgItem(first, IdSymbolList)));
        HWND dialog = OpenSaveDialog(first);
        ASSERT_TRUE(dialog);
        EXPECT_EQ("Blink.csv", WindowText(FileNameEdit(dialog)));
        ASSERT_TRUE(SaveDialogAs(dialog, path));
        EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(path) == BlinkCsv; }));
    });
    DestroyWindow(main);
}

TEST_F(CsvExport, AHugeRunListsItsFirstRowsWhileTheTotalsAndTheFileCoverEverySymbol)
{
    const size_t symbols = ListRowLimit + 2;
    std::string csv = "Name;Type;Size\r\n", report;
    for (size_t i = 0; i < symbols; ++i) {
        report += "00000001 T s" + std::to_string(i) + "\r\n";
        csv += "s" + std::to_string(i) + ";T;1\r\n";
    }
    Shown = ParsedAnalysis(Shown.elfPath, "", report);
    const std::string path = folder + "huge.csv";
    OpenDriven(BlinkCaption, [] { ShowAnalyzerWindow(Shown); }, [&](HWND window) {
        ASSERT_TRUE(window);
        HWND list = GetDlgItem(window, IdSymbolList);
        EXPECT_EQ(LRESULT(100'000), SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        wchar_t name[32]{};
        LVITEMW item{};
        item.pszText = name;
        item.cchTextMax = 32;
        SendMessageW(list, LVM_GETITEMTEXTW, 99'999, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(L"s99999", name);
        EXPECT_EQ("FLASH: 100,002 bytes used by 100002 objects", ControlText(window, IdFlashLine));
        HWND dialog = OpenSaveDialog(window);
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(SaveDialogAs(dialog, path));
        EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(path) == csv; }));
    });
}

TEST_F(CsvExport, WhereNoFileCanBeMadeOrPutBesideItTheFileIsWrittenInPlaceAndItsAttributesStay)
{
    const std::string earlier = std::string(20000, 'x') + "\r\n";   // longer than the new bytes
    const std::string bytes = "Name;Type;Size\r\nmain;T;256\r\n";
    const struct {
        const char* what;
        std::string name;
        DWORD attributes;     // of the earlier file; 0: no earlier file
        DWORD readerShare;    // another program holds it open for reading with this sharing; ~0u: none
        bool written;
    } cases[] = {
        { "new", "new.csv", 0, ~0u, true },
        { "hidden", "hidden.csv", FILE_ATTRIBUTE_HIDDEN, ~0u, true },
        { "hidden and system", "system.csv", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, ~0u, true },
        { "held by a reader that lets others write", "shared.csv", FILE_ATTRIBUTE_ARCHIVE,
          FILE_SHARE_READ | FILE_SHARE_WRITE, true },
        { "hidden, held by a reader that lets others write", "both.csv", FILE_ATTRIBUTE_HIDDEN,
          FILE_SHARE_READ | FILE_SHARE_WRITE, true },
        // Fits the folder, but no longer with the suffix of a file beside it.
        { "a name too long for a file beside it", std::string(248, 'n') + ".csv", 0, ~0u, true },
        { "an earlier file with a name too long for a file beside it", std::string(248, 'e') + ".csv",
          FILE_ATTRIBUTE_HIDDEN, ~0u, true },
        { "read-only", "readonly.csv", FILE_ATTRIBUTE_READONLY, ~0u, false },
        { "held by a reader that lets others only read", "locked.csv", FILE_ATTRIBUTE_ARCHIVE, FILE_SHARE_READ, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder + c.name;
        if (c.attributes) {
            WriteFileBytes(path, earlier);
            ASSERT_TRUE(SetFileAttributesW(Widen(path).c_str(), c.attributes));
        }
        UniqueHandle reader;
        if (c.readerShare != ~0u) {
            reader = UniqueHandle(CreateFileW(Widen(path).c_str(), GENERIC_READ, c.readerShare, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(reader);
        }
        EXPECT_EQ(c.written, WriteCsvFile(path, bytes));
        reader = UniqueHandle{};
        EXPECT_EQ(c.written ? bytes : earlier, ReadFileBytes(path));
        const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
        if (c.attributes) {
            EXPECT_EQ(c.attributes & kept, GetFileAttributesW(Widen(path).c_str()) & kept);
        }
        EXPECT_EQ(std::vector<std::string>{ c.name }, Files());   // nothing left beside it
        SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Widen(path).c_str());
    }
}

TEST_F(CsvExport, AFileHeldByAReaderThatLetsOthersWriteIsWrittenAndShown)
{
    const std::string path = folder + "shared.csv";
    WriteFileBytes(path, std::string(20000, 'x') + "\r\n");
    UniqueHandle reader(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    OpenDriven(BlinkCaption, [] { ShowAnalyzerWindow(Shown); }, [&](HWND window) {
        ASSERT_TRUE(window);
        HWND dialog = OpenSaveDialog(window);
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(SaveDialogAs(dialog, path));
        EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(path) == BlinkCsv; }));
        EXPECT_TRUE(WaitFor([&] { return NewExplorers().size() == 1; }));
    });
    EXPECT_EQ(std::vector<std::string>{ "shared.csv" }, Files());
}
