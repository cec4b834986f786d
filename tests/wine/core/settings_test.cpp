#include <gtest/gtest.h>

#include <shlobj.h>

#include <optional>
#include <vector>

#include "Fixture.h"
#include "WineOnly.h"
#include "base/Folders.h"
#include "base/IdeFiles.h"
#include "base/Win32.h"
#include "core/Settings.h"
#include "base/SharedValues.h"

namespace {

// What the shell itself says, without the agent's trailing backslash.
std::string ShellSays(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return Narrow(path);
}

constexpr wchar_t UserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The shell's documents folder, as the registry names it; put back after the test.
struct ShellFolderValue {
    std::wstring data;
    DWORD type = REG_EXPAND_SZ;
};

ShellFolderValue ReadDocumentsValue()
{
    ShellFolderValue value;
    wchar_t data[MAX_PATH] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    // A run that was stopped mid-test leaves the scratch folder named there: Wine's own default then.
    if (RegGetValueW(HKEY_CURRENT_USER, UserShellFolders, L"Personal", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     &value.type, data, &size) == ERROR_SUCCESS &&
        !wcsstr(data, L"\\kevra-settings-"))
        value.data = data;
    else
        value = { L"%USERPROFILE%\\Documents", REG_EXPAND_SZ };
    return value;
}

void WriteDocumentsValue(const ShellFolderValue& value)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, UserShellFolders, L"Personal", value.type, value.data.c_str(),
                    DWORD((value.data.size() + 1) * sizeof(wchar_t)));
}

// Every folder where an Arduino IDE keeps its settings, emptied before and after each test: the roaming
// Arduino folder (IDE 1.0), Arduino15 in the local application data (IDE 1.5 - 1.8), .arduinoIDE in the
// profile (IDE 2.x). The documents folder, where the Windows Store edition keeps ArduinoData, is pointed
// at a scratch folder: in a Wine prefix it is a link to the Linux home. TEMP is a scratch folder too,
// with the settings file in it. SHGetFolderPathW reads no environment variable, so the other folders
// are the prefix's own.
struct SettingsFixture : ::testing::Test {
    ScratchFolder temp{"settings"};
    std::string arduino, arduino15, arduinoIde, arduinoData;
    std::optional<ShellFolderValue> documents;

    void SetUp() override
    {
        ASSERT_TRUE(UnderWine());
        documents = ReadDocumentsValue();
        MakeFolder(temp.path + "Documents\\");
        WriteDocumentsValue({ Widen(temp.path + "Documents"), REG_SZ });
        SetEnvironmentVariableW(L"TEMP", Widen(temp.path + "\\\\").c_str());  // extra backslashes fold away
        InitFolders();
        arduino = AppDataFolder + "Arduino\\";
        arduino15 = LocalAppDataFolder + "Arduino15\\";
        arduinoIde = ShellSays(CSIDL_PROFILE) + "\\.arduinoIDE\\";
        arduinoData = DocumentsFolder + "ArduinoData\\";
        RemoveIdeFolders();
        MakeFolder(AppDataFolder);
        WriteCopyHex(0);
        WriteHomeDir("");
    }
    void TearDown() override
    {
        RemoveIdeFolders();
        if (documents) {
            WriteDocumentsValue(*documents);
            ShellSays(CSIDL_PERSONAL);   // the shell writes its cache of the folder again, in "Shell Folders"
        }
    }
    void RemoveIdeFolders()
    {
        for (const std::string* folder : { &arduino, &arduino15, &arduinoIde })
            if (!folder->empty())
                RemoveIdeFolder(*folder);
    }

    static void MakeFolder(const std::string& folder) { CreateDirectoryW(Widen(folder).c_str(), nullptr); }
    static void Put(const std::string& folder, const std::string& name, const std::string& bytes)
    {
        MakeFolder(folder);
        WriteFileBytes(folder + name, bytes);
    }
    // A folder of its own in the scratch area, made; with one trailing backslash.
    std::string Folder(const std::string& name)
    {
        const std::string folder = temp.path + name + "\\";
        MakeFolder(folder);
        return folder;
    }
    // Starts over as at a first run: no settings file, no IDE settings, homedir empty.
    void Restart()
    {
        RemoveIdeFolders();
        RemoveTree(arduinoData);
        DeleteFileW(Widen(SettingsFile).c_str());
        WriteHomeDir("");
    }
};

