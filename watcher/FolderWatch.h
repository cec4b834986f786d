// watcher/FolderWatch.h: change notifications on the watched roots, so that the watcher wakes when a
// build is written rather than searching every build folder every few seconds. A root whose build
// folders are direct children is watched with its subtree (a .hex lies two levels down); one that is a
// build folder itself, without. A root that does not exist yet is watched through its nearest
// existing parent, for its coming. Runs on the watcher's thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Win32.h"
#include "watcher/BuildListing.h"
#include "watcher/BuildFolders.h"

struct FolderWatch {
    WatchedRoot root;
    std::string target;   // the folder watched: the root itself, or its nearest existing parent
    bool onRoot = false;
    // Of target when the watch was set: its identity and creation time (a file index may be given
    // again to a folder made where one was removed).
    std::optional<FileIdentity> identity;
    uint64_t created = 0;
    UniqueHandle folder;
    UniqueHandle event;   // set when notifications are waiting
    OVERLAPPED overlapped{};
    std::vector<DWORD> buffer;   // DWORD-aligned, as the call wants
    bool pending = false;
    FolderWatch() = default;
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    ~FolderWatch();   // cancels a pending read before the buffer goes
};

// Watches root, or its nearest existing parent. Null when no watch can be set: the drive gives no
// notifications (a network drive) or the system refused; the root must then be searched at every poll.
std::unique_ptr<FolderWatch> WatchRoot(const WatchedRoot& root);

// True when the watch no longer watches what its root names now: the root came or went, or the
// folder watched was removed and made again (another folder under the same name), so that its
// notifications would never come. Such a watch is set again.
bool WatchIsStale(const FolderWatch& watch);

// The notifications that arrived, if the watch's event is set, and a new request for more. Does not
// wait.
FolderChanges TakeChanges(FolderWatch& watch);
