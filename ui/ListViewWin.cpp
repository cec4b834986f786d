#include "ui/ListView.h"

#include <commctrl.h>

#include <cstring>

void SetUpListColumns(HWND list, std::span<const ListViewColumn> columns)
{
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (size_t i = 0; i < columns.size(); ++i) {
        char title[32]{};
        std::strncpy(title, columns[i].title, sizeof title - 1);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
        column.fmt = columns[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = title;
        column.iSubItem = int(i);
        SendMessageA(list, LVM_INSERTCOLUMNA, WPARAM(i), reinterpret_cast<LPARAM>(&column));
    }
}

void FillListRows(HWND list, size_t rows, size_t columns, const std::function<std::string(size_t, size_t)>& cell)
{
    SendMessageA(list, LVM_SETITEMCOUNT, WPARAM(rows), 0);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    const int first = int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (size_t row = 0; row < rows; ++row)
        for (size_t column = 0; column < columns; ++column) {
            std::string text = cell(row, column);
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = first + int(row);
            item.iSubItem = int(column);
            item.pszText = text.data();
            SendMessageA(list, column == 0 ? LVM_INSERTITEMA : LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}
