// watcher/BuildListing.h: the builds as the last searches left them, kept between polls, so that a poll
// at which nothing changed lists them without searching, and a change costs the search of the one
// folder it names. Which searches a change calls for is decided here; the searches themselves are the
// Win32 layer's (BuildFolders.h).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "watcher/BuildFolders.h"

struct ListedFolder {
    uint64_t searchedAt = 0;       // the instant of its last search; 0: not searched yet
    uint64_t previousSearch = 0;   // the search before that, or the listing of its root that found it
    std::vector<HexFile> files;
    // Made since the root's first listing: searched once more at the next timed poll, since the
    // notifications of a folder just made may be lost while the system takes it into the watch.
    bool searchAgain = false;
};

struct ListedRoot {
    WatchedRoot root;
    uint64_t listedAt = 0;               // the instant of the last listing of its build folders; 0: none
    std::vector<std::string> folders;    // its build folders, each ending with a backslash
};

struct BuildListing {
    std::vector<ListedRoot> roots;
    std::map<std::string, ListedFolder> folders;   // by folder path
};

// Takes up a new set of roots (build.path changed). Roots that stay keep what was listed of them; a
// root added after the first listing counts as listed empty at previousInstant, so that the builds
// written into it since then are new. True when roots differ from the roots before.
bool SetRoots(BuildListing& listing, const std::vector<WatchedRoot>& roots, uint64_t previousInstant);

// Records that root number i holds these build folders (names as ListBuildFolders gives them) at
// instant. Returns the folders that were not listed before and want a search.
std::vector<std::string> RecordRootListing(BuildListing& listing, size_t i, const std::vector<std::string>& names,
                                           uint64_t instant);
// The folders made since their root's first listing and not yet searched again; their marks go.
std::vector<std::string> TakeFoldersToSearchAgain(BuildListing& listing);
// A root that cannot be searched (gone) holds nothing.
void ForgetRoot(BuildListing& listing, size_t i, uint64_t instant);

// Records the .hex files that a search of folder found at instant; a folder not listed is ignored.
void RecordFolderSearch(BuildListing& listing, const std::string& folder, std::vector<HexFile> files,
                        uint64_t instant);

// The wall clock (a file time) and the monotonic clock, read together at a poll.
struct ClockReading {
    uint64_t wall = 0;
    uint64_t monotonic = 0;
};
// How far the wall clock was put back between two readings: how far now.wall falls behind
// previous.wall plus the time the monotonic clock ran between them, when that is more than
// ClockStepTolerance; 0 otherwise, and when previous is no reading (wall 0).
uint64_t WallClockStepBack(const ClockReading& previous, const ClockReading& now);
// Moves every instant the listing remembers (its searches and root listings) back by step, so that a
// build written after the wall clock was put back still lies after the previous search of its folder
// and counts as new however late a search finds it. An instant of 0 (none) stays 0.
void ShiftBack(BuildListing& listing, uint64_t step);

// Every listed build with its age at instant, youngest first.
std::vector<BuildEntry> ListedBuilds(const BuildListing& listing, uint64_t instant);

// What the watch of one root has seen since it was last asked.
struct FolderChanges {
    bool overflow = false;       // more than the buffer held, or the read failed: what changed is unknown
    bool rearm = false;          // the path toward the root changed, or the watch broke: watch again
    std::vector<std::string> names;   // changed entries, relative to the root
};

// What a poll searches besides the folders of the waiting builds that are due for a look.
struct PollScope {
    bool everything = false;            // every root listed anew and every build folder searched
    std::vector<size_t> roots;          // roots (indexes into the listing) listed anew; new folders searched
    std::vector<size_t> wholeRoots;     // roots listed anew with every one of their folders searched
    std::vector<std::string> folders;   // build folders searched
};

// The root (an index into the listing) of which folder is a build folder; nullopt: none.
std::optional<size_t> RootOf(const BuildListing& listing, std::string_view folder);

// What one poll searches, in order: the roots listed anew, then the build folders. A folder that is
// not listed yet (its notification came before its root's listing) has its root listed instead.
struct PlannedRoot {
    size_t index;
    bool whole;   // every one of its folders searched, not only the ones its listing finds new
};
struct SearchPlan {
    std::vector<PlannedRoot> roots;
    std::vector<std::string> folders;   // each once
};
SearchPlan PlanSearch(const BuildListing& listing, const PollScope& scope);
// Records what the listing of a planned root found (nullopt: the root cannot be searched, and holds
// nothing) and adds the folders that then want a search to plan.
void TakeRootListing(BuildListing& listing, SearchPlan& plan, const PlannedRoot& root,
                     const std::optional<std::vector<std::string>>& names, uint64_t instant);
// Carries out the plan of scope at instant: lists the roots and searches the folders (the Win32
// layer's searches, ListBuildFolders and ListHexFiles), recording what they find. False when the
// plan held nothing to search.
bool SearchListing(BuildListing& listing, const PollScope& scope, uint64_t instant);

// Adds to scope what the watch of root number i saw: after an overflow or a failed read every root
// is searched whole; a watch set again searches its root whole; each name asks for what
// ScopeOfChange calls for.
void AddChanges(PollScope& scope, const BuildListing& listing, size_t i, const FolderChanges& changes);

// Why a poll searches beyond what the notifications named.
struct Wake {
    bool rootsChanged = false;        // build.path names other folders than before
    bool resumed = false;             // the PC woke from sleep: changes meanwhile may have gone unnoticed
    std::vector<size_t> rewatched;    // roots whose watch had gone stale and was set again
    std::vector<size_t> unwatched;    // roots without notifications (a network drive): at every timed poll
};
// Adds to scope what wake calls for: everything for changed roots or a resume, the roots named whole.
// A wake for nothing of these (the timed poll with every watch healthy) adds nothing.
void AddWake(PollScope& scope, const Wake& wake);

// True when name has the form of a short (8.3) name that the system may have made for a long name
// beginning with longStart (its part before the last dot) whose extension is longExtension: a base
// of at most 8 characters with a tilde after its first, the long name's first two characters before
// it (case aside, spaces and dots left out) and a number or hash after it, and the long extension's
// first three characters as its extension. ARDUIN~1 may stand for arduino_build_123, BUILD1~1.TMP
// for build123.tmp; ~DF12AB.tmp for neither.
bool MayBeShortName(std::string_view name, std::string_view longStart, std::string_view longExtension);
// The same for one long name given whole.
bool MayBeShortNameOf(std::string_view name, std::string_view longName);

// What one change notification under a watched root asks for: nothing (not a build's), the search of
// one build folder, or a new listing of the root's folders (a folder came, went or was renamed, or
// the name may be the short name of one that did). Other programs' names, short or not, ask for
// nothing.
struct ChangeScope {
    enum Kind { Nothing, Folder, Root } kind = Nothing;
    std::string folder;   // for Folder: the build folder, ending with a backslash
};
// name is the changed entry's path relative to the watched root, as the notification gives it.
ChangeScope ScopeOfChange(const WatchedRoot& root, std::string_view name);
