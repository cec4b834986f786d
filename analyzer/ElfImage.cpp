#include "analyzer/ElfImage.h"

#include "analyzer/ElfRead.h"

#include <algorithm>

#include "base/Text.h"

namespace {

constexpr size_t DeviceNameLimit = 64;

bool IsDeviceName(std::string_view name)
{
    if (name.empty() || name.size() > DeviceNameLimit)
        return false;
    return std::all_of(name.begin(), name.end(), IsNameCharacter);
}

// The note section's content: entries of name size, description size and type, then the name and
// the description, each padded to 4 bytes. The AVR one (name "AVR", type 1) describes the device:
// six words of memory starts and sizes, then an offset table (its size in bytes, itself included,
// then offsets into the string table that follows it), whose first entry is the device name's.
std::optional<AvrDeviceInfo> ReadDeviceNote(std::string_view note)
{
    const auto padded = [](uint64_t n) { return (n + 3) / 4 * 4; };
    uint64_t at = 0;
    while (note.size() - at >= 12) {
        const uint32_t nameSize = *ReadLittle(note, at, 4);
        const uint32_t descSize = *ReadLittle(note, at + 4, 4);
        const uint32_t type = *ReadLittle(note, at + 8, 4);
        const uint64_t nameAt = at + 12;
        const uint64_t descAt = nameAt + padded(nameSize);
        const auto name = Span(note, nameAt, nameSize);
        const auto desc = Span(note, descAt, descSize);
        if (!name || !desc)
            return std::nullopt;
        if (type == 1 && *name == std::string_view("AVR\0", 4)) {
            if (desc->size() < 24)
                return std::nullopt;
            AvrDeviceInfo info;
            uint32_t* const words[] = { &info.flashStart, &info.flashSize, &info.sramStart,
                                        &info.sramSize, &info.eepromStart, &info.eepromSize };
            for (size_t i = 0; i < std::size(words); ++i)
                *words[i] = *ReadLittle(*desc, i * 4, 4);
            const auto tableSize = ReadLittle(*desc, 24, 4);
            const uint64_t stringsAt = 24 + uint64_t(tableSize.value_or(0));
            if (tableSize && *tableSize >= 8 && stringsAt <= desc->size()) {
                const auto device = ZeroEnded(desc->substr(size_t(stringsAt)), *ReadLittle(*desc, 28, 4));
                if (device && IsDeviceName(*device))
                    info.deviceName = std::string(*device);
            }
            return info;
        }
        at = descAt + padded(descSize);
        if (at > note.size())
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ElfImage> ReadElfImage(std::string_view bytes)
{
    bytes = bytes.substr(0, ElfByteLimit);
    const auto sections = ReadElfSections(bytes);
    if (!sections)
        return std::nullopt;

    ElfImage image;
    struct Counted { std::string_view name; uint64_t ElfImage::*size; };
    static constexpr Counted CountedSections[] = {
        { ".text", &ElfImage::text }, { ".data", &ElfImage::data }, { ".bootloader", &ElfImage::bootloader },
        { ".bss", &ElfImage::bss }, { ".noinit", &ElfImage::noinit }, { ".eeprom", &ElfImage::eeprom },
    };
    for (const ElfSection& s : *sections) {
        if (!s.name)
            continue;
        for (const Counted& c : CountedSections)
            if (*s.name == c.name)
                image.*c.size += s.size;   // the IDE adds up every section of the name
        if (*s.name == ".note.gnu.avr.deviceinfo" && s.type == ElfNote && !image.device)
            if (const auto note = Span(bytes, s.offset, s.size))
                image.device = ReadDeviceNote(*note);
    }
    return image;
}

uint64_t ProgramStorageBytes(const ElfImage& image)
{
    return image.text + image.data + image.bootloader;
}

uint64_t GlobalVariableBytes(const ElfImage& image)
{
    return image.data + image.bss + image.noinit;
}
