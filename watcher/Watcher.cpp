#include "watcher/Watcher.h"

#include <algorithm>
#include <limits>

#include "base/Text.h"
#include "watcher/AgeText.h"

namespace {

constexpr char LineEnd[] = "\r\n";

// Less than the window before or after the instant: a clock a little ahead of ours counts too, one far
// ahead (a corrected clock, files from another PC) does not.
bool WrittenNear(uint64_t lastWrite, uint64_t instant)
{
    const uint64_t d = lastWrite > instant ? lastWrite - instant : instant - lastWrite;
    return d < NewBuildWindow;
}

// What a missing entry must still be remembered for: any write that could still count as new.
bool MayStillCountAsNew(uint64_t lastWrite, uint64_t instant)
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

uint64_t SameAgesUntil(const std::vector<BuildEntry>& entries, uint64_t instant)
{
    uint64_t until = std::numeric_limits<uint64_t>::max();
    for (const BuildEntry& e : entries) {
        uint64_t next;
        if (e.lastWrite <= instant) {
            const uint64_t minutes = (instant - e.lastWrite) / FileTimeMinute;
            if (minutes >= uint64_t(AgeTextLastChangeMinutes))
                continue;
            next = e.lastWrite + (minutes + 1) * FileTimeMinute;
        } else {
            // Stamped ahead: the age shrinks to each whole minute, then grows again from 0 past the write.
            const uint64_t minutes = (e.lastWrite - instant) / FileTimeMinute;
            next = minutes == 0 ? e.lastWrite + FileTimeMinute : e.lastWrite - minutes * FileTimeMinute + 1;
        }
        until = std::min(until, next);
    }
    return until;
}

std::string StatusPath(std::string_view tempFolder, std::string_view hexPath)
{
    // Builds under the local application-data folder or build.path are not in TEMP: shown whole.
    if (hexPath.substr(0, tempFolder.size()) != tempFolder)
        return std::string(hexPath);
    return ReplaceAll(hexPath, tempFolder, "");
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
        // Written after the previous search of its folder began: that search may have missed it, or
        // the poll and its pause together ran longer than the window.
        const bool sincePrevious = e.previousSearch != 0 && e.lastWrite >= e.previousSearch;
        isNew.push_back(!seenBefore && (WrittenNear(e.lastWrite, pollInstant) || sincePrevious));
        writes[e.hexPath] = e.lastWrite;
    }
    // A build missing from one scan (its folder could not be searched) and back with the same write
    // time must not count twice while that time would still qualify.
    for (const auto& [path, lastWrite] : seen.writes)
        if (MayStillCountAsNew(lastWrite, pollInstant))
            writes.emplace(path, lastWrite);
    seen.writes = std::move(writes);
    return isNew;
}

bool EndsWithEofRecord(std::string_view bytes)
{
    constexpr std::string_view Record = ":00000001FF";
    if (bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n")
        bytes.remove_suffix(2);
    else if (!bytes.empty() && bytes.back() == '\n')
        bytes.remove_suffix(1);
    if (bytes.size() < Record.size() || bytes.substr(bytes.size() - Record.size()) != Record)
        return false;
    bytes.remove_suffix(Record.size());
    return bytes.empty() || bytes.back() == '\n';
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

Completion CompleteNewBuilds(SeenBuilds& seen, const std::vector<BuildEntry>& entries, uint64_t pollInstant,
                             uint64_t scanBegan, uint64_t scanEnded, const BuildProbe& probe)
{
    // A poll that searched nothing (the timer's, with nothing changed) has no new write to tell.
    const bool searchedNow =
        std::any_of(entries.begin(), entries.end(), [&](const BuildEntry& e) { return e.searched == pollInstant; });
    const std::vector<bool> isNew = searchedNow ? NewBuilds(seen, entries, pollInstant) : std::vector<bool>(entries.size());
    Completion done;
    done.act.assign(entries.size(), false);

    for (size_t i = 0; i < entries.size(); ++i) {
        const BuildEntry& e = entries[i];
        // An entry kept from an earlier search says nothing of the file as it is now.
        if (e.searched != pollInstant)
            continue;
        const bool quiet = LookAtBuild(seen, e.hexPath, { e.size, e.lastWrite, scanBegan, scanEnded }, isNew[i]);
        const auto w = seen.waiting.find(e.hexPath);
        if (w == seen.waiting.end())
            continue;
        // The handle must show the file the search saw: a write in between is a new look's matter.
        const std::optional<HexProof> proof = probe.openAlone(e.hexPath);
        if (proof && proof->size == e.size && proof->lastWrite == e.lastWrite && proof->endsWithEofRecord) {
            seen.waiting.erase(w);
            if (proof->identity) {
                const std::pair<FileIdentity, uint64_t> build{ *proof->identity, proof->lastWrite };
                if (std::find(seen.acted.begin(), seen.acted.end(), build) != seen.acted.end())
                    continue;
                if (seen.acted.size() >= ActedKept)
                    seen.acted.erase(seen.acted.begin());
                seen.acted.push_back(build);
            }
            done.act[i] = true;
            continue;
        }
        WaitingBuild& waiting = w->second;
        // Left unchanged by a writer that let go, and still without its end: cut short. It waits for
        // a change, which a notification or a later search brings, without asking for more looks.
        if (quiet && proof && proof->size == e.size && proof->lastWrite == e.lastWrite) {
            waiting.lookAgainAt = 0;
            continue;
        }
        if (waiting.unchangedSince == scanEnded)
            waiting.lookAgainAfter = FirstLookAgain;   // changed in this search: look again soon
        const uint64_t quietAt = waiting.unchangedSince + QuietTime;
        const uint64_t retryAt = scanEnded + waiting.lookAgainAfter;
        waiting.lookAgainAt = quietAt > scanEnded ? std::min(quietAt, retryAt) : retryAt;
        waiting.lookAgainAfter = std::min(QuietTime, 2 * waiting.lookAgainAfter);
    }

    std::erase_if(seen.waiting, [&](const auto& w) { return w.second.lastSeen + ForgetWaitingAfter < scanEnded; });
    for (auto& [path, w] : seen.waiting) {
        // Due, so its folder was searched, but not found there: gone. A notification or the next whole
        // scan finds it if it comes back.
        if (w.lastSeen != scanEnded && w.lookAgainAt != 0 && w.lookAgainAt <= scanEnded)
            w.lookAgainAt = 0;
    }
    for (const auto& [path, w] : seen.waiting)
        if (w.lookAgainAt != 0 && (done.lookAgainAt == 0 || w.lookAgainAt < done.lookAgainAt))
            done.lookAgainAt = w.lookAgainAt;
    return done;
}
