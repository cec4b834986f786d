#include <gtest/gtest.h>

#include <shlobj.h>

#include "Fixture.h"
#include "core/Settings.h"
#include "core/SharedValues.h"

namespace {

// Points TEMP and APPDATA at fresh scratch folders and works the folders out again from them.
// SHGetFolderPathA(CSIDL_APPDATA) does not read APPDATA, so the preferences fixture goes where the
// shell says the roaming folder is, and is removed afterwards.
struct SettingsFixture : ::testing::Test {
    ScratchFolder temp{"settings"};
    std::string arduino;

    void SetUp() override
    {
        SetEnvironmentVariableW(L"TEMP", Widen(temp.path + "\\\\").c_str());  // extra backslashes fold away
        InitFolders();
        arduino = AppDataFolder + "Arduino\\";
        RemoveTree(arduino);
        CreateDirectoryW(Widen(AppDataFolder).c_str(), nullptr);
        CreateDirectoryW(Widen(arduino).c_str(), nullptr);
        WriteCopyHex(0);
        WriteHomeDir("");
    }
    void TearDown() override { RemoveTree(arduino); }
};

}  // namespace

TEST_F(SettingsFixture, FoldersComeFromTempAndTheExecutableName)
{
    EXPECT_EQ(temp.path, TempFolder);
    EXPECT_EQ(temp.path + "wine_settings.ini", SettingsFile);
    ASSERT_GE(AppDataFolder.size(), 2u);
    EXPECT_EQ('\\', AppDataFolder.back());
    EXPECT_NE('\\', AppDataFolder[AppDataFolder.size() - 2]);
}

TEST_F(SettingsFixture, AbsentFileGivesTheDefaults)
{
    WriteCopyHex(7);
    WriteHomeDir("stale");
    EXPECT_FALSE(PathExists(SettingsFile));
    LoadSettings();
    EXPECT_EQ(0, ReadCopyHex());
    EXPECT_EQ("", ReadHomeDir());
    EXPECT_FALSE(PathExists(SettingsFile));  // loading writes nothing
}

TEST_F(SettingsFixture, SaveWritesBothKeysInOrderAndLoadReadsThemBack)
{
    WriteCopyHex(1);
    WriteHomeDir("  D:\\Games\\  ");
    SaveSettings();
    EXPECT_EQ("[Config]\r\ncopyhex=1\r\nhomedir=D:\\Games\\\r\n", ReadFileBytes(SettingsFile));

    WriteCopyHex(0);
    WriteHomeDir("");
    LoadSettings();
    EXPECT_EQ(1, ReadCopyHex());
    EXPECT_EQ("D:\\Games\\", ReadHomeDir());
}

TEST_F(SettingsFixture, StoredTextsAreParsedAndTrimmed)
{
    const struct { const char* copyhex; int32_t value; } cases[] = { { "abc", 0 }, { "1", 1 }, { "-3", -3 }, { "2.6", 3 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copyhex);
        WriteFileBytes(SettingsFile, std::string("[Config]\r\ncopyhex=") + c.copyhex + "\r\nhomedir=  D:\\X\\  \r\n");
        LoadSettings();
        EXPECT_EQ(c.value, ReadCopyHex());
        EXPECT_EQ("D:\\X\\", ReadHomeDir());
    }
}

TEST_F(SettingsFixture, DiscoveryPresetsHomeDirAndSaves)
{
    WriteFileBytes(arduino + "preferences.txt", "editor.font=Mono\r\nsketchbook.path=D:\\Sketches\r\nx=1\r\n");
    DiscoverSketchbookFolder(nullptr);
    EXPECT_EQ("D:\\Sketches\\", ReadHomeDir());
    EXPECT_EQ("[Config]\r\ncopyhex=0\r\nhomedir=D:\\Sketches\\\r\n", ReadFileBytes(SettingsFile));
}

TEST_F(SettingsFixture, DiscoveryWithoutAValueWritesNothing)
{
    WriteFileBytes(arduino + "preferences.txt", "editor.font=Mono\r\n");
    DiscoverSketchbookFolder(nullptr);
    EXPECT_EQ("", ReadHomeDir());
    EXPECT_FALSE(PathExists(SettingsFile));

    RemoveTree(arduino);
    DiscoverSketchbookFolder(nullptr);
    EXPECT_FALSE(PathExists(SettingsFile));
}

TEST_F(SettingsFixture, DiscoveryReadsOnlyTheFirstFileTheSearchReturns)
{
    WriteFileBytes(arduino + "a.txt", "nothing here\r\n");
    WriteFileBytes(arduino + "b.txt", "nothing here\r\n");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Widen(arduino + "*.txt").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    FindClose(search);
    const std::string first = Narrow(found.cFileName);
    const std::string second = first == "a.txt" ? "b.txt" : "a.txt";

    WriteFileBytes(arduino + second, "sketchbook.path=D:\\Second\r\n");
    DiscoverSketchbookFolder(nullptr);
    EXPECT_EQ("", ReadHomeDir());
    EXPECT_FALSE(PathExists(SettingsFile));

    WriteFileBytes(arduino + first, "sketchbook.path=D:\\First\\\\\\");  // at the end, three backslashes
    DiscoverSketchbookFolder(nullptr);
    EXPECT_EQ("D:\\First\\", ReadHomeDir());
}

