// base/Win32.h: what every part of the Win32 layer shares: handles that close themselves, and the
// conversion between the program's UTF-8 text and UTF-16, made only at the Windows call. The ANSI
// code page appears only where a stored file or an outside program needs single bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// UTF-8 to UTF-16 and back.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// The UTF-8 of a name from the system, or nullopt when it holds a lone surrogate, which no UTF-8
// text can carry: such a name would not come back whole at the next call.
std::optional<std::string> NarrowExactly(std::wstring_view wide);

// UTF-8 text in the ANSI code page, for the settings file and the ANSI tools; nullopt when a
// character has no exact counterpart there (no best fit: U+FF02 never becomes a quote).
std::optional<std::string> AnsiText(std::string_view utf8);
// ANSI code page bytes as UTF-8.
std::string Utf8FromAnsi(std::string_view ansi);

// The short (8.3) form of an existing path, "" when the file system gives none.
std::string ShortPathOf(const std::string& path);
// path as a program or a file that knows only the ANSI code page can take it: path itself when it
// fits that code page, else its short form when that fits (with path's trailing backslash, if any);
// nullopt when neither does, since a best-fit copy of the name would name another file or none.
std::optional<std::string> AnsiFittingPath(const std::string& path);

// The wall clock now, as a file time (UTC).
uint64_t CurrentFileTime();

// The file system's attributes of path, nullopt when it reports none (no such file or folder).
std::optional<DWORD> AttributesOf(const std::string& path);
// True when the file system reports attributes for the path (a file or a folder).
bool PathExists(const std::string& path);
// True when path names a folder (or a link to one).
bool IsFolder(const std::string& path);

// True when path names a folder that is no link (junction, symbolic link) and no device: nothing
// leads out of it. A trailing backslash is ignored; with it, a link's path names what it leads to.
bool IsPlainFolder(std::string path);

// A file's bytes and its last-write time (file-time units).
struct PlainFile {
    std::string bytes;
    uint64_t writeTime = 0;
};
// The whole of the file at path when it is a plain file (no link, no folder, no device) of at most
// byteLimit bytes; nullopt otherwise, or when it cannot be read whole. A link is not followed: the
// file is opened as the link itself and refused.
std::optional<PlainFile> ReadPlainFile(const std::string& path, uint64_t byteLimit);

// The first limit bytes of a file as it stands when opened, read while others may write or delete
// it, and whether more bytes followed them; "" when it cannot be opened. Read only: a missing file is
// not created. Whatever a file holds, no more than limit bytes are read or kept.
struct FileStart {
    std::string bytes;
    bool cut = false;
};
FileStart ReadFileStart(const std::string& path, size_t limit);

// An entry of a folder that is neither a link nor a device.
struct FolderEntry {
    std::string name;
    bool isFolder = false;
    uint64_t size = 0;
    uint64_t writeTime = 0;   // file-time units
};
// The entries of folder (a path with its trailing backslash), at most limit of those that wanted
// takes (all, without it): no "." or "..", no link, no device, and no name that no UTF-8 text can
// carry. Empty when it cannot be searched.
std::vector<FolderEntry> PlainFolderEntries(const std::string& folder, size_t limit,
                                            bool (*wanted)(std::string_view name) = nullptr);
// The names of the plain folders among them.
std::vector<std::string> PlainFolderNames(const std::string& folder, size_t limit);

// Writes every byte through file; false when a write fails.
bool WriteAllBytes(HANDLE file, std::string_view bytes);

// True when path is on a drive of this machine (fixed, removable, RAM disk or CD): not a network
// drive, not a drive of unknown type, not a \\host\ path. Files there are read without asking a server.
bool IsOnLocalDrive(const std::string& path);

// The value of an environment variable; empty when it is not set.
std::string EnvironmentText(const wchar_t* name);

// Starts file (a program) with parameters through the shell, without waiting, and without any error
// box of the shell's: a program that is missing fails silently. True when it started.
bool ShellStart(const std::string& file, const std::string& parameters);

// The full path of the running executable.
std::string OwnExePath();
// The folder of the running executable, with its trailing backslash.
std::string OwnExeFolder();
