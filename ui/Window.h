// ui/Window.h: builds the agent's windows at run time from a description and a table of controls,
// with one dialog procedure each, and runs them modally (RunModal, EndModal) or until destroyed
// (RunUntilDestroyed). The handler gets WM_INITDIALOG just before the window shows and no message
// before it; it keeps DWLP_USER to itself. What it returns 0 for takes the default: color messages
// are answered from the window's color table, and in a modal run SC_CLOSE ends the window with 0,
// while a plain WM_CLOSE (and Escape) becomes IDCANCEL, which does nothing unless the handler acts
// on it. Text is UTF-8. Every function runs on the thread that created the window.
#pragma once

#include <windows.h>

#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/Win32.h"

// One control: class, id, text, rectangle in the window's unit, style. Style 0 takes the kind's
// default (push button with tab stop, left text, bordered edit, report list view); any other style
// is used as given, together with WS_CHILD | WS_VISIBLE.
struct ControlRow {
    int id;
    const char* className;
    const char* text;
    int x, y, cx, cy;
    DWORD style;
};

enum class WindowUnit {
    Pixels,
    DialogUnits,   // dialog units of the window's font (fontFace, fontPoints, fontWeight)
};

constexpr int CenteredPosition = INT_MIN;

struct WindowDesc {
    std::string caption;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;   // WS_VISIBLE is always taken off
    DWORD exStyle = 0;
    int x = CenteredPosition, y = CenteredPosition;      // outer top-left corner, window's unit
    int width = 0, height = 0;                            // client area, window's unit
    WindowUnit unit = WindowUnit::Pixels;
    // The window's own (dialog) font: the base of dialog units and the font every control gets,
    // unless controlFont is given.
    std::string fontFace = "MS Sans Serif";
    int fontPoints = 8;
    int fontWeight = FW_NORMAL;
    HWND owner = nullptr;                                 // a modal run disables it while open
    HFONT controlFont = nullptr;                          // not owned; must outlive the window
};

// Creates the window hidden, with the controls of the table in order (creation order is also the tab
// order). lParam comes back with the handler's WM_INITDIALOG. Null on failure.
HWND CreateRuntimeDialog(const WindowDesc& desc, std::span<const ControlRow> controls, DLGPROC handler,
                         LPARAM lParam = 0);

// Adds one control as the table would; the rectangle is in the window's unit. Null on failure.
HWND AddControl(HWND window, const ControlRow& row);

// Runs the window modally: brings it to the foreground, gives the handler WM_INITDIALOG (wParam: the
// first tab stop), sends the owner WM_CANCELMODE and disables it, shows the window, and dispatches
// every message of the thread until the window is ended or destroyed. Returns the EndModal value (0
// when the window was destroyed otherwise); the owner then has the keyboard focus back.
INT_PTR RunModal(HWND window);

// Ends a modal run: stores the value, re-enables the owner, destroys the window.
void EndModal(HWND window, INT_PTR value);

// Gives the handler WM_INITDIALOG while the window stays hidden, then dispatches every message of the
// thread until the window has been destroyed. A WM_QUIT is put back in the queue and ends the loop.
void RunUntilDestroyed(HWND window);

// How WaitServingMessages ended: the object was signalled, the time ran out, or a WM_QUIT came
// (put back in the queue, so that the loops further out end too).
enum class WaitEnd { Signalled, TimedOut, Quit };

// Waits for object at most milliseconds while it serves every message of the thread as the modal
// loops do (the notification icon, its menu and every window keep answering). The handlers run
// inside the wait and may start anything a message starts.
WaitEnd WaitServingMessages(HANDLE object, DWORD milliseconds);

// A font of a face and a point size: height -(points x LOGPIXELSY / 72) rounded, the weight given,
// ANSI character set. Only the first 31 characters of the face are used.
UniqueFont CreatePointFont(std::string_view face, int points, int weight = FW_NORMAL);

// Colors as COLORREF values (0x00BBGGRR); a negative value means the system's default color.
struct ColorPair {
    int32_t text = -1;
    int32_t back = -1;
};

// The window's own colors (WM_CTLCOLORDLG) and, for controls with no colors of their own, none.
void SetWindowColors(HWND window, ColorPair colors);
// The colors of one control, answered on WM_CTLCOLORSTATIC and WM_CTLCOLOREDIT. The brush of each
// background is made once and released with the window.
void SetControlColors(HWND window, int controlId, ColorPair colors);

// Sets the window icon (32 x 32 large, 16 x 16 small) from an icon group of the program's own module;
// sets none when the resource is missing.
void SetWindowIconResource(HWND window, const char* resourceName);

// Moves the window so that its outer rectangle is centered in the desktop work area.
void CenterInWorkArea(HWND window);

// Sizes the window so that its client area is width x height pixels, the frame added around it,
// without moving it.
void SetClientSize(HWND window, int width, int height);
