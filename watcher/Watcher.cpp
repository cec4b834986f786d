#include "watcher/Watcher.h"

#include "core/SettingsText.h"
#include "watcher/AgeText.h"

namespace {

constexpr char LineEnd[] = "\r\n";

// text with every occurrence of part removed, in one pass from the left.
std::string WithoutEvery(std::string_view text, std::string_view part)
{
    if (part.empty())
        return std::string(text);
    std::string out;
    size_t from = 0;
    for (size_t at; (at = text.find(part, from)) != std::string_view::npos; from = at + part.size())
        out.append(text.substr(from, at - from));
    out.append(text.substr(from));
    return out;
}

// A write time after the instant is a clock ahead of ours and counts as recent too.
bool WrittenRecently(uint64_t lastWrite, uint64_t instant)
{
    return lastWrite >= instant || instant - lastWrite < NewBuildWindow;
}

}  // namespace

std::string StatusText(std::string_view tempFolder, const std::vector<BuildEntry>& entries)
{
    std::string status = "Temp folder is \"";
    status.append(tempFolder).append("\"").append(LineEnd).append(LineEnd);
    int64_t k = 0;
    for (const BuildEntry& e : entries) {
        status += DecimalText(++k) + ". \"" + WithoutEvery(e.hexPath, tempFolder) + "\"" + LineEnd;
        status += "Last modified " + BuildAgeText(e.ageMinutes) + " ago" + LineEnd + LineEnd;
    }
    return status;
}

std::string HexCopyName(std::string_view hexFileName)
{
    constexpr size_t Cut = 8;
    std::string name(hexFileName.size() < Cut ? hexFileName : hexFileName.substr(0, hexFileName.size() - Cut));
    return name + ".HEX";
}

std::vector<bool> NewBuilds(SeenBuilds& seen, const std::vector<BuildEntry>& entries, uint64_t pollInstant)
{
    std::vector<bool> isNew;
    isNew.reserve(entries.size());
    std::map<std::string, uint64_t> writes;
    for (const BuildEntry& e : entries) {
        const auto before = seen.writes.find(e.hexPath);
        const bool seenBefore = before != seen.writes.end() && before->second == e.lastWrite;
        // Written after the previous poll took its instant: that poll's search may have missed it, or
        // the poll and its pause together ran longer than the window.
        const bool sincePrevious = seen.polled && e.lastWrite >= seen.previousInstant;
        isNew.push_back(!seenBefore && (WrittenRecently(e.lastWrite, pollInstant) || sincePrevious));
        writes[e.hexPath] = e.lastWrite;
    }
    // A build missing from one scan (its folder could not be searched) and back with the same write
    // time must not count twice while that time would still qualify.
    for (const auto& [path, lastWrite] : seen.writes)
        if (WrittenRecently(lastWrite, pollInstant))
            writes.emplace(path, lastWrite);
    seen.writes = std::move(writes);
    seen.previousInstant = pollInstant;
    seen.polled = true;
    return isNew;
}
