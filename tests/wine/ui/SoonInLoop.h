// tests/wine/ui/SoonInLoop.h: runs a test's action from inside the modal loop that the test is about to
// start (a dialog's, a window's), once that loop runs: a one-shot timer of the thread.
#pragma once

#include <windows.h>

#include <functional>

namespace soon_in_loop {
inline std::function<void()> pending;

inline void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) noexcept
{
    KillTimer(nullptr, id);
    // Moved out first: the action may schedule the next one.
    auto action = std::move(pending);
    pending = nullptr;
    if (action)
        action();
}
}  // namespace soon_in_loop

inline void SoonInLoop(std::function<void()> action)
{
    soon_in_loop::pending = std::move(action);
    SetTimer(nullptr, 0, 10, soon_in_loop::Fire);
}
