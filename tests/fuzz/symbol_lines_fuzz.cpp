// The avr-nm report cut into lines and read field by field, and the FLASH line over them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "analyzer/Analysis.h"
#include "base/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view map(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = CutSymbolLines(map);

    // The lines, each given back its CR LF, are the text up to its last CR LF.
    std::string joined;
    for (const std::string& line : lines) {
        if (line.find("\r\n") != std::string::npos)
            __builtin_trap();
        joined += line + "\r\n";
    }
    const size_t last = map.rfind("\r\n");
    if (joined != map.substr(0, last == std::string_view::npos ? 0 : last + 2))
        __builtin_trap();

    for (const std::string& line : lines) {
        if (SymbolSize(line) < 0 || SymbolType(line).find(' ') != std::string::npos)
            __builtin_trap();
        const std::string name = SymbolName(line);
        if (line.size() > 11 ? name != line.substr(11) : !name.empty())
            __builtin_trap();
    }
    if (FlashSummaryText(SymbolRows(lines)).rfind("FLASH: ", 0) != 0)
        __builtin_trap();

    // Grouping only adds commas.
    int64_t value = 0;
    std::memcpy(&value, data, std::min(size, sizeof value));
    std::string grouped = GroupedThousands(value);
    std::erase(grouped, ',');
    if (grouped != DecimalText(value))
        __builtin_trap();
    return 0;
}
