#include <gtest/gtest.h>

#include "analyzer/ToolFolders.h"

using Folders = std::vector<std::string>;

TEST(ToolVersions, NewerVersionsCompareAsNumbersNotAsText)
{
    const struct { const char* older; const char* newer; } cases[] = {
        { "4.8.1-arduino5", "5.4.0-atmel3.6.1-arduino2" },
        { "5.4.0-atmel3.6.1-arduino2", "7.3.0-atmel3.6.1-arduino7" },
        { "7.3.0-atmel3.6.1-arduino7", "10.1.0" },                       // "1" sorts before "7" as text
        { "7.9.0", "7.010.0" },                                            // a leading zero counts for nothing
        { "9.0", "0010.0" },
        { "7.3", "7.3.1" },                                                // a missing number counts as 0
        { "7.3.0", "7.3.0.1" },
        { "7..3", "7.1" },                                                 // "..3" is not part of the number
        { "18446744073709551615.0", "18446744073709551616.0" },           // beyond 64 bits
        { "00000000000000000000000000009", "10" },
        { "99999999999999999999999999", "100000000000000000000000000" },
        // Same numbers: the rest of the name decides, its digit runs as numbers.
        { "7.3.0-atmel3.6.1-arduino5", "7.3.0-atmel3.6.1-arduino7" },
        { "7.3.0-atmel3.6.1-arduino9", "7.3.0-atmel3.6.1-arduino10" },
        { "4.9.2-atmel3.5.3-arduino2", "4.9.2-atmel3.5.4-arduino2" },
        { "7.3.0", "7.3.0-atmel3.6.1-arduino7" },
        { "7.3.0-z", "7.3.0-\xC3\xA9" },                                   // bytes of 0x80 and up after ASCII
        // Same as versions: the text decides, so the listing order never does.
        { "7.3", "7.3.0" },
        { "07.3.0", "7.3.0" },
        // A name without a leading number is older than every numbered one.
        { "latest", "0.0.1" },
        { "v10.0.0", "1.0" },
        { ".7", "1" },
        { "", "1" },
        { "beta", "latest" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.older) + " < " + c.newer);
        EXPECT_LT(CompareToolVersions(c.older, c.newer), 0);
        EXPECT_GT(CompareToolVersions(c.newer, c.older), 0);
    }
    EXPECT_EQ(0, CompareToolVersions("7.3.0-atmel3.6.1-arduino7", "7.3.0-atmel3.6.1-arduino7"));
}

TEST(ToolFolders, PathSplitsAtSemicolonsOutsideQuotes)
{
    const struct { const char* path; Folders folders; } cases[] = {
        { "C:\\Windows\\system32;D:\\avr\\bin", { "C:\\Windows\\system32", "D:\\avr\\bin" } },
        { ";;C:\\a;;", { "C:\\a" } },
        { "\"C:\\Program Files\\a;b\";D:\\c\\", { "C:\\Program Files\\a;b", "D:\\c\\" } },
        { "C:\\x\"y z\"w", { "C:\\xy zw" } },
        { "\"C:\\open;D:\\rest", { "C:\\open;D:\\rest" } },   // an unclosed quote runs to the end
        { "", {} },
        { "\"\";", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.folders, PathFolders(c.path));
    }
}

TEST(ToolFolders, OnlyAbsoluteDriveFoldersFromTheIdeAreUsable)
{
    const struct { const char* text; std::optional<std::string> folder; } cases[] = {
        { "C:\\Users\\x\\AppData\\Local\\Arduino15", "C:\\Users\\x\\AppData\\Local\\Arduino15" },
        { "c:/Users/x/data/", "c:\\Users\\x\\data" },
        { "D:\\\\data\\\\\\", "D:\\data" },
        { "C:\\", "C:\\" },
        { "C:/", "C:\\" },
        { "\"C:\\Program Files\\Arduino\"", "C:\\Program Files\\Arduino" },
        { "C:\\Us\xC3\xA9rs\\d", "C:\\Us\xC3\xA9rs\\d" },
        { "data", std::nullopt },
        { "data\\cli", std::nullopt },
        { "\\data", std::nullopt },               // the current drive's root
        { "C:data", std::nullopt },               // relative to the drive's current folder
        { "\\\\host\\share\\data", std::nullopt },
        { "//host/share/data", std::nullopt },
        { "\\\\?\\C:\\data", std::nullopt },
        { "-", std::nullopt },
        { "-C:\\data", std::nullopt },
        { "@C:\\list.txt", std::nullopt },
        { "1:\\data", std::nullopt },
        { "C:\\da\tta", std::nullopt },
        { "C:\\data\r", std::nullopt },
        { "C:\\data\x7F", std::nullopt },
        { "C:\\a;D:\\b", std::nullopt },          // would be two PATH entries
        { "C:\\a\"b", std::nullopt },
        { "\"", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.folder, SearchableFolder(c.text));
    }
}

