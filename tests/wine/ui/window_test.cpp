// The run-time window builder: windows made hidden from a control table, dialog units, the handler's
// WM_INITDIALOG before the window can be seen, the modal run and its owner, the modeless run, colors.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>

#include "SoonInLoop.h"
#include "ui/Window.h"

namespace {

// What one test's handler saw; tests run one at a time on one thread.
struct Seen {
    bool initVisible = true;
    HWND initFocusCandidate = nullptr;
    LPARAM initParam = 0;
    int commands = 0;
    int cancels = 0;
    bool destroyed = false;
};
Seen seen;

INT_PTR CALLBACK TestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_INITDIALOG:
        seen.initVisible = IsWindowVisible(window);
        seen.initFocusCandidate = reinterpret_cast<HWND>(wParam);
        seen.initParam = lParam;
        return FALSE;
    case WM_COMMAND:
        ++seen.commands;
        if (LOWORD(wParam) == IDCANCEL)
            ++seen.cancels;
        if (LOWORD(wParam) >= 100 && LOWORD(wParam) < 200)
            EndModal(window, LOWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        seen.destroyed = true;
        return FALSE;
    }
    return FALSE;
}



constexpr ControlRow Rows[] = {
    {10, "STATIC", "Label", 2, 2, 100, 12, 0},
    {101, "BUTTON", "One", 2, 20, 50, 14, 0},
    {102, "BUTTON", "Two", 60, 20, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {11, "EDIT", "", 2, 40, 100, 30, ES_MULTILINE},
};

WindowDesc PixelDesc(HWND owner = nullptr)
{
    WindowDesc desc;
    desc.caption = "Builder test";
    desc.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    desc.width = 300;
    desc.height = 200;
    desc.owner = owner;
    return desc;
}

// A font's dialog base units as Windows defines them: the width of the 52 Latin letters over 52,
// rounded, across; the character height down. One dialog unit is a quarter of the first and an
// eighth of the second.
SIZE BaseUnitsOf(HFONT font)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SIZE letters{};
    GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &letters);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {(letters.cx / 26 + 1) / 2, tm.tmHeight};
}

HWND MakeOwner()
{
    WindowDesc desc = PixelDesc();
    desc.caption = "Owner";
    HWND owner = CreateRuntimeDialog(desc, {}, TestProc);
    ShowWindow(owner, SW_SHOW);
    return owner;
}

}  // namespace

TEST(RuntimeWindow, IsCreatedHiddenWithTheTableAndThePixelClientArea)
{
    seen = {};
    HWND w = CreateRuntimeDialog(PixelDesc(), Rows, TestProc, 42);
    ASSERT_NE(nullptr, w);
    EXPECT_FALSE(IsWindowVisible(w));
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(300, client.right);
    EXPECT_EQ(200, client.bottom);

    HWND two = GetDlgItem(w, 102);
    ASSERT_NE(nullptr, two);
    RECT r{};
    GetWindowRect(two, &r);
    MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(60, r.left);
    EXPECT_EQ(20, r.top);
    EXPECT_EQ(50, r.right - r.left);

    const LONG_PTR staticStyle = GetWindowLongPtrW(GetDlgItem(w, 10), GWL_STYLE);
    EXPECT_EQ(WS_CHILD | WS_VISIBLE, staticStyle & (WS_CHILD | WS_VISIBLE));
    const LONG_PTR editStyle = GetWindowLongPtrW(GetDlgItem(w, 11), GWL_STYLE);
    EXPECT_TRUE(editStyle & ES_MULTILINE);
    EXPECT_FALSE(editStyle & WS_BORDER) << "a given style is used as given";
    EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(w, 101), GWL_STYLE) & WS_TABSTOP) << "default push button";

    // Every control gets the window's font unless a control font is given.
    const LRESULT windowFont = SendMessageW(w, WM_GETFONT, 0, 0);
    EXPECT_NE(0, windowFont);
    EXPECT_EQ(windowFont, SendMessageW(two, WM_GETFONT, 0, 0));

    // No position given: centered in the work area, equal margins on either side within a pixel.
    RECT area{}, outer{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(w, &outer);
    EXPECT_GT(outer.right - outer.left, 300) << "the frame lies around the client area";
    EXPECT_LE(std::abs((outer.left - area.left) - (area.right - outer.right)), 1);
    EXPECT_LE(std::abs((outer.top - area.top) - (area.bottom - outer.bottom)), 1);
    DestroyWindow(w);

    // A position given is the outer top-left corner.
    WindowDesc placed = PixelDesc();
    placed.x = 30;
    placed.y = 40;
    w = CreateRuntimeDialog(placed, Rows, TestProc);
    ASSERT_NE(nullptr, w);
    GetWindowRect(w, &outer);
    EXPECT_EQ(30, outer.left);
    EXPECT_EQ(40, outer.top);
    DestroyWindow(w);
}

