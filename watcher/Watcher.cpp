#include "watcher/Watcher.h"

#include <algorithm>

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
        status += DecimalText(++k) + ". \"" + StatusPath(tempFolder, e.hexPath) + "\"" + LineEnd;
        status += "Last modified " + BuildAgeText(e.ageMinutes) + " ago" + LineEnd + LineEnd;
    }
    return status;
}

std::string StatusPath(std::string_view tempFolder, std::string_view hexPath)
{
    // Builds under the local application-data folder or build.path are not in TEMP: shown whole.
    if (hexPath.substr(0, tempFolder.size()) != tempFolder)
        return std::string(hexPath);
    return WithoutEvery(hexPath, tempFolder);
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

bool LookAtBuild(SeenBuilds& seen, const std::string& hexPath, const FileLook& look, bool newWrite)
{
    auto it = seen.waiting.find(hexPath);
    if (it == seen.waiting.end()) {
        if (newWrite)
            seen.waiting.emplace(hexPath, WaitingBuild{ look.size, look.lastWrite, look.ended, look.ended });
        return false;
    }
    WaitingBuild& w = it->second;
    w.lastSeen = look.ended;
    if (w.size != look.size || w.lastWrite != look.lastWrite) {
        w = { look.size, look.lastWrite, look.ended, look.ended };
        return false;
    }
    // The unchanged span is proven only from the end of the earlier search to the start of this one.
    return look.began >= w.unchangedSince && look.began - w.unchangedSince >= QuietTime;
}

std::vector<bool> CompleteNewBuilds(SeenBuilds& seen, const std::vector<BuildEntry>& entries, uint64_t pollInstant,
                                    uint64_t scanBegan, uint64_t scanEnded, const BuildProbe& probe)
{
    const std::vector<bool> isNew = NewBuilds(seen, entries, pollInstant);
    std::vector<bool> act(entries.size(), false);
    std::vector<size_t> lookAgain;
    uint64_t lookAgainAt = 0;

    auto actIfWhole = [&](size_t i, bool quiet) {
        const std::string& path = entries[i].hexPath;
        if (quiet && probe.opensAlone(path)) {
            act[i] = true;
            seen.waiting.erase(path);
        }
    };

    for (size_t i = 0; i < entries.size(); ++i) {
        const BuildEntry& e = entries[i];
        const bool quiet = LookAtBuild(seen, e.hexPath, { e.size, e.lastWrite, scanBegan, scanEnded }, isNew[i]);
        const auto w = seen.waiting.find(e.hexPath);
        if (w == seen.waiting.end())
            continue;
        // Seen first or changed in this scan: another look after QuietTime can prove it whole. A build
        // that is quiet but still held open waits for the next poll instead.
        if (!quiet && w->second.unchangedSince == scanEnded) {
            lookAgain.push_back(i);
            lookAgainAt = scanEnded + QuietTime;
        }
        actIfWhole(i, quiet);
    }

    if (!lookAgain.empty()) {
        probe.waitUntil(lookAgainAt);
        for (size_t i : lookAgain) {
            const uint64_t began = probe.now();
            std::optional<FileLook> look = probe.look(entries[i].hexPath);
            if (!look)
                continue;   // gone, or its folder unreadable: the next polls see what became of it
            look->began = began;
            look->ended = probe.now();
            actIfWhole(i, LookAtBuild(seen, entries[i].hexPath, *look, false));
        }
    }

    std::erase_if(seen.waiting, [&](const auto& w) { return w.second.lastSeen + ForgetWaitingAfter < scanEnded; });
    return act;
}
