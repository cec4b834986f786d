// analyzer/ElfProgram.h: the program in a build's .elf, read from the file's own bytes for the stack
// analysis: the code of .text with its address, the initial values of .data with where the chip sees
// them and where the start-up code copies them from, and the symbol table. Reads only a 32-bit
// little-endian AVR ELF file, at most ElfByteLimit bytes of it; every offset and size is checked
// against the bytes given, and the texts are views into them, so that a hostile file gives no
// program, never a read out of bounds or an allocation larger than the file. Neither disassembles
// nor demangles.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

enum class ElfSymbolType { NoType, Object, Function };

struct ElfSymbol {
    std::string_view name;   // empty when the string table gives none within ElfNameLimit bytes
    uint32_t value = 0, size = 0;
    ElfSymbolType type = ElfSymbolType::NoType;
    uint16_t section = 0;    // the index of the section it lies in (special indices as the file gives them)
};

// Every view points into the bytes given to ReadElfProgram and lives as long as they do.
struct ElfProgram {
    std::string_view text;          // the bytes of .text
    uint32_t textAddress = 0;       // its address in flash
    uint16_t textSection = 0;       // its index in the section table
    std::string_view data;          // the bytes of .data: empty when the file has none
    uint32_t dataAddress = 0;       // its address as the linker gives it, 0x800100 for RAM at 0x100
    uint32_t dataLoadAddress = 0;   // where in flash its bytes lie (its address when no segment says)
    uint16_t dataSection = 0;       // its index in the section table; 0 without .data
    std::vector<ElfSymbol> symbols; // the FUNC, OBJECT and NOTYPE symbols of .symtab, in its order
};

// The program of the file whose first bytes are given: nullopt when they are not a 32-bit
// little-endian AVR ELF file with .text, .symtab and its string table wholly inside them.
std::optional<ElfProgram> ReadElfProgram(std::string_view bytes);
