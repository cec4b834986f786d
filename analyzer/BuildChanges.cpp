#include "analyzer/BuildChanges.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

#include "analyzer/Analysis.h"
#include "base/Text.h"


namespace {

using SymbolKey = std::pair<std::string, std::string>;   // name, type

std::string SignedBytes(std::optional<int64_t> change)
{
    if (!change)
        return "unknown";
    if (*change == 0)
        return "unchanged";
    return (*change > 0 ? "+" : "") + GroupedThousands(*change) + " bytes";
}

std::string TwoDigits(int value)
{
    const std::string digits = DecimalText(value);
    return value >= 0 && value < 10 ? "0" + digits : digits;
}

}  // namespace

std::vector<SymbolChange> SymbolChanges(const std::vector<SymbolRow>& before, const std::vector<SymbolRow>& after)
{
    // The sizes of each name and type, in each list's order.
    std::map<SymbolKey, std::pair<std::vector<int32_t>, std::vector<int32_t>>> sizes;
    for (const SymbolRow& row : before)
        sizes[{ row.name, row.type }].first.push_back(row.size);
    for (const SymbolRow& row : after)
        sizes[{ row.name, row.type }].second.push_back(row.size);

    struct Ranked { SymbolChange change; size_t occurrence; };
    std::vector<Ranked> ranked;
    for (const auto& [key, lists] : sizes) {
        const auto& [was, is] = lists;
        for (size_t k = 0; k < std::max(was.size(), is.size()); ++k) {
            SymbolChange change{ key.first, key.second, std::nullopt, std::nullopt, 0 };
            if (k < was.size())
                change.before = was[k];
            if (k < is.size())
                change.after = is[k];
            change.change = int64_t(change.after.value_or(0)) - change.before.value_or(0);
            if (change.before != change.after)
                ranked.push_back({ std::move(change), k });
        }
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        const int64_t sizeA = a.change.change < 0 ? -a.change.change : a.change.change;
        const int64_t sizeB = b.change.change < 0 ? -b.change.change : b.change.change;
        if (sizeA != sizeB)
            return sizeA > sizeB;
        return std::tie(a.change.name, a.change.type, a.occurrence) < std::tie(b.change.name, b.change.type, b.occurrence);
    });
    std::vector<SymbolChange> changes;
    changes.reserve(ranked.size());
    for (Ranked& r : ranked)
        changes.push_back(std::move(r.change));
    return changes;
}

std::string SignedChangeText(int64_t change)
{
    return (change > 0 ? "+" : "") + DecimalText(change);
}

std::string ChangeSizeText(std::optional<int32_t> size)
{
    return size ? DecimalText(*size) : std::string();
}

std::string ClockText(int hour, int minute, int second)
{
    return TwoDigits(hour) + ":" + TwoDigits(minute) + ":" + TwoDigits(second);
}

std::string ChangeTotalsLine(std::optional<int64_t> programChange, std::optional<int64_t> dataChange,
                             std::optional<int64_t> stackChange, std::string_view previousClock)
{
    return "Program storage " + SignedBytes(programChange) + ", global variables " + SignedBytes(dataChange) +
           ", stack " + SignedBytes(stackChange) + " since the build of " + std::string(previousClock);
}

std::string NoEarlierBuildLine(std::string_view hexName)
{
    return "No earlier build of " + std::string(hexName) + " to compare with.";
}
