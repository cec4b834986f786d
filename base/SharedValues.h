// base/SharedValues.h: the values that the user-interface thread and the build watcher share,
// copyhex, homedir, LastElfPath and the status text, behind the one lock of the process. Every access
// goes through these functions, which take the lock and copy text while they hold it, so no caller
// can forget it.
// No lock is held when a function returns. Safe to call at any time, also while the process exits.
#pragma once

#include <cstdint>
#include <string>

int32_t ReadCopyHex();
void WriteCopyHex(int32_t value);

std::string ReadHomeDir();
void WriteHomeDir(std::string value);

// The .elf of the last build; empty until the watcher has seen a build. Written by the watcher only.
std::string ReadLastElfPath();
void WriteLastElfPath(std::string value);
// Sets LastElfPath to value only while it is still empty, in one step under the lock.
void WriteLastElfPathIfEmpty(const std::string& value);

// The watcher's status text, for the main window to show: written by the watcher, which then posts
// the window a message; read by the window when the message arrives.
std::string ReadStatusText();
void WriteStatusText(std::string value);
