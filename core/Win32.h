// core/Win32.h: what every part of the Win32 layer shares: handles that close themselves, and the
// conversion between the program's ANSI text and UTF-16, made only at the Windows call.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

template <typename H, auto Close>
class Unique {
    H h{};
public:
    Unique() = default;
    explicit Unique(H owned) : h(owned) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : h(std::exchange(other.h, H{})) {}
    Unique& operator=(Unique&& other) noexcept { std::swap(h, other.h); return *this; }
    // Null and INVALID_HANDLE_VALUE both mean "owns nothing": the two failure conventions of Win32.
    ~Unique() { if (h && h != reinterpret_cast<H>(INVALID_HANDLE_VALUE)) Close(h); }
    H get() const { return h; }
    explicit operator bool() const { return h && h != reinterpret_cast<H>(INVALID_HANDLE_VALUE); }
};

using UniqueFont = Unique<HFONT, DeleteObject>;
using UniqueBrush = Unique<HBRUSH, DeleteObject>;
using UniqueFind = Unique<HANDLE, FindClose>;
using UniqueHandle = Unique<HANDLE, CloseHandle>;

// ANSI code page text to UTF-16 and back.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

// The value of an environment variable in ANSI text; empty when it is not set.
std::string EnvironmentText(const wchar_t* name);

// The full path of the running executable, in ANSI text.
std::string OwnExePath();
// The folder of the running executable, with its trailing backslash.
std::string OwnExeFolder();
