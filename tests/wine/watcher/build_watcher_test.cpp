#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "FakeSimulatorLog.h"
#include "Fixture.h"
#include "WineOnly.h"
#include "base/Folders.h"
#include "base/Win32.h"
#include "base/SharedValues.h"
#include "watcher/BuildWatcher.h"

namespace {

constexpr uint64_t Second = 10'000'000;

// A poll that searches everything, for the roots given.
uint64_t PollBuilds(HWND mainWindow, const BuildRoots& roots, uint64_t pollInstant, WatcherState& state)
{
    SetBuildRoots(state, roots, pollInstant);
    PollScope everything;
    everything.everything = true;
    return PollBuilds(mainWindow, pollInstant, everything, state);
}

// A hidden window of this thread that the watcher posts its status messages to.
struct TestWindow {
    HWND window = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
    ~TestWindow() { DestroyWindow(window); }
    // The status text as the main window would show it after the messages posted so far.
    std::string Status() const { return ReadStatusText(); }
    // How many status messages were posted since the last call.
    int TakeStatusMessages() const
    {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, window, StatusTextMessage, StatusTextMessage, PM_REMOVE))
            ++n;
        return n;
    }
};

bool WaitUntil(const std::function<bool()>& condition)
{
    for (DWORD deadline = GetTickCount() + 10000; GetTickCount() < deadline; Sleep(20))
        if (condition())
            return true;
    return condition();
}

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

    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now, state);
    const std::string elf = temp + "build7034.tmp\\Blink.cpp.elf";
    EXPECT_EQ(std::vector<std::string>{ elf }, Started());   // unquoted, space and all
    EXPECT_EQ(elf, ReadLastElfPath());
    EXPECT_EQ("Temp folder is \"" + temp + "\"\r\n\r\n"
              "1. \"build7034.tmp\\Blink.cpp.hex\"\r\nLast modified 0 minute ago\r\n\r\n"
              "2. \"build6190.tmp\\Game.cpp.hex\"\r\nLast modified 2 hours 5 minutes ago\r\n\r\n",
              main.Status());

    EXPECT_EQ(1, main.TakeStatusMessages());

    // The next polls see the same builds: no second start, and an unchanged text is not handed over
    // again.
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now + 4010 * Second / 1000, state);
    EXPECT_EQ(0, main.TakeStatusMessages());
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now + 60 * Second, state);   // ages cross a minute: text rewritten
    EXPECT_EQ(1, main.TakeStatusMessages());
    EXPECT_NE(std::string::npos, main.Status().find("Last modified 1 minute ago"));
    EXPECT_EQ(std::vector<std::string>{ elf }, Started());
}

TEST_F(WatcherRun, AnOldBuildIsListedAndBecomesLastElfPathButIsNeverStarted)
{
    const uint64_t now = NowFileTime();
    Build("build1.tmp", "Old.cpp.hex", now - 5 * Second);
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now, state);
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now + 4 * Second, state);
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

    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now, state);
    EXPECT_EQ(std::vector<std::string>{ temp + "build7034.tmp\\Blink.cpp.elf\tpresent" }, Started());
    EXPECT_EQ(":020000040000FA\r\n:00000001FF\r\n", ReadFileBytes(home + "Blink.HEX"));
    EXPECT_FALSE(PathExists(home + "Blink.cpp.hex"));
}

// A homedir that is the build folder itself (build.path and the copy folder set to one folder): the
// build's own files are left alone, under whatever spelling homedir names that folder.
TEST_F(WatcherRun, WithCopyHexIntoTheBuildFolderItselfTheBuildIsLeftAlone)
{
    WriteCopyHex(1);
    const std::string kbuild = scratch.path + "kbuild\\";
    CreateDirectoryW(Widen(kbuild).c_str(), nullptr);
    const std::string shortName = ShortPathOf(kbuild);
    const std::string hex = ":020000040000FA\r\n:00000001FF\r\n";
    const struct { const char* what; std::string homedir; } cases[] = {
        { "as build.path spells it", kbuild },
        { "in other letter case", scratch.path + "KBUILD\\" },
        { "by its short name", shortName.empty() ? kbuild : shortName },
    };
    uint64_t now = NowFileTime();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(Widen(log).c_str());
        WriteHomeDir(c.homedir);
        now += 10 * Second;
        WriteFileBytes(kbuild + "Blink.ino.hex", hex);
        SetWriteTime(kbuild + "Blink.ino.hex", now - 1 * Second);
        WriteFileBytes(kbuild + "Blink.ino.elf", "elf");
        PollBuilds(main.window, BuildRoots{ temp, {}, { kbuild } }, now, state);
        EXPECT_EQ(std::vector<std::string>{ kbuild + "Blink.ino.elf" }, Started());
        EXPECT_EQ(hex, ReadFileBytes(kbuild + "Blink.ino.hex"));
        EXPECT_EQ("elf", ReadFileBytes(kbuild + "Blink.ino.elf"));
        EXPECT_FALSE(PathExists(kbuild + "Blink.HEX"));
    }
}

