// Shows one message dialog in the agent's look, for screenshots: "System" 14 pt, text 0x554848 on
// 0xAAFFDA, the information icon and three buttons. Closes itself after 60 s if nobody answers.
#include <windows.h>

#include "ui/MessageDialog.h"
#include "ui/Window.h"

namespace {

void CALLBACK CloseOpenDialogs(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM) noexcept -> BOOL {
        SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SetMessageDialogAppearance("System", 14, 0x554848, 0xAAFFDA);
    SetTimer(nullptr, 0, 60000, CloseOpenDialogs);
    const char* text =
        "kevra+\r\n"
        "A new build of Blink was found and copied to the sketch folder.\r\n"
        "Start the simulator on it now, or keep it for later?";
    // A hidden owner in the middle of the screen, as the agent's hidden main window is.
    WindowDesc ownerDesc;
    ownerDesc.caption = "owner";
    ownerDesc.width = 480;
    ownerDesc.height = 360;
    HWND owner = CreateRuntimeDialog(ownerDesc, {}, [](HWND, UINT, WPARAM, LPARAM) noexcept -> INT_PTR { return 0; });
    return ShowMessageDialog(owner, text, "kevra+ message dialog", MB_ICONASTERISK | MB_YESNOCANCEL, "");
}
