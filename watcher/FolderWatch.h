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

struct FolderStamp {
    uint64_t fileIndex = 0;
    uint64_t created = 0;
    bool operator==(const FolderStamp&) const = default;
};

struct FolderWatch {
    WatchedRoot root;
    std::string target;   // the folder watched: the root itself, or its nearest existing parent
    bool onRoot = false;
    // Of target when the watch was set (a file index may be given again to a folder made where one
    // was removed, so its creation time too).
    std::optional<FolderStamp> stamp;
    // The write times of target's parent and, for a watch on a parent, of target itself when a look
    // last found the watch sound, each while it lay far enough back that a later change would move it;
    // 0: to be looked at.
    uint64_t parentWrite = 0;
    uint64_t targetWrite = 0;
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
// notifications would never come. Such a watch is set again. Cheap while nothing changed: the way
// to a root is looked over only after the entries of a folder on it changed.
bool WatchIsStale(FolderWatch& watch);

// The notifications that arrived, if the watch's event is set, and a new request for more. Does not
// wait.
FolderChanges TakeChanges(FolderWatch& watch);
