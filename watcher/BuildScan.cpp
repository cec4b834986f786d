#include "watcher/BuildScan.h"

#include <algorithm>
#include <limits>

std::string PathFileName(std::string_view path)
{
    const size_t slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

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

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool StartsIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool EndsIgnoringCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && SameIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::vector<WatchedRoot> WatchedRoots(const BuildRoots& roots)
{
    std::vector<WatchedRoot> watched;
    auto add = [&](std::string folder, BuildFolderNames names) {
        // TEMP may be the local application-data folder itself: its sketches are searched once.
        for (const WatchedRoot& w : watched)
            if (SameIgnoringCase(w.folder, folder))
                return;
        watched.push_back({ std::move(folder), names });
    };
    if (!roots.tempFolder.empty()) {
        add(roots.tempFolder, BuildFolderNames::TempBuilds);
        add(roots.tempFolder + "arduino\\sketches\\", BuildFolderNames::Any);
    }
    if (!roots.localAppDataFolder.empty())
        add(roots.localAppDataFolder + "arduino\\sketches\\", BuildFolderNames::Any);
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
    return names == BuildFolderNames::Any || IsTempBuildFolderName(name);
}

bool IsListedHexName(std::string_view fileName)
{
    return !EndsIgnoringCase(fileName, ".with_bootloader.hex");
}

bool HasFolder(const std::vector<std::string>& folders, std::string_view folder)
{
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& f) { return SameIgnoringCase(f, folder); });
}
