// The message dialog shown for real under Wine and driven from timers that its own modal loop runs.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "SoonInLoop.h"
#include "ui/MessageDialog.h"
#include "ui/Window.h"

namespace {

HWND OpenDialog(HWND besides = nullptr);




// The message dialog currently open on this thread, other than besides.
HWND OpenDialog(HWND besides)
{
    struct Search { HWND besides, found; } search{besides, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM lParam) noexcept -> BOOL {
        auto* s = reinterpret_cast<Search*>(lParam);
        if (w != s->besides && IsWindowVisible(w) && GetDlgItem(w, IdMessageText)) {
            s->found = w;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A dialog that a failing test leaves open is closed (result 0) rather than left to hang.
UINT_PTR watchdogTimer = 0;
void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    if (HWND d = OpenDialog()) {
        ADD_FAILURE() << "the dialog was still open after 20 s";
        SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

void Press(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

std::string TextOf(HWND window)
{
    wchar_t buffer[256]{};
    GetWindowTextW(window, buffer, 256);
    return Narrow(buffer);
}

RECT RectIn(HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class MessageDialog : public testing::Test {
protected:
    void SetUp() override
    {
        SetMessageDialogAppearance("System", 14, 0x554848, 0xAAFFDA);
        watchdogTimer = SetTimer(nullptr, 0, 20000, Watchdog);
    }
    void TearDown() override { KillTimer(nullptr, watchdogTimer); }
};

}  // namespace

TEST_F(MessageDialog, ButtonsOfACallersListReturnTheirNumbers)
{
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        std::vector<std::string> captions;
        SoonInLoop([&] {
            HWND d = OpenDialog();
            for (int id = 12302; GetDlgItem(d, id); ++id)
                captions.push_back(TextOf(GetDlgItem(d, id)));
            Press(d, 12301 + n);
        });
        EXPECT_EQ(n, ShowMessageDialog(nullptr, "Which one?", "Choice", 0, "One;Two;Three"));
        EXPECT_EQ((std::vector<std::string>{"One", "Two", "Three"}), captions);
    }
}

TEST_F(MessageDialog, EscapeLeavesItOpenAndASystemCloseReturnsZero)
{
    // Escape through the modal loop with the focus on a button and in the text, whose multi-line
    // edit (under Wine) turns the key into a WM_CLOSE to the dialog.
    for (int focus : { 12302, int(IdMessageText) }) {
        SCOPED_TRACE(focus);
        bool openAfterEscape = false;
        SoonInLoop([&] {
            HWND d = OpenDialog();
            HWND target = GetDlgItem(d, focus);
            SetFocus(target);
            PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0);
            SoonInLoop([&, d] {
                openAfterEscape = IsWindow(d) && IsWindowVisible(d);
                if (IsWindow(d))
                    SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
        });
        EXPECT_EQ(0, ShowMessageDialog(nullptr, "Text", "Close me", 1, ""));
        EXPECT_TRUE(openAfterEscape);
    }
}

TEST_F(MessageDialog, EnterInTheTextPressesTheRememberedButton)
{
    SoonInLoop([] {
        HWND d = OpenDialog();
        EXPECT_EQ(12302, FocusedButtonId(d));
        HWND text = GetDlgItem(d, IdMessageText);
        SetFocus(text);
        PostMessageW(text, WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(1, ShowMessageDialog(nullptr, "Press Enter", "Enter", 3, ""));

    // A button that reports its focus becomes the one Enter presses.
    SoonInLoop([] {
        HWND d = OpenDialog();
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(12304, BN_SETFOCUS), LPARAM(GetDlgItem(d, 12304)));
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(3, ShowMessageDialog(nullptr, "Press Enter", "Enter", 3, ""));
}

TEST_F(MessageDialog, ADialogOverAnotherLeavesTheOtherRememberedButton)
{
    int inner = -1;
    int32_t innerFocused = 0, outerFocusedMeanwhile = 0;
    SoonInLoop([&] {
        HWND outer = OpenDialog();
        SendMessageW(outer, WM_COMMAND, MAKEWPARAM(12303, BN_SETFOCUS), LPARAM(GetDlgItem(outer, 12303)));
        SoonInLoop([&, outer] {
            HWND d = OpenDialog(outer);
            innerFocused = FocusedButtonId(d);
            outerFocusedMeanwhile = FocusedButtonId(outer);
            Press(d, 12302);
        });
        inner = ShowMessageDialog(outer, "Inner", "Inner", 0, "X;Y");
        // Enter in the outer dialog's text, through its modal loop.
        HWND text = GetDlgItem(outer, IdMessageText);
        SetFocus(text);
        PostMessageW(text, WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(2, ShowMessageDialog(nullptr, "Outer", "Outer", 0, "A;B;C"));
    EXPECT_EQ(1, inner);
    EXPECT_EQ(12302, innerFocused);
    EXPECT_EQ(12303, outerFocusedMeanwhile);
}

TEST_F(MessageDialog, TheTwentiethButtonDoesNotEndIt)
{
    std::string list = "1";
    for (int i = 2; i <= 20; ++i)
        list += ";" + std::to_string(i);
    int buttons = 0;
    bool openAfterTwentieth = false;
    SoonInLoop([&] {
        HWND d = OpenDialog();
        while (GetDlgItem(d, 12302 + buttons))
            ++buttons;
        Press(d, 12320);   // the 19th, id 12320, still ends it
    });
    EXPECT_EQ(19, ShowMessageDialog(nullptr, "Many", "Many", 0, list));
    EXPECT_EQ(20, buttons);

    SoonInLoop([&] {
        HWND d = OpenDialog();
        Press(d, 12321);
        SoonInLoop([&, d] {
            openAfterTwentieth = IsWindow(d);
            Press(d, 12302);
        });
    });
    EXPECT_EQ(1, ShowMessageDialog(nullptr, "Many", "Many", 0, list));
    EXPECT_TRUE(openAfterTwentieth);
}

TEST_F(MessageDialog, OwnerIsDisabledWhileOpenAndFocusedAfter)
{
    WindowDesc desc;
    desc.caption = "Owner";
    desc.width = 600;
    desc.height = 400;
    HWND owner = CreateRuntimeDialog(desc, {}, [](HWND, UINT, WPARAM, LPARAM) noexcept -> INT_PTR { return 0; });
    ASSERT_NE(nullptr, owner);   // hidden: the dialog is centered over it all the same
    bool ownerEnabled = true;
    RECT o{}, d{};
    SoonInLoop([&] {
        HWND dialog = OpenDialog();
        ownerEnabled = IsWindowEnabled(owner);
        GetWindowRect(owner, &o);
        GetWindowRect(dialog, &d);
        Press(dialog, 12302);
    });
    EXPECT_EQ(1, ShowMessageDialog(owner, "Owned", "Owned", 0, ""));
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(owner, GetFocus());
    EXPECT_LE(std::abs((o.left + o.right) - (d.left + d.right)), 1);
    EXPECT_LE(std::abs((o.top + o.bottom) - (d.top + d.bottom)), 1);
    DestroyWindow(owner);
}

TEST_F(MessageDialog, ControlsFollowTheLayoutOfTheMeasuredText)
{
    const std::string text = "A message long enough to wrap over more than one line of the text area, "
                             "measured as one single line.\r\nAnd a second paragraph.";
    const std::vector<std::string> captions = {"&Yes", "&No", "&Cancel"};
    SoonInLoop([&] {
        HWND d = OpenDialog();
        // Measure with fonts made the same way, on a screen device context.
        HDC dc = GetDC(nullptr);
        UniqueFont messageFont = CreatePointFont(MessageFace, MessagePoints);
        HGDIOBJ old = SelectObject(dc, messageFont.get());
        const std::wstring wide = Widen(text);
        SIZE size{};
        GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &size);
        UniqueFont buttonFont = CreatePointFont(ButtonFace, ButtonPoints);
        SelectObject(dc, buttonFont.get());
        std::vector<int> widths;
        for (const std::string& c : captions) {
            SIZE s{};
            const std::wstring w = Widen(c);
            GetTextExtentPoint32W(dc, w.c_str(), int(w.size()), &s);
            widths.push_back(s.cx);
        }
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        const MessageLayout layout = LayOutMessage(size.cx, size.cy, MessagePoints, true, widths);
        const std::vector<int> buttonX = CenteredRow(layout.clientWidth, layout.rowEnd, layout.buttonWidths);

        const RECT t = RectIn(GetDlgItem(d, IdMessageText));
        EXPECT_EQ(42, t.left);
        EXPECT_EQ(10, t.top);
        EXPECT_EQ(layout.textWidth, t.right - t.left);
        EXPECT_EQ(layout.textHeight, t.bottom - t.top);
        RECT client{};
        GetClientRect(d, &client);
        EXPECT_EQ(layout.clientWidth, client.right);
        EXPECT_EQ(layout.clientHeight, client.bottom);
        for (size_t i = 0; i < captions.size(); ++i) {
            SCOPED_TRACE(i);
            HWND button = GetDlgItem(d, 12302 + int(i));
            const RECT b = RectIn(button);
            EXPECT_EQ(buttonX[i], b.left);
            EXPECT_EQ(layout.rowTop, b.top);
            EXPECT_EQ(layout.buttonWidths[i], b.right - b.left);
            EXPECT_EQ(24, b.bottom - b.top);
            EXPECT_GE(b.top, t.bottom) << "the row sits below the text";
            EXPECT_EQ(captions[i], TextOf(button));
        }
        EXPECT_EQ(reinterpret_cast<HWND>(0), GetDlgItem(d, 12305));
        Press(d, 12304);
    });
    EXPECT_EQ(3, ShowMessageDialog(nullptr, text, "Layout", 0x23, ""));
}

TEST_F(MessageDialog, HowToStyleShowsTheInformationIconAndOneOkButton)
{
    std::string caption, okText;
    bool iconControl = false, secondButton = true;
    SoonInLoop([&] {
        HWND d = OpenDialog();
        caption = TextOf(d);
        HWND icon = GetDlgItem(d, IdMessageIcon);
        iconControl = icon && (GetWindowLongPtrW(icon, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        okText = TextOf(GetDlgItem(d, 12302));
        secondButton = GetDlgItem(d, 12303) != nullptr;
        Press(d, 12302);
    });
    EXPECT_EQ(1, ShowMessageDialog(nullptr, "How to", "kevra+ howto/about", 0x40, ""));
    EXPECT_EQ("kevra+ howto/about", caption);
    EXPECT_TRUE(iconControl);
    EXPECT_EQ("&OK", okText);
    EXPECT_FALSE(secondButton);

    // No caption: the executable's own name without its extension.
    SoonInLoop([&] {
        HWND d = OpenDialog();
        caption = TextOf(d);
        Press(d, 12302);
    });
    ShowMessageDialog(nullptr, "Untitled", "", 0, "");
    EXPECT_EQ("wine_ui_message_dialog", caption);
}

TEST_F(MessageDialog, ReleasesTheFontsBrushAndIconItMade)
{
    HGDIOBJ textFont = nullptr, buttonFont = nullptr, background = nullptr;
    HICON iconImage = nullptr;
    SoonInLoop([&] {
        HWND d = OpenDialog();
        textFont = HGDIOBJ(SendDlgItemMessageW(d, IdMessageText, WM_GETFONT, 0, 0));
        buttonFont = HGDIOBJ(SendDlgItemMessageW(d, 12302, WM_GETFONT, 0, 0));
        HDC dc = GetDC(d);
        background = HGDIOBJ(SendMessageW(d, WM_CTLCOLORDLG, WPARAM(dc), LPARAM(d)));
        ReleaseDC(d, dc);
        iconImage = HICON(SendDlgItemMessageW(d, IdMessageIcon, STM_GETIMAGE, IMAGE_ICON, 0));
        Press(d, 12302);
    });
    EXPECT_EQ(1, ShowMessageDialog(nullptr, "Owned objects", "Objects", 0x40, ""));
    ASSERT_TRUE(textFont && buttonFont && background && iconImage);
    EXPECT_NE(textFont, buttonFont) << "text and buttons each have their own font";
    EXPECT_EQ(0u, GetObjectType(textFont));
    EXPECT_EQ(0u, GetObjectType(buttonFont));
    EXPECT_EQ(0u, GetObjectType(background));
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(iconImage, &info));
}

TEST_F(MessageDialog, ReleasesItsGdiObjects)
{
    auto gdiObjects = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
    auto showOnce = [] {
        SoonInLoop([] { Press(OpenDialog(), 12302); });
        return ShowMessageDialog(nullptr, "Again", "Leak", 0x30, "A;B");
    };
    showOnce();   // first use makes what lives for the process (stock objects, caches)
    const DWORD before = gdiObjects();
    if (before == 0)
        GTEST_SKIP() << "GetGuiResources reports no GDI objects here";
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(1, showOnce());
    EXPECT_LE(gdiObjects(), before + 2);
}
