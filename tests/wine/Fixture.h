// tests/wine/Fixture.h: a scratch folder on the real (Wine) file system for one test, removed after.
#pragma once

#include <windows.h>

#include <string>

#include "core/Win32.h"

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

struct ScratchFolder {
    std::string path;
    explicit ScratchFolder(const std::string& tag) : path(MakeScratchFolder(tag)) {}
    ~ScratchFolder() { RemoveTree(path); }
};

// Makes link a symbolic link to target on the Unix side, where Wine shows a link to a folder as a
// reparse point, as Windows shows a junction. Wine's own CreateSymbolicLinkW makes nothing. False
// when the link did not appear within a few seconds.
bool MakeUnixSymlink(const std::string& target, const std::string& link);
