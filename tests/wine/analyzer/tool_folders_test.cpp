#include <gtest/gtest.h>

#include <shlobj.h>

#include <memory>
#include <optional>
#include <vector>

#include "Fixture.h"
#include "analyzer/ToolFolders.h"
#include "base/Folders.h"
#include "base/IdeFiles.h"
#include "base/Win32.h"

namespace {

// These tests write into the real local application-data, documents, profile and program-files
// folders and the user's registry: only a Wine prefix may be changed that way.
bool UnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

enum class Place { Arduino15, ArduinoData, CliData, IdeFolder };
enum class Tools { Both, SizeOnly, NmIsAFolder };

struct Install {
    Place place;
    const char* version;   // the boards manager's version folder; unused for the IDE folder
    Tools tools;
};

bool KeyExists(HKEY root, const wchar_t* key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

// Creates folders and files in real user folders and removes exactly what it created: the
// topmost folder it made of each path, the files it wrote into folders that were there before, and
// the registry keys it made.
class MadeThings {
    std::vector<std::string> topFolders;
    std::vector<std::string> files;
    std::vector<std::pair<HKEY, std::wstring>> keys;

public:
    MadeThings() = default;
    MadeThings(const MadeThings&) = delete;
    MadeThings& operator=(const MadeThings&) = delete;
    ~MadeThings()
    {
        for (const auto& [root, key] : keys)
            RegDeleteTreeW(root, key.c_str());
        for (const std::string& file : files)
            DeleteFileW(Widen(file).c_str());
        for (auto top = topFolders.rbegin(); top != topFolders.rend(); ++top)
            RemoveTree(*top);
    }

    void Folder(const std::string& path)
    {
        bool madeOne = false;
        for (size_t at = path.find('\\', 3); ; at = path.find('\\', at + 1)) {
            const std::string part = path.substr(0, at);
            if (!part.empty() && CreateDirectoryW(Widen(part).c_str(), nullptr) && !madeOne) {
                topFolders.push_back(part);
                madeOne = true;
            }
            if (at == std::string::npos)
                return;
        }
    }

    void File(const std::string& path, const std::string& bytes)
    {
        Folder(path.substr(0, path.rfind('\\')));
        files.push_back(path);
        WriteFileBytes(path, bytes);
    }

    // Sets a string value (the key's default for a null name), creating the key and its parents.
    void Key(HKEY root, const std::wstring& key, const wchar_t* name, const std::string& value)
    {
        for (size_t at = key.find(L'\\'); ; at = key.find(L'\\', at + 1)) {
            const std::wstring part = key.substr(0, at);
            if (!KeyExists(root, part.c_str())) {
                keys.push_back({ root, part });
                break;
            }
            if (at == std::wstring::npos)
                break;
        }
        HKEY opened = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                                 &opened, nullptr));
        const std::wstring text = Widen(value);
        RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       DWORD((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(opened);
    }
};

constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Arduino";
// Wine's HKEY_CLASSES_ROOT does not show the user's Software\Classes: the association goes
// where the prefix keeps its machine-wide one.
constexpr wchar_t InoKey[] = L".ino";
constexpr wchar_t InoProgIdKey[] = L"kevra.test.ino";

// The look-up's answer as one text: the folder both tools were found in, or both folders.
std::string FoundFolders()
{
    const AvrToolFolders found = FindAvrTools();
    return found.size == found.nm ? found.size : found.size + "|" + found.nm;
}

struct ToolFolderFixture : ::testing::Test {
    std::string savedPath = EnvironmentText(L"PATH");
    std::string arduino15;     // the avr-gcc folders of the boards manager in each place
    std::string arduinoData;
    std::string cliData;
    std::string ideFolder;     // an IDE 1.x folder under program files
    std::string cliYaml;
    std::unique_ptr<ScratchFolder> scratch;
    std::unique_ptr<MadeThings> made;

    void SetUp() override
    {
        ASSERT_TRUE(UnderWine()) << "writes into the real user folders: runs under Wine only";
        InitFolders();
        const std::string programs = ShellFolder(CSIDL_PROGRAM_FILESX86);
        ASSERT_FALSE(LocalAppDataFolder.empty());
        ASSERT_FALSE(DocumentsFolder.empty());
        ASSERT_FALSE(programs.empty());
        scratch = std::make_unique<ScratchFolder>("toolfolders");
        arduino15 = LocalAppDataFolder + "Arduino15\\packages\\arduino\\tools\\avr-gcc";
        arduinoData = DocumentsFolder + "ArduinoData\\packages\\arduino\\tools\\avr-gcc";
        cliData = scratch->path + "cli data";
        ideFolder = programs + "Arduino";
        cliYaml = ArduinoCliYamlPath();
        // A prefix that holds any of these already is not clean: results would mix with ours, and
        // what is not ours is not removed.
        for (const std::string& path : { LocalAppDataFolder + "Arduino15\\packages", DocumentsFolder + "ArduinoData", ideFolder,
                                         ShellFolder(CSIDL_PROGRAM_FILES) + "Arduino", cliYaml })
            ASSERT_FALSE(PathExists(path)) << path;
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
        ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
        ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, InoKey));
        ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, InoProgIdKey));
        // A PATH on which no AVR tool lies.
        SetEnvironmentVariableW(L"PATH", L"C:\\windows\\system32;C:\\windows");
        made = std::make_unique<MadeThings>();
    }

    void TearDown() override
    {
        made.reset();
        SetEnvironmentVariableW(L"PATH", Widen(savedPath).c_str());
    }

    std::string BinOf(Place place, const char* version) const
    {
        switch (place) {
        case Place::Arduino15: return arduino15 + "\\" + version + "\\bin";
        case Place::ArduinoData: return arduinoData + "\\" + version + "\\bin";
        case Place::CliData: return cliData + "\\packages\\arduino\\tools\\avr-gcc\\" + version + "\\bin";
        case Place::IdeFolder: return ideFolder + "\\hardware\\tools\\avr\\bin";
        }
        return {};
    }

    void PutTools(const std::string& bin, Tools tools)
    {
        made->File(bin + "\\avr-size.exe", "MZ size");
        if (tools == Tools::Both)
            made->File(bin + "\\avr-nm.exe", "MZ nm");
        else if (tools == Tools::NmIsAFolder)
            made->Folder(bin + "\\avr-nm.exe");
    }

    void Put(const Install& install)
    {
        if (install.place == Place::CliData)
            made->File(cliYaml, "directories:\n  data: " + cliData + "\n  user: C:\\Sketches\n");
        PutTools(BinOf(install.place, install.version), install.tools);
    }
};

}  // namespace

