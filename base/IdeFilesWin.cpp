#include "base/IdeFiles.h"

#include <shlobj.h>

#include <algorithm>

#include "base/Folders.h"
#include "base/Text.h"
#include "base/Win32.h"

namespace {

// The first file of the search that is neither a folder nor hidden nor system; empty when none.
std::string FirstOrdinaryFile(const std::string& pattern)
{
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(Widen(pattern).c_str(), &found));
    if (!search)
        return {};
    constexpr DWORD NotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((found.dwFileAttributes & NotOrdinary) == 0)
            return Narrow(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return {};
}

// The files of IDE 1.5 and later are UTF-8, as the agent's own text is. Bytes that are not UTF-8
// were written in the ANSI code page.
std::string Utf8FromIdeFile(const std::string& text)
{
    if (text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0) > 0)
        return text;
    return Utf8FromAnsi(text);
}

std::string Arduino15PreferencesPath()
{
    return LocalAppDataFolder.empty() ? std::string() : LocalAppDataFolder + "Arduino15\\preferences.txt";
}

// The Windows Store edition of IDE 1.8 keeps its preferences in the documents folder.
std::string ArduinoDataPreferencesPath()
{
    return DocumentsFolder.empty() ? std::string() : DocumentsFolder + "ArduinoData\\preferences.txt";
}

// A key of the preferences.txt of IDE 1.5 and later, in UTF-8.
std::optional<std::string> IdePreference(const std::string& file, std::string_view key)
{
    if (file.empty())
        return std::nullopt;
    const std::optional<std::string> value = PreferenceValue(ReadIdeFile(file), key);
    return value ? std::optional(Utf8FromIdeFile(*value)) : std::nullopt;
}

// The roaming Arduino folder of IDE 1.0 - 1.0.6: its first *.txt, searched anywhere for the key.
std::optional<std::string> RoamingSketchbook()
{
    const std::string folder = AppDataFolder + "Arduino\\";
    const std::string name = FirstOrdinaryFile(folder + "*.txt");
    if (name.empty())
        return std::nullopt;
    // IDE 1.0 wrote this file in the ANSI code page.
    const std::optional<std::string> value = SketchbookPathValue(ReadIdeFile(folder + name));
    return value ? std::optional(Utf8FromAnsi(*value)) : std::nullopt;
}

std::optional<std::string> Arduino15Sketchbook()
{
    return IdePreference(Arduino15PreferencesPath(), "sketchbook.path");
}

std::optional<std::string> ArduinoDataSketchbook()
{
    return IdePreference(ArduinoDataPreferencesPath(), "sketchbook.path");
}

std::optional<std::string> ArduinoIde2Sketchbook()
{
    const std::string yaml = ArduinoCliYamlPath();
    const std::optional<std::string> value = yaml.empty() ? std::nullopt : DirectoriesUserValue(ReadIdeFile(yaml));
    return value ? std::optional(Utf8FromIdeFile(*value)) : std::nullopt;
}

// A folder named in the IDE's files as the agent takes it, with one trailing backslash; nullopt when
// IsUsableFolder refuses it. The text rule sees the value as written: "C:" alone is no absolute path,
// however "C:\\" it would become.
std::optional<std::string> UsableFolder(const std::optional<std::string>& value)
{
    if (!value || !IsLocalFolderText(*value))
        return std::nullopt;
    std::string folder = WithOneTrailingBackslash(*value);
    return IsUsableFolder(folder) ? std::optional(std::move(folder)) : std::nullopt;
}

uint64_t WriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return JoinHalves(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
}

}  // namespace

std::string ReadIdeFile(const std::string& path)
{
    FileStart start = ReadFileStart(path, MaxIdeFileBytes);
    // A file that goes on past the cap loses its last, cut line: "build.path=C:\\Builds" cut short
    // would name another folder.
    if (start.cut) {
        const size_t lineBreak = start.bytes.find_last_of("\r\n");
        start.bytes.resize(lineBreak == std::string::npos ? 0 : lineBreak + 1);
    }
    return std::move(start.bytes);
}

std::string ArduinoCliYamlPath()
{
    const std::string profile = ShellFolder(CSIDL_PROFILE);
    return profile.empty() ? std::string() : profile + ".arduinoIDE\\arduino-cli.yaml";
}

bool IsUsableFolder(const std::string& path)
{
    // The text rule first: a UNC path must not reach the file system, which would contact the host.
    return IsLocalFolderText(path) && IsFolder(path);
}

std::optional<std::string> IdeSketchbookFolder()
{
    for (auto source : { RoamingSketchbook, Arduino15Sketchbook, ArduinoDataSketchbook, ArduinoIde2Sketchbook })
        if (std::optional<std::string> folder = UsableFolder(source()))
            return folder;
    return std::nullopt;
}

BuildPathStamp ReadBuildPathStamp()
{
    return { WriteTime(Arduino15PreferencesPath()), WriteTime(ArduinoDataPreferencesPath()) };
}

std::vector<std::string> ArduinoBuildPathFolders(std::vector<std::string>* notYet)
{
    std::vector<std::string> folders;
    for (const std::string& file : { Arduino15PreferencesPath(), ArduinoDataPreferencesPath() }) {
        const std::optional<std::string> value = IdePreference(file, "build.path");
        const std::optional<std::string> folder = UsableFolder(value);
        if (folder && std::none_of(folders.begin(), folders.end(), [&](const std::string& f) { return SameIgnoringCase(f, *folder); }))
            folders.push_back(*folder);
        else if (!folder && notYet && value && IsLocalFolderText(*value) && !PathExists(*value))
            notYet->push_back(WithOneTrailingBackslash(*value));
    }
    return folders;
}