// A .hex cut short (no end-of-file record) and left so: listed, but neither copied nor started, and
// the good copy from an earlier build stays.
TEST_F(WatcherRun, AHexWithoutItsEndIsListedButNeitherCopiedNorStarted)
{
    WriteCopyHex(1);
    const std::string good = ":020000040000FA\r\n:00000001FF\r\n";
    WriteFileBytes(home + "Blink.HEX", good);
    const uint64_t now = NowFileTime();
    Build("arduino_build_1", "Blink.ino.hex", now - 1 * Second, ":020000040000FA\r\n:1000000");
    for (int poll = 0; poll < 3; ++poll) {
        PollBuilds(main.window, BuildRoots{ temp, {}, {} }, NowFileTime(), state);
        Sleep(700);   // past the quiet second
    }
    EXPECT_TRUE(Started().empty());
    EXPECT_EQ(good, ReadFileBytes(home + "Blink.HEX"));
    EXPECT_NE(std::string::npos, main.Status().find("1. \"arduino_build_1\\Blink.ino.hex\""));
}

// A root without change notifications (a network drive) is searched whole at every timed poll: a
// rebuild into a build folder listed already (the IDE 1.x way) is found by the next one.
TEST_F(WatcherRun, ARootSearchedWholeFindsARebuildIntoAListedFolder)
{
    const uint64_t now = NowFileTime();
    const std::string hex = Build("build1.tmp", "Blink.cpp.hex", now - 60 * Second);
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now, state);
    WriteFileBytes(hex, ":020000040000FA\r\n:00000001FF\r\n");
    SetWriteTime(hex, now + 3 * Second);
    PollScope timed;
    timed.wholeRoots = { 0 };   // TEMP, as the timed poll names a root that has no watch
    PollBuilds(main.window, now + 4 * Second, timed, state);
    EXPECT_EQ(std::vector<std::string>{ temp + "build1.tmp\\Blink.cpp.elf" }, Started());
}

// A build folder renamed after its build was acted on holds the same build: not started again.
TEST_F(WatcherRun, ABuildUnderARenamedFolderIsNotStartedAgain)
{
    const uint64_t now = NowFileTime();
    Build("arduino_build_1", "Blink.ino.hex", now - 1 * Second);
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now, state);
    ASSERT_TRUE(MoveFileW(Widen(temp + "arduino_build_1").c_str(), Widen(temp + "arduino_build_2").c_str()));
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now + 1 * Second, state);
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now + 5 * Second, state);
    EXPECT_EQ(std::vector<std::string>{ temp + "arduino_build_1\\Blink.ino.elf" }, Started());
    EXPECT_NE(std::string::npos, main.Status().find("1. \"arduino_build_2\\Blink.ino.hex\""));
}

TEST_F(WatcherRun, TwoNewBuildsInOnePollAreBothStartedAndTheLaterIsLast)
{
    WriteLastElfPath("C:\\earlier\\x.cpp.elf");
    const uint64_t now = NowFileTime();
    Build("build1.tmp", "One.cpp.hex", now - 1 * Second);
    Build("build2.tmp", "Two.cpp.hex", now - 3 * Second);

    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now, state);
    EXPECT_EQ((std::vector<std::string>{ temp + "build1.tmp\\One.cpp.elf", temp + "build2.tmp\\Two.cpp.elf" }),
              Started());
    // Both are of minute 0, so the scan's order decides which one is "later".
    const std::vector<BuildEntry> order = ScanBuilds(BuildRoots{ temp, {}, {} }, now);
    ASSERT_EQ(2u, order.size());
    EXPECT_EQ(order[1].elfPath, ReadLastElfPath());
}

TEST_F(WatcherRun, ABuildWrittenAfterTheSearchIsStartedByTheNextPoll)
{
    const uint64_t now = NowFileTime();
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now, state);
    // Written 50 ms after the first poll's instant: 4.06 s old when the next poll comes.
    Build("build1.tmp", "Late.cpp.hex", now + 50 * Second / 1000);
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now + 4110 * Second / 1000, state);
    PollBuilds(main.window, BuildRoots{ temp, {}, {} }, now + 8220 * Second / 1000, state);
    EXPECT_EQ(std::vector<std::string>{ temp + "build1.tmp\\Late.cpp.elf" }, Started());
}

