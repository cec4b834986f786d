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
#include "base/Win32.h"
#include "ui/ListView.h"
#include "ui/Window.h"

static_assert(KeptElfByteLimit == ElfByteLimit, "a kept copy is read whole by the .elf reader");

namespace {

// The controls' ids, 2001 to 2007 in the table's order: only this window's code touches its controls.
enum BudgetControlId : int { IdProgramLine = 2001, IdProgramMark, IdDataLine, IdDataMark, IdAgainstLine, IdChangesLine,
                             IdChangesList };
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

constexpr ListViewColumn ChangeColumns[] = {
    { "Name", 244 }, { "Type", 40 }, { "Before", 70, true }, { "After", 70, true }, { "Change", 70, true },
};

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
