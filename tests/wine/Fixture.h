// tests/wine/Fixture.h: a scratch folder on the real (Wine) file system for one test, removed after.
#pragma once

#include <windows.h>

#include <string>

#include "base/Win32.h"

// Creates a fresh, empty folder under the system temp folder; its path ends with a backslash.
std::string MakeScratchFolder(const std::string& tag);
// Removes a folder and everything in it, hidden and read-only files included.
void RemoveTree(const std::string& folder);
// Writes bytes to a file, replacing it.
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
// Sets the last-write time of a file or folder (file-time units).
void SetWriteTime(const std::string& path, uint64_t fileTime);
// The current UTC time as a file time.
uint64_t NowFileTime();

// A variable of this process's environment, which the programs it starts inherit, changed for one
// test: set to value, or removed for null, and put back as it was afterwards.
struct EnvironmentChange {
    std::wstring name, old;
    bool had;
    EnvironmentChange(const wchar_t* variable, const std::wstring* value) : name(variable)
    {
        std::wstring buffer(32768, L'\0');
        const DWORD n = GetEnvironmentVariableW(variable, buffer.data(), DWORD(buffer.size()));
        had = n > 0;
        old = buffer.substr(0, n);
        SetEnvironmentVariableW(variable, value ? value->c_str() : nullptr);
    }
    EnvironmentChange(const EnvironmentChange&) = delete;
    EnvironmentChange& operator=(const EnvironmentChange&) = delete;
    ~EnvironmentChange() { SetEnvironmentVariableW(name.c_str(), had ? old.c_str() : nullptr); }
};

struct ScratchFolder {
    std::string path;
    explicit ScratchFolder(const std::string& tag) : path(MakeScratchFolder(tag)) {}
    ~ScratchFolder() { RemoveTree(path); }
};

// A symbolic link made on the Unix side and removed again with the object. Wine cannot make a link
// itself (its CreateSymbolicLinkW does nothing) nor remove one (its DeleteFileW removes the target),
// but it shows a Unix link to a folder as a reparse point, as Windows shows a junction: ln and rm
// make and remove one. A Unix program started from Wine gives nothing to wait for, so the link's
// attributes are watched instead, for at most 10 s.
class UnixLink {
    std::string link;
    bool Run(const std::string& commandLine, bool linkWanted) const;

public:
    bool made = false;
    UnixLink(const std::string& path, const std::string& target);
    UnixLink(const UnixLink&) = delete;
    UnixLink& operator=(const UnixLink&) = delete;
    ~UnixLink();
};
