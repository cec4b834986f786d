#include "analyzer/BudgetWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/AnalysisRun.h"
#include "analyzer/AnalyzerText.h"
#include "analyzer/BoardFiles.h"
#include "analyzer/Budget.h"
#include "analyzer/BuildChanges.h"
#include "analyzer/ElfImage.h"
#include "base/KeptBuilds.h"
#include "base/KeptFolder.h"
#include "base/Win32.h"
#include "ui/Window.h"

static_assert(KeptElfByteLimit == ElfByteLimit, "a kept copy is read whole by the .elf reader");

namespace {

// The controls' ids: only this window's code touches its controls.
constexpr int IdProgramLine = 2001;
constexpr int IdProgramMark = 2002;
constexpr int IdDataLine = 2003;
constexpr int IdDataMark = 2004;
constexpr int IdAgainstLine = 2005;
constexpr int IdChangesLine = 2006;
constexpr int IdChangesList = 2007;
constexpr int IdCloseBudget = IDOK;

constexpr ControlRow BudgetControls[] = {
    // id            class          text     x    y   cx   cy  style
    { IdProgramLine, "STATIC",      "",      8,   8, 504,  14, SS_LEFT },
    { IdProgramMark, "STATIC",      "",     20,  24, 492,  14, SS_LEFT },
    { IdDataLine,    "STATIC",      "",      8,  44, 504,  14, SS_LEFT },
    { IdDataMark,    "STATIC",      "",     20,  60, 492,  14, SS_LEFT },
    { IdAgainstLine, "STATIC",      "",      8,  80, 504,  14, SS_LEFT },
    { IdChangesLine, "STATIC",      "",      8, 104, 504,  14, SS_LEFT },
    { IdChangesList, WC_LISTVIEWA,  "",      8, 122, 504, 258,
      WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS },
    { IdCloseBudget, "BUTTON",      "Close", 442, 388, 70, 24, BS_PUSHBUTTON | WS_TABSTOP },
};

constexpr struct { const char* title; int width; } ChangeColumns[] = {
    { "Name", 244 }, { "Type", 40 }, { "Before", 70 }, { "After", 70 }, { "Change", 70 },
};

// The marks' text colours (0x00BBGGRR): dark orange for a warning, red for over the maximum.
constexpr int32_t WarningColor = 0x000060C0;
constexpr int32_t OverColor = 0x000000C0;

// What the window shows, worked out before it is created.
struct BudgetView {
    std::string caption;
    std::string programLine, dataLine, againstLine, changesLine;
    BudgetMark programMark, dataMark;
    std::vector<SymbolChange> changes;
};

// True when the levels folders just above file are plain folders: no link leads out of the folder
// the file was looked for in.
bool PlainFoldersAbove(const std::string& file, int levels)
{
    std::string folder = file;
    for (int i = 0; i < levels; ++i) {
        const size_t slash = folder.rfind('\\');
        if (slash == std::string::npos)
            return false;
        folder.resize(slash);
        if (!IsPlainFolder(folder + "\\"))
            return false;
    }
    return true;
}

// The names of the plain folders in folder.
std::vector<std::string> PlainFolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileExW(Widen(folder + "*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0));
    if (!search)
        return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) && names.size() < 256)
            if (const std::optional<std::string> name = NarrowExactly(found.cFileName))
                names.push_back(*name);
    } while (FindNextFileW(search.get(), &found));
    return names;
}

// The board's maxima from the build folder's build.options.json and the boards.txt it leads to.
std::optional<BoardMaxima> BoardOfBuild(const std::string& buildFolder)
{
    const std::optional<PlainFile> json = ReadPlainFile(buildFolder + "build.options.json", BuildOptionsByteLimit);
    const std::optional<BuildOptions> options = json ? ReadBuildOptions(json->bytes) : std::nullopt;
    if (!options)
        return std::nullopt;
    // H\vendor\arch\boards.txt, two folders below H; H\vendor\hardware\arch\version\boards.txt, four.
    std::vector<std::pair<std::string, int>> files;
    for (const std::string& file : BoardsFileCandidates(*options))
        files.emplace_back(file, 2);
    for (const std::string& platform : PackagedPlatformFolders(*options))
        if (IsPlainFolder(platform))
            if (const std::optional<std::string> version = NewestVersionName(PlainFolderNames(platform)))
                files.emplace_back(platform + *version + "\\boards.txt", 4);
    for (const auto& [file, levels] : files) {
        if (!PlainFoldersAbove(file, levels))
            continue;
        const std::optional<PlainFile> boards = ReadPlainFile(file, BoardsFileByteLimit);
        const std::optional<BoardMaxima> maxima = boards ? ReadBoardMaxima(boards->bytes, options->fqbn) : std::nullopt;
        if (maxima && (maxima->programBytes || maxima->dataBytes))
            return maxima;
    }
    return std::nullopt;
}

