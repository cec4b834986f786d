// analyzer/SymbolRow.h: one symbol of the program as avr-nm reports it: its name, its type letter
// and its size in bytes.
#pragma once

#include <cstdint>
#include <string>

struct SymbolRow {
    std::string name;
    std::string type;
    int32_t size = 0;
    bool operator==(const SymbolRow&) const = default;
};
