#include "analyzer/AnalyzerWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "analyzer/AnalyzerText.h"
#include "analyzer/BudgetWindow.h"
#include "analyzer/CsvExport.h"
#include "base/Text.h"
#include "ui/ListView.h"
#include "ui/Window.h"

namespace {

// The controls' ids: only this window's code touches its controls.
constexpr int IdSymbolList = 1000;
constexpr int IdFlashLine = 1001;
constexpr int IdExportCsv = 1002;
constexpr int IdSramLine = 1003;
constexpr int IdCloseAnalyzer = IDOK;
// Commands of the list's context menu and keys: the "Budget and changes" window, and the copy of the
// selected row.
constexpr int IdBudgetAndChanges = 1004;
constexpr int IdCopyRow = 1005;

constexpr ControlRow AnalyzerControls[] = {
    // id             class            text              x    y   cx   cy  style
    { IdSymbolList,    WC_LISTVIEWA,   "",                 2,   2, 508, 468,
      WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS },
    { IdFlashLine,     "STATIC",       "",                 2, 472, 322,  13, SS_LEFT },
    { IdSramLine,      "STATIC",       "",                 2, 488, 322,  13, SS_LEFT },
    { IdExportCsv,     "BUTTON",       "Export as csv",  332, 474,  96,  24, BS_PUSHBUTTON | WS_TABSTOP },
    { IdCloseAnalyzer, "BUTTON",       "Close",          438, 474,  70,  24, BS_PUSHBUTTON | WS_TABSTOP },
};

constexpr ListViewColumn Columns[] = {
    { "Name", 380 },
    { "Type", 40 },
    { "Size", 60 },
};

// What the window keeps while it is open: the run's result and the order the list shows it in.
// Posted to itself once the window shows: run the tools on the previous build now.
constexpr UINT PreparePreviousMessage = WM_APP + 10;

struct AnalyzerState {
    AnalysisResult result;
    ListSort sort;
    std::vector<size_t> order;   // the list's row i is result.rows[order[i]]
    bool budgetOpen = false;
    bool preparing = false;       // the previous build's tools run
    bool budgetWanted = false;    // "Budget and changes" asked for meanwhile
};

AnalyzerState& StateOf(HWND window)
{
    return *reinterpret_cast<AnalyzerState*>(GetWindowLongPtrW(window, DWLP_USER));
}

// Fills the list with the rows in the state's order.
void FillRows(HWND list, const AnalyzerState& state)
{
    const std::vector<SymbolRow>& rows = state.result.rows;
    FillListRows(list, std::min(rows.size(), ListRowLimit), std::size(Columns), [&](size_t i, size_t column) {
        const SymbolRow& row = rows[state.order[i]];
        return ListCellText(column == 0 ? row.name : column == 1 ? row.type : DecimalText(row.size));
    });
}

void FillWindow(HWND window, const AnalyzerState& state)
{
    SetDlgItemTextW(window, IdSramLine, Widen(SramSummaryText(state.result.sram)).c_str());
    FillRows(GetDlgItem(window, IdSymbolList), state);
    SetDlgItemTextW(window, IdFlashLine, Widen(FlashSummaryText(state.result.rows)).c_str());
}

// Sorts the list by the clicked column, keeping the selected symbol selected.
void SortByColumn(HWND window, int column)
{
    if (column < 0 || column > 2)
        return;
    AnalyzerState& state = StateOf(window);
    HWND list = GetDlgItem(window, IdSymbolList);
    const int selected = int(SendMessageA(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    const std::optional<size_t> symbol =
        selected >= 0 && size_t(selected) < state.order.size() ? std::optional<size_t>(state.order[selected]) : std::nullopt;
    state.sort = SortAfterClick(state.sort, SymbolColumn(column));
    state.order = SortedRowOrder(state.result.rows, state.sort);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    FillRows(list, state);
    if (!symbol)
        return;
    const auto at = std::find(state.order.begin(), state.order.end(), *symbol);
    const int row = int(at - state.order.begin());
    if (at == state.order.end() || size_t(row) >= ListRowLimit)
        return;
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&item));
    SendMessageA(list, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
}

// The symbol of the list's selected row; null when none is selected.
const SymbolRow* SelectedSymbol(HWND window)
{
    const AnalyzerState& state = StateOf(window);
    const int selected = int(SendMessageA(GetDlgItem(window, IdSymbolList), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    return selected >= 0 && size_t(selected) < state.order.size() ? &state.result.rows[state.order[selected]] : nullptr;
}

// Puts the selected row on the clipboard as the CSV writes it: name;type;size.
void CopySelectedRow(HWND window)
{
    const SymbolRow* row = SelectedSymbol(window);
    if (!row)
        return;
    const std::string line = SymbolCsvLine(*row);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, line.size() + 1);
    if (!memory)
        return;
    if (void* bytes = GlobalLock(memory)) {
        std::memcpy(bytes, line.c_str(), line.size() + 1);
        GlobalUnlock(memory);
    }
    if (OpenClipboard(window)) {
        EmptyClipboard();
        // The report's own bytes, which are in the ANSI code page as the tools wrote them.
        if (SetClipboardData(CF_TEXT, memory))
            memory = nullptr;
        CloseClipboard();
    }
    if (memory)
        GlobalFree(memory);
}

// The list's context menu at a screen point; from the keyboard (point -1, -1) at the selected row,
// or at the list's corner when none is selected.
void ShowListMenu(HWND window, LPARAM point)
{
    HWND list = GetDlgItem(window, IdSymbolList);
    POINT at{ GET_X_LPARAM(point), GET_Y_LPARAM(point) };
    if (point == LPARAM(-1)) {
        const int selected = int(SendMessageA(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
        RECT row{};
        row.left = LVIR_LABEL;
        if (selected >= 0 && SendMessageA(list, LVM_GETITEMRECT, WPARAM(selected), reinterpret_cast<LPARAM>(&row)))
            at = { row.left + 8, row.bottom };
        else
            at = { 8, 8 };
        ClientToScreen(list, &at);
    }
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    AppendMenuW(menu, MF_STRING | (SelectedSymbol(window) ? 0 : MF_GRAYED), IdCopyRow, L"Copy\tCtrl+C");
    AppendMenuW(menu, MF_STRING, IdBudgetAndChanges, L"Budget and changes...\tCtrl+B");
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
}

// The list's keys: Ctrl+C copies the selected row, Ctrl+B opens "Budget and changes".
void ListKey(HWND window, WORD key)
{
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0)
        return;
    if (key == 'C')
        CopySelectedRow(window);
    else if (key == 'B')
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IdBudgetAndChanges, 0), 0);
}

}  // namespace

INT_PTR CALLBACK AnalyzerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_INITDIALOG:
        // The window's own result, kept on it for the export, the sorting and the copy.
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        FillWindow(window, *reinterpret_cast<const AnalyzerState*>(lParam));
        // Once the window shows, the previous build's tools run, while the user reads the list.
        PostMessageW(window, PreparePreviousMessage, 0, 0);
        return TRUE;
    case PreparePreviousMessage: {
        AnalyzerState& state = StateOf(window);
        state.preparing = true;
        AnalyzePreviousBuild(state.result);
        if (!IsWindow(window))
            return TRUE;
        state.preparing = false;
        if (state.budgetWanted)
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IdBudgetAndChanges, 0), 0);
        state.budgetWanted = false;
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IdSymbolList)
            break;
        if (header->code == LVN_COLUMNCLICK) {
            SortByColumn(window, reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
            return TRUE;
        }
        if (header->code == LVN_KEYDOWN) {
            ListKey(window, reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey);
            return TRUE;
        }
        break;
    }
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != GetDlgItem(window, IdSymbolList))
            break;
        ShowListMenu(window, lParam);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IdCloseAnalyzer:
            EndModal(window, 0);
            return TRUE;
        case IdExportCsv: {
            const AnalysisResult& rows = StateOf(window).result;
            ExportSymbolsCsv(window, rows.elfPath, rows.rows);
            return TRUE;
        }
        case IdCopyRow:
            CopySelectedRow(window);
            return TRUE;
        case IdBudgetAndChanges: {
            // One at a time: the window is modal, but a command may come while its figures are read.
            AnalyzerState& state = StateOf(window);
            if (state.preparing) {
                state.budgetWanted = true;   // opened once the previous build's tools are done
                return TRUE;
            }
            if (state.budgetOpen)
                return TRUE;
            state.budgetOpen = true;
            ShowBudgetWindow(window, state.result);
            if (IsWindow(window))
                StateOf(window).budgetOpen = false;
            return TRUE;
        }
        }
        break;
    }
    return FALSE;
}

void ShowAnalyzerWindow(AnalysisResult rows)
{
    AnalyzerState state;
    state.result = std::move(rows);
    state.order = SortedRowOrder(state.result.rows, state.sort);
    WindowDesc desc;
    desc.caption = AnalyzerCaption(state.result.elfPath);
    desc.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    desc.width = 512;
    desc.height = 502;
    desc.fontFace = "MS Sans Serif";
    desc.fontPoints = 8;
    HWND window = CreateRuntimeDialog(desc, AnalyzerControls, AnalyzerWindowProc, reinterpret_cast<LPARAM>(&state));
    if (!window)
        return;
    SetUpListColumns(GetDlgItem(window, IdSymbolList), Columns);
    SetWindowIconResource(window, "AICO");
    RunModal(window);
}
