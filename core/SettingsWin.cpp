#include "core/Settings.h"

#include <shlobj.h>

#include "core/SettingsText.h"
#include "core/SharedValues.h"
#include "core/Win32.h"

namespace {

std::string& TempFolderValue = *new std::string;
std::string& SettingsFileValue = *new std::string;
std::string& AppDataFolderValue = *new std::string;
std::string& LocalAppDataFolderValue = *new std::string;

constexpr char Section[] = "Config";
constexpr int FolderLabelId = 998;

std::string ReadProfileValue(const char* key, const char* fallback)
{
    // 260 bytes, as the file has always been read: a longer value is cut to 259 characters.
    char buffer[260] = {};
    GetPrivateProfileStringA(Section, key, fallback, buffer, sizeof buffer, SettingsFileValue.c_str());
    return buffer;
}

std::string ReadWholeFile(const std::string& path)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
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

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// The files of IDE 1.5 and later are UTF-8; the agent's text is the ANSI code page. Bytes that are
// not UTF-8 are taken as they are.
std::string AnsiFromUtf8(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0)
        return text;
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), wide.data(), n);
    return Narrow(wide);
}

std::string Arduino15Preferences()
{
    return LocalAppDataFolderValue.empty() ? std::string() : ReadWholeFile(LocalAppDataFolderValue + "Arduino15\\preferences.txt");
}

// The roaming Arduino folder of IDE 1.0 - 1.0.6: its first *.txt, searched anywhere for the key.
std::optional<std::string> RoamingSketchbook()
{
    const std::string folder = AppDataFolderValue + "Arduino\\";
    const std::string name = FirstOrdinaryFile(folder + "*.txt");
    if (name.empty())
        return std::nullopt;
    return SketchbookPathValue(ReadWholeFile(folder + name));
}

std::optional<std::string> Arduino15Sketchbook()
{
    const std::optional<std::string> value = PreferenceValue(Arduino15Preferences(), "sketchbook.path");
    return value ? std::optional(AnsiFromUtf8(*value)) : std::nullopt;
}

std::optional<std::string> ArduinoIde2Sketchbook()
{
    const std::string profile = ShellFolder(CSIDL_PROFILE);
    if (profile.empty())
        return std::nullopt;
    const std::optional<std::string> value =
        DirectoriesUserValue(ReadWholeFile(WithOneTrailingBackslash(profile) + ".arduinoIDE\\arduino-cli.yaml"));
    return value ? std::optional(AnsiFromUtf8(*value)) : std::nullopt;
}

}  // namespace

const std::string& TempFolder = TempFolderValue;
const std::string& SettingsFile = SettingsFileValue;
const std::string& AppDataFolder = AppDataFolderValue;
const std::string& LocalAppDataFolder = LocalAppDataFolderValue;

void InitFolders()
{
    TempFolderValue = WithOneTrailingBackslash(EnvironmentText(L"TEMP"));
    SettingsFileValue = TempFolderValue + ExeBaseName(OwnExePath()) + ".ini";
    AppDataFolderValue = AppDataFolderFrom(ShellFolder(CSIDL_APPDATA));
    const std::string localAppData = ShellFolder(CSIDL_LOCAL_APPDATA);
    LocalAppDataFolderValue = localAppData.empty() ? std::string() : WithOneTrailingBackslash(localAppData);
}

void LoadSettings()
{
    WriteCopyHex(ParseCopyHex(ReadProfileValue("copyhex", "0")));
    WriteHomeDir(TrimSpaces(ReadProfileValue("homedir", " ")));
}

void SaveSettings()
{
    const std::string copyhex = DecimalText(ReadCopyHex());
    const std::string homedir = TrimSpaces(ReadHomeDir());
    WritePrivateProfileStringA(Section, "copyhex", copyhex.c_str(), SettingsFileValue.c_str());
    WritePrivateProfileStringA(Section, "homedir", homedir.c_str(), SettingsFileValue.c_str());
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void DiscoverSketchbookFolder(HWND mainWindow)
{
    std::optional<std::string> value = RoamingSketchbook();
    if (!value)
        value = Arduino15Sketchbook();
    if (!value)
        value = ArduinoIde2Sketchbook();
    if (!value)
        return;
    const std::string homedir = WithOneTrailingBackslash(*value);
    WriteHomeDir(homedir);
    if (mainWindow)
        SetDlgItemTextW(mainWindow, FolderLabelId, Widen(WithoutTrailingBackslashes(homedir)).c_str());
    SaveSettings();
}

std::string ArduinoBuildPathFolder()
{
    const std::optional<std::string> value = PreferenceValue(Arduino15Preferences(), "build.path");
    return value ? WithOneTrailingBackslash(AnsiFromUtf8(*value)) : std::string();
}
