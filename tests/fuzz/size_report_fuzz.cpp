// The avr-size report as the SRAM line reads it: whatever the bytes, the line keeps its frame and
// each count is one field, free of blanks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "analyzer/Analysis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view report(reinterpret_cast<const char*>(data), size);
    const std::string line = SramSummaryText(SramCountsOf(report));
    const std::string_view head = "SRAM: ", middle = " B in static data, ", tail = " B in uninitialized variables";
    if (line.rfind(head, 0) != 0 || line.size() < tail.size() || line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
        __builtin_trap();
    const size_t split = line.find(middle, head.size());
    if (split == std::string::npos)
        __builtin_trap();
    const std::string dataCount = line.substr(head.size(), split - head.size());
    const std::string bssCount = line.substr(split + middle.size(), line.size() - tail.size() - split - middle.size());
    for (const std::string* count : { &dataCount, &bssCount })
        if (count->find_first_of(" \t") != std::string::npos)
            __builtin_trap();
    return 0;
}
