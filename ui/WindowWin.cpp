#include "ui/Window.h"

#include <commctrl.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct ModalRun {
    INT_PTR value = 0;
    bool ended = false;
};

// What the builder keeps for one window, from its creation to WM_NCDESTROY. It hangs on a window
// property, so that DWLP_USER stays the handler's own.
struct WindowState {
    DLGPROC handler = nullptr;
    LPARAM lParam = 0;
    bool active = false;   // the handler has had its WM_INITDIALOG
    WindowUnit unit = WindowUnit::Pixels;
    HFONT controlFont = nullptr;
    ColorPair windowColors;
    std::vector<std::pair<int, ColorPair>> controlColors;
    std::vector<std::pair<COLORREF, UniqueBrush>> brushes;
    std::vector<HICON> icons;
    ModalRun* run = nullptr;
    HWND disabledOwner = nullptr;   // the owner that this window's modal run disabled
};

constexpr wchar_t StateProperty[] = L"KevraRuntimeWindow";

WindowState* StateOf(HWND window)
{
    return window ? static_cast<WindowState*>(GetPropW(window, StateProperty)) : nullptr;
}

bool SameClass(const char* a, const char* b)
{
    return lstrcmpiA(a, b) == 0;
}

DWORD DefaultStyle(const char* className)
{
    if (SameClass(className, "BUTTON"))
        return BS_PUSHBUTTON | WS_TABSTOP;
    if (SameClass(className, "EDIT"))
        return ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    if (SameClass(className, "STATIC"))
        return SS_LEFT;
    if (SameClass(className, WC_LISTVIEWA))
        return LVS_REPORT | WS_BORDER | WS_TABSTOP;
    return 0;
}

RECT ToPixels(HWND window, const WindowState& state, int x, int y, int cx, int cy)
{
    RECT r{x, y, x + cx, y + cy};
    if (state.unit == WindowUnit::DialogUnits)
        MapDialogRect(window, &r);
    return r;
}

HBRUSH BrushFor(WindowState& state, COLORREF color)
{
    for (auto& [c, brush] : state.brushes)
        if (c == color)
            return brush.get();
    state.brushes.emplace_back(color, UniqueBrush{CreateSolidBrush(color)});
    return state.brushes.back().second.get();
}

// Answers a color message from the table; 0 leaves the system's colors.
INT_PTR ColorAnswer(WindowState& state, UINT message, HDC dc, HWND control)
{
    if (message == WM_CTLCOLORDLG) {
        if (state.windowColors.back < 0)
            return 0;
        return reinterpret_cast<INT_PTR>(BrushFor(state, COLORREF(state.windowColors.back) & 0xFFFFFF));
    }
    const int id = GetDlgCtrlID(control);
    for (const auto& [controlId, colors] : state.controlColors) {
        if (controlId != id)
            continue;
        SetTextColor(dc, colors.text < 0 ? GetSysColor(COLOR_WINDOWTEXT) : COLORREF(colors.text) & 0xFFFFFF);
        if (colors.back < 0) {
            const int system = message == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_3DFACE;
            SetBkColor(dc, GetSysColor(system));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(system));
        }
        const COLORREF back = COLORREF(colors.back) & 0xFFFFFF;
        SetBkColor(dc, back);
        return reinterpret_cast<INT_PTR>(BrushFor(state, back));
    }
    return 0;
}

// Enter in a multi-line edit that does not keep it for itself: Windows' edit hands it to the dialog,
// Wine's drops it; the loop makes both send the dialog IDOK.
bool EnterForTheDialog(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN || GetKeyState(VK_CONTROL) < 0)
        return false;
    wchar_t className[16]{};
    GetClassNameW(msg.hwnd, className, 16);
    const LONG_PTR style = GetWindowLongPtrW(msg.hwnd, GWL_STYLE);
    return lstrcmpiW(className, L"Edit") == 0 && (style & ES_MULTILINE) && !(style & ES_WANTRETURN);
}

INT_PTR CALLBACK RuntimeDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    WindowState* state = StateOf(window);
    if (!state) {
        // The dialog manager's own WM_INITDIALOG, during creation: only the builder sees it.
        if (message == WM_INITDIALOG)
            SetPropW(window, StateProperty, reinterpret_cast<HANDLE>(lParam));
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        const INT_PTR result = state->active ? state->handler(window, message, wParam, lParam) : FALSE;
        RemovePropW(window, StateProperty);
        for (HICON icon : state->icons)
            DestroyIcon(icon);
        delete state;
        return result;
    }
    const INT_PTR result = state->active ? state->handler(window, message, wParam, lParam) : FALSE;
    if (result)
        return result;
    switch (message) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return ColorAnswer(*state, message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    // Only the system close command ends a modal run. WM_CLOSE goes on to the dialog manager, which
    // makes it IDCANCEL: Wine's multi-line edit sends its dialog WM_CLOSE for Escape, and Escape must
    // not end a window whose handler ignores IDCANCEL.
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE && state->run) {
            EndModal(window, 0);
            return TRUE;
        }
        break;
    case DM_GETDEFID:
        // No default button unless the handler names one: Enter then reaches it as IDOK.
        SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    return FALSE;
}

