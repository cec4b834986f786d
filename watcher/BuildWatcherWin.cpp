#include "watcher/BuildWatcher.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>

#include "base/Folders.h"
#include "base/IdeFiles.h"
#include "base/KeptBuildStore.h"
#include "base/SharedValues.h"
#include "base/Text.h"
#include "base/Win32.h"
#include "watcher/FolderWatch.h"

namespace {

// The old copy bears the build's own .hex name; the new one is the name less ".cpp.hex" + ".HEX".
// homedir is looked at again before each copy: a folder that went, or was replaced by a file, or never
// was one, gets nothing deleted and nothing copied. Files are told apart by identity, not by name: a
// homedir that is the build's own folder (build.path set to it, say, under any spelling) gets nothing
// deleted and nothing copied, since the IDE's upload needs its .hex, and a name that leads to the
// build's .hex (a hard link) is neither deleted nor written over.
void CopyIntoHomeDir(const std::string& hexPath)
{
    const std::string homedir = ReadHomeDir();
    if (!IsUsableFolder(homedir))
        return;
    const std::optional<FileIdentity> build = IdentityOf(hexPath);
    const std::optional<FileIdentity> home = IdentityOf(homedir);
    if (!build || !home || home == IdentityOf(hexPath.substr(0, hexPath.rfind('\\') + 1)))
        return;
    const std::string name = PathFileName(hexPath);
    const std::string oldCopy = homedir + name, copy = homedir + HexCopyName(name);
    if (IdentityOf(oldCopy) != build)
        DeleteFileW(Widen(oldCopy).c_str());
    if (IdentityOf(copy) != build)
        CopyFileW(Widen(hexPath).c_str(), Widen(copy).c_str(), FALSE);
}

// Opening while sharing only reading fails as long as any other handle may write the file: when it
// succeeds, no writer is at work, and the end read through it is the file's end.
std::optional<HexProof> OpenAlone(const std::string& path)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file.get(), &info))
        return std::nullopt;
    HexProof proof{ JoinHalves(info.nFileSizeHigh, info.nFileSizeLow),
                    JoinHalves(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime), false,
                    FileIdentity{ info.dwVolumeSerialNumber, JoinHalves(info.nFileIndexHigh, info.nFileIndexLow) } };
    char tail[EofRecordTail];
    const uint64_t from = proof.size > sizeof tail ? proof.size - sizeof tail : 0;
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(from);
    DWORD got = 0;
    if (SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && ReadFile(file.get(), tail, DWORD(proof.size - from), &got, nullptr))
        proof.endsWithEofRecord = got == proof.size - from && EndsWithEofRecord(std::string_view(tail, got));
    return proof;
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.rfind('\\') + 1);
}

}  // namespace

uint64_t MonotonicNow()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    const uint64_t ticks = uint64_t(t.QuadPart), perSecond = uint64_t(frequency.QuadPart);
    return ticks / perSecond * FileTimeSecond + ticks % perSecond * FileTimeSecond / perSecond;
}

void StartSimulator(const std::string& elfPath)
{
    // The simulator takes the path unquoted, spaces and all.
    const std::string simulator = OwnExeFolder() + "kevra.exe";
    ShellStart(simulator, elfPath);
}

bool SetBuildRoots(WatcherState& state, const BuildRoots& roots, uint64_t previous)
{
    state.tempFolder = roots.tempFolder;
    return SetRoots(state.listing, WithoutSameFolders(WatchedRoots(roots)), previous);
}

uint64_t PollBuilds(HWND mainWindow, uint64_t pollInstant, const PollScope& scope, WatcherState& state)
{
    PollScope searched = scope;
    const uint64_t began = MonotonicNow();
    for (const auto& [path, w] : state.seen.waiting)
        if (w.lookAgainAt != 0 && w.lookAgainAt <= began)
            searched.folders.push_back(FolderOf(path));
    const bool searchedAny = SearchListing(state.listing, searched, pollInstant);
    const uint64_t ended = MonotonicNow();
    // Nothing searched and no build waiting: the builds are the ones the text shows, which stays the
    // same until an age passes a whole minute. The idle poll ends here.
    if (!searchedAny && state.seen.waiting.empty() && pollInstant >= state.shownAt && pollInstant < state.sameUntil)
        return 0;

    const std::vector<BuildEntry> entries = ListedBuilds(state.listing, pollInstant);
    const Completion done =
        CompleteNewBuilds(state.seen, entries, pollInstant, began, ended, BuildProbe{ MonotonicNow, OpenAlone });
    const std::string status = StatusText(state.tempFolder, entries);
    state.shownAt = pollInstant;
    state.sameUntil = SameAgesUntil(entries, pollInstant);

    for (size_t i = 0; i < entries.size(); ++i) {
        const BuildEntry& e = entries[i];
        WriteLastElfPathIfEmpty(e.elfPath);
        if (!done.act[i])
            continue;
        // copyhex is read afresh for each build: the user may switch it in the middle of a poll.
        if (ReadCopyHex() != 0)
            CopyIntoHomeDir(e.hexPath);
        WriteLastElfPath(e.elfPath);
        StartSimulator(e.elfPath);
        KeepBuildCopy(e.elfPath);
    }

    // The status control belongs to the user-interface thread, which may be busy for a while (an
    // analysis waits for its tools): the text is left for it, and the watcher never waits for it.
    if (status != state.shownStatusText) {
        WriteStatusText(status);
        if (mainWindow)
            PostMessageW(mainWindow, StatusTextMessage, 0, 0);
        state.shownStatusText = status;
    }
    return done.lookAgainAt;
}