std::optional<uint64_t> Maximum(uint64_t bytes)
{
    return bytes == 0 ? std::nullopt : std::optional<uint64_t>(bytes);
}

// "10:42:13": a file time in the local time of the machine.
std::string LocalClockText(uint64_t fileTime)
{
    const FILETIME utc{ DWORD(fileTime), DWORD(fileTime >> 32) };
    SYSTEMTIME universal{}, local{};
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return ClockText(0, 0, 0);
    return ClockText(local.wHour, local.wMinute, local.wSecond);
}

// The kept copy that is the previous build of the analysed .elf (whose bytes are given), as a path.
std::optional<std::string> PreviousKeptCopy(const std::string& elfPath, const PlainFile& elf)
{
    const std::string folder = KeptBuildsFolder();
    const std::vector<KeptFile> kept = folder.empty() ? std::vector<KeptFile>{} : ListKeptBuilds(folder);
    const std::optional<std::string> previous =
        PreviousOfAnalysedBuild(kept, KeptSketchKey(HexFileNameOfElf(elfPath)), elf.writeTime, [&](const KeptFile& f) {
            if (f.size != elf.bytes.size())
                return false;
            const std::optional<PlainFile> copy = ReadPlainFile(folder + f.name, KeptElfByteLimit);
            return copy && copy->bytes == elf.bytes;
        });
    return previous ? std::optional(folder + *previous) : std::nullopt;
}

BudgetView WorkOutBudget(const AnalysisResult& current)
{
    BudgetView view;
    view.caption = BudgetCaption(current.elfPath);
    const std::optional<PlainFile> elf = ReadPlainFile(current.elfPath, ElfByteLimit);
    const std::optional<ElfImage> image = elf ? ReadElfImage(elf->bytes) : std::nullopt;

    // The maxima: the board's, else the chip's from the .elf's device note, else none.
    std::optional<uint64_t> programMax, dataMax;
    const size_t slash = current.elfPath.rfind('\\');
    const std::optional<BoardMaxima> board =
        slash == std::string::npos ? std::nullopt : BoardOfBuild(current.elfPath.substr(0, slash + 1));
    if (board) {
        programMax = board->programBytes;
        dataMax = board->dataBytes;
        view.againstLine = AgainstBoardLine(board->name);
    } else if (image && image->device && (image->device->flashSize || image->device->sramSize)) {
        programMax = Maximum(image->device->flashSize);
        dataMax = Maximum(image->device->sramSize);
        view.againstLine = AgainstChipLine(image->device->deviceName);
    } else {
        view.againstLine = std::string(NoMaximumLine);
    }
    const uint64_t program = image ? ProgramStorageBytes(*image) : 0;
    const uint64_t data = image ? GlobalVariableBytes(*image) : 0;
    view.programLine = ProgramStorageLine(program, programMax);
    view.dataLine = GlobalVariablesLine(data, dataMax);
    view.programMark = ProgramStorageMark(program, programMax);
    view.dataMark = GlobalVariablesMark(data, dataMax);

    // The previous build of the same sketch among the kept copies.
    const std::string hexName = BuildName(current.elfPath) + ".hex";
    const std::optional<std::string> previous = elf ? PreviousKeptCopy(current.elfPath, *elf) : std::nullopt;
    const std::optional<PlainFile> before = previous ? ReadPlainFile(*previous, KeptElfByteLimit) : std::nullopt;
    if (!before) {
        view.changesLine = NoEarlierBuildLine(hexName);
        return view;
    }
    const std::optional<ElfImage> beforeImage = ReadElfImage(before->bytes);
    const AnalysisResult beforeAnalysis = AnalyzeKeptBuild(*previous);
    view.changes = SymbolChanges(beforeAnalysis.rows, current.rows);
    const int64_t programChange = image && beforeImage ? int64_t(program) - int64_t(ProgramStorageBytes(*beforeImage)) : 0;
    const int64_t dataChange = image && beforeImage ? int64_t(data) - int64_t(GlobalVariableBytes(*beforeImage)) : 0;
    view.changesLine = ChangeTotalsLine(programChange, dataChange, LocalClockText(before->writeTime));
    return view;
}

