#include <gtest/gtest.h>

#include <algorithm>

#include "FakeSimulatorLog.h"
#include "Fixture.h"
#include "core/Settings.h"
#include "core/SharedValues.h"
#include "watcher/BuildWatcher.h"

namespace {

constexpr uint64_t Second = 10'000'000;

// A hidden window with the status control the watcher writes to.
struct TestWindow {
    HWND window = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND status = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE, 0, 0, 380, 280, window,
                                  reinterpret_cast<HMENU>(IdStatusText), nullptr, nullptr);
    ~TestWindow() { DestroyWindow(window); }
    std::string Status() const
    {
        std::wstring text(GetWindowTextLengthW(status) + 1, L'\0');
        text.resize(GetWindowTextW(status, text.data(), int(text.size())));
        return Narrow(text);
    }
};

struct WatcherRun : ::testing::Test {
    ScratchFolder scratch{ "watch" };
    std::string temp = scratch.path + "Temp Folder\\";
    std::string home = scratch.path + "home\\";
    std::string log = scratch.path + "simulator.log";
    TestWindow main;
    WatcherState state;

    void SetUp() override
    {
        CreateDirectoryW(Widen(temp).c_str(), nullptr);
        CreateDirectoryW(Widen(home).c_str(), nullptr);
        UseSimulatorLog(log);
        WriteLastElfPath("");
        WriteCopyHex(0);
        WriteHomeDir(home);
    }
    void TearDown() override { WaitForSimulators(); }

    std::string Build(const std::string& folder, const std::string& name, uint64_t writeTime,
                      const std::string& bytes = ":00000001FF\r\n")
    {
        CreateDirectoryW(Widen(temp + folder).c_str(), nullptr);
        const std::string hex = temp + folder + "\\" + name;
        WriteFileBytes(hex, bytes);
        SetWriteTime(hex, writeTime);
        return hex;
    }
    std::vector<std::string> Started()
    {
        WaitForSimulators();
        std::vector<std::string> lines = LogLines(log);
        std::sort(lines.begin(), lines.end());  // simulators started together log in any order
        return lines;
    }
};

}  // namespace

TEST_F(WatcherRun, ANewBuildStartsTheSimulatorOnceAndAnOldOneNever)
{
    const uint64_t now = NowFileTime();
    Build("build7034.tmp", "Blink.cpp.hex", now - 2 * Second);
    Build("build6190.tmp", "Game.cpp.hex", now - 125 * 60 * Second);

    PollBuilds(main.window, temp, now, state);
    const std::string elf = temp + "build7034.tmp\\Blink.cpp.elf";
    EXPECT_EQ(std::vector<std::string>{ elf }, Started());   // unquoted, space and all
    EXPECT_EQ(elf, ReadLastElfPath());
    EXPECT_EQ("Temp folder is \"" + temp + "\"\r\n\r\n"
              "1. \"build7034.tmp\\Blink.cpp.hex\"\r\nLast modified 0 minute ago\r\n\r\n"
              "2. \"build6190.tmp\\Game.cpp.hex\"\r\nLast modified 2 hours 5 minutes ago\r\n\r\n",
              main.Status());

    // The next polls see the same builds: no second start, and an unchanged text is not written again.
    SetWindowTextW(main.status, L"untouched");
    PollBuilds(main.window, temp, now + 4010 * Second / 1000, state);
    EXPECT_EQ("untouched", main.Status());
    PollBuilds(main.window, temp, now + 60 * Second, state);   // ages cross a minute: text rewritten
    EXPECT_NE(std::string::npos, main.Status().find("Last modified 1 minute ago"));
    EXPECT_EQ(std::vector<std::string>{ elf }, Started());
}

