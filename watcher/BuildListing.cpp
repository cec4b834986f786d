#include "watcher/BuildListing.h"

#include <algorithm>

namespace {

std::string FolderPath(const WatchedRoot& root, const std::string& name)
{
    return name.empty() ? root.folder : root.folder + name + "\\";
}

// A short (8.3) name, such as ARDUIN~1, stands for a long name that cannot be told from it.
bool MayBeShortName(std::string_view name)
{
    return name.find('~') != std::string_view::npos;
}

}  // namespace

void SetRoots(BuildListing& listing, const std::vector<WatchedRoot>& roots, uint64_t previousInstant)
{
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
        if (IsListedHexName(name) || MayBeShortName(name))
            return { ChangeScope::Folder, root.folder };
        return {};
    }
    const std::string_view first = name.substr(0, slash);
    if (!IsBuildFolderName(root.names, first))
        return MayBeShortName(first) ? ChangeScope{ ChangeScope::Root, {} } : ChangeScope{};
    if (slash == std::string_view::npos)
        return { ChangeScope::Root, {} };   // the build folder itself came, went or was renamed
    const std::string_view rest = name.substr(slash + 1);
    if (rest.find('\\') != std::string_view::npos)
        return {};   // deeper than a build's .hex: the IDE's object files and the like
    if (IsListedHexName(rest) || MayBeShortName(rest))
        return { ChangeScope::Folder, root.folder + std::string(first) + "\\" };
    return {};
}