std::string WithoutBackslash(const std::string& folder) { return folder.substr(0, folder.size() - 1); }

}  // namespace

TEST_F(SettingsFixture, FoldersComeFromTempTheExecutableNameAndTheShell)
{
    EXPECT_EQ(temp.path, TempFolder);
    EXPECT_EQ(temp.path + "wine_settings.ini", SettingsFile);
    ASSERT_GE(AppDataFolder.size(), 2u);
    EXPECT_EQ('\\', AppDataFolder.back());
    EXPECT_NE('\\', AppDataFolder[AppDataFolder.size() - 2]);
    EXPECT_EQ(ShellSays(CSIDL_LOCAL_APPDATA) + "\\", LocalAppDataFolder);
    EXPECT_NE(AppDataFolder, LocalAppDataFolder);
    EXPECT_EQ(temp.path + "Documents\\", DocumentsFolder);
}

// Each row leaves the settings file as it says (absent, as written, or as SaveSettings writes the
// given values), then loads it over stale values: loading takes the keys, parsed and trimmed, or the
// defaults, and writes nothing. A stored folder that does not exist (D:\X) stays as stored, since its
// drive may come back later.
TEST_F(SettingsFixture, RowsAreSavedInOrderAndLoadedParsedAndTrimmed)
{
    const auto stored = [](const std::string& copyhex) {
        return "[Config]\r\ncopyhex=" + copyhex + "\r\nhomedir=  D:\\X\\  \r\n";
    };
    struct Saved { int32_t copyhex; std::string homedir; };
    const struct {
        const char* what;
        std::optional<Saved> saved;         // values saved first; else the file holds `file`
        std::optional<std::string> file;    // nullopt: no file
        int32_t copyhex;
        std::string homedir;
    } cases[] = {
        { "no file: the defaults", std::nullopt, std::nullopt, 0, "" },
        { "saved, in key order and trimmed", Saved{ 1, "  D:\\Games\\  " },
          "[Config]\r\ncopyhex=1\r\nhomedir=D:\\Games\\\r\n", 1, "D:\\Games\\" },
        { "saved, off and empty", Saved{ 0, "" }, "[Config]\r\ncopyhex=0\r\nhomedir=\r\n", 0, "" },
        { "saved, negative", Saved{ -3, "C:\\" }, "[Config]\r\ncopyhex=-3\r\nhomedir=C:\\\r\n", -3, "C:\\" },
        { "not a number", std::nullopt, stored("abc"), 0, "D:\\X\\" },
        { "one", std::nullopt, stored("1"), 1, "D:\\X\\" },
        { "negative", std::nullopt, stored("-3"), -3, "D:\\X\\" },
        { "a fraction rounds", std::nullopt, stored("2.6"), 3, "D:\\X\\" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(Widen(SettingsFile).c_str());
        if (c.saved) {
            WriteCopyHex(c.saved->copyhex);
            WriteHomeDir(c.saved->homedir);
            SaveSettings();
            EXPECT_EQ(c.file, ReadFileBytes(SettingsFile));
        } else if (c.file) {
            WriteFileBytes(SettingsFile, *c.file);
        }
        WriteCopyHex(7);
        WriteHomeDir("stale");
        LoadSettings();
        EXPECT_EQ(c.copyhex, ReadCopyHex());
        EXPECT_EQ(c.homedir, ReadHomeDir());
        if (c.file) {
            EXPECT_EQ(*c.file, ReadFileBytes(SettingsFile));
        } else {
            EXPECT_FALSE(PathExists(SettingsFile));
        }
    }
}

namespace {

// The identity of a file or folder on its volume; nullopt when it cannot be opened.
std::optional<std::pair<DWORD, uint64_t>> FileIdentity(const std::string& path)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file.get(), &info))
        return std::nullopt;
    return std::pair(info.dwVolumeSerialNumber, uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow);
}

}  // namespace

