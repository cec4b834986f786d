#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "core/MainWindow.h"
#include "core/TrayIcon.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;   // the linker's name for this module's start

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

// What the shell needs, worked out by hand rather than with the expressions the code uses: the full
// ANSI record, up to and including hBalloonIcon, is 508 bytes on x86 and 528 on x64, where the
// handles take 8 bytes and are aligned to them.
TEST_F(TrayTest, IconDataIsTheFullAnsiRecordNamingThisModulesIcon)
{
    const NOTIFYICONDATAA& data = TrayIconAdd();
    EXPECT_EQ(sizeof(void*) == 8 ? 528u : 508u, data.cbSize);
    EXPECT_EQ(MainWindow, data.hWnd);
    EXPECT_EQ(UINT(reinterpret_cast<uintptr_t>(&__ImageBase)), data.uID);   // names the icon of this module
    EXPECT_EQ(7u, data.uFlags);                 // a callback message, an icon and a tooltip
    EXPECT_EQ(1525u, data.uCallbackMessage);
    EXPECT_EQ(std::string("kevra+ agent") + std::string(128 - 12, '\0'), std::string(data.szTip, 128));
    // Every other field is zero: no state, no balloon.
    const NOTIFYICONDATAA zero{};
    EXPECT_EQ(0, std::memcmp(&data.dwState, &zero.dwState,
                             offsetof(NOTIFYICONDATAA, hBalloonIcon) + sizeof data.hBalloonIcon -
                                 offsetof(NOTIFYICONDATAA, dwState)));

    // The icon is the resource AICO of this program, at the system's icon size.
    ICONINFOEXW icon{};
    icon.cbSize = sizeof icon;
    ASSERT_TRUE(GetIconInfoExW(data.hIcon, &icon));
    BITMAP colour{};
    GetObjectW(icon.hbmColor, sizeof colour, &colour);
    DeleteObject(icon.hbmColor);
    DeleteObject(icon.hbmMask);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), colour.bmWidth);
    EXPECT_STREQ(L"AICO", icon.szResName);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(self, icon.szModName)) << Narrow(icon.szModName);

    // The shell holds an icon under this window and id, until it is removed.
    NOTIFYICONDATAA name{};
    name.cbSize = sizeof name;
    name.hWnd = MainWindow;
    name.uID = data.uID;
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &name));
    TrayIconRemove();
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &name));
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
