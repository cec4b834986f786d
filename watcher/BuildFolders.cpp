#include "watcher/BuildFolders.h"

#include <algorithm>
#include <limits>

std::string ElfPathFor(std::string_view hexPath)
{
    std::string elf(hexPath.substr(0, hexPath.size() >= 4 ? hexPath.size() - 4 : 0));
    elf += ".elf";
    return elf;
}

BuildEntry MakeBuildEntry(std::string hexPath, uint64_t lastWrite, uint64_t scanInstant, uint64_t size)
{
    const uint64_t d = lastWrite > scanInstant ? lastWrite - scanInstant : scanInstant - lastWrite;
    // A write time tens of thousands of years off would not fit 32 bits: it reads as the oldest.
    const uint64_t minutes = std::min<uint64_t>(d / FileTimeMinute, std::numeric_limits<int32_t>::max());
    const uint64_t seconds = (d % FileTimeMinute) / FileTimeSecond;
    std::string elfPath = ElfPathFor(hexPath);
    return { std::move(hexPath), std::move(elfPath), static_cast<int32_t>(minutes), static_cast<int32_t>(seconds),
             lastWrite, size };
}

void OrderBuilds(std::vector<BuildEntry>& entries)
{
    std::sort(entries.begin(), entries.end(),
              [](const BuildEntry& a, const BuildEntry& b) { return a.ageMinutes < b.ageMinutes; });
}

namespace {

bool StartsIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool EndsIgnoringCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && SameIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

bool IsBuildFolderOf(const WatchedRoot& root, std::string_view folder)
{
    if (!folder.empty() && folder.back() == '\\')
        folder.remove_suffix(1);
    std::string_view own = root.folder;
    own.remove_suffix(own.empty() ? 0 : 1);
    if (root.names == BuildFolderNames::Itself)
        return SameIgnoringCase(folder, own);
    if (folder.size() <= root.folder.size() || !StartsIgnoringCase(folder, root.folder))
        return false;
    const std::string_view name = folder.substr(root.folder.size());
    return name.find('\\') == std::string_view::npos && IsBuildFolderName(root.names, name);
}

std::vector<WatchedRoot> WatchedRoots(const BuildRoots& roots)
{
    std::vector<WatchedRoot> watched;
    auto add = [&](std::string folder, BuildFolderNames names, const std::string& trustedBase) {
        // TEMP may be the local application-data folder itself: its sketches are searched once. A
        // build.path of TEMP itself is a search of its own: for the .hex files directly in it.
        for (const WatchedRoot& w : watched)
            if (SameIgnoringCase(w.folder, folder) && (w.names == BuildFolderNames::Itself) == (names == BuildFolderNames::Itself))
                return;
        watched.push_back({ std::move(folder), names, trustedBase });
    };
    if (!roots.tempFolder.empty()) {
        add(roots.tempFolder, BuildFolderNames::TempBuilds, roots.tempFolder);
        add(roots.tempFolder + "arduino\\sketches\\", BuildFolderNames::Any, roots.tempFolder);
    }
    if (!roots.localAppDataFolder.empty())
        add(roots.localAppDataFolder + "arduino\\sketches\\", BuildFolderNames::Any, roots.localAppDataFolder);
    // A build.path in TEMP (arduino_build_1, say) is one of TEMP's build folders already: searched
    // twice, its builds would be acted on twice.
    for (const std::string& folder : roots.buildPathFolders)
        if (!folder.empty() && std::none_of(watched.begin(), watched.end(),
                                            [&](const WatchedRoot& r) { return IsBuildFolderOf(r, folder); }))
            add(folder, BuildFolderNames::Itself, folder);   // the user's own choice: trusted
    return watched;
}

bool IsTempBuildFolderName(std::string_view name)
{
    // "build*.tmp" as the system matches it: the star may be empty, so build.tmp qualifies.
    if (name.size() >= 9 && StartsIgnoringCase(name, "build") && EndsIgnoringCase(name, ".tmp"))
        return true;
    for (std::string_view prefix : { std::string_view("arduino_build_"), std::string_view("arduino-sketch-") })
        if (name.size() > prefix.size() && StartsIgnoringCase(name, prefix))
            return true;
    return false;
}

bool IsBuildFolderName(BuildFolderNames names, std::string_view name)
{
    if (name == "." || name == ".." || name.empty())
        return false;
    return names != BuildFolderNames::TempBuilds || IsTempBuildFolderName(name);
}

bool IsListedHexName(std::string_view fileName)
{
    return EndsIgnoringCase(fileName, ".hex") && !EndsIgnoringCase(fileName, ".with_bootloader.hex");
}
