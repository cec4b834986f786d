// ui/ListView.h: the report list views of the agent's windows: their columns and their rows, filled
// from texts the window gives. Knows no window's data: the caller cuts each cell as it should show.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <span>
#include <string>

struct ListViewColumn {
    const char* title;
    int width;              // pixels
    bool rightAligned = false;
};

// Grid lines and whole-row selection, and the columns in order.
void SetUpListColumns(HWND list, std::span<const ListViewColumn> columns);

// Appends rows rows of columns cells, cell(row, column) giving each text (ANSI, as the tools wrote it),
// with room for all of them made at once and no redrawing meanwhile: a list of many rows fills in
// seconds, not minutes.
void FillListRows(HWND list, size_t rows, size_t columns, const std::function<std::string(size_t, size_t)>& cell);