TEST_F(WatcherRun, AnOldBuildIsListedAndBecomesLastElfPathButIsNeverStarted)
{
    const uint64_t now = NowFileTime();
    Build("build1.tmp", "Old.cpp.hex", now - 5 * Second);
    PollBuilds(main.window, temp, now, state);
    PollBuilds(main.window, temp, now + 4 * Second, state);
    EXPECT_TRUE(Started().empty());
    EXPECT_EQ(temp + "build1.tmp\\Old.cpp.elf", ReadLastElfPath());
    EXPECT_NE(std::string::npos, main.Status().find("1. \"build1.tmp\\Old.cpp.hex\""));
}

TEST_F(WatcherRun, WithCopyHexTheCopyIsMadeBeforeTheStartAndTheOldCopyDeleted)
{
    WriteCopyHex(1);
    WriteFileBytes(home + "Blink.cpp.hex", "stale copy under the build's own name");
    WriteFileBytes(home + "Blink.HEX", "stale copy");
    UseSimulatorLog(log, home + "Blink.HEX");
    const uint64_t now = NowFileTime();
    Build("build7034.tmp", "Blink.cpp.hex", now - 1 * Second, ":020000040000FA\r\n:00000001FF\r\n");

    PollBuilds(main.window, temp, now, state);
    EXPECT_EQ(std::vector<std::string>{ temp + "build7034.tmp\\Blink.cpp.elf\tpresent" }, Started());
    EXPECT_EQ(":020000040000FA\r\n:00000001FF\r\n", ReadFileBytes(home + "Blink.HEX"));
    EXPECT_FALSE(PathExists(home + "Blink.cpp.hex"));
}

TEST_F(WatcherRun, TwoNewBuildsInOnePollAreBothStartedAndTheLaterIsLast)
{
    WriteLastElfPath("C:\\earlier\\x.cpp.elf");
    const uint64_t now = NowFileTime();
    Build("build1.tmp", "One.cpp.hex", now - 1 * Second);
    Build("build2.tmp", "Two.cpp.hex", now - 3 * Second);

    PollBuilds(main.window, temp, now, state);
    EXPECT_EQ((std::vector<std::string>{ temp + "build1.tmp\\One.cpp.elf", temp + "build2.tmp\\Two.cpp.elf" }),
              Started());
    // Both are of minute 0, so the scan's order decides which one is "later".
    const std::vector<BuildEntry> order = ScanBuilds(temp, now);
    ASSERT_EQ(2u, order.size());
    EXPECT_EQ(order[1].elfPath, ReadLastElfPath());
}

TEST_F(WatcherRun, ABuildWrittenAfterTheSearchIsStartedByTheNextPoll)
{
    const uint64_t now = NowFileTime();
    PollBuilds(main.window, temp, now, state);
    // Written 50 ms after the first poll's instant: 4.06 s old when the next poll comes.
    Build("build1.tmp", "Late.cpp.hex", now + 50 * Second / 1000);
    PollBuilds(main.window, temp, now + 4110 * Second / 1000, state);
    PollBuilds(main.window, temp, now + 8220 * Second / 1000, state);
    EXPECT_EQ(std::vector<std::string>{ temp + "build1.tmp\\Late.cpp.elf" }, Started());
}

TEST(BuildWatcherThread, PollsOnItsOwnAndShowsTheHeader)
{
    ScratchFolder temp("watch-thread");
    SetEnvironmentVariableW(L"TEMP", Widen(temp.path).c_str());
    InitFolders();
    TestWindow main;
    DWORD id = 0;
    UniqueHandle thread(CreateThread(nullptr, 1 << 20, BuildWatcher, main.window, STACK_SIZE_PARAM_IS_A_RESERVATION,
                                     &id));
    ASSERT_TRUE(thread);
    // The watcher sets the text from its own thread; this thread must pump for it to land.
    const std::string header = "Temp folder is \"" + temp.path + "\"\r\n\r\n";
    for (DWORD deadline = GetTickCount() + 10000; main.Status() != header && GetTickCount() < deadline;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    EXPECT_EQ(header, main.Status());
    // The thread is never stopped: it polls an empty folder until the test program ends.
}
