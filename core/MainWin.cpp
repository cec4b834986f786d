// The agent's entry point: folders and settings, then the main window, which runs until the user
// chooses "Exit kevra+" from the notification menu.
#include <windows.h>

#include <objbase.h>

#include "core/MainWindow.h"
#include "base/Folders.h"
#include "core/Settings.h"
#include "ui/MessageDialog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // This thread's apartment comes first, before any of the program's own code runs.
    CoInitialize(nullptr);
    // One agent per session: a second one would add a second icon and start the simulator twice. A
    // start while another agent ends waits for it and then runs.
    if (HandOverToRunningAgent()) {
        CoUninitialize();
        return 0;
    }
    InitFolders();
    LoadSettings();
    SetMessageDialogAppearance(LookFace, LookPoints, LookText, LookBackground);
    CreateMainWindow();
    MainFont = UniqueFont{};
    CoUninitialize();
    return 0;
}
