// core/Settings.h: the folders the agent starts from and its two settings, kept in a private-profile
// file in TEMP. Failures are silent by design: an unreadable file gives the defaults, a failed write
// leaves the values in memory as they are.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Set once by InitFolders, before any other thread exists; never changed afterwards. They live in
// storage that is never torn down, since the watcher may still read them while the process exits.
extern const std::string& TempFolder;      // TEMP with exactly one trailing backslash
extern const std::string& SettingsFile;    // TempFolder + own executable name + ".ini"
extern const std::string& AppDataFolder;   // roaming application data, one trailing backslash
extern const std::string& LocalAppDataFolder;   // local application data, one trailing backslash;
                                                // empty when the shell gives none

// Works out TempFolder, SettingsFile, AppDataFolder and LocalAppDataFolder from TEMP, the
// executable's name and the shell.
void InitFolders();

// Reads Config/copyhex and Config/homedir from SettingsFile into the shared values.
void LoadSettings();
// Writes copyhex, then homedir, into SettingsFile. The results of the writes are ignored.
void SaveSettings();

// A shell folder (CSIDL_LOCAL_APPDATA, CSIDL_PERSONAL, ...) with one trailing backslash; "" when the
// shell gives none.
std::string ShellFolder(int csidl);

// The IDE's settings files are read at most this far: what lies beyond is not read.
constexpr size_t MaxSettingsFileBytes = 1 << 20;
// The first MaxSettingsFileBytes of a settings file of the IDE, read while others may write it; ""
// when it cannot be opened.
std::string ReadSettingsFile(const std::string& path);

// IDE 2.x's arduino-cli.yaml in the profile's .arduinoIDE folder; "" without a profile folder.
std::string ArduinoCliYamlPath();

// True when the file system reports attributes for the path (a file or a folder).
bool PathExists(const std::string& path);

// First-run preset of homedir from the Arduino IDE's preferences: the first ordinary *.txt file in
// AppDataFolder\Arduino, its "sketchbook.path=" value; failing that, sketchbook.path in
// LocalAppDataFolder\Arduino15\preferences.txt (IDE 1.5 - 1.8); failing that, directories.user in
// the profile's .arduinoIDE\arduino-cli.yaml (IDE 2.x). When found: sets homedir, shows it in the
// folder label (id 998) of mainWindow (which may be null) and saves the settings.
void DiscoverSketchbookFolder(HWND mainWindow);

// The build.path folder of LocalAppDataFolder\Arduino15\preferences.txt with one trailing
// backslash; empty when the file or the key is missing.
std::string ArduinoBuildPathFolder();