TEST_F(ToolFolderFixture, NewestBoardsManagerVersionWithBothToolsThenTheIde1Folder)
{
    constexpr auto A15 = Place::Arduino15;
    constexpr auto Data = Place::ArduinoData;
    constexpr auto Cli = Place::CliData;
    constexpr auto Ide = Place::IdeFolder;
    constexpr auto Both = Tools::Both;
    struct Expected { Place place; const char* version; };
    const struct {
        const char* what;
        std::vector<Install> installs;
        std::optional<Expected> found;
    } cases[] = {
        { "10.1.0 is newer, though it sorts first as text",
          { { A15, "7.3.0-atmel3.6.1-arduino7", Both }, { A15, "10.1.0", Both } }, Expected{ A15, "10.1.0" } },
        { "a version with avr-size only is passed over",
          { { A15, "7.3.0-atmel3.6.1-arduino7", Both }, { A15, "10.1.0", Tools::SizeOnly } },
          Expected{ A15, "7.3.0-atmel3.6.1-arduino7" } },
        { "an avr-nm.exe that is a folder is no tool",
          { { A15, "5.4.0-atmel3.6.1-arduino2", Both }, { A15, "7.3.0-atmel3.6.1-arduino7", Tools::NmIsAFolder } },
          Expected{ A15, "5.4.0-atmel3.6.1-arduino2" } },
        { "the Windows Store IDE's ArduinoData", { { Data, "7.3.0-atmel3.6.1-arduino7", Both } },
          Expected{ Data, "7.3.0-atmel3.6.1-arduino7" } },
        { "arduino-cli's own data folder", { { Cli, "7.3.0-atmel3.6.1-arduino7", Both } },
          Expected{ Cli, "7.3.0-atmel3.6.1-arduino7" } },
        { "the newest version across the three places",
          { { A15, "5.4.0-atmel3.6.1-arduino2", Both }, { Cli, "10.1.0", Both }, { Data, "7.3.0-atmel3.6.1-arduino7", Both } },
          Expected{ Cli, "10.1.0" } },
        { "any boards-manager version before the IDE 1.x folder",
          { { Ide, "", Both }, { Data, "4.8.1-arduino5", Both } }, Expected{ Data, "4.8.1-arduino5" } },
        { "the IDE 1.x folder under program files", { { Ide, "", Both } }, Expected{ Ide, "" } },
        { "an IDE 1.x folder with avr-size only", { { Ide, "", Tools::SizeOnly } }, std::nullopt },
        { "nothing anywhere", {}, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        made = std::make_unique<MadeThings>();
        for (const Install& install : c.installs)
            Put(install);
        EXPECT_EQ(c.found ? BinOf(c.found->place, c.found->version) : "", FoundFolders());
        made.reset();
    }
}

TEST_F(ToolFolderFixture, DataFolderOfTheYamlOnlyAsAnAbsoluteDrivePath)
{
    const std::string bin = BinOf(Place::CliData, "7.3.0-atmel3.6.1-arduino7");
    PutTools(bin, Tools::Both);
    // From the scratch folder, "cli data" names the same folder.
    wchar_t savedFolder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, savedFolder);
    SetCurrentDirectoryW(Widen(scratch->path).c_str());
    const struct { std::string data; std::string found; } cases[] = {
        { cliData, bin },
        { "'" + cliData + "'", bin },
        { "cli data", "" },
        { "\\\\?\\" + cliData, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        made->File(cliYaml, "directories:\n  data: " + c.data + "\n");
        EXPECT_EQ(c.found, FoundFolders());
    }
    SetCurrentDirectoryW(savedFolder);
}

TEST_F(ToolFolderFixture, LinksInTheIdesFoldersAreNotFollowed)
{
    const std::string plain = BinOf(Place::Arduino15, "7.3.0-atmel3.6.1-arduino7");
    PutTools(plain, Tools::Both);
    const std::string elsewhere = scratch->path + "elsewhere";
    PutTools(elsewhere + "\\bin", Tools::Both);
    const std::string newer = arduino15 + "\\10.1.0";
    // Wine shows a link to a file as the file itself, so only folder links can be tried here.
    const struct { const char* what; std::string link; std::string target; } cases[] = {
        { "the version folder", newer, elsewhere },
        { "its bin folder", newer + "\\bin", elsewhere + "\\bin" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        made->Folder(c.link.substr(0, c.link.rfind('\\')));
        UnixLink link(c.link, c.target);
        ASSERT_TRUE(link.made);
        // Through the link both tools are there: only the link keeps the newer version out.
        ASSERT_TRUE(PathExists(newer + "\\bin\\avr-nm.exe"));
        ASSERT_TRUE(PathExists(newer + "\\bin\\avr-size.exe"));
        EXPECT_EQ(plain, FoundFolders());
    }
}

TEST_F(ToolFolderFixture, ToolsOnPathComeFirst)
{
    Put({ Place::Arduino15, "7.3.0-atmel3.6.1-arduino7", Tools::Both });
    const std::string idesTools = BinOf(Place::Arduino15, "7.3.0-atmel3.6.1-arduino7");
    const std::string both = scratch->path + "both tools";
    const std::string sizeOnly = scratch->path + "size;only";
    const std::string nmOnly = scratch->path + "nm";
    const std::string nmFolder = scratch->path + "nm folder";
    PutTools(both, Tools::Both);
    PutTools(sizeOnly, Tools::SizeOnly);
    made->File(nmOnly + "\\avr-nm.exe", "MZ nm");
    PutTools(nmFolder, Tools::NmIsAFolder);
    const struct { std::string path; std::string found; } cases[] = {
        { "C:\\windows;" + both, both },
        { "\"" + both + "\\\";C:\\windows", both },        // quoted, with a trailing backslash
        { "\"" + sizeOnly + "\";" + nmOnly, sizeOnly + "|" + nmOnly },   // each in its own folder
        { "\"" + sizeOnly + "\"", idesTools },
        { sizeOnly + ";" + nmOnly, idesTools },              // unquoted, the ';' splits the folder
        { nmFolder + ";C:\\windows", idesTools },            // its avr-nm.exe is a folder
        { "", idesTools },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        SetEnvironmentVariableW(L"PATH", Widen(c.path).c_str());
        EXPECT_EQ(c.found, FoundFolders());
    }
}

TEST_F(ToolFolderFixture, Ide1FolderFromTheInoAssociationOrTheUninstallEntry)
{
    // Each IDE folder lies outside every standard place, so only its registry entry can name it.
    const std::string ide = scratch->path + "Arduino 1.8.19";
    PutTools(ide + "\\hardware\\tools\\avr\\bin", Tools::Both);
    made->File(ide + "\\arduino.exe", "MZ ide");
    const std::string bin = ide + "\\hardware\\tools\\avr\\bin";
    const std::wstring command = std::wstring(InoProgIdKey) + L"\\shell\\open\\command";
    struct RegistryValue { HKEY root; std::wstring key; const wchar_t* name; std::string text; };
    const HKEY User = HKEY_CURRENT_USER;
    const HKEY Classes = HKEY_CLASSES_ROOT;
    const struct { const char* what; std::vector<RegistryValue> values; std::string found; } cases[] = {
        { "InstallLocation", { { User, UninstallKey, L"InstallLocation", ide } }, bin },
        { "quoted UninstallString", { { User, UninstallKey, L"UninstallString", "\"" + ide + "\\uninstall.exe\" /S" } }, bin },
        // A UNC form that leads to the same folder: IDE values are taken only as drive paths.
        { "a UNC InstallLocation", { { User, UninstallKey, L"InstallLocation", "\\\\?\\" + ide } }, "" },
        { ".ino association",
          { { Classes, InoKey, nullptr, "kevra.test.ino" },
            { Classes, command, nullptr, "\"" + ide + "\\arduino.exe\" \"%1\"" } },
          bin },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            MadeThings keys;
            for (const RegistryValue& v : c.values)
                keys.Key(v.root, v.key, v.name, v.text);
            EXPECT_EQ(c.found, FoundFolders());
        }
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, InoKey));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, InoProgIdKey));
    }
}