TEST(RuntimeWindow, DialogUnitsFollowTheWindowFont)
{
    // Multiples of 4 across and 8 down, so each size is a whole number of the font's base units.
    const ControlRow cells[] = {{102, "BUTTON", "Two", 60, 24, 48, 16, 0}};
    UniqueFont controlFont = CreatePointFont("System", 14);
    WindowDesc desc = PixelDesc();
    desc.unit = WindowUnit::DialogUnits;
    desc.fontWeight = FW_BOLD;
    desc.x = 8;
    desc.y = 16;
    desc.width = 320;
    desc.height = 216;
    desc.controlFont = controlFont.get();
    HWND w = CreateRuntimeDialog(desc, cells, TestProc);
    ASSERT_NE(nullptr, w);

    // The base units come from the window's own font, not from the control font.
    HFONT windowFont = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(windowFont, sizeof lf, &lf));
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_STREQ(L"MS Sans Serif", lf.lfFaceName);
    const SIZE base = BaseUnitsOf(windowFont);
    SCOPED_TRACE(testing::Message() << "base units " << base.cx << " x " << base.cy);

    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(80 * base.cx, client.right);    // 320 / 4
    EXPECT_EQ(27 * base.cy, client.bottom);   // 216 / 8
    EXPECT_GT(client.right, 320) << "four dialog units of an 8-point font span more than four pixels";
    RECT outer{};
    GetWindowRect(w, &outer);
    EXPECT_EQ(2 * base.cx, outer.left);
    EXPECT_EQ(2 * base.cy, outer.top);

    RECT r{};
    GetWindowRect(GetDlgItem(w, 102), &r);
    MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(15 * base.cx, r.left);
    EXPECT_EQ(3 * base.cy, r.top);
    EXPECT_EQ(12 * base.cx, r.right - r.left);
    EXPECT_EQ(2 * base.cy, r.bottom - r.top);
    EXPECT_EQ(reinterpret_cast<LRESULT>(controlFont.get()), SendMessageW(GetDlgItem(w, 102), WM_GETFONT, 0, 0));
    DestroyWindow(w);
}

TEST(RuntimeWindow, ModalRunDisablesTheOwnerAndReturnsTheEndValue)
{
    seen = {};
    HWND owner = MakeOwner();
    HWND w = CreateRuntimeDialog(PixelDesc(owner), Rows, TestProc, 7);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(0, seen.commands) << "no message reaches the handler before its WM_INITDIALOG";
    bool ownerEnabledWhileOpen = true;
    bool visibleWhileOpen = false;
    SoonInLoop([&] {
        ownerEnabledWhileOpen = IsWindowEnabled(owner);
        visibleWhileOpen = IsWindowVisible(w);
        SendMessageW(w, WM_COMMAND, MAKEWPARAM(102, BN_CLICKED), LPARAM(GetDlgItem(w, 102)));
    });
    EXPECT_EQ(102, RunModal(w));
    EXPECT_FALSE(seen.initVisible) << "WM_INITDIALOG comes before the window is shown";
    EXPECT_EQ(7, seen.initParam);
    EXPECT_FALSE(ownerEnabledWhileOpen);
    EXPECT_TRUE(visibleWhileOpen);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(seen.destroyed);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(owner, GetFocus());
    DestroyWindow(owner);
}