// The thread as the agent runs it. Its build.path names a folder that the IDE makes only at its first
// build: the watcher takes it up when it comes, without the preferences changing. This writes the
// prefix's own Arduino15 preferences, so it runs under Wine only.
TEST(BuildWatcherThread, ShowsTheHeaderAndStartsNewBuildsOnItsOwn)
{
    ASSERT_TRUE(UnderWine());
    ScratchFolder temp("watch-thread");
    const std::string log = temp.path + "simulator.log";
    UseSimulatorLog(log);
    SetEnvironmentVariableW(L"TEMP", Widen(temp.path).c_str());
    InitFolders();
    const std::string preferences = LocalAppDataFolder + "Arduino15\\preferences.txt";
    const std::string kept = ReadFileBytes(preferences);
    CreateDirectoryW(Widen(LocalAppDataFolder + "Arduino15").c_str(), nullptr);
    const std::string buildPath = temp.path + "Builds Later\\";
    WriteFileBytes(preferences, "build.path=" + buildPath + "\r\n");

    TestWindow main;
    DWORD id = 0;
    UniqueHandle thread(CreateThread(nullptr, 1 << 20, BuildWatcher, main.window, STACK_SIZE_PARAM_IS_A_RESERVATION,
                                     &id));
    ASSERT_TRUE(thread);
    const std::string header = "Temp folder is \"" + temp.path + "\"\r\n\r\n";
    EXPECT_TRUE(WaitUntil([&] { return main.Status() == header; }));
    EXPECT_GE(main.TakeStatusMessages(), 1);

    // A build written while the watcher sleeps: it wakes, lists it and starts the simulator once.
    CreateDirectoryW(Widen(temp.path + "arduino_build_1").c_str(), nullptr);
    WriteFileBytes(temp.path + "arduino_build_1\\Blink.ino.hex", ":020000040000FA\r\n:00000001FF\r\n");
    EXPECT_TRUE(WaitUntil([&] { return LogLines(log).size() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return main.Status().find("1. \"arduino_build_1\\Blink.ino.hex\"") != std::string::npos; }));

    // The IDE makes its build.path folder at the first build into it.
    CreateDirectoryW(Widen(buildPath).c_str(), nullptr);
    WriteFileBytes(buildPath + "Game.ino.hex", ":020000040000FA\r\n:00000001FF\r\n");
    EXPECT_TRUE(WaitUntil([&] { return LogLines(log).size() == 2; }));
    WaitForSimulators();
    EXPECT_EQ((std::vector<std::string>{ temp.path + "arduino_build_1\\Blink.ino.elf", buildPath + "Game.ino.elf" }),
              LogLines(log));

    // The thread is never stopped: it watches empty folders until the test program ends.
    if (kept.empty())
        DeleteFileW(Widen(preferences).c_str());
    else
        WriteFileBytes(preferences, kept);
    RemoveTree(temp.path + "arduino_build_1");
    RemoveTree(buildPath);
}

TEST_F(WatcherRun, NewBuildsOfIde18AndOfIde2xStartTheSimulatorOnceAndAreCopied)
{
    const std::string local = scratch.path + "Local AppData\\";
    const std::string sketches = local + "arduino\\sketches\\";
    for (const std::string& f : { local, local + "arduino\\", sketches })
        CreateDirectoryW(Widen(f).c_str(), nullptr);
    const BuildRoots roots{ temp, local, {} };
    const struct { const char* what; std::string folder; std::string name; std::string shown; } cases[] = {
        { "IDE 1.8 in TEMP", temp + "arduino_build_123456\\", "Blink.ino.hex", "arduino_build_123456\\Blink.ino.hex" },
        { "IDE 2.x in local app data", sketches + "0123456789ABCDEF0123456789ABCDEF\\", "Game.ino.hex",
          sketches + "0123456789ABCDEF0123456789ABCDEF\\Game.ino.hex" },
    };
    WriteCopyHex(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string copy = home + c.name.substr(0, c.name.size() - 8) + ".HEX";
        UseSimulatorLog(log, copy);
        DeleteFileW(Widen(log).c_str());
        CreateDirectoryW(Widen(c.folder).c_str(), nullptr);
        const std::string bytes = ":10000000" + c.name + "\r\n:00000001FF\r\n";
        const uint64_t now = NowFileTime();
        WriteFileBytes(c.folder + c.name, bytes);
        SetWriteTime(c.folder + c.name, now - 1 * Second);
        WriteFileBytes(c.folder + "x.ino.with_bootloader.hex", "bootloader and all");   // never acted on

        PollBuilds(main.window, roots, now, state);
        PollBuilds(main.window, roots, now + 4100 * Second / 1000, state);
        const std::string elf = c.folder + c.name.substr(0, c.name.size() - 4) + ".elf";
        EXPECT_EQ(std::vector<std::string>{ elf + "\tpresent" }, Started());
        EXPECT_EQ(elf, ReadLastElfPath());
        EXPECT_EQ(bytes, ReadFileBytes(copy));
        EXPECT_NE(std::string::npos, main.Status().find(". \"" + c.shown + "\"\r\nLast modified 0 minute ago"));
        EXPECT_EQ(std::string::npos, main.Status().find("with_bootloader"));
    }
}