namespace {

// The watches of the listing's roots, one per root in the same order; null for a root that has none.
struct Watches {
    std::vector<std::unique_ptr<FolderWatch>> byRoot;

    void Arm(const BuildListing& listing)
    {
        byRoot.clear();
        for (const ListedRoot& r : listing.roots)
            byRoot.push_back(WatchRoot(r.root));
    }
    // A stale watch (the root came or went, or was removed and made again) is set again; a root
    // without one is tried again. Both go into wake.
    void Refresh(const BuildListing& listing, Wake& wake)
    {
        for (size_t i = 0; i < byRoot.size(); ++i) {
            if (byRoot[i] && !WatchIsStale(*byRoot[i]))
                continue;
            byRoot[i] = WatchRoot(listing.roots[i].root);
            (byRoot[i] ? wake.rewatched : wake.unwatched).push_back(i);
        }
    }
    std::vector<HANDLE> Events() const
    {
        std::vector<HANDLE> events;
        for (const auto& w : byRoot)
            if (w && w->pending)
                events.push_back(w->event.get());
        return events;
    }
    // Everything the watches have seen, as what to search.
    void Take(const BuildListing& listing, PollScope& scope)
    {
        for (size_t i = 0; i < byRoot.size(); ++i) {
            if (!byRoot[i])
                continue;
            const FolderChanges changes = TakeChanges(*byRoot[i]);
            if (changes.rearm)
                byRoot[i] = WatchRoot(listing.roots[i].root);
            AddChanges(scope, listing, i, changes);
        }
    }
};

// Set when the PC woke from sleep; the watcher's wait includes it.
HANDLE ResumeEvent()
{
    static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event;
}

BuildRoots CurrentRoots(std::vector<std::string>& notYet)
{
    notYet.clear();
    return BuildRoots{ TempFolder, LocalAppDataFolder, ArduinoBuildPathFolders(&notYet) };
}

bool AnyExists(const std::vector<std::string>& folders)
{
    return std::any_of(folders.begin(), folders.end(), PathExists);
}

}  // namespace

void TellWatcherOfResume()
{
    SetEvent(ResumeEvent());
}

DWORD WINAPI BuildWatcher(LPVOID mainWindow) noexcept
{
    CoInitialize(nullptr);
    const HWND window = static_cast<HWND>(mainWindow);
    // Never freed: the thread outlives the entry point and runs until the process ends.
    WatcherState& state = *new WatcherState;
    Watches& watches = *new Watches;
    BuildPathStamp stamp = ReadBuildPathStamp();
    std::vector<std::string> notYet;   // build.path folders the IDE has not made yet
    SetBuildRoots(state, CurrentRoots(notYet), 0);
    // Watching first, searching after: nothing written in between goes unnoticed.
    watches.Arm(state.listing);

    uint64_t previousInstant = 0;
    ClockReading previousClock;
    uint64_t nextTimedPoll = 0;
    uint64_t lookAgainAt = 0;
    PollScope scope;
    scope.everything = true;
    for (;;) {
        const uint64_t now = MonotonicNow();
        const bool timed = now >= nextTimedPoll;
        if (timed) {
            // The IDE's preferences are only looked at (their write times), not read, unless they changed
            // or a build.path folder they name has come; only other roots cost a search.
            Wake wake;
            if (const BuildPathStamp current = ReadBuildPathStamp(); !(current == stamp) || AnyExists(notYet)) {
                stamp = current;
                wake.rootsChanged = SetBuildRoots(state, CurrentRoots(notYet), previousInstant);
                if (wake.rootsChanged)
                    watches.Arm(state.listing);
            }
            // Roots without notifications are searched whole at every timed poll: a rebuild into a
            // folder listed already tells nothing else.
            watches.Refresh(state.listing, wake);
            AddWake(scope, wake);
            for (std::string& folder : TakeFoldersToSearchAgain(state.listing))
                scope.folders.push_back(std::move(folder));
        }
        const bool due = lookAgainAt != 0 && lookAgainAt <= now;
        if (timed || due || scope.everything || !scope.roots.empty() || !scope.wholeRoots.empty() ||
            !scope.folders.empty()) {
            const ClockReading clock{ CurrentFileTime(), MonotonicNow() };
            // A wall clock put back: what the listing remembers moves back with it.
            if (const uint64_t step = WallClockStepBack(previousClock, clock); step != 0)
                ShiftBack(state.listing, step);
            previousClock = clock;
            const uint64_t instant = clock.wall;
            lookAgainAt = PollBuilds(window, instant, scope, state);
            previousInstant = instant;
            scope = PollScope{};
            if (timed)
                nextTimedPoll = MonotonicNow() + PollPauseMilliseconds * FileTimeMillisecond;
        }

        // Sleep until the next timed poll or the next look at a waiting build, or a notification.
        const uint64_t wake = lookAgainAt != 0 ? std::min(nextTimedPoll, lookAgainAt) : nextTimedPoll;
        const uint64_t before = MonotonicNow();
        const DWORD timeout = wake > before ? DWORD((wake - before + FileTimeMillisecond - 1) / FileTimeMillisecond) : 0;
        std::vector<HANDLE> events = watches.Events();
        events.push_back(ResumeEvent());
        const DWORD woke = WaitForMultipleObjects(DWORD(events.size()), events.data(), FALSE, timeout);
        if (woke == WAIT_OBJECT_0 + events.size() - 1) {
            Wake resumed;
            resumed.resumed = true;
            AddWake(scope, resumed);
        } else if (woke < WAIT_OBJECT_0 + events.size()) {
            Sleep(FoldMilliseconds);
            watches.Take(state.listing, scope);
        }
    }
}