TEST_F(SettingsFixture, HomeDirOutsideTheCodePageIsStoredInItsShortForm)
{
    // Cyrillic and Japanese: no single-byte code page holds both. Wine's ANSI code page is 1252 here,
    // and Wine makes up a short name of ASCII letters for such a name.
    const std::string folder = Folder("\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
    wchar_t shortForm[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameW(Widen(folder).c_str(), shortForm, MAX_PATH));
    const std::string stored = Narrow(shortForm);
    ASSERT_NE(folder, stored);

    WriteCopyHex(1);
    WriteHomeDir(folder);
    SaveSettings();
    const std::string bytes = ReadFileBytes(SettingsFile);
    EXPECT_EQ("[Config]\r\ncopyhex=1\r\nhomedir=" + stored + "\r\n", bytes);
    for (char c : bytes)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "the short form holds only ASCII under Wine";

    WriteHomeDir("");
    LoadSettings();
    const std::string loaded = ReadHomeDir();
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ('\\', loaded.back());
    const auto identity = FileIdentity(folder);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity, FileIdentity(loaded)) << loaded;

    // A folder that has no short form (it does not exist) leaves the stored homedir as it was.
    WriteCopyHex(0);
    WriteHomeDir(temp.path + "\xD0\x9D\xD0\xB5\xD1\x82 \xE6\x97\xA5\\");
    SaveSettings();
    EXPECT_EQ("[Config]\r\ncopyhex=0\r\nhomedir=" + stored + "\r\n", ReadFileBytes(SettingsFile));
}

TEST_F(SettingsFixture, DiscoveryPresetsHomeDirAndSaves)
{
    const std::string sketches = Folder("Sketches");
    Put(arduino, "preferences.txt", "editor.font=Mono\r\nsketchbook.path=" + WithoutBackslash(sketches) + "\r\nx=1\r\n");
    DiscoverSketchbookFolder();
    EXPECT_EQ(sketches, ReadHomeDir());
    EXPECT_EQ("[Config]\r\ncopyhex=0\r\nhomedir=" + sketches + "\r\n", ReadFileBytes(SettingsFile));
}

TEST_F(SettingsFixture, DiscoveryWithoutAValueWritesNothing)
{
    Put(arduino, "preferences.txt", "editor.font=Mono\r\n");
    DiscoverSketchbookFolder();
    EXPECT_EQ("", ReadHomeDir());
    EXPECT_FALSE(PathExists(SettingsFile));

    RemoveIdeFolder(arduino);
    DiscoverSketchbookFolder();
    EXPECT_FALSE(PathExists(SettingsFile));
}

TEST_F(SettingsFixture, DiscoveryReadsOnlyTheFirstFileTheSearchReturns)
{
    Put(arduino, "a.txt", "nothing here\r\n");
    Put(arduino, "b.txt", "nothing here\r\n");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Widen(arduino + "*.txt").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    FindClose(search);
    const std::string first = Narrow(found.cFileName);
    const std::string second = first == "a.txt" ? "b.txt" : "a.txt";

    WriteFileBytes(arduino + second, "sketchbook.path=" + Folder("Second") + "\r\n");
    DiscoverSketchbookFolder();
    EXPECT_EQ("", ReadHomeDir());
    EXPECT_FALSE(PathExists(SettingsFile));

    const std::string firstFolder = Folder("First");
    WriteFileBytes(arduino + first, "sketchbook.path=" + firstFolder + "\\\\");  // at the end, three backslashes
    DiscoverSketchbookFolder();
    EXPECT_EQ(firstFolder, ReadHomeDir());
}

TEST_F(SettingsFixture, DiscoveryReturnsTheFolderItSetForTheWindowToShow)
{
    Put(arduino, "preferences.txt", "sketchbook.path=C:\\\r\n");
    EXPECT_EQ(std::optional<std::string>("C:\\"), DiscoverSketchbookFolder());
    EXPECT_EQ("C:\\", ReadHomeDir());
    RemoveIdeFolder(arduino);
    EXPECT_FALSE(DiscoverSketchbookFolder());
}

