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

BuildEntry MakeBuildEntry(std::string hexPath, uint64_t lastWrite, uint64_t scanInstant)
{
    const uint64_t d = lastWrite > scanInstant ? lastWrite - scanInstant : scanInstant - lastWrite;
    // A write time tens of thousands of years off would not fit 32 bits: it reads as the oldest.
    const uint64_t minutes = std::min<uint64_t>(d / FileTimeMinute, std::numeric_limits<int32_t>::max());
    const uint64_t seconds = (d % FileTimeMinute) / FileTimeSecond;
    std::string elfPath = ElfPathFor(hexPath);
    return { std::move(hexPath), std::move(elfPath), static_cast<int32_t>(minutes), static_cast<int32_t>(seconds),
             lastWrite };
}

void OrderBuilds(std::vector<BuildEntry>& entries)
{
    std::sort(entries.begin(), entries.end(),
              [](const BuildEntry& a, const BuildEntry& b) { return a.ageMinutes < b.ageMinutes; });
}
