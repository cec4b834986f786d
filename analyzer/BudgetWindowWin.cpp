#include "analyzer/BudgetWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>

#include "analyzer/AnalysisRun.h"
#include "analyzer/AnalyzerText.h"
#include "analyzer/Budget.h"
#include "analyzer/ElfImage.h"
#include "base/KeptBuildStore.h"
#include "base/Text.h"
#include "base/Win32.h"
#include "ui/ListView.h"
#include "ui/Window.h"

static_assert(KeptElfByteLimit == ElfByteLimit, "a kept copy is read whole by the .elf reader");

namespace {

// The controls' ids, in the table's order: only this window's code touches its controls.
enum BudgetControlId : int { IdProgramLine = 2001, IdProgramMark, IdDataLine, IdDataMark, IdAgainstLine, IdChangesLine,
                             IdChangesList, IdProgramBar, IdProgramBarText, IdRamBar, IdRamBarText, IdStackLine,
                             IdHeapLine, IdStackList };
constexpr int IdCloseBudget = IDOK;

constexpr ControlRow BudgetControls[] = {
    // id               class          text     x    y   cx   cy  style
    { IdProgramBar,     "STATIC",      "",      8,   8, 300,  14, SS_OWNERDRAW },
    { IdProgramBarText, "STATIC",      "",    316,   8, 196,  14, SS_LEFT },
    { IdRamBar,         "STATIC",      "",      8,  26, 300,  14, SS_OWNERDRAW },
    { IdRamBarText,     "STATIC",      "",    316,  26, 196,  14, SS_LEFT },
    { IdProgramLine,    "STATIC",      "",      8,  48, 504,  14, SS_LEFT },
    { IdProgramMark,    "STATIC",      "",     20,  64, 492,  14, SS_LEFT },
    { IdDataLine,       "STATIC",      "",      8,  84, 504,  14, SS_LEFT },
    { IdDataMark,       "STATIC",      "",     20, 100, 492,  14, SS_LEFT },
    { IdAgainstLine,    "STATIC",      "",      8, 120, 504,  14, SS_LEFT },
    { IdStackLine,      "STATIC",      "",      8, 144, 504,  14, SS_LEFT },
    { IdHeapLine,       "STATIC",      "",      8, 160, 504,  14, SS_LEFT },
    { IdStackList,      WC_LISTVIEWA,  "",      8, 178, 504, 112,
      WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS },
    { IdChangesLine,    "STATIC",      "",      8, 298, 504,  14, SS_LEFT },
    { IdChangesList,    WC_LISTVIEWA,  "",      8, 316, 504, 200,
      WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS },
    { IdCloseBudget,    "BUTTON",      "Close", 442, 524, 70, 24, BS_PUSHBUTTON | WS_TABSTOP },
};

constexpr ListViewColumn ChangeColumns[] = {
    { "Name", 244 }, { "Type", 40 }, { "Before", 70, true }, { "After", 70, true }, { "Change", 70, true },
};
// The deepest path, one function a row: what it adds to the stack and the total down to it.
constexpr ListViewColumn StackColumns[] = {
    { "Deepest path", 286 }, { "Adds", 56, true }, { "Total", 56, true }, { "On top of it", 80 },
};

// The bars' colours: the globals, the stack and what is left; a part with a mark takes its colour.
constexpr COLORREF GlobalsColor = 0x00B07840;
constexpr COLORREF StackColor = 0x0080B040;
constexpr COLORREF FreeColor = 0x00E8E8E8;

// The marks' text colours (0x00BBGGRR): dark orange for a warning, red for over the maximum.
constexpr int32_t WarningColor = 0x000060C0;
constexpr int32_t OverColor = 0x000000C0;

// "10:42:13": a file time in the local time of the machine.
std::string LocalClockText(uint64_t fileTime)
{
    const FILETIME utc{ DWORD(fileTime), DWORD(fileTime >> 32) };
    SYSTEMTIME universal{}, local{};
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return ClockText(0, 0, 0);
    return ClockText(local.wHour, local.wMinute, local.wSecond);
}

// The kept copy of the build before the analysed one, found by what the analysis read.
std::optional<KeptCopy> PreviousCopyOf(const AnalysisResult& current)
{
    const BuildSnapshot& build = current.build;
    return build.elfBytes ? PreviousKeptCopy(current.elfPath, *build.elfBytes, build.elfWriteTime, build.buildOptions)
                          : std::nullopt;
}

int32_t MarkColor(BudgetLevel level)
{
    return level == BudgetLevel::Over ? OverColor : level == BudgetLevel::Warning ? WarningColor : -1;
}

// A bar's parts side by side in the control's rectangle.
void DrawBar(const DRAWITEMSTRUCT& item, const BudgetBar& bar)
{
    RECT part = item.rcItem;
    const std::vector<int> widths = BarWidths(bar, item.rcItem.right - item.rcItem.left);
    for (size_t i = 0; i < widths.size(); ++i) {
        const BarPart& p = bar.parts[i];
        const COLORREF color = p.free ? FreeColor
                               : p.level != BudgetLevel::None ? COLORREF(MarkColor(p.level))
                               : i == 0 ? GlobalsColor : StackColor;
        part.right = part.left + widths[i];
        UniqueBrush brush(CreateSolidBrush(color));
        FillRect(item.hDC, &part, brush.get());
        part.left = part.right;
    }
    FrameRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
}

// Keeps the view on the window for its bars, and fills its controls.
void FillBudgetWindow(HWND window, LPARAM viewParam)
{
    SetWindowLongPtrW(window, DWLP_USER, viewParam);
    const BudgetView& view = *reinterpret_cast<const BudgetView*>(viewParam);
    const struct { int id; const std::string& text; BudgetLevel level; } lines[] = {
        { IdProgramBarText, view.programBar.caption, BudgetLevel::None },
        { IdRamBarText, view.ramBar.caption, BudgetLevel::None },
        { IdStackLine, view.stackLine, view.stackLevel },
        { IdHeapLine, view.heapLine, BudgetLevel::None },
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
    HWND path = GetDlgItem(window, IdStackList);
    SetUpListColumns(path, StackColumns);
    FillListRows(path, view.stackRows.size(), std::size(StackColumns), [&](size_t row, size_t column) {
        const StackRow& r = view.stackRows[row];
        switch (column) {
        case 0: return ListCellText(r.function);
        case 1: return DecimalText(r.bytes);
        case 2: return DecimalText(r.total);
        default: return std::string(r.interrupt ? "interrupt" : "");
        }
    });
    HWND list = GetDlgItem(window, IdChangesList);
    SetUpListColumns(list, ChangeColumns);
    FillListRows(list, std::min(view.changes.size(), ListRowLimit), std::size(ChangeColumns), [&](size_t row, size_t column) {
        const SymbolChange& c = view.changes[row];
        switch (column) {
        case 0: return ListCellText(c.name);
        case 1: return ListCellText(c.type);
        case 2: return ChangeSizeText(c.before);
        case 3: return ChangeSizeText(c.after);
        default: return SignedChangeText(c.change);
        }
    });
}

}  // namespace

INT_PTR CALLBACK BudgetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_INITDIALOG:
        FillBudgetWindow(window, lParam);
        return TRUE;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const auto* view = reinterpret_cast<const BudgetView*>(GetWindowLongPtrW(window, DWLP_USER));
        if (!view || (item.CtlID != UINT(IdProgramBar) && item.CtlID != UINT(IdRamBar)))
            break;
        DrawBar(item, item.CtlID == UINT(IdProgramBar) ? view->programBar : view->ramBar);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IdCloseBudget || LOWORD(wParam) == IDCANCEL) {
            EndModal(window, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void AnalyzePreviousBuild(const AnalysisResult& current)
{
    if (const std::optional<KeptCopy> previous = PreviousCopyOf(current))
        AnalyzeKeptBuild(*previous);
}

void ShowBudgetWindow(HWND owner, const AnalysisResult& current)
{
    const std::optional<BoardMaxima> board = BoardOfBuild(current.build.buildOptions);
    std::optional<PreviousBuild> previous;
    const std::optional<KeptCopy> copy = PreviousCopyOf(current);
    if (copy)
        previous = PreviousBuild{ copy->bytes, AnalyzeKeptBuild(*copy).rows, LocalClockText(copy->writeTime) };
    const BudgetView view = WorkOutBudget(current, board, previous);
    // The figures' reading served the thread's messages: the analyzer window may have closed meanwhile.
    if (!IsWindow(owner))
        return;
    WindowDesc desc;
    desc.caption = view.caption;
    desc.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    desc.width = 520;
    desc.height = 556;
    desc.fontFace = "MS Sans Serif";
    desc.fontPoints = 8;
    desc.owner = owner;
    HWND window = CreateRuntimeDialog(desc, BudgetControls, BudgetWindowProc, reinterpret_cast<LPARAM>(&view));
    if (!window)
        return;
    SetWindowIconResource(window, "AICO");
    RunModal(window);
}
