// analyzer/SymbolRow.h: one symbol of the avr-nm report, as SymbolName, SymbolType and SymbolSize
// read it from its line.
#pragma once

#include <cstdint>
#include <string>

struct SymbolRow {
    std::string name;   // demangled, may hold spaces
    std::string type;   // the type letter as avr-nm prints it
    int32_t size = 0;   // bytes, never negative
};