// DLGTEMPLATEEX with no items: the window, its caption and its font. The controls come afterwards.
std::vector<WORD> MakeTemplate(const WindowDesc& desc)
{
    std::vector<WORD> t;
    auto word = [&](WORD w) { t.push_back(w); };
    auto dword = [&](DWORD d) { word(LOWORD(d)); word(HIWORD(d)); };
    auto text = [&](std::string_view s) {
        for (wchar_t c : Widen(s))
            word(WORD(c));
        word(0);
    };
    const DWORD style = (desc.style | DS_SETFONT) & ~DWORD(WS_VISIBLE);
    word(1);                 // dlgVer
    word(0xFFFF);            // signature
    dword(0);                // helpID
    dword(desc.exStyle);
    dword(style);
    word(0);                 // no items
    word(0); word(0);        // x, y: placed after creation
    word(WORD(desc.unit == WindowUnit::DialogUnits ? desc.width : 0));
    word(WORD(desc.unit == WindowUnit::DialogUnits ? desc.height : 0));
    word(0);                 // no menu
    word(0);                 // the dialog class
    text(desc.caption);
    word(WORD(desc.fontPoints));
    word(WORD(desc.fontWeight));
    word(MAKEWORD(FALSE, ANSI_CHARSET));   // italic, charset
    text(std::string_view(desc.fontFace).substr(0, 31));
    return t;
}

void ActivateHandler(HWND window, WindowState& state)
{
    state.active = true;
    HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
    if (state.handler(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), state.lParam) && first
        && IsWindow(first))
        SetFocus(first);
}

// Hands one message of the thread to its window, with dialog keys for the builder's windows.
void ServeMessage(MSG& msg)
{
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (StateOf(root) && root != msg.hwnd && EnterForTheDialog(msg)) {
        SendMessageW(root, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(root, IDOK)));
        return;
    }
    if (StateOf(root) && IsDialogMessageW(root, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// Serves every window of the thread until done().
template <typename Done>
void PumpMessages(Done done)
{
    MSG msg;
    while (!done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(int(msg.wParam));
            return;
        }
        if (got < 0)
            return;
        ServeMessage(msg);
    }
}

}  // namespace

HWND CreateRuntimeDialog(const WindowDesc& desc, std::span<const ControlRow> controls, DLGPROC handler,
                         LPARAM lParam)
{
    static const bool commonControls = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)commonControls;

    auto state = std::make_unique<WindowState>();
    state->handler = handler;
    state->lParam = lParam;
    state->unit = desc.unit;
    state->controlFont = desc.controlFont;
    const std::vector<WORD> dialogTemplate = MakeTemplate(desc);
    HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                             desc.owner, RuntimeDialogProc,
                                             reinterpret_cast<LPARAM>(state.get()));
    if (!window)
        return nullptr;
    state.release();   // the window owns it now, until WM_NCDESTROY
    WindowState& s = *StateOf(window);

    const RECT client = ToPixels(window, s, 0, 0, desc.width, desc.height);
    SetClientSize(window, client.right, client.bottom);
    if (desc.x == CenteredPosition || desc.y == CenteredPosition) {
        CenterInWorkArea(window);
    } else {
        const RECT at = ToPixels(window, s, desc.x, desc.y, 0, 0);
        SetWindowPos(window, nullptr, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (const ControlRow& row : controls)
        AddControl(window, row);
    return window;
}

HWND AddControl(HWND window, const ControlRow& row)
{
    WindowState* state = StateOf(window);
    if (!state)
        return nullptr;
    const RECT r = ToPixels(window, *state, row.x, row.y, row.cx, row.cy);
    const DWORD style = (row.style ? row.style : DefaultStyle(row.className)) | WS_CHILD | WS_VISIBLE;
    HWND control = CreateWindowExW(0, Widen(row.className).c_str(), Widen(row.text ? row.text : "").c_str(),
                                   style, r.left, r.top, r.right - r.left, r.bottom - r.top, window,
                                   reinterpret_cast<HMENU>(INT_PTR(row.id)), GetModuleHandleW(nullptr),
                                   nullptr);
    if (!control)
        return nullptr;
    HFONT font = state->controlFont ? state->controlFont
                                    : reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

WaitEnd WaitServingMessages(HANDLE object, DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(int(msg.wParam));
                return WaitEnd::Quit;
            }
            ServeMessage(msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return WaitForSingleObject(object, 0) == WAIT_OBJECT_0 ? WaitEnd::Signalled : WaitEnd::TimedOut;
        const DWORD left = DWORD(deadline - now);
        // MWMO_INPUTAVAILABLE: a message that came while the queue was served wakes the wait at once.
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &object, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0)
            return WaitEnd::Signalled;
        if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED)
            return WaitForSingleObject(object, 0) == WAIT_OBJECT_0 ? WaitEnd::Signalled : WaitEnd::TimedOut;
    }
}

