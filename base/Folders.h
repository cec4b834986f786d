// base/Folders.h: the folders the whole program starts from, worked out once at start-up from TEMP,
// the executable's name and the shell, before any other thread exists, and never changed after.
// They live in storage that is never torn down: the watcher may still read them while the process
// exits.
#pragma once

#include <string>
#include <string_view>

extern const std::string& TempFolder;           // TEMP with exactly one trailing backslash
extern const std::string& SettingsFile;         // TempFolder + own executable name + ".ini"
extern const std::string& AppDataFolder;        // roaming application data, one trailing backslash
extern const std::string& LocalAppDataFolder;   // local application data, one trailing backslash;
                                                // empty when the shell gives none
extern const std::string& DocumentsFolder;      // the documents folder (CSIDL_PERSONAL), the same way

// Works out the folders above.
void InitFolders();

// A shell folder (CSIDL_LOCAL_APPDATA, CSIDL_PERSONAL, ...) with one trailing backslash; "" when the
// shell gives none.
std::string ShellFolder(int csidl);

// The roaming application-data folder as the program keeps it: leading and trailing backslashes
// removed, one appended.
std::string AppDataFolderFrom(std::string_view shellPath);
