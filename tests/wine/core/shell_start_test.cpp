#include <gtest/gtest.h>

#include "Fixture.h"
#include "base/Win32.h"

namespace {

struct Start {
    std::string program;
    LONG done = 0;
    bool started = true;
    static DWORD WINAPI Run(LPVOID self) noexcept
    {
        auto& s = *static_cast<Start*>(self);
        s.started = ShellStart(s.program, "x.elf");
        InterlockedExchange(&s.done, 1);
        return 0;
    }
};

// Counts the visible top-level windows of this process: an error box of the shell's is one.
BOOL CALLBACK CountOwn(HWND window, LPARAM count)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window))
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

// A program that is missing (kevra.exe not beside the agent) fails silently: no error box, which from
// the watcher's thread would wait for a user, and the call returns at once.
TEST(ShellStart, AMissingProgramFailsWithoutAnErrorBox)
{
    ScratchFolder scratch("shell-start");
    Start start{ scratch.path + "kevra.exe" };
    UniqueHandle thread(CreateThread(nullptr, 0, Start::Run, &start, 0, nullptr));
    ASSERT_TRUE(thread);
    const bool returned = WaitForSingleObject(thread.get(), 5000) == WAIT_OBJECT_0;
    int boxes = 0;
    EnumWindows(CountOwn, reinterpret_cast<LPARAM>(&boxes));
    EXPECT_EQ(0, boxes);
    EXPECT_TRUE(returned);
    EXPECT_FALSE(start.started);
    if (!returned)   // a box waits for a click that never comes
        TerminateThread(thread.get(), 1);
}
