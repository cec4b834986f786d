#include "watcher/BuildListing.h"

#include <algorithm>

namespace {

std::string FolderPath(const WatchedRoot& root, const std::string& name)
{
    return name.empty() ? root.folder : root.folder + name + "\\";
}

// A character of a long name as a short name shows it: upper case, and '_' for one that 8.3 names
// do not allow.
char ShortNameChar(char c)
{
    if (c >= 'a' && c <= 'z')
        return char(c - 'a' + 'A');
    return std::string_view("+,;=[]").find(c) != std::string_view::npos ? '_' : c;
}

// The first count characters of a long name's part as its short name begins: without spaces and dots.
std::string ShortNameStart(std::string_view part, size_t count)
{
    std::string start;
    for (char c : part)
        if (c != ' ' && c != '.' && start.size() < count)
            start += ShortNameChar(c);
    return start;
}

bool IsAsciiAlphanumeric(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A short name of one of the build folders that root's names allow.
bool MayBeShortBuildFolderName(BuildFolderNames names, std::string_view name)
{
    if (names != BuildFolderNames::TempBuilds)
        return false;   // any name is a build folder's already; build.path has no build folders
    return MayBeShortName(name, "build", "tmp") || MayBeShortName(name, "arduino_build_", "") ||
           MayBeShortName(name, "arduino-sketch-", "");
}

void AddOnce(std::vector<std::string>& list, const std::string& item)
{
    if (std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}

}  // namespace

bool MayBeShortName(std::string_view name, std::string_view longStart, std::string_view longExtension)
{
    const size_t dot = name.rfind('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    const size_t tilde = base.find('~');
    if (base.size() > 8 || extension.size() > 3 || tilde == std::string_view::npos || tilde == 0 ||
        tilde + 1 == base.size())
        return false;
    // After the tilde: the number (Windows) or the hash characters (Wine, after more tildes for a
    // long name of fewer than four characters).
    for (char c : base.substr(tilde + 1))
        if (!IsAsciiAlphanumeric(c) && c != '~')
            return false;
    // Before it: the long name's first characters; Windows keeps two of them before a hash.
    const std::string start = ShortNameStart(longStart, std::min<size_t>(tilde, 2));
    for (size_t k = 0; k < start.size(); ++k)
        if (ShortNameChar(base[k]) != start[k])
            return false;
    const std::string wantedExtension = ShortNameStart(longExtension, 3);
    return extension.size() == wantedExtension.size() &&
           std::equal(extension.begin(), extension.end(), wantedExtension.begin(),
                      [](char a, char b) { return ShortNameChar(a) == b; });
}

bool MayBeShortNameOf(std::string_view name, std::string_view longName)
{
    const size_t dot = longName.rfind('.');
    return dot == std::string_view::npos ? MayBeShortName(name, longName, "")
                                         : MayBeShortName(name, longName.substr(0, dot), longName.substr(dot + 1));
}

bool SetRoots(BuildListing& listing, const std::vector<WatchedRoot>& roots, uint64_t previousInstant)
{
    if (std::equal(roots.begin(), roots.end(), listing.roots.begin(), listing.roots.end(),
                   [](const WatchedRoot& r, const ListedRoot& l) { return r == l.root; }))
        return false;
    std::vector<ListedRoot> kept;
    for (const WatchedRoot& r : roots) {
        const auto old = std::find_if(listing.roots.begin(), listing.roots.end(),
                                      [&](const ListedRoot& l) { return l.root == r; });
        kept.push_back(old != listing.roots.end() ? std::move(*old) : ListedRoot{ r, previousInstant, {} });
    }
    for (const ListedRoot& gone : listing.roots)
        for (const std::string& folder : gone.folders)
            if (std::none_of(kept.begin(), kept.end(), [&](const ListedRoot& l) {
                    return std::find(l.folders.begin(), l.folders.end(), folder) != l.folders.end();
                }))
                listing.folders.erase(folder);
    listing.roots = std::move(kept);
    return true;
}

std::vector<std::string> RecordRootListing(BuildListing& listing, size_t i, const std::vector<std::string>& names,
                                           uint64_t instant)
{
    ListedRoot& r = listing.roots.at(i);
    std::vector<std::string> folders;
    std::vector<std::string> added;
    for (const std::string& name : names) {
        std::string folder = FolderPath(r.root, name);
        const auto [at, isNew] = listing.folders.try_emplace(folder);
        if (isNew) {
            // Made after the root's last listing (or found at the first): its files are new builds
            // only when written since that listing.
            at->second.previousSearch = r.listedAt;
            at->second.searchAgain = r.listedAt != 0;
            added.push_back(folder);
        }
        folders.push_back(std::move(folder));
    }
    for (const std::string& folder : r.folders)
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            listing.folders.erase(folder);
    r.folders = std::move(folders);
    r.listedAt = instant;
    return added;
}

std::vector<std::string> TakeFoldersToSearchAgain(BuildListing& listing)
{
    std::vector<std::string> folders;
    for (auto& [path, f] : listing.folders)
        if (f.searchAgain) {
            f.searchAgain = false;
            folders.push_back(path);
        }
    return folders;
}

void ForgetRoot(BuildListing& listing, size_t i, uint64_t instant)
{
    RecordRootListing(listing, i, {}, instant);
}

void RecordFolderSearch(BuildListing& listing, const std::string& folder, std::vector<HexFile> files,
                        uint64_t instant)
{
    const auto at = listing.folders.find(folder);
    if (at == listing.folders.end())
        return;
    ListedFolder& f = at->second;
    if (f.searchedAt != 0)
        f.previousSearch = f.searchedAt;
    f.searchedAt = instant;
    f.files = std::move(files);
}

uint64_t WallClockStepBack(const ClockReading& previous, const ClockReading& now)
{
    if (previous.wall == 0 || now.monotonic < previous.monotonic)
        return 0;
    const uint64_t expected = previous.wall + (now.monotonic - previous.monotonic);
    return now.wall + ClockStepTolerance < expected ? expected - now.wall : 0;
}

void ShiftBack(BuildListing& listing, uint64_t step)
{
    // An instant that would fall to 0 or below stays a (very early) instant, not "none".
    const auto back = [step](uint64_t& instant) {
        if (instant != 0)
            instant = instant > step ? instant - step : 1;
    };
    for (ListedRoot& r : listing.roots)
        back(r.listedAt);
    for (auto& [path, f] : listing.folders) {
        back(f.searchedAt);
        back(f.previousSearch);
    }
}

std::vector<BuildEntry> ListedBuilds(const BuildListing& listing, uint64_t instant)
{
    std::vector<BuildEntry> entries;
    for (const ListedRoot& r : listing.roots)
        for (const std::string& folder : r.folders) {
            const auto at = listing.folders.find(folder);
            if (at == listing.folders.end())
                continue;
            for (const HexFile& file : at->second.files) {
                BuildEntry e = MakeBuildEntry(folder + file.name, file.lastWrite, instant, file.size);
                e.searched = at->second.searchedAt;
                e.previousSearch = at->second.previousSearch;
                entries.push_back(std::move(e));
            }
        }
    OrderBuilds(entries);
    return entries;
}

ChangeScope ScopeOfChange(const WatchedRoot& root, std::string_view name)
{
    const size_t slash = name.find('\\');
    if (root.names == BuildFolderNames::Itself) {
        // Only the .hex files directly in it are builds.
        if (slash != std::string_view::npos)
            return {};
        if (IsListedHexName(name) || MayBeShortName(name, "", "hex"))
            return { ChangeScope::Folder, root.folder };
        return {};
    }
    const std::string_view first = name.substr(0, slash);
    if (!IsBuildFolderName(root.names, first))
        return MayBeShortBuildFolderName(root.names, first) ? ChangeScope{ ChangeScope::Root, {} } : ChangeScope{};
    if (slash == std::string_view::npos)
        return { ChangeScope::Root, {} };   // the build folder itself came, went or was renamed
    const std::string_view rest = name.substr(slash + 1);
    if (rest.find('\\') != std::string_view::npos)
        return {};   // deeper than a build's .hex: the IDE's object files and the like
    if (IsListedHexName(rest) || MayBeShortName(rest, "", "hex"))
        return { ChangeScope::Folder, root.folder + std::string(first) + "\\" };
    return {};
}

std::optional<size_t> RootOf(const BuildListing& listing, std::string_view folder)
{
    for (size_t i = 0; i < listing.roots.size(); ++i)
        if (IsBuildFolderOf(listing.roots[i].root, folder))
            return i;
    return std::nullopt;
}

SearchPlan PlanSearch(const BuildListing& listing, const PollScope& scope)
{
    SearchPlan plan;
    std::vector<size_t> roots = scope.roots;
    for (const std::string& folder : scope.folders) {
        if (listing.folders.count(folder))
            AddOnce(plan.folders, folder);
        else if (const std::optional<size_t> root = RootOf(listing, folder))
            roots.push_back(*root);
    }
    const auto names = [](const std::vector<size_t>& list, size_t i) {
        return std::find(list.begin(), list.end(), i) != list.end();
    };
    for (size_t i = 0; i < listing.roots.size(); ++i) {
        const bool whole = scope.everything || names(scope.wholeRoots, i);
        if (whole || names(roots, i))
            plan.roots.push_back({ i, whole });
    }
    return plan;
}

void TakeRootListing(BuildListing& listing, SearchPlan& plan, const PlannedRoot& root,
                     const std::optional<std::vector<std::string>>& names, uint64_t instant)
{
    if (!names) {
        ForgetRoot(listing, root.index, instant);
        return;
    }
    const std::vector<std::string> added = RecordRootListing(listing, root.index, *names, instant);
    for (const std::string& folder : root.whole ? listing.roots[root.index].folders : added)
        AddOnce(plan.folders, folder);
}

void AddChanges(PollScope& scope, const BuildListing& listing, size_t i, const FolderChanges& changes)
{
    if (changes.overflow)
        scope.everything = true;
    if (changes.rearm)
        scope.wholeRoots.push_back(i);
    for (const std::string& name : changes.names) {
        const ChangeScope change = ScopeOfChange(listing.roots.at(i).root, name);
        if (change.kind == ChangeScope::Root)
            scope.roots.push_back(i);
        else if (change.kind == ChangeScope::Folder)
            scope.folders.push_back(change.folder);
    }
}

void AddWake(PollScope& scope, const Wake& wake)
{
    if (wake.rootsChanged || wake.resumed)
        scope.everything = true;
    scope.wholeRoots.insert(scope.wholeRoots.end(), wake.rewatched.begin(), wake.rewatched.end());
    scope.wholeRoots.insert(scope.wholeRoots.end(), wake.unwatched.begin(), wake.unwatched.end());
}
