// tests/wine/e2e/AnalyzerDriver.h: drives the analyzer window and its save dialog from another thread
// or another process: list-view rows read through memory in the list's own process, the save dialog
// found by its owner and answered, and the explorer processes the export starts.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

// Every row of a report list view, each with one text per column, read with LVM_GETITEMTEXTW on
// memory allocated in the list's process (the list's own process included).
std::vector<std::vector<std::string>> ListRows(HWND list);
// The column titles and widths of a report list view.
struct ListColumn { std::string title; int width; };
std::vector<ListColumn> ListColumns(HWND list);

// A visible top-level window of this class owned by owner; null when none.
HWND FindOwnedWindow(HWND owner, const wchar_t* className = L"#32770");

// The file name edit of a save dialog: 0x47C or the edit inside it, the edit 0x480, or its first edit.
HWND FileNameEdit(HWND saveDialog);
// Types path into the save dialog and presses its OK button (posted: the dialog's answer may open a
// further question). Answers "Yes" to a question about creating the file if one comes up (Windows may
// ask, Wine does not); returns once the dialog has gone (true) or the time ran out (false).
bool SaveDialogAs(HWND saveDialog, const std::string& path, DWORD milliseconds = 10000);
// Presses the save dialog's Cancel and waits for it to go.
bool CancelSaveDialog(HWND saveDialog);

// One symbol of an avr-nm --size-sort -C -r report, read on the report's own terms rather than with
// the agent's parsing.
struct ReportSymbol {
    std::string name, type;
    long size;
};
// The symbols of a report, whose lines end with LF or CR LF.
std::vector<ReportSymbol> ReportSymbols(const std::string& report);
// Decimal digits with a comma before each group of three from the right.
std::string Grouped(long value);

// Processes named exeName whose parent is parentId.
std::vector<DWORD> ChildProcesses(DWORD parentId, const wchar_t* exeName);
// Ends the processes of these ids (ones the test's own program started) and waits for them.
void EndProcesses(const std::vector<DWORD>& ids);
// The command line of a process, read from its memory; "" when it cannot be read.
std::string ProcessCommandLine(DWORD processId);

// A real click (SendInput) in the middle of a report list view's column header, its window brought
// to the foreground first. False when the header or its place could not be found.
bool ClickListHeader(HWND list, int column);
// A real right click (SendInput) on a row of a list view, in its label.
bool RightClickListRow(HWND list, int row);
// Selects and focuses one row of a list view (LVM_SETITEMSTATE with memory in the list's process).
bool SelectListRow(HWND list, int row);
// The text the clipboard holds (CF_TEXT); "" when it holds none. EmptyTheClipboard makes it hold none.
std::string ClipboardText();
void EmptyTheClipboard();
// Key presses as a user makes them (SendInput): each chord is pressed in order and released in
// reverse, e.g. { VK_CONTROL, 'C' }.
void PressKeys(std::initializer_list<WORD> chord);
