#include "core/Settings.h"

#include <shlobj.h>

#include "core/SettingsText.h"
#include "core/SharedValues.h"
#include "core/Win32.h"

namespace {

std::string& TempFolderValue = *new std::string;
std::string& SettingsFileValue = *new std::string;
std::string& AppDataFolderValue = *new std::string;

constexpr char Section[] = "Config";
constexpr int FolderLabelId = 998;

std::string Environment(const wchar_t* name)
{
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0)
        return {};
    std::wstring value(n, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), n));
    return Narrow(value);
}

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

}  // namespace

const std::string& TempFolder = TempFolderValue;
const std::string& SettingsFile = SettingsFileValue;
const std::string& AppDataFolder = AppDataFolderValue;

void InitFolders()
{
    TempFolderValue = WithOneTrailingBackslash(Environment(L"TEMP"));
    SettingsFileValue = TempFolderValue + ExeBaseName(OwnExePath()) + ".ini";
    char appData[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    AppDataFolderValue = AppDataFolderFrom(appData);
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
    const std::string folder = AppDataFolderValue + "Arduino\\";
    const std::string name = FirstOrdinaryFile(folder + "*.txt");
    if (name.empty())
        return;
    const std::optional<std::string> value = SketchbookPathValue(ReadWholeFile(folder + name));
    if (!value)
        return;
    const std::string homedir = WithOneTrailingBackslash(*value);
    WriteHomeDir(homedir);
    if (mainWindow)
        SetDlgItemTextW(mainWindow, FolderLabelId, Widen(WithoutTrailingBackslashes(homedir)).c_str());
    SaveSettings();
}
