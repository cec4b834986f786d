// core/Settings.h: the folders the agent starts from and its two settings, kept in a private-profile
// file in TEMP, and what it takes from the Arduino IDE's own settings files: the sketchbook on a first
// run, the build.path folders while it runs. Those files are untrusted: read at most 1 MB far, and a
// folder named there is taken only as an existing local folder. Failures are silent by design: an
// unreadable file gives the defaults, a failed write leaves the values in memory as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Set once by InitFolders, before any other thread exists; never changed afterwards. They live in
// storage that is never torn down, since the watcher may still read them while the process exits.
extern const std::string& TempFolder;      // TEMP with exactly one trailing backslash
extern const std::string& SettingsFile;    // TempFolder + own executable name + ".ini"
extern const std::string& AppDataFolder;   // roaming application data, one trailing backslash
extern const std::string& LocalAppDataFolder;   // local application data, one trailing backslash;
                                                // empty when the shell gives none
extern const std::string& DocumentsFolder;      // the documents folder (CSIDL_PERSONAL), the same way

// Works out TempFolder, SettingsFile, AppDataFolder, LocalAppDataFolder and DocumentsFolder from
// TEMP, the executable's name and the shell.
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
// The first MaxSettingsFileBytes of a settings file of the IDE, read while others may write it, less
// the line that the cap cuts when the file is longer; "" when it cannot be opened.
std::string ReadSettingsFile(const std::string& path);

// IDE 2.x's arduino-cli.yaml in the profile's .arduinoIDE folder; "" without a profile folder.
std::string ArduinoCliYamlPath();

// True when the file system reports attributes for the path (a file or a folder).
bool PathExists(const std::string& path);

// True when path is a local absolute folder (IsLocalFolderText) that exists as a folder, not a file.
// Asks the file system for attributes only; safe on any thread.
bool IsUsableFolder(const std::string& path);

// First-run preset of homedir from the Arduino IDE's preferences, the first of: the first ordinary
// *.txt file in AppDataFolder\Arduino, its "sketchbook.path=" value (IDE 1.0); sketchbook.path in
// LocalAppDataFolder\Arduino15\preferences.txt (IDE 1.5 - 1.8); sketchbook.path in the Windows Store
// edition's DocumentsFolder\ArduinoData\preferences.txt; directories.user in the profile's
// .arduinoIDE\arduino-cli.yaml (IDE 2.x). A value counts only when IsUsableFolder takes it. When found:
// sets homedir, saves the settings and returns the folder, for the main window to show; nullopt when
// nothing was found, and then nothing is set or saved.
std::optional<std::string> DiscoverSketchbookFolder();

// The write times of the preferences files that may name a build.path (0 for a missing file), read
// without opening them; compared at each poll.
struct BuildPathStamp {
    uint64_t arduino15 = 0;
    uint64_t arduinoData = 0;
    bool operator==(const BuildPathStamp&) const = default;
};
BuildPathStamp ReadBuildPathStamp();

// The build.path folders of Arduino15\preferences.txt and of the Windows Store edition's
// <Documents>\ArduinoData\preferences.txt, each with one trailing backslash, each taken only when
// IsUsableFolder takes it, duplicates removed; empty when none. Reads both files; safe on any thread.
// notYet, when given, gets the folders that pass the text rule but do not exist yet: the IDE makes
// its build.path folder at its first build, and whoever watches for builds looks for it then.
std::vector<std::string> ArduinoBuildPathFolders(std::vector<std::string>* notYet = nullptr);
