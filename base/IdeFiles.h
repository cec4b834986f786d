// base/IdeFiles.h: what the agent takes from the Arduino IDEs' own files: the sketchbook folder
// (preferences.txt of IDE 1.0 and of 1.5 - 1.8, the Windows Store edition's ArduinoData, IDE 2.x's
// arduino-cli.yaml), the build.path folders and arduino-cli's data folder. Those files are
// untrusted: read at most MaxIdeFileBytes far, and a folder named there is taken only when its text
// is a local absolute path (IsLocalFolderText) and, where it is used as a folder, one that exists.
// The text rules are portable; the reading (the functions after them) is the Win32 layer's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The value of the first "sketchbook.path=" in a preferences text, up to the first CR or LF after
// it, or to the end of the text when no line break follows; nullopt when the key is absent.
std::optional<std::string> SketchbookPathValue(std::string_view preferences);

// A key's value in the Arduino15 preferences.txt of IDE 1.5 - 1.8 ("build.path", "sketchbook.path"),
// read as the IDE reads it: the key is what stands before the line's first "=", the value what
// follows it, both with surrounding blanks and control characters removed; a later line of the key
// wins. So "custom.build.path" is another key. nullopt when absent or empty.
std::optional<std::string> PreferenceValue(std::string_view preferences, std::string_view key);

// Whether a folder named in the IDE's files (the sketchbook, build.path) can be taken as text: a local
// absolute path, a drive letter, ":" and "\" or "/", with no control character and none of the
// characters that no Windows name holds (<>"|?* and a second ":"). Relative paths, UNC paths
// (\\host\..., \\?\...), "-" and "@" are refused: a UNC folder would have the agent contact that host
// at every poll. Whether the folder exists is the Win32 layer's question (IsUsableFolder).
bool IsLocalFolderText(std::string_view path);

// The sketchbook folder in IDE 2.x's arduino-cli.yaml: the "user" key directly under the top-level
// "directories" key, written plain, in single or in double quotes (escapes undone, \u as UTF-8).
// The text stays in the file's UTF-8. nullopt when absent, empty or null.
std::optional<std::string> DirectoriesUserValue(std::string_view yaml);

// arduino-cli's data folder (where its boards manager installs packages) in the same file: the "data"
// key under "directories", read by the same rules. The value is the file's, unchecked.
std::optional<std::string> DirectoriesDataValue(std::string_view yaml);

// The IDE's files are read at most this far: what lies beyond is not read.
constexpr size_t MaxIdeFileBytes = 1 << 20;
// The first MaxIdeFileBytes of a file of the IDE, read while others may write it, less the line that
// the cap cuts when the file is longer; "" when it cannot be opened.
std::string ReadIdeFile(const std::string& path);

// IDE 2.x's arduino-cli.yaml in the profile's .arduinoIDE folder; "" without a profile folder.
std::string ArduinoCliYamlPath();

// True when path is a local absolute folder (IsLocalFolderText) that exists as a folder, not a file.
// Asks the file system for attributes only; safe on any thread.
bool IsUsableFolder(const std::string& path);

// The sketchbook folder that the IDE in use names, the first of: the first ordinary *.txt file in
// AppDataFolder\Arduino, its "sketchbook.path=" value (IDE 1.0); sketchbook.path in
// LocalAppDataFolder\Arduino15\preferences.txt (IDE 1.5 - 1.8); sketchbook.path in the Windows Store
// edition's DocumentsFolder\ArduinoData\preferences.txt; directories.user in the profile's
// .arduinoIDE\arduino-cli.yaml (IDE 2.x). A value counts only when IsUsableFolder takes it; it comes
// with one trailing backslash. nullopt when none does.
std::optional<std::string> IdeSketchbookFolder();

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
