// analyzer/ElfImage.h: what the budget needs from a build's .elf, read from the file's own bytes:
// the sizes of the sections the Arduino IDE counts, and the chip's memory sizes from the
// .note.gnu.avr.deviceinfo note that avr-libc's start-up code puts in every AVR program. Reads only
// a 32-bit little-endian AVR ELF file; every offset and size in it is checked against the bytes
// given, so that a malformed or hostile file gives absent figures, never a read out of bounds or an
// allocation of its choosing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The most bytes of a .elf that are read. The section table stands at the file's end, after the
// debugging sections, so the cap covers a whole real build (a few hundred KB for a full Leonardo
// sketch with its debugging information); a larger file reads as no ELF.
constexpr size_t ElfByteLimit = size_t(16) << 20;

// The device's memories as the note gives them (start addresses as the chip maps them).
struct AvrDeviceInfo {
    uint32_t flashStart = 0, flashSize = 0;
    uint32_t sramStart = 0, sramSize = 0;
    uint32_t eepromStart = 0, eepromSize = 0;
    std::string deviceName;   // "atmega32u4"; empty when the note names none that reads as a name
};

// The sizes of the counted sections by name, each the sum over the sections of that name (0 for a
// section the file does not have), and the note when present and well formed.
struct ElfImage {
    uint64_t text = 0, data = 0, bootloader = 0, bss = 0, noinit = 0, eeprom = 0;
    std::optional<AvrDeviceInfo> device;
};

// The image of the file whose first bytes are given (at most ElfByteLimit of them count): nullopt
// when they are not a 32-bit little-endian AVR ELF file with a section table and section names
// wholly inside them.
std::optional<ElfImage> ReadElfImage(std::string_view bytes);

// Program storage as the IDE counts it: .text + .data + .bootloader.
uint64_t ProgramStorageBytes(const ElfImage& image);
// Global variables as the IDE counts them: .data + .bss + .noinit. .eeprom counts in neither.
uint64_t GlobalVariableBytes(const ElfImage& image);