TEST_F(SettingsFixture, DiscoveryFallsBackThroughEveryIdeInOrder)
{
    const std::string roaming = Folder("Roaming"), fifteen = Folder("Fifteen"), data = Folder("Store"),
                      two = Folder("Two Sketches"), accented = Folder("Sk\xC3\xA9tches");
    const auto key = [](const std::string& folder) { return "sketchbook.path=" + folder + "\r\n"; };
    WriteFileBytes(temp.path + "notes.txt", "a file, no folder");
    const auto yaml = [](const std::string& folder) { return "directories:\n  data: C:\\x\n  user: '" + folder + "'\n"; };
    const struct {
        const char* what;
        std::optional<std::string> roaming;     // Arduino\preferences.txt; nullopt: no file
        std::optional<std::string> arduino15;   // Arduino15\preferences.txt
        std::optional<std::string> data;        // <Documents>\ArduinoData\preferences.txt
        std::optional<std::string> yaml;        // .arduinoIDE\arduino-cli.yaml
        std::string homedir;                    // "": nothing found, nothing saved
    } cases[] = {
        { "the roaming folder first", key(roaming), key(fifteen), key(data), yaml(two), roaming },
        { "Arduino15 when the roaming file has no key", "editor.font=Mono\r\n", key(fifteen), key(data), yaml(two),
          fifteen },
        { "Arduino15 when there is no roaming file", std::nullopt, "x=1\nsketchbook.path = " + fifteen + " \r\n",
          std::nullopt, std::nullopt, fifteen },
        { "Arduino15 in UTF-8", std::nullopt, key(accented), std::nullopt, std::nullopt, accented },
        { "ArduinoData after Arduino15", "x=1\r\n", "sketchbook.path=\n", key(data), yaml(two), data },
        { "ArduinoData alone, in UTF-8", std::nullopt, std::nullopt, key(accented), std::nullopt, accented },
        { "the yaml when no preferences file has one", "x=1\r\n", "sketchbook.path=\n", "x=1\n", yaml(two), two },
        { "the yaml alone", std::nullopt, std::nullopt, std::nullopt,
          "directories:\r\n  user: " + two + "\\\\\r\n", two },
        { "a refused value counts as none", key(temp.path + "missing"), key(temp.path + "notes.txt"),
          key("\\\\host\\share"), yaml(two), two },
        { "nothing anywhere", "x=1\r\n", "build.path=" + fifteen + "\n", "x=1\n", "directories:\n  data: C:\\x\n", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Restart();
        if (c.roaming)
            Put(arduino, "preferences.txt", *c.roaming);
        if (c.arduino15)
            Put(arduino15, "preferences.txt", *c.arduino15);
        if (c.data)
            Put(arduinoData, "preferences.txt", *c.data);
        if (c.yaml)
            Put(arduinoIde, "arduino-cli.yaml", *c.yaml);
        DiscoverSketchbookFolder();
        EXPECT_EQ(c.homedir, ReadHomeDir());
        EXPECT_EQ(!c.homedir.empty(), PathExists(SettingsFile));
    }
}

namespace {

// Runs a test with the current folder set, and puts the old one back.
struct CurrentFolder {
    wchar_t old[MAX_PATH] = {};
    explicit CurrentFolder(const std::string& folder)
    {
        GetCurrentDirectoryW(MAX_PATH, old);
        SetCurrentDirectoryW(Widen(folder).c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(old); }
};

std::string YamlDoubleQuoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

}  // namespace

// Every value here, taken whole or cut at its NUL, or resolved against the current folder, would name
// a folder that exists: only the rules keep it out.
TEST_F(SettingsFixture, DiscoveryTakesOnlyLocalAbsoluteFoldersThatExist)
{
    using namespace std::string_literals;
    const std::string sketches = WithoutBackslash(Folder("Sketches"));
    Folder("-");
    Folder("@");
    WriteFileBytes(temp.path + "notes.txt", "a file, no folder");
    CurrentFolder current(temp.path);
    enum Source { Roaming, Arduino15, ArduinoData, Yaml };
    const struct { Source source; std::string value; } cases[] = {
        { Roaming, sketches + '\0' + "\\..\\notes.txt" },    // raw NUL
        { Arduino15, sketches + '\0' + "x" },
        { ArduinoData, sketches + '\0' + "\\x" },
        { Yaml, YamlDoubleQuoted(sketches) + "\\0\"" },       // the escape \0
        { Yaml, YamlDoubleQuoted(sketches) + "\\x00\\\\x\"" },
        { Roaming, "Sketches" },                              // relative to the current folder
        { Arduino15, "..\\" + WithoutBackslash(temp.path).substr(WithoutBackslash(temp.path).rfind('\\') + 1) + "\\Sketches" },
        { ArduinoData, "-" },
        { Yaml, "'@'" },
        { Arduino15, "\\\\?\\" + sketches },
        { Roaming, temp.path + "notes.txt" },                 // a file
        { Yaml, temp.path + "notes.txt\\" },
        { ArduinoData, temp.path + "missing" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        SCOPED_TRACE(c.value);
        Restart();
        const std::string preferences = "sketchbook.path=" + c.value + "\r\n";
        switch (c.source) {
        case Roaming: Put(arduino, "preferences.txt", preferences); break;
        case Arduino15: Put(arduino15, "preferences.txt", preferences); break;
        case ArduinoData: Put(arduinoData, "preferences.txt", preferences); break;
        case Yaml: Put(arduinoIde, "arduino-cli.yaml", "directories:\n  user: " + c.value + "\n"); break;
        }
        DiscoverSketchbookFolder();
        EXPECT_EQ("", ReadHomeDir());
        EXPECT_FALSE(PathExists(SettingsFile));
    }
}

TEST_F(SettingsFixture, UsableFolderIsALocalAbsoluteFolderThatExists)
{
    const std::string sketches = Folder("Sketches");
    const std::string cyrillic = Folder("\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B");
    WriteFileBytes(temp.path + "notes.txt", "a file, no folder");
    CurrentFolder current(temp.path);
    const struct { std::string path; bool usable; } cases[] = {
        { sketches, true },
        { WithoutBackslash(sketches), true },
        { sketches + "..\\Sketches\\", true },
        { cyrillic, true },
        { "C:\\", true },
        { "c:/", true },
        { temp.path + "notes.txt", false },
        { temp.path + "missing\\", false },
        { "Sketches\\", false },          // exists, relative to the current folder
        { ".\\", false },
        { "C:", false },
        { "\\\\?\\" + sketches, false },
        { "", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.usable, IsUsableFolder(c.path));
    }
}

TEST_F(SettingsFixture, BuildPathFoldersComeFromArduino15AndArduinoData)
{
    const std::string a = Folder("Builds A"), b = Folder("\xD0\xA1\xD0\xB1\xD0\xBE\xD1\x80\xD0\xBA\xD0\xB8");
    WriteFileBytes(temp.path + "notes.txt", "a file, no folder");
    CurrentFolder current(temp.path);
    const auto key = [](const std::string& value) { return "custom.build.path=C:\\\r\nbuild.path=" + value + "\r\n"; };
    std::string aOtherCase = a;
    for (char& ch : aOtherCase)
        ch = ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch;
    const struct {
        const char* what;
        std::optional<std::string> arduino15, data;   // the preferences files; nullopt: no file
        std::vector<std::string> folders;
    } cases[] = {
        { "neither file", std::nullopt, std::nullopt, {} },
        { "no key", "sketchbook.path=" + a + "\r\n", "x=1\r\n", {} },
        { "Arduino15", key(WithoutBackslash(a)), std::nullopt, { a } },
        { "ArduinoData, in UTF-8", std::nullopt, key(b), { b } },
        { "both, Arduino15 first", key(b), key(a + "\\\\"), { b, a } },
        { "the same folder twice", key(a), key(aOtherCase), { a } },
        { "a missing folder", key(temp.path + "missing"), key(b), { b } },
        { "a file", key(temp.path + "notes.txt"), std::nullopt, {} },
        { "cut at a NUL", key(WithoutBackslash(a) + std::string(1, '\0') + "\\x"), key(b), { b } },
        { "relative", key("Builds A"), key("\\\\?\\" + b), {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Restart();
        if (c.arduino15)
            Put(arduino15, "preferences.txt", *c.arduino15);
        if (c.data)
            Put(arduinoData, "preferences.txt", *c.data);
        EXPECT_EQ(c.folders, ArduinoBuildPathFolders());
    }
}

TEST_F(SettingsFixture, BuildPathStampIsTheWriteTimesReadWithoutOpening)
{
    const std::string a = Folder("A"), b = Folder("B");
    EXPECT_EQ(BuildPathStamp{}, ReadBuildPathStamp());

    constexpr uint64_t Day = 24ull * 3600 * 10'000'000;
    const uint64_t t1 = NowFileTime() - 3 * Day, t2 = t1 + Day, t3 = t2 + Day;
    Put(arduino15, "preferences.txt", "build.path=" + a + "\r\n");
    SetWriteTime(arduino15 + "preferences.txt", t1);
    EXPECT_EQ((BuildPathStamp{ t1, 0 }), ReadBuildPathStamp());
    EXPECT_EQ(std::vector{ a }, ArduinoBuildPathFolders());

    // The IDE rewrites its preferences while the agent runs: the stamp tells, the folders follow.
    Put(arduino15, "preferences.txt", "build.path=" + b + "\r\n");
    SetWriteTime(arduino15 + "preferences.txt", t2);
    Put(arduinoData, "preferences.txt", "build.path=" + a + "\r\n");
    SetWriteTime(arduinoData + "preferences.txt", t3);
    const BuildPathStamp both{ t2, t3 };
    EXPECT_EQ(both, ReadBuildPathStamp());
    EXPECT_NE((BuildPathStamp{ t2, 0 }), both);
    EXPECT_EQ((std::vector{ b, a }), ArduinoBuildPathFolders());

    // Held open by the IDE with no sharing at all: a stamp that opened the files would not see them.
    UniqueHandle held15(CreateFileW(Widen(arduino15 + "preferences.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    UniqueHandle heldData(CreateFileW(Widen(arduinoData + "preferences.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held15 && heldData);
    EXPECT_EQ(both, ReadBuildPathStamp());
}

namespace {

// bytes of comment lines ("###...#\n"), the last one ending with the last byte: a line neither the
// preferences nor the yaml reader takes for a key.
std::string Padding(size_t bytes)
{
    std::string text(bytes, '#');
    for (size_t i = 99; i < bytes; i += 100)
        text[i] = '\n';
    if (bytes > 0)
        text.back() = '\n';
    return text;
}

}  // namespace

// The IDE's files are read only to their first 1 MB, less a line that the first 1 MB cuts: a key line
// ending right at 1 MB is seen, one that starts there is not, and one cut short there is not taken for
// the shorter value it would read as.
TEST_F(SettingsFixture, SettingsFilesAreReadOnlyToTheirFirstMegabyte)
{
    constexpr size_t Cap = 1024 * 1024;
    const std::string folder = Folder("Sketches");
    const std::string value = WithoutBackslash(folder);
    enum Source { Roaming, Arduino15, ArduinoData, Yaml, Arduino15Build, ArduinoDataBuild };
    enum Place { EndsAtTheCap, StartsAtTheCap, CutByTheCap };
    for (const Source source : { Roaming, Arduino15, ArduinoData, Yaml, Arduino15Build, ArduinoDataBuild }) {
        for (const Place place : { EndsAtTheCap, StartsAtTheCap, CutByTheCap }) {
            SCOPED_TRACE(source);
            SCOPED_TRACE(place);
            Restart();
            const bool yaml = source == Yaml;
            const bool build = source == Arduino15Build || source == ArduinoDataBuild;
            const std::string head = yaml ? "directories:\n" : "";
            const std::string keyHead = yaml ? "  user: " : build ? "build.path=" : "sketchbook.path=";
            const std::string lineEnd = yaml ? "\n" : "\r\n";
            // Cut by the cap, the line reads as the existing folder; whole, it names one that is not there.
            const std::string line = keyHead + value + (place == CutByTheCap ? "2" : "") + lineEnd;
            const size_t lineStart = place == EndsAtTheCap ? Cap - line.size()
                                   : place == StartsAtTheCap ? Cap
                                   : Cap - keyHead.size() - value.size();
            const std::string text = head + Padding(lineStart - head.size()) + line + "x=1" + lineEnd;
            ASSERT_EQ(lineStart, text.find(keyHead));
            switch (source) {
            case Roaming: Put(arduino, "preferences.txt", text); break;
            case Arduino15:
            case Arduino15Build: Put(arduino15, "preferences.txt", text); break;
            case ArduinoData:
            case ArduinoDataBuild: Put(arduinoData, "preferences.txt", text); break;
            case Yaml: Put(arduinoIde, "arduino-cli.yaml", text); break;
            }
            const bool seen = place == EndsAtTheCap;
            if (build) {
                EXPECT_EQ(seen ? std::vector{ folder } : std::vector<std::string>{}, ArduinoBuildPathFolders());
            } else {
                DiscoverSketchbookFolder();
                EXPECT_EQ(seen ? folder : "", ReadHomeDir());
            }
        }
    }
}