void SetUpChangesList(HWND list)
{
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < int(std::size(ChangeColumns)); ++i) {
        char title[32]{};
        std::strncpy(title, ChangeColumns[i].title, sizeof title - 1);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
        column.fmt = i >= 2 ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = ChangeColumns[i].width;
        column.pszText = title;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, WPARAM(i), reinterpret_cast<LPARAM>(&column));
    }
}

int32_t MarkColor(BudgetLevel level)
{
    return level == BudgetLevel::Over ? OverColor : level == BudgetLevel::Warning ? WarningColor : -1;
}

void FillBudgetWindow(HWND window, const BudgetView& view)
{
    const struct { int id; const std::string& text; BudgetLevel level; } lines[] = {
        { IdProgramLine, view.programLine, view.programMark.level },
        { IdProgramMark, view.programMark.words, view.programMark.level },
        { IdDataLine, view.dataLine, view.dataMark.level },
        { IdDataMark, view.dataMark.words, view.dataMark.level },
        { IdAgainstLine, view.againstLine, BudgetLevel::None },
        { IdChangesLine, view.changesLine, BudgetLevel::None },
    };
    for (const auto& line : lines) {
        SetDlgItemTextW(window, line.id, Widen(line.text).c_str());
        if (line.level != BudgetLevel::None)
            SetControlColors(window, line.id, ColorPair{ MarkColor(line.level), -1 });
    }
    HWND list = GetDlgItem(window, IdChangesList);
    SetUpChangesList(list);
    const size_t listed = std::min(view.changes.size(), ListRowLimit);
    SendMessageA(list, LVM_SETITEMCOUNT, WPARAM(listed), 0);
    for (size_t i = 0; i < listed; ++i) {
        const SymbolChange& c = view.changes[i];
        const std::string cells[] = { c.name, c.type, ChangeSizeText(c.before), ChangeSizeText(c.after),
                                      SignedChangeText(c.change) };
        for (int sub = 0; sub < int(std::size(cells)); ++sub) {
            const std::string shown = ListCellText(cells[sub]);
            char buffer[ListCellCharacters + 1]{};
            std::memcpy(buffer, shown.data(), shown.size());
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = int(i);
            item.iSubItem = sub;
            item.pszText = buffer;
            SendMessageA(list, sub == 0 ? LVM_INSERTITEMA : LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
}

}  // namespace

INT_PTR CALLBACK BudgetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_INITDIALOG:
        FillBudgetWindow(window, *reinterpret_cast<const BudgetView*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IdCloseBudget || LOWORD(wParam) == IDCANCEL) {
            EndModal(window, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void AnalyzePreviousBuild(const std::string& elfPath)
{
    const std::optional<PlainFile> elf = ReadPlainFile(elfPath, ElfByteLimit);
    if (const std::optional<std::string> previous = elf ? PreviousKeptCopy(elfPath, *elf) : std::nullopt)
        AnalyzeKeptBuild(*previous);
}

void ShowBudgetWindow(HWND owner, const AnalysisResult& current)
{
    const BudgetView view = WorkOutBudget(current);
    // The figures' reading served the thread's messages: the analyzer window may have closed meanwhile.
    if (!IsWindow(owner))
        return;
    WindowDesc desc;
    desc.caption = view.caption;
    desc.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    desc.width = 520;
    desc.height = 420;
    desc.fontFace = "MS Sans Serif";
    desc.fontPoints = 8;
    desc.owner = owner;
    HWND window = CreateRuntimeDialog(desc, BudgetControls, BudgetWindowProc, reinterpret_cast<LPARAM>(&view));
    if (!window)
        return;
    SetWindowIconResource(window, "AICO");
    RunModal(window);
}