namespace {

// Writes a .hex in several parts from another thread, pausing between them, as a slow linker would.
struct SlowWriter {
    std::string path;
    std::vector<std::string> parts;
    DWORD pauseMs;
    bool holdOpen;   // one handle for all parts, or open, append and close for each
    UniqueHandle thread{};
    LONG done = 0;

    static DWORD WINAPI Run(LPVOID self) noexcept
    {
        auto& w = *static_cast<SlowWriter*>(self);
        UniqueHandle held;
        for (size_t i = 0; i < w.parts.size(); ++i) {
            if (i > 0)
                Sleep(w.pauseMs);
            UniqueHandle opened;
            if (!w.holdOpen || i == 0)
                opened = UniqueHandle(CreateFileW(Widen(w.path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            HANDLE file = w.holdOpen && i > 0 ? held.get() : opened.get();
            DWORD written = 0;
            WriteFile(file, w.parts[i].data(), DWORD(w.parts[i].size()), &written, nullptr);
            if (w.holdOpen && i == 0)
                held = std::move(opened);
        }
        InterlockedExchange(&w.done, 1);
        return 0;
    }
    void Start() { thread = UniqueHandle(CreateThread(nullptr, 0, Run, this, 0, nullptr)); }
    bool Done() { return InterlockedCompareExchange(&done, 0, 0) != 0; }
};

}  // namespace

// The .hex grows in six writes, the end-of-file record coming with the last; the watcher polls far
// more often than every 4 s, which gives it every chance to act too early. It must act once, after
// the last write, on the whole file. Three builds are written side by side: one writer holds its
// handle through pauses well under the quiet second, one opens and closes the file for each part, as
// several writers in turn would, and one holds its handle through a pause of 1.5 s, longer than the
// quiet second, so only the open handle tells it is not done.
TEST_F(WatcherRun, AHexStillBeingWrittenIsActedOnOnceWhenWhole)
{
    WriteCopyHex(1);
    const char* sketches[] = { "Held", "Closed", "Paused" };
    SlowWriter writers[] = { { temp + "arduino_build_1\\Held.ino.hex", {}, 250, true },
                             { temp + "arduino_build_2\\Closed.ino.hex", {}, 250, false },
                             { temp + "arduino_build_3\\Paused.ino.hex", {}, 1500, true } };
    std::string whole;
    for (int i = 0; i < 6; ++i)
        whole += ":10000000" + std::string(32, char('A' + i)) + "00\r\n";
    whole += ":00000001FF\r\n";
    for (SlowWriter& w : writers) {
        CreateDirectoryW(Widen(w.path.substr(0, w.path.rfind('\\'))).c_str(), nullptr);
        const size_t parts = w.pauseMs > 1000 ? 2 : 6;
        for (size_t at = 0; at < whole.size(); at += whole.size() / parts + 1)
            w.parts.push_back(whole.substr(at, whole.size() / parts + 1));
        ASSERT_EQ(parts, w.parts.size());
        w.Start();
    }

    // The copy is made before the simulator starts, in the poll: one there while its writer is still
    // at work was taken from a part of the file. After all acts, one poll more must not act again.
    int actedBeforeTheEnd[3] = {};
    bool pollAfterTheActs = false;
    for (DWORD end = GetTickCount() + 15000; GetTickCount() < end && !pollAfterTheActs;) {
        const bool actedAlready =
            PathExists(home + "Held.HEX") && PathExists(home + "Closed.HEX") && PathExists(home + "Paused.HEX");
        PollBuilds(main.window, BuildRoots{ temp, {}, {} }, NowFileTime(), state);
        for (int k = 0; k < 3; ++k)
            if (!writers[k].Done() && PathExists(home + sketches[k] + ".HEX"))
                ++actedBeforeTheEnd[k];
        pollAfterTheActs = actedAlready;
        Sleep(150);
    }
    for (SlowWriter& w : writers)
        WaitForSingleObject(w.thread.get(), 5000);
    EXPECT_EQ((std::vector<std::string>{ temp + "arduino_build_1\\Held.ino.elf", temp + "arduino_build_2\\Closed.ino.elf",
                                         temp + "arduino_build_3\\Paused.ino.elf" }),
              Started());
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(sketches[k]);
        EXPECT_EQ(0, actedBeforeTheEnd[k]);
        EXPECT_EQ(whole, ReadFileBytes(home + sketches[k] + ".HEX"));
    }
}
