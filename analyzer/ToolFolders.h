// analyzer/ToolFolders.h: where the analysis finds avr-size and avr-nm: on PATH as the command
// interpreter searches it, or else the Arduino IDE's own copies, from the boards manager
// (IDE 1.6.2 and later, arduino-cli) or inside an IDE 1.x folder. Looks again on every call, since
// a board package may be installed while the agent runs; keeps nothing and writes nothing.
// FindAvrTools and FolderHoldsCommand are the Win32 side; the rest is portable and decides the order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The folders of avr-size and avr-nm as the command interpreter will run them: each tool's folder
// comes first on the interpreter's PATH for its run (AnalysisRun.h), so the look-up makes the
// interpreter's own search and judges what that search finds. In a folder the interpreter takes the
// first file named like the tool with an extension of PATHEXT, in PATHEXT's order; a folder holds the
// tool only when that first file is the tool's ".exe" (an avr-size.com or .bat beside or instead of
// it is what would run, and is not the tool). First each tool on the agent's PATH, folder by folder,
// only its absolute folders (SearchedPathFolders); when either is missing there, both from the first
// folder that holds both as plain files: the boards manager's avr-gcc ...\<version>\bin of the
// highest version across LocalAppDataFolder\Arduino15, DocumentsFolder\ArduinoData and arduino-cli's
// directories.data, then an IDE 1.x folder's hardware\tools\avr\bin. No trailing backslash, and
// never a ';' or '"', so each can stand in PATH as one entry; both "" when no folder has them.
// Costs a few directory searches; safe on any thread once InitFolders has run.
struct AvrToolFolders {
    std::string size;
    std::string nm;
};
AvrToolFolders FindAvrTools();

// True when the folder holds a file that the interpreter would run for the bare command name (one of
// PATHEXT's extensions appended); a folder of that name does not count. The build's folder is the
// interpreter's current folder, which some interpreters search before PATH whatever the environment
// says: a run whose tool such a file would replace is not made.
bool FolderHoldsCommand(const std::string& folder, std::string_view name);

// The order of the boards manager's version folder names: negative when a is the older, positive
// when it is the newer, 0 only for the same text. A name starting with a dotted number
// ("7.3.0-atmel3.6.1-arduino7") is compared by those numbers as numbers, a missing one counting as
// 0, then by the rest of the name with its digit runs as numbers; any name without a leading number
// is older than every numbered one.
int CompareToolVersions(std::string_view a, std::string_view b);

// The folders of a PATH value in order, as the command interpreter reads it: split at ';' outside
// double quotes, quotes removed, empty entries left out.
std::vector<std::string> PathFolders(std::string_view pathValue);

// The PathFolders that the look-up searches, trailing separators removed (a drive root keeps its
// one): only absolute ones ("C:\..." or "\\server\..."). ".",
// "..\bin", "C:bin" and the like name the current folder or one below it, which is not searched.
std::vector<std::string> SearchedPathFolders(std::string_view pathValue);

// The extensions of a PATHEXT value in order, each with its leading '.': split at ';', empty entries
// left out; the interpreter's own list .COM;.EXE;.BAT;.CMD when the value holds none.
std::vector<std::string> PathExtensions(std::string_view pathExtValue);

// True for ".exe" in any case.
bool IsExeExtension(std::string_view extension);

// A folder named in a file or registry value of the IDE, as the agent may search it: one pair of
// surrounding double quotes taken off, then a path that IsLocalFolderText takes ("C:\..." or
// "C:/...") and that holds no ';', with '/' turned into '\', runs of separators folded and trailing
// ones removed (a drive root keeps its one). nullopt for anything else: relative and UNC paths, "-",
// "@...", control characters, a ';' that would split a PATH entry.
std::optional<std::string> SearchableFolder(std::string_view text);

// The folder of the program a command starts: the quoted path of "\"C:\A\uninstall.exe\" /S", or an
// unquoted path up to and including its first ".exe"; nullopt when that is not a SearchableFolder.
std::optional<std::string> ProgramFolder(std::string_view command);

// The boards manager's avr-gcc folders in search order, without duplicates (compared ignoring ASCII
// case): localAppData\Arduino15, documents\ArduinoData, then arduino-cli's directories.data (untrusted:
// taken only as a SearchableFolder), each followed by \packages\arduino\tools\avr-gcc. An empty shell
// folder and an absent value give no entry.
std::vector<std::string> AvrGccFolders(std::string_view localAppData, std::string_view documents,
                                       const std::optional<std::string>& cliDataValue);

// The version folder names found in one avr-gcc folder.
struct VersionFolders {
    std::string avrGccFolder;
    std::vector<std::string> names;
};

// The bin folders of every version, newest first; one version in several avr-gcc folders keeps
// their order. Leaves out ".", ".." and names that could not stand in one PATH entry.
std::vector<std::string> BoardsManagerToolFolders(const std::vector<VersionFolders>& found);

// Each IDE 1.x folder's hardware\tools\avr\bin in order, without duplicates; folders that are not
// a SearchableFolder are left out.
std::vector<std::string> IdeToolFolders(const std::vector<std::string>& ideFolders);