TEST(RuntimeWindow, SystemCloseEndsWithZeroAndEscapeOrWmCloseOnlyReachTheHandler)
{
    // Each reaches the handler as IDCANCEL and leaves the modal window open. Wine's multi-line edit
    // sends its dialog WM_CLOSE for Escape.
    const struct { const char* what; int control; UINT message; WPARAM key; } cases[] = {
        { "Escape on a button", 101, WM_KEYDOWN, VK_ESCAPE },
        { "Escape in a multi-line edit", 11, WM_KEYDOWN, VK_ESCAPE },
        { "WM_CLOSE", 0, WM_CLOSE, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        seen = {};
        HWND w = CreateRuntimeDialog(PixelDesc(), Rows, TestProc);
        bool openAfter = false;
        SoonInLoop([&] {
            HWND target = c.control ? GetDlgItem(w, c.control) : w;
            SetFocus(target);
            PostMessageW(target, c.message, c.key, 0);
            // The close once the posted message has been handled.
            SoonInLoop([&] {
                openAfter = IsWindow(w);
                if (IsWindow(w))
                    SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
        });
        EXPECT_EQ(0, RunModal(w));
        EXPECT_TRUE(openAfter);
        EXPECT_EQ(1, seen.cancels);
        EXPECT_FALSE(IsWindow(w));
    }
}

TEST(RuntimeWindow, ModelessRunInitialisesHiddenAndEndsWhenDestroyed)
{
    seen = {};
    HWND w = CreateRuntimeDialog(PixelDesc(), Rows, TestProc, 9);
    bool hiddenInLoop = false;
    SoonInLoop([&] {
        hiddenInLoop = !IsWindowVisible(w);
        DestroyWindow(w);
    });
    RunUntilDestroyed(w);
    EXPECT_FALSE(seen.initVisible);
    EXPECT_EQ(9, seen.initParam);
    EXPECT_TRUE(hiddenInLoop);
    EXPECT_TRUE(seen.destroyed);
}

TEST(RuntimeWindow, ColorsComeFromTheTableWithOneBrushPerColor)
{
    HWND w = CreateRuntimeDialog(PixelDesc(), Rows, TestProc);
    SetWindowColors(w, {0x554848, 0xAAFFDA});
    SetControlColors(w, 10, {0x800080, 0xAAFFDA});
    HDC dc = GetDC(w);
    const LRESULT dialogBrush = SendMessageW(w, WM_CTLCOLORDLG, WPARAM(dc), LPARAM(w));
    const LRESULT labelBrush = SendMessageW(w, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(GetDlgItem(w, 10)));
    EXPECT_NE(0, dialogBrush);
    EXPECT_EQ(dialogBrush, labelBrush) << "one brush for one background color";
    EXPECT_EQ(COLORREF(0x800080), GetTextColor(dc));
    EXPECT_EQ(COLORREF(0xAAFFDA), GetBkColor(dc));
    LOGBRUSH lb{};
    GetObjectW(reinterpret_cast<HBRUSH>(dialogBrush), sizeof lb, &lb);
    EXPECT_EQ(COLORREF(0xAAFFDA), lb.lbColor);
    EXPECT_EQ(dialogBrush, SendMessageW(w, WM_CTLCOLORDLG, WPARAM(dc), LPARAM(w))) << "made once";
    // A control without colors of its own keeps the system's.
    EXPECT_NE(dialogBrush, SendMessageW(w, WM_CTLCOLOREDIT, WPARAM(dc), LPARAM(GetDlgItem(w, 11))));
    EXPECT_NE(COLORREF(0x800080), GetTextColor(dc));
    ReleaseDC(w, dc);
    DestroyWindow(w);
}

TEST(RuntimeWindow, PointFontHeightFollowsTheScreenResolution)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    // Heights worked out by hand: points x dpi / 72, to the nearest pixel, negative for the glyph height.
    struct Case { int dpi; int points; LONG height; };
    const Case cases[] = {
        {96, 14, -19},    // 18.67: rounded, not cut
        {96, 7, -9},      // 9.33: rounded, not raised
        {96, 9, -12},
        {120, 14, -23},   // 23.33
        {120, 8, -13},    // 13.33
        {144, 8, -16},
        {192, 7, -19},    // 18.67
    };
    int tried = 0;
    for (const Case& c : cases) {
        if (c.dpi != dpi)
            continue;
        SCOPED_TRACE(testing::Message() << c.points << " points at " << c.dpi << " dpi");
        ++tried;
        UniqueFont font = CreatePointFont("System", c.points);
        LOGFONTW lf{};
        ASSERT_TRUE(GetObjectW(font.get(), sizeof lf, &lf));
        EXPECT_EQ(c.height, lf.lfHeight);
        EXPECT_EQ(FW_NORMAL, lf.lfWeight);
        EXPECT_EQ(ANSI_CHARSET, lf.lfCharSet);
    }
    LOGFONTW lf{};
    UniqueFont longFace = CreatePointFont(std::string(40, 'x'), 8);
    ASSERT_TRUE(GetObjectW(longFace.get(), sizeof lf, &lf));
    EXPECT_EQ(31u, wcslen(lf.lfFaceName));
    if (tried == 0)
        GTEST_SKIP() << "no worked heights for a screen of " << dpi << " dpi";
}