INT_PTR RunModal(HWND window)
{
    WindowState* state = StateOf(window);
    if (!state)
        return 0;
    ModalRun run;
    state->run = &run;
    HWND owner = GetWindow(window, GW_OWNER);
    SetForegroundWindow(window);
    ActivateHandler(window, *state);
    // A window that a nested modal run has already disabled stays so until that run ends.
    if (owner && !run.ended && IsWindow(window) && IsWindowEnabled(owner)) {
        SendMessageW(owner, WM_CANCELMODE, 0, 0);
        EnableWindow(owner, FALSE);
        state->disabledOwner = owner;
    }
    if (!run.ended && IsWindow(window))
        ShowWindow(window, SW_SHOW);
    PumpMessages([&] { return run.ended || !IsWindow(window); });
    if (IsWindow(window)) {   // the loop ended on WM_QUIT: the window goes with it
        EndModal(window, 0);
        run.value = 0;
    } else if (!run.ended && owner && IsWindow(owner)) {
        EnableWindow(owner, TRUE);   // destroyed without EndModal: the owner may still be disabled
    }
    if (owner && IsWindow(owner))
        SetFocus(owner);
    return run.value;
}

void EndModal(HWND window, INT_PTR value)
{
    WindowState* state = StateOf(window);
    if (!state)
        return;
    if (state->run) {
        state->run->value = value;
        state->run->ended = true;
        state->run = nullptr;
    }
    // The owner comes back before the window goes, so that Windows activates it and not another.
    if (state->disabledOwner) {
        EnableWindow(state->disabledOwner, TRUE);
        state->disabledOwner = nullptr;
    }
    DestroyWindow(window);
}

void RunUntilDestroyed(HWND window)
{
    WindowState* state = StateOf(window);
    if (!state)
        return;
    ActivateHandler(window, *state);
    PumpMessages([&] { return !IsWindow(window); });
}

UniqueFont CreatePointFont(std::string_view face, int points, int weight)
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    LOGFONTW font{};
    font.lfHeight = -int(std::lround(double(points) * dpi / 72.0));
    font.lfWeight = weight;
    font.lfCharSet = ANSI_CHARSET;
    const std::wstring wideFace = Widen(face.substr(0, 31));
    wcsncpy(font.lfFaceName, wideFace.c_str(), LF_FACESIZE - 1);
    return UniqueFont{CreateFontIndirectW(&font)};
}

void SetWindowColors(HWND window, ColorPair colors)
{
    if (WindowState* state = StateOf(window)) {
        state->windowColors = colors;
        InvalidateRect(window, nullptr, TRUE);
    }
}

void SetControlColors(HWND window, int controlId, ColorPair colors)
{
    WindowState* state = StateOf(window);
    if (!state)
        return;
    for (auto& [id, c] : state->controlColors) {
        if (id == controlId) {
            c = colors;
            return;
        }
    }
    state->controlColors.emplace_back(controlId, colors);
}

void SetWindowIconResource(HWND window, const char* resourceName)
{
    WindowState* state = StateOf(window);
    if (!state)
        return;
    HINSTANCE module = GetModuleHandleW(nullptr);
    const struct { int size; WPARAM which; } kinds[] = {{32, ICON_BIG}, {16, ICON_SMALL}};
    for (const auto& kind : kinds) {
        auto icon = static_cast<HICON>(LoadImageA(module, resourceName, IMAGE_ICON, kind.size, kind.size, 0));
        if (!icon)
            continue;
        state->icons.push_back(icon);   // destroyed with the window, after it stops using it
        SendMessageW(window, WM_SETICON, kind.which, reinterpret_cast<LPARAM>(icon));
    }
}

void CenterInWorkArea(HWND window)
{
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT r{};
    GetWindowRect(window, &r);
    const int x = area.left + (area.right - area.left - (r.right - r.left)) / 2;
    const int y = area.top + (area.bottom - area.top - (r.bottom - r.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetClientSize(HWND window, int width, int height)
{
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