TEST_F(ToolFolderFixture, TheLookUpJudgesWhatTheInterpretersOwnSearchWouldRun)
{
    Put({ Place::Arduino15, "7.3.0-atmel3.6.1-arduino7", Tools::Both });
    const std::string idesTools = BinOf(Place::Arduino15, "7.3.0-atmel3.6.1-arduino7");
    const std::string planted = scratch->path + "planted";
    const std::string real = scratch->path + "real";
    const std::string withCom = scratch->path + "with com";
    const std::string comFolder = scratch->path + "com folder";
    const std::string current = scratch->path + "current";
    made->File(planted + "\\avr-size.bat", "@echo 1 2 3\r\n");
    made->File(planted + "\\avr-nm.cmd", "@echo 00000999 T planted\r\n");
    PutTools(real, Tools::Both);
    PutTools(withCom, Tools::Both);
    made->File(withCom + "\\avr-size.com", "MZ com");
    PutTools(comFolder, Tools::Both);
    made->Folder(comFolder + "\\avr-size.com");   // a folder is no command
    PutTools(current, Tools::Both);
    wchar_t savedFolder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, savedFolder);
    SetCurrentDirectoryW(Widen(current).c_str());
    const std::wstring standardExtensions = L".COM;.EXE;.BAT;.CMD;.VBS;.JS";
    const std::wstring batFirst = L".BAT;.EXE";
    const std::wstring exeFirst = L".EXE;.COM";
    const std::wstring noExe = L".COM;.BAT";
    const struct { const char* what; std::string path; const std::wstring* pathExt; std::string found; } cases[] = {
        { "an earlier folder's .bat is passed over", planted + ";" + real, &standardExtensions, real },
        { "a .com beside the .exe is what would run", withCom, &standardExtensions, idesTools },
        { "... then the next folder's .exe; its avr-nm is fine", withCom + ";" + real, &standardExtensions,
          real + "|" + withCom },
        { ".EXE before .COM in PATHEXT", withCom, &exeFirst, withCom },
        { ".BAT before .EXE: the earlier .bat", planted + ";" + real, &batFirst, real },
        { "a folder named avr-size.com", comFolder, &standardExtensions, comFolder },
        { "PATHEXT without .EXE", real, &noExe, "" },
        { "no PATHEXT: the interpreter's own list", withCom + ";" + real, nullptr, real + "|" + withCom },
        { "\".\" is the current folder", ".;C:\\windows", &standardExtensions, idesTools },
        { "empty and relative entries", ";;current;.\\;..\\current;C:current", &standardExtensions, idesTools },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetEnvironmentVariableW(L"PATH", Widen(c.path).c_str());
        EnvironmentChange pathExt(L"PATHEXT", c.pathExt);
        EXPECT_EQ(c.found, FoundFolders());
    }
    SetCurrentDirectoryW(savedFolder);
}
