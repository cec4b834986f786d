#include "analyzer/ToolFolders.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <initializer_list>

#include "base/Folders.h"
#include "base/IdeFiles.h"
#include "base/Win32.h"

namespace {

constexpr const char* ToolNames[] = { "avr-size.exe", "avr-nm.exe" };

std::string Joined(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    path += name;
    return path;
}

DWORD Attributes(const std::string& path)
{
    return GetFileAttributesW(Widen(path).c_str());
}

// What the interpreter would run: anything but a folder. PATH is the user's own, so a link on it
// is taken as the user set it up.
bool IsOnPathFolder(const std::string& folder, std::string_view tool)
{
    const DWORD a = Attributes(Joined(folder, tool));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool BothToolsOnPath()
{
    const std::vector<std::string> folders = PathFolders(EnvironmentText(L"PATH"));
    return std::all_of(std::begin(ToolNames), std::end(ToolNames), [&](const char* tool) {
        return std::any_of(folders.begin(), folders.end(), [&](const std::string& f) { return IsOnPathFolder(f, tool); });
    });
}

// The IDE's folders are not the user's choice: a junction or symbolic link there could lead
// anywhere, so only plain folders and files count.
constexpr DWORD LinkOrDevice = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

bool IsPlainFile(const std::string& path)
{
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_DIRECTORY | LinkOrDevice)) == 0;
}

bool HoldsBothTools(const std::string& folder)
{
    return IsPlainFolder(folder) &&
           std::all_of(std::begin(ToolNames), std::end(ToolNames), [&](const char* tool) { return IsPlainFile(Joined(folder, tool)); });
}

// The plain subfolders of an avr-gcc folder: one per installed version.
std::vector<std::string> VersionNames(const std::string& avrGccFolder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileExW(Widen(Joined(avrGccFolder, "*")).c_str(), FindExInfoBasic, &found,
                                       FindExSearchLimitToDirectories, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!search)
        return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (found.dwFileAttributes & LinkOrDevice) != 0)
            continue;
        // A name with a lone surrogate would not come back whole in a path: passed over.
        if (std::optional<std::string> name = NarrowExactly(found.cFileName))
            names.push_back(std::move(*name));
    } while (FindNextFileW(search.get(), &found));
    return names;
}

std::optional<std::string> CliDataValue()
{
    const std::string yaml = ArduinoCliYamlPath();
    return yaml.empty() ? std::nullopt : DirectoriesDataValue(ReadIdeFile(yaml));
}

// A path the system can take, in characters: longer registry and association values are ignored
// rather than read.
constexpr DWORD MaxPathChars = 32767;

// The program that opening a .ino file starts; "" when there is no association.
std::string InoProgram()
{
    std::wstring path(MaxPathChars + 1, L'\0');
    DWORD size = DWORD(path.size());
    // IGNOREUNKNOWN: without an association of its own, .ino gets no stand-in such as "Open with".
    if (AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN | ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, L".ino", nullptr,
                          path.data(), &size) != S_OK)
        return {};
    path.resize(wcsnlen(path.c_str(), path.size()));
    return Narrow(path);
}

// A REG_SZ value of an open key; "" when absent, of another type or longer than a path.
std::string RegistryText(HKEY key, const wchar_t* name)
{
    DWORD bytes = 0;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes > (MaxPathChars + 1) * sizeof(wchar_t))
        return {};
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Narrow(text);
}

using UniqueKey = Unique<HKEY, RegCloseKey>;

// The IDE 1.x folders in the order they are tried: where the .ino association's program lies, the
// IDE's uninstall entries (machine and user, 64- and 32-bit views), the standard program folders.
std::vector<std::string> IdeFolders()
{
    std::vector<std::string> folders;
    if (std::optional<std::string> folder = ProgramFolder(InoProgram()))
        folders.push_back(std::move(*folder));
    for (HKEY root : { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER })
        for (REGSAM view : { KEY_WOW64_64KEY, KEY_WOW64_32KEY }) {
            HKEY opened = nullptr;
            if (RegOpenKeyExW(root, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Arduino", 0,
                              KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
                continue;
            const UniqueKey key(opened);
            folders.push_back(RegistryText(key.get(), L"InstallLocation"));
            if (std::optional<std::string> folder = ProgramFolder(RegistryText(key.get(), L"UninstallString")))
                folders.push_back(std::move(*folder));
        }
    for (int csidl : { CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES }) {
        const std::string programs = ShellFolder(csidl);
        if (!programs.empty())
            folders.push_back(programs + "Arduino");
    }
    return folders;
}

}  // namespace

std::string AvrToolFolderForInterpreter()
{
    if (BothToolsOnPath())
        return {};
    std::vector<VersionFolders> found;
    for (std::string& folder : AvrGccFolders(LocalAppDataFolder, DocumentsFolder, CliDataValue())) {
        std::vector<std::string> names = VersionNames(folder);
        found.push_back({ std::move(folder), std::move(names) });
    }
    for (const std::string& folder : BoardsManagerToolFolders(found))
        if (HoldsBothTools(folder))
            return folder;
    // Only now: the association and the registry cost more than the folder searches above.
    for (const std::string& folder : IdeToolFolders(IdeFolders()))
        if (HoldsBothTools(folder))
            return folder;
    return {};
}
