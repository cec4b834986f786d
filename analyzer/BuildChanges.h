// analyzer/BuildChanges.h: what changed between two builds of one sketch, symbol by symbol and in
// the two budget totals, and the texts the changes list and its totals line show. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/SymbolRow.h"

// One symbol that changed size, appeared (no before) or went (no after).
struct SymbolChange {
    std::string name;
    std::string type;
    std::optional<int32_t> before;
    std::optional<int32_t> after;
    int64_t change = 0;   // after - before, an absent size counting 0
};

// The symbols of after that differ from before. A symbol is its name and type; the k-th symbol of
// a name and type in before pairs with the k-th in after (two static functions of one name in two
// files), each list in its own order. Largest absolute change first, then by name, type and k.
std::vector<SymbolChange> SymbolChanges(const std::vector<SymbolRow>& before, const std::vector<SymbolRow>& after);

// A change as its cell shows it: "+24", "-2", "0"; no grouping, as the sizes beside it.
std::string SignedChangeText(int64_t change);
// A size of the Before and After cells: its decimal digits, "" when the symbol was not there.
std::string ChangeSizeText(std::optional<int32_t> size);

// "10:42:13".
std::string ClockText(int hour, int minute, int second);

// "Program storage +24 bytes, global variables -2 bytes, stack +24 bytes since the build of
// 10:42:13": signed and grouped by thousands ("+1,024 bytes"); a total that did not change reads
// "unchanged", one that cannot be worked out (a build's .elf could not be read) "unknown".
std::string ChangeTotalsLine(std::optional<int64_t> programChange, std::optional<int64_t> dataChange,
                             std::optional<int64_t> stackChange, std::string_view previousClock);

// "No earlier build of Blink.hex to compare with."
std::string NoEarlierBuildLine(std::string_view hexName);