TEST(ToolFolders, ProgramFolderOfACommand)
{
    const struct { const char* command; std::optional<std::string> folder; } cases[] = {
        { "\"C:\\Program Files (x86)\\Arduino\\uninstall.exe\"", "C:\\Program Files (x86)\\Arduino" },
        { "\"C:\\Arduino\\uninstall.exe\" /S", "C:\\Arduino" },
        { "  \"D:\\Arduino 1.8.19\\arduino.exe\" \"%1\"", "D:\\Arduino 1.8.19" },
        { "C:\\Program Files\\Arduino\\arduino.exe", "C:\\Program Files\\Arduino" },
        { "C:\\Program Files\\Arduino\\uninstall.EXE /S _?=D:\\other\\x", "C:\\Program Files\\Arduino" },
        { "C:\\arduino.exe", "C:\\" },
        { "arduino.exe", std::nullopt },
        { "\"C:\\Arduino\\uninstall.exe", std::nullopt },
        { "\\\\host\\Arduino\\arduino.exe", std::nullopt },
        { "\"\"", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(c.folder, ProgramFolder(c.command));
    }
}

TEST(ToolFolders, AvrGccFoldersOfTheBoardsManagerInSearchOrder)
{
    const std::string below = "\\packages\\arduino\\tools\\avr-gcc";
    const struct { const char* local; const char* documents; std::optional<std::string> cliData; Folders folders; } cases[] = {
        { "C:\\L\\", "C:\\D\\", "E:\\cli",
          { "C:\\L\\Arduino15" + below, "C:\\D\\ArduinoData" + below, "E:\\cli" + below } },
        // arduino-cli's default data folder is Arduino15 itself: searched once.
        { "C:\\L\\", "C:\\D\\", "c:/l/arduino15/", { "C:\\L\\Arduino15" + below, "C:\\D\\ArduinoData" + below } },
        { "C:\\L\\", "", std::nullopt, { "C:\\L\\Arduino15" + below } },
        { "", "", "E:\\", { "E:\\packages\\arduino\\tools\\avr-gcc" } },
        { "C:\\L\\", "", "\\\\host\\data", { "C:\\L\\Arduino15" + below } },
        { "C:\\L\\", "", "..\\data", { "C:\\L\\Arduino15" + below } },
        { "", "", std::nullopt, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.local) + "|" + c.documents + "|" + c.cliData.value_or("(none)"));
        EXPECT_EQ(c.folders, AvrGccFolders(c.local, c.documents, c.cliData));
    }
}

TEST(ToolFolders, VersionsNewestFirstAcrossEveryAvrGccFolder)
{
    const std::vector<VersionFolders> found = {
        { "C:\\A", { "7.3.0-atmel3.6.1-arduino7", "..", "10.1.0", "latest", "." } },
        { "D:\\B", { "5.4.0-atmel3.6.1-arduino2", "10.1.0", "7.3.0-atmel3.6.1-arduino5" } },
    };
    const Folders expected = {
        "C:\\A\\10.1.0\\bin",   // one version in two folders: the folders' order
        "D:\\B\\10.1.0\\bin",
        "C:\\A\\7.3.0-atmel3.6.1-arduino7\\bin",
        "D:\\B\\7.3.0-atmel3.6.1-arduino5\\bin",
        "D:\\B\\5.4.0-atmel3.6.1-arduino2\\bin",
        "C:\\A\\latest\\bin",
    };
    EXPECT_EQ(expected, BoardsManagerToolFolders(found));
}

TEST(ToolFolders, NamesThatWouldChangeThePathAreLeftOut)
{
    const std::vector<VersionFolders> found = {
        { "C:\\A", { "9.0;C:\\evil", "8.0\"x", "7.0\x01", "6\\..\\..", "5/..", "4:x", "1.0" } },
        { "D:\\semi;colon", { "2.0" } },
    };
    EXPECT_EQ(Folders{ "C:\\A\\1.0\\bin" }, BoardsManagerToolFolders(found));
}

TEST(ToolFolders, IdeFoldersGetTheirToolFolderOnce)
{
    const Folders ideFolders = { "C:\\Program Files (x86)\\Arduino", "c:/program files (x86)/arduino/", "",
                                 "\\\\host\\Arduino", "Arduino", "C:\\Program Files\\Arduino" };
    const Folders expected = { "C:\\Program Files (x86)\\Arduino\\hardware\\tools\\avr\\bin",
                               "C:\\Program Files\\Arduino\\hardware\\tools\\avr\\bin" };
    EXPECT_EQ(expected, IdeToolFolders(ideFolders));
}

TEST(ToolFolders, OnlyAbsolutePathFoldersAreSearched)
{
    EXPECT_EQ((std::vector<std::string>{ "C:\\Tools", "D:/avr/bin", "\\\\server\\tools", "C:\\" }),
              SearchedPathFolders(".;;C:\\Tools\\;..\\bin;bin;C:bin;\\Windows;D:/avr/bin/;\"\\\\server\\tools\";\\\\\\x;C:\\;"
                                  ".\\;\"\""));
}

TEST(ToolFolders, PathExtensionsInTheirOrderOrTheInterpretersOwn)
{
    const struct { const char* value; std::vector<std::string> extensions; } cases[] = {
        { ".COM;.EXE;.BAT;.CMD;.VBS", { ".COM", ".EXE", ".BAT", ".CMD", ".VBS" } },
        { ".BAT;;.exe; ", { ".BAT", ".exe" } },
        { "EXE;.JS", { ".EXE", ".JS" } },
        { "", { ".COM", ".EXE", ".BAT", ".CMD" } },
        { ";;", { ".COM", ".EXE", ".BAT", ".CMD" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(c.extensions, PathExtensions(c.value));
    }
    EXPECT_TRUE(IsExeExtension(".Exe"));
    EXPECT_FALSE(IsExeExtension(".com"));
    EXPECT_FALSE(IsExeExtension("exe"));
}
