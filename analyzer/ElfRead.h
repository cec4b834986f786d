// analyzer/ElfRead.h: the bounded reads that the .elf readers (ElfImage, ElfProgram) and the readers
// of the code (AvrDecode, StackDepth) share: little-endian values, spans and zero-ended texts at the
// offsets a file gives, and the section table of a 32-bit little-endian AVR ELF file with its section
// names. Every offset and size is checked against the bytes given. The end of a name is searched for
// once per table however many offsets point into it, so that a table without a zero, named by
// thousands of headers, is read through once and not once per header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The longest name read from a string table; a longer one reads as no name.
constexpr size_t ElfNameLimit = 4096;

// The little-endian value of width (at most 4) bytes at offset, or nullopt when they lie beyond the bytes.
std::optional<uint32_t> ReadLittle(std::string_view bytes, uint64_t offset, size_t width);

// The bytes of [offset, offset + size), or nullopt when they do not lie wholly within bytes.
std::optional<std::string_view> Span(std::string_view bytes, uint64_t offset, uint64_t size);

// The zero-ended text at offset within bytes, or nullopt when no zero ends it within them. For one
// look-up; many offsets into one table go through ZeroEndedNames.
std::optional<std::string_view> ZeroEnded(std::string_view bytes, uint64_t offset);

// The names at offsets into a string table, in the offsets' order: each the text from its offset up
// to the next zero, or nullopt when the offset lies outside the table, no zero follows it, or the
// name is longer than ElfNameLimit. Each byte of the table is looked at once at most.
std::vector<std::optional<std::string_view>> ZeroEndedNames(std::string_view table,
                                                            const std::vector<uint32_t>& offsets);

// One entry of the section table, its fields as the file gives them.
struct ElfSection {
    std::optional<std::string_view> name;   // nullopt when the names table gives none (see ZeroEndedNames)
    uint32_t type = 0, flags = 0, address = 0, offset = 0, size = 0, link = 0, info = 0, entrySize = 0;
};

// Section types of the ELF format that the readers look for.
constexpr uint32_t ElfProgramBits = 1, ElfSymbolTable = 2, ElfStringTable = 3, ElfNote = 7;

// The section table of the bytes (the caller caps their number): nullopt when they are not a 32-bit
// little-endian AVR ELF file with a section table and section names wholly inside them.
std::optional<std::vector<ElfSection>> ReadElfSections(std::string_view bytes);
