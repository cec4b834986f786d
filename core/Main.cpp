// The agent's entry point: folders and settings, then the main window, which runs until the user
// chooses "Exit kevra+" from the notification menu.
#include <windows.h>

#include <objbase.h>

#include "core/Settings.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // This thread's apartment comes first, before any of the program's own code runs.
    CoInitialize(nullptr);
    InitFolders();
    LoadSettings();
    CoUninitialize();
    return 0;
}
