#include "core/Settings.h"

#include <shlobj.h>

#include <algorithm>

#include "core/SettingsText.h"
#include "core/SharedValues.h"
#include "core/Text.h"
#include "core/Win32.h"

namespace {

std::string& TempFolderValue = *new std::string;
std::string& SettingsFileValue = *new std::string;
std::string& AppDataFolderValue = *new std::string;
std::string& LocalAppDataFolderValue = *new std::string;
std::string& DocumentsFolderValue = *new std::string;

constexpr wchar_t Section[] = L"Config";

// The file stays in the ANSI code page, as older versions wrote and read it: the wide calls convert
// with that code page, and only values that fit it are written.
std::string ReadProfileValue(const wchar_t* key, const wchar_t* fallback)
{
    // 260 characters, as the file has always been read: a longer value is cut to 259.
    wchar_t buffer[260] = {};
    GetPrivateProfileStringW(Section, key, fallback, buffer, 260, Widen(SettingsFileValue).c_str());
    return Narrow(buffer);
}

// homedir as the settings file can hold it: the path itself when it fits the ANSI code page, else
// its short form when the volume has one; nullopt when neither fits.
std::optional<std::string> StorableHomeDir(const std::string& homedir)
{
    if (AnsiText(homedir))
        return homedir;
    const std::string shortForm = ShortPathOf(homedir);
    if (!shortForm.empty() && AnsiText(shortForm))
        return WithOneTrailingBackslash(shortForm);
    return std::nullopt;
}

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
    return LocalAppDataFolderValue.empty() ? std::string() : LocalAppDataFolderValue + "Arduino15\\preferences.txt";
}

// The Windows Store edition of IDE 1.8 keeps its preferences in the documents folder.
std::string ArduinoDataPreferencesPath()
{
    return DocumentsFolderValue.empty() ? std::string() : DocumentsFolderValue + "ArduinoData\\preferences.txt";
}

// A key of the preferences.txt of IDE 1.5 and later, in UTF-8.
std::optional<std::string> IdePreference(const std::string& file, std::string_view key)
{
    if (file.empty())
        return std::nullopt;
    const std::optional<std::string> value = PreferenceValue(ReadSettingsFile(file), key);
    return value ? std::optional(Utf8FromIdeFile(*value)) : std::nullopt;
}

// The roaming Arduino folder of IDE 1.0 - 1.0.6: its first *.txt, searched anywhere for the key.
std::optional<std::string> RoamingSketchbook()
{
    const std::string folder = AppDataFolderValue + "Arduino\\";
    const std::string name = FirstOrdinaryFile(folder + "*.txt");
    if (name.empty())
        return std::nullopt;
    // IDE 1.0 wrote this file in the ANSI code page.
    const std::optional<std::string> value = SketchbookPathValue(ReadSettingsFile(folder + name));
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
    const std::optional<std::string> value = yaml.empty() ? std::nullopt : DirectoriesUserValue(ReadSettingsFile(yaml));
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

bool SameFolder(const std::string& a, const std::string& b)
{
    const std::wstring wa = Widen(a), wb = Widen(b);
    return CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

const std::string& TempFolder = TempFolderValue;
const std::string& SettingsFile = SettingsFileValue;
const std::string& AppDataFolder = AppDataFolderValue;
const std::string& LocalAppDataFolder = LocalAppDataFolderValue;
const std::string& DocumentsFolder = DocumentsFolderValue;

void InitFolders()
{
    TempFolderValue = WithOneTrailingBackslash(EnvironmentText(L"TEMP"));
    SettingsFileValue = TempFolderValue + ExeBaseName(OwnExePath()) + ".ini";
    AppDataFolderValue = AppDataFolderFrom(WithoutTrailingBackslashes(ShellFolder(CSIDL_APPDATA)));
    LocalAppDataFolderValue = ShellFolder(CSIDL_LOCAL_APPDATA);
    DocumentsFolderValue = ShellFolder(CSIDL_PERSONAL);
}

void LoadSettings()
{
    WriteCopyHex(ParseCopyHex(ReadProfileValue(L"copyhex", L"0")));
    WriteHomeDir(TrimSpaces(ReadProfileValue(L"homedir", L" ")));
}

void SaveSettings()
{
    const std::wstring file = Widen(SettingsFileValue);
    WritePrivateProfileStringW(Section, L"copyhex", Widen(DecimalText(ReadCopyHex())).c_str(), file.c_str());
    // A folder that the file cannot hold leaves the stored one as it was, like a failed write: this
    // session copies into the chosen folder, the next start into the stored one.
    if (const std::optional<std::string> homedir = StorableHomeDir(TrimSpaces(ReadHomeDir())))
        WritePrivateProfileStringW(Section, L"homedir", Widen(*homedir).c_str(), file.c_str());
}

std::string ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || path[0] == 0)
        return {};
    return WithOneTrailingBackslash(Narrow(path));
}

std::string ReadSettingsFile(const std::string& path)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (bytes.size() < MaxSettingsFileBytes &&
           ReadFile(file.get(), chunk, DWORD(std::min<size_t>(sizeof chunk, MaxSettingsFileBytes - bytes.size())), &got,
                    nullptr) &&
           got > 0)
        bytes.append(chunk, got);
    // A file that goes on past the cap loses its last, cut line: "build.path=C:\\Builds" cut short
    // would name another folder.
    char more = 0;
    if (bytes.size() == MaxSettingsFileBytes && ReadFile(file.get(), &more, 1, &got, nullptr) && got == 1) {
        const size_t lineBreak = bytes.find_last_of("\r\n");
        bytes.resize(lineBreak == std::string::npos ? 0 : lineBreak + 1);
    }
    return bytes;
}

std::string ArduinoCliYamlPath()
{
    const std::string profile = ShellFolder(CSIDL_PROFILE);
    return profile.empty() ? std::string() : profile + ".arduinoIDE\\arduino-cli.yaml";
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsUsableFolder(const std::string& path)
{
    // The text rule first: a UNC path must not reach the file system, which would contact the host.
    if (!IsLocalFolderText(path))
        return false;
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> DiscoverSketchbookFolder()
{
    std::optional<std::string> homedir;
    for (auto source : { RoamingSketchbook, Arduino15Sketchbook, ArduinoDataSketchbook, ArduinoIde2Sketchbook })
        if ((homedir = UsableFolder(source())))
            break;
    if (!homedir)
        return std::nullopt;
    WriteHomeDir(*homedir);
    SaveSettings();
    return homedir;
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
        if (folder && std::none_of(folders.begin(), folders.end(), [&](const std::string& f) { return SameFolder(f, *folder); }))
            folders.push_back(*folder);
        else if (!folder && notYet && value && IsLocalFolderText(*value) &&
                 GetFileAttributesW(Widen(*value).c_str()) == INVALID_FILE_ATTRIBUTES)
            notYet->push_back(WithOneTrailingBackslash(*value));
    }
    return folders;
}
