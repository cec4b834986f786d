// The how-to text as the agent shows it, in the look that start-up sets, measured with the fonts
// that Wine gives: every line of it, as the text area wraps it, lies inside the area's visible part,
// which has no scroll bar.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "SoonInLoop.h"
#include "core/MainWindow.h"
#include "ui/MessageDialog.h"

namespace {



HWND OpenDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM out) noexcept -> BOOL {
        if (IsWindowVisible(w) && GetDlgItem(w, IdMessageText)) {
            *reinterpret_cast<HWND*>(out) = w;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The top of a wrapped line in the text area's client coordinates; lines below the visible part
// have positions below it.
int LineTop(HWND edit, int line)
{
    const LRESULT first = SendMessageW(edit, EM_LINEINDEX, WPARAM(line), 0);
    return short(HIWORD(SendMessageW(edit, EM_POSFROMCHAR, WPARAM(first), 0)));
}

}  // namespace

TEST(HowTo, EveryWrappedLineLiesInsideTheTextArea)
{
    SetMessageDialogAppearance("System", 14, 0x554848, 0xAAFFDA);
    int lines = 0, firstVisible = -1, lineHeight = 0, lastTop = 0;
    std::string lastLine;
    RECT format{}, client{};
    SoonInLoop([&] {
        HWND d = OpenDialog();
        ASSERT_TRUE(d);
        HWND edit = GetDlgItem(d, IdMessageText);
        lines = int(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
        firstVisible = int(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
        lineHeight = LineTop(edit, 1) - LineTop(edit, 0);
        lastTop = LineTop(edit, lines - 1);
        wchar_t text[256]{};
        text[0] = 255;   // EM_GETLINE reads the buffer's size from its first word
        const LRESULT n = SendMessageW(edit, EM_GETLINE, WPARAM(lines - 1), reinterpret_cast<LPARAM>(text));
        lastLine = Narrow(std::wstring_view(text, size_t(n)));
        SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        GetClientRect(edit, &client);
        SendMessageW(GetDlgItem(d, IdMeasuringSurface + 1), BM_CLICK, 0, 0);
    });
    ShowHowTo(nullptr);

    EXPECT_GT(lines, 16) << "sixteen lines, the long ones wrapped";
    EXPECT_EQ(0, firstVisible);
    ASSERT_GT(lineHeight, 0);
    EXPECT_LE(lastTop + lineHeight, format.bottom) << lines << " lines of " << lineHeight << " px";
    EXPECT_LE(format.bottom, client.bottom);
    // The last wrapped line is the end of the text's last line.
    EXPECT_EQ("notification bar.", lastLine.substr(lastLine.size() >= 17 ? lastLine.size() - 17 : 0));
}