TEST_F(SettingsFixture, DiscoveryShowsTheFolderInTheLabel)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND label = CreateWindowExW(0, L"STATIC", L"old", WS_CHILD, 0, 0, 10, 10, window, HMENU(998), nullptr, nullptr);
    WriteFileBytes(arduino + "preferences.txt", "sketchbook.path=C:\\\r\n");
    DiscoverSketchbookFolder(window);
    wchar_t text[64] = {};
    GetWindowTextW(label, text, 64);
    EXPECT_STREQ(L"C:", text);
    EXPECT_EQ("C:\\", ReadHomeDir());
    DestroyWindow(window);
}

namespace {

// What the shell itself says, without the agent's trailing backslash.
std::string ShellSays(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return Narrow(path);
}

// The files of the newer IDEs, where the shell says they are: Arduino15 in the local application
// data, .arduinoIDE in the profile. Both are removed afterwards, with the roaming one.
struct NewerIdeFixture : SettingsFixture {
    std::string arduino15, arduinoIde;
    void SetUp() override
    {
        SettingsFixture::SetUp();
        arduino15 = LocalAppDataFolder + "Arduino15\\";
        arduinoIde = ShellSays(CSIDL_PROFILE) + "\\.arduinoIDE\\";
        RemoveTree(arduino15);
        RemoveTree(arduinoIde);
    }
    void TearDown() override
    {
        RemoveTree(arduino15);
        RemoveTree(arduinoIde);
        SettingsFixture::TearDown();
    }
    void Put(const std::string& folder, const std::string& name, const std::string& bytes)
    {
        CreateDirectoryW(Widen(folder).c_str(), nullptr);
        WriteFileBytes(folder + name, bytes);
    }
};

}  // namespace

TEST_F(NewerIdeFixture, LocalAppDataIsTheShellsFolder)
{
    EXPECT_EQ(ShellSays(CSIDL_LOCAL_APPDATA) + "\\", LocalAppDataFolder);
    EXPECT_NE(AppDataFolder, LocalAppDataFolder);
}

TEST_F(NewerIdeFixture, DiscoveryFallsBackToArduino15AndThenToTheIde2Yaml)
{
    const struct {
        const char* what;
        const char* roaming;     // Arduino\preferences.txt, nullptr: no file
        const char* arduino15;   // Arduino15\preferences.txt
        const char* yaml;        // .arduinoIDE\arduino-cli.yaml
        const char* homedir;     // "": nothing found, nothing saved
    } cases[] = {
        { "the roaming folder first", "sketchbook.path=D:\\Roaming\r\n", "sketchbook.path=D:\\Fifteen\n",
          "directories:\n  user: D:\\Two\n", "D:\\Roaming\\" },
        { "Arduino15 when the roaming file has no key", "editor.font=Mono\r\n", "sketchbook.path=D:\\Fifteen\n",
          "directories:\n  user: D:\\Two\n", "D:\\Fifteen\\" },
        { "Arduino15 when there is no roaming file", nullptr, "x=1\nsketchbook.path = D:\\Fifteen \r\n", nullptr,
          "D:\\Fifteen\\" },
        { "Arduino15 in UTF-8", nullptr, "sketchbook.path=D:\\Sk\xC3\xA9tches\n", nullptr, "D:\\Sk\xC3\xA9tches\\" },
        { "the yaml when neither preferences file has one", "x=1\r\n", "sketchbook.path=\n",
          "directories:\n  data: C:\\x\n  user: 'D:\\Two Sketches'\n", "D:\\Two Sketches\\" },
        { "the yaml alone", nullptr, nullptr, "directories:\r\n  user: D:\\Two\\\\\\\r\n", "D:\\Two\\" },
        { "nothing anywhere", "x=1\r\n", "build.path=C:\\b\n", "directories:\n  data: C:\\x\n", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(arduino);
        RemoveTree(arduino15);
        RemoveTree(arduinoIde);
        DeleteFileW(Widen(SettingsFile).c_str());
        WriteHomeDir("");
        if (c.roaming)
            Put(arduino, "preferences.txt", c.roaming);
        if (c.arduino15)
            Put(arduino15, "preferences.txt", c.arduino15);
        if (c.yaml)
            Put(arduinoIde, "arduino-cli.yaml", c.yaml);
        DiscoverSketchbookFolder(nullptr);
        EXPECT_EQ(c.homedir, ReadHomeDir());
        EXPECT_EQ(*c.homedir != 0, PathExists(SettingsFile));
    }
}

TEST_F(NewerIdeFixture, BuildPathComesFromArduino15)
{
    EXPECT_EQ("", ArduinoBuildPathFolder());
    Put(arduino15, "preferences.txt", "custom.build.path=D:\\no\r\nbuild.path=D:\\Arduino Builds\r\n");
    EXPECT_EQ("D:\\Arduino Builds\\", ArduinoBuildPathFolder());
    Put(arduino15, "preferences.txt", "sketchbook.path=D:\\s\r\n");
    EXPECT_EQ("", ArduinoBuildPathFolder());
}
