#include <gtest/gtest.h>

#include <windows.h>

#include "Fixture.h"
#include "base/Text.h"
#include "base/Win32.h"

TEST(ReadFileStart, ReadsAtMostTheLimitAndTellsWhetherMoreFollowed)
{
    ScratchFolder scratch("read-start");
    const std::string path = scratch.path + "file.txt";
    const struct { size_t size; size_t limit; size_t read; bool cut; } cases[] = {
        { 10, 20, 10, false },
        { 20, 20, 20, false },
        { 21, 20, 20, true },
        { 0, 20, 0, false },
        // Larger than one chunk of the reader: the limit holds across chunks.
        { (size_t(3) << 20) + 5, (size_t(2) << 20) + 1, (size_t(2) << 20) + 1, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string bytes(c.size, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = char('a' + i % 26);
        WriteFileBytes(path, bytes);
        const FileStart start = ReadFileStart(path, c.limit);
        EXPECT_EQ(bytes.substr(0, c.read), start.bytes);
        EXPECT_EQ(c.cut, start.cut);
    }
    const FileStart missing = ReadFileStart(scratch.path + "missing.txt", 20);
    EXPECT_EQ("", missing.bytes);
    EXPECT_FALSE(missing.cut);
    EXPECT_FALSE(PathExists(scratch.path + "missing.txt"));   // reading creates nothing
}

TEST(ReadFileStart, ReadsAFileThatAWriterHoldsOpen)
{
    ScratchFolder scratch("read-held");
    const std::string path = scratch.path + "held.txt";
    WriteFileBytes(path, "build.path=C:\\Builds\r\n");
    UniqueHandle writer(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_EQ("build.path=C:\\Builds\r\n", ReadFileStart(path, 1024).bytes);
}

TEST(AnsiFittingPath, ThePathItselfOrItsShortFormWithItsTrailingBackslash)
{
    ScratchFolder scratch("ansi-fitting");
    const std::string plain = scratch.path + "Plain Folder\\";
    ASSERT_TRUE(CreateDirectoryW(Widen(plain).c_str(), nullptr));
    EXPECT_EQ(plain, AnsiFittingPath(plain));

    // Japanese has no counterpart in a Western code page: the short form names the same folder.
    const std::string other = scratch.path + "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0\\";   // ゲーム
    ASSERT_TRUE(CreateDirectoryW(Widen(other).c_str(), nullptr));
    const std::optional<std::string> fitting = AnsiFittingPath(other);
    if (!AnsiText(other)) {
        ASSERT_TRUE(fitting.has_value());
        EXPECT_TRUE(AnsiText(*fitting).has_value()) << *fitting;
        EXPECT_EQ('\\', fitting->back());
        EXPECT_TRUE(IsFolder(*fitting));
        EXPECT_EQ(WithOneTrailingBackslash(ShortPathOf(other)), *fitting);
    }
    // A name with no short form that does not fit the code page either: nothing to hand over.
    EXPECT_EQ(std::nullopt, AnsiFittingPath(scratch.path + "\xE3\x82\xB2-missing"));
}
