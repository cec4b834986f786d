#include <gtest/gtest.h>

#include "core/MainWindow.h"
#include "core/TrayIcon.h"

namespace {

struct MenuItem {
    std::string text;
    UINT id;
    UINT state;
    UINT type;
};
std::vector<MenuItem> SeenItems;
bool MenuWasOpen = false;

// Runs inside the menu's own modal loop: reads the open menu through its window, then closes it.
void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!menuWindow)
        return;
    KillTimer(nullptr, timer);
    MenuWasOpen = IsWindowVisible(menuWindow);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[64] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        SeenItems.push_back({ text, info.wID, info.fState, info.fType });
    }
    EndMenu();
}

struct TrayTest : ::testing::Test {
    void SetUp() override
    {
        MainWindow = CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        TrayIconRemove();
        DestroyWindow(MainWindow);
    }
};

}  // namespace

TEST_F(TrayTest, IconDataNamesTheWindowCallbackIconAndTip)
{
    TrayIconAdd();
    EXPECT_EQ(sizeof(NOTIFYICONDATAA), TrayIconData.cbSize);
    EXPECT_EQ(MainWindow, TrayIconData.hWnd);
    EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), TrayIconData.uFlags);
    EXPECT_EQ(1525u, TrayIconData.uCallbackMessage);
    EXPECT_NE(nullptr, TrayIconData.hIcon);   // the agent's own icon resource, linked in
    EXPECT_STREQ("kevra+ agent", TrayIconData.szTip);
    EXPECT_EQ(0u, TrayIconData.dwInfoFlags);
}

TEST_F(TrayTest, RightClickOpensTheFourCommandsInOrder)
{
    CreateTrayMenu();
    SeenItems.clear();
    SetTimer(nullptr, 0, 100, ReadOpenMenu);
    EXPECT_EQ(0, OnTrayMessage(WM_RBUTTONUP));   // returns once the menu has closed

    EXPECT_TRUE(MenuWasOpen);
    const MenuItem expected[] = {
        { "Run last project", 202, 0, 0 }, { "Memory Analyzer", 201, 0, 0 },
        { "Howto / About", 203, 0, 0 }, { "Exit kevra+", 204, 0, 0 },
    };
    ASSERT_EQ(std::size(expected), SeenItems.size());
    for (size_t i = 0; i < SeenItems.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].text, SeenItems[i].text);
        EXPECT_EQ(expected[i].id, SeenItems[i].id);
        EXPECT_EQ(0u, SeenItems[i].state & (MFS_DISABLED | MFS_CHECKED | MFS_DEFAULT));
        EXPECT_EQ(0u, SeenItems[i].type & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW));
    }
}

TEST_F(TrayTest, OnlyADoubleClickShowsTheWindow)
{
    for (UINT event : { WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDOWN }) {
        SCOPED_TRACE(event);
        EXPECT_EQ(0, OnTrayMessage(event));
        EXPECT_FALSE(IsWindowVisible(MainWindow));
    }
    EXPECT_EQ(1, OnTrayMessage(WM_LBUTTONDBLCLK));
    EXPECT_TRUE(IsWindowVisible(MainWindow));
}
