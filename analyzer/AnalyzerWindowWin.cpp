#include "analyzer/AnalyzerWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "analyzer/AnalyzerText.h"
#include "analyzer/CsvExport.h"
#include "base/Text.h"
#include "ui/Window.h"

namespace {

// The controls' ids: only this window's code touches its controls.
constexpr int IdSymbolList = 1000;
constexpr int IdFlashLine = 1001;
constexpr int IdExportCsv = 1002;
constexpr int IdSramLine = 1003;
constexpr int IdCloseAnalyzer = IDOK;

constexpr ControlRow AnalyzerControls[] = {
    // id             class            text              x    y   cx   cy  style
    { IdSymbolList,    WC_LISTVIEWA,   "",                 2,   2, 508, 468,
      WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS },
    { IdFlashLine,     "STATIC",       "",                 2, 472, 322,  13, SS_LEFT },
    { IdSramLine,      "STATIC",       "",                 2, 488, 322,  13, SS_LEFT },
    { IdExportCsv,     "BUTTON",       "Export as csv",  332, 474,  96,  24, BS_PUSHBUTTON | WS_TABSTOP },
    { IdCloseAnalyzer, "BUTTON",       "Close",          438, 474,  70,  24, BS_PUSHBUTTON | WS_TABSTOP },
};

constexpr struct { const char* title; int width; } Columns[] = {
    { "Name", 380 },
    { "Type", 40 },
    { "Size", 60 },
};

LRESULT GetExtendedStyle(HWND list) { return SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0); }
LRESULT SetExtendedStyle(HWND list, LPARAM style) { return SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style); }
LRESULT InsertColumn(HWND list, int index, LVCOLUMNA& column)
{
    return SendMessageA(list, LVM_INSERTCOLUMNA, WPARAM(index), reinterpret_cast<LPARAM>(&column));
}
LRESULT SetColumnWidth(HWND list, int index, int width)
{
    return SendMessageA(list, LVM_SETCOLUMNWIDTH, WPARAM(index), MAKELPARAM(width, 0));
}
LRESULT InsertItem(HWND list, LVITEMA& item) { return SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)); }
LRESULT SetItem(HWND list, LVITEMA& item) { return SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)); }

void SetUpList(HWND list)
{
    SetExtendedStyle(list, GetExtendedStyle(list) | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < int(std::size(Columns)); ++i) {
        char title[32]{};
        std::strncpy(title, Columns[i].title, sizeof title - 1);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.pszText = title;
        column.iSubItem = i;
        InsertColumn(list, i, column);
    }
    for (int i = 0; i < int(std::size(Columns)); ++i)
        SetColumnWidth(list, i, Columns[i].width);
}

void FillWindow(HWND window, const AnalysisResult& rows)
{
    SetDlgItemTextW(window, IdSramLine, Widen(SramSummaryText(rows.sram)).c_str());
    HWND list = GetDlgItem(window, IdSymbolList);
    const size_t listed = std::min(rows.rows.size(), ListRowLimit);
    // Room for every row at once, and no redrawing per row: a list of many rows fills in seconds.
    SendMessageA(list, LVM_SETITEMCOUNT, WPARAM(listed), 0);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (size_t i = 0; i < listed; ++i) {
        const SymbolRow& row = rows.rows[i];
        const std::string cells[] = { row.name, row.type, DecimalText(row.size) };
        for (int sub = 0; sub < int(std::size(cells)); ++sub) {
            const std::string shown = ListCellText(cells[sub]);
            char buffer[ListCellCharacters + 1]{};
            std::memcpy(buffer, shown.data(), shown.size());
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = int(i);
            item.iSubItem = sub;
            item.pszText = buffer;
            if (sub == 0)
                InsertItem(list, item);
            else
                SetItem(list, item);
        }
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    SetDlgItemTextW(window, IdFlashLine, Widen(FlashSummaryText(rows.rows)).c_str());
}

}  // namespace

INT_PTR CALLBACK AnalyzerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_INITDIALOG:
        // The window's own result, kept on it for the export.
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        FillWindow(window, *reinterpret_cast<const AnalysisResult*>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IdCloseAnalyzer:
            EndModal(window, 0);
            return TRUE;
        case IdExportCsv: {
            const auto& rows = *reinterpret_cast<const AnalysisResult*>(GetWindowLongPtrW(window, DWLP_USER));
            ExportSymbolsCsv(window, rows.elfPath, rows.rows);
            return TRUE;
        }
        }
        break;
    }
    return FALSE;
}

void ShowAnalyzerWindow(AnalysisResult rows)
{
    WindowDesc desc;
    desc.caption = AnalyzerCaption(rows.elfPath);
    desc.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    desc.width = 512;
    desc.height = 502;
    desc.fontFace = "MS Sans Serif";
    desc.fontPoints = 8;
    HWND window = CreateRuntimeDialog(desc, AnalyzerControls, AnalyzerWindowProc, reinterpret_cast<LPARAM>(&rows));
    if (!window)
        return;
    SetUpList(GetDlgItem(window, IdSymbolList));
    SetWindowIconResource(window, "AICO");
    RunModal(window);
}
