#include "base/Folders.h"

#include <shlobj.h>

#include "base/Text.h"
#include "base/Win32.h"

namespace {

std::string& TempFolderValue = *new std::string;
std::string& SettingsFileValue = *new std::string;
std::string& AppDataFolderValue = *new std::string;
std::string& LocalAppDataFolderValue = *new std::string;
std::string& DocumentsFolderValue = *new std::string;

}  // namespace

std::string ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || path[0] == 0)
        return {};
    return WithOneTrailingBackslash(Narrow(path));
}

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
