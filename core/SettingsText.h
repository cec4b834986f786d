// core/SettingsText.h: the text rules behind the settings and the folders the agent starts from: the
// roaming folder's form, the copyhex number, and the values read from the Arduino IDEs' files (the
// sketchbook and build.path in preferences.txt, directories.user and directories.data in IDE 2.x's
// arduino-cli.yaml), and what a folder named there must look like to be taken. Pure functions, no
// file access.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The roaming application-data folder as the agent keeps it: leading and trailing backslashes
// removed, one appended.
std::string AppDataFolderFrom(std::string_view shellPath);

// The copyhex value of its stored text: the leading decimal number (sign, digits, fraction),
// rounded half to even and clamped to 32 bits; 0 when the text does not start with a number.
int32_t ParseCopyHex(std::string_view text);

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
