#include "analyzer/ToolFolders.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <initializer_list>

#include "base/Folders.h"
#include "base/IdeFiles.h"
#include "base/Text.h"
#include "base/Win32.h"

namespace {

constexpr const char* ToolNames[] = { "avr-size", "avr-nm" };

// The IDE's folders are not the user's choice: a junction or symbolic link there could lead
// anywhere, so only plain folders and files count.
constexpr DWORD LinkOrDevice = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
// The most version folders of avr-gcc looked at: an installation has one or two.
constexpr size_t VersionFolderLimit = 1024;

// What the interpreter finds for the bare name in folder: the extension of the first file named
// name + one of PATHEXT's extensions, in PATHEXT's order, and that file's attributes; nullopt when
// there is none. Folders of such a name are passed over.
struct Found {
    std::string extension;
    DWORD attributes;
};

std::optional<Found> FirstCommandFile(const std::string& folder, std::string_view name)
{
    for (const std::string& extension : PathExtensions(EnvironmentText(L"PATHEXT"))) {
        const std::optional<DWORD> a = AttributesOf(Joined(folder, std::string(name) + extension));
        if (a && (*a & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return Found{ extension, *a };
    }
    return std::nullopt;
}

// True when the interpreter, searching folder for the bare tool name, runs the tool's .exe. PATH is
// the user's own, so a link on it is taken as the user set it up; in the IDE's folders only plain
// files count.
bool RunsToolExe(const std::string& folder, std::string_view tool, bool plainOnly)
{
    const std::optional<Found> found = FirstCommandFile(folder, tool);
    return found && IsExeExtension(found->extension) && (!plainOnly || (found->attributes & LinkOrDevice) == 0);
}

// The first folder of the agent's PATH in which the interpreter runs the tool's .exe; "" when none.
std::string PathFolderOf(std::string_view tool)
{
    for (const std::string& folder : SearchedPathFolders(EnvironmentText(L"PATH")))
        if (RunsToolExe(folder, tool, false))
            return folder;
    return {};
}

bool HoldsBothTools(const std::string& folder)
{
    return IsPlainFolder(folder) && std::all_of(std::begin(ToolNames), std::end(ToolNames), [&](const char* tool) {
        return RunsToolExe(folder, tool, true);
    });
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

bool FolderHoldsCommand(const std::string& folder, std::string_view name)
{
    return FirstCommandFile(folder, name).has_value();
}

AvrToolFolders FindAvrTools()
{
    AvrToolFolders onPath{ PathFolderOf(ToolNames[0]), PathFolderOf(ToolNames[1]) };
    if (!onPath.size.empty() && !onPath.nm.empty())
        return onPath;
    std::vector<VersionFolders> found;
    for (std::string& folder : AvrGccFolders(LocalAppDataFolder, DocumentsFolder, CliDataValue())) {
        std::vector<std::string> names = PlainFolderNames(WithOneTrailingBackslash(folder), VersionFolderLimit);
        found.push_back({ std::move(folder), std::move(names) });
    }
    for (const std::string& folder : BoardsManagerToolFolders(found))
        if (HoldsBothTools(folder))
            return { folder, folder };
    // Only now: the association and the registry cost more than the folder searches above.
    for (const std::string& folder : IdeToolFolders(IdeFolders()))
        if (HoldsBothTools(folder))
            return { folder, folder };
    return {};
}
