#include "analyzer/ElfImage.h"

#include <algorithm>
#include <array>

#include "base/Text.h"


namespace {

constexpr uint16_t ElfMachineAvr = 83;
constexpr uint32_t SectionTypeNote = 7;
constexpr size_t ElfHeaderBytes = 52;
constexpr size_t SectionHeaderBytes = 40;
constexpr size_t DeviceNameLimit = 64;
// The longest section name looked for: ".note.gnu.avr.deviceinfo".
constexpr size_t SectionNameLimit = 24;

// The little-endian value of width bytes at offset, or nullopt when they lie beyond the bytes.
std::optional<uint32_t> Read(std::string_view bytes, uint64_t offset, size_t width)
{
    if (offset > bytes.size() || bytes.size() - offset < width)
        return std::nullopt;
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;)
        value = (value << 8) | uint8_t(bytes[size_t(offset) + i]);
    return value;
}

// The zero-ended text at offset within bytes, or nullopt when no zero ends it within them or within
// the first limit + 1 bytes: a name longer than limit is none the caller looks for, and a table
// without a zero must not be searched to its end for each name that points into it.
std::optional<std::string_view> ZeroEnded(std::string_view bytes, uint64_t offset, size_t limit)
{
    if (offset >= bytes.size())
        return std::nullopt;
    const std::string_view rest = bytes.substr(size_t(offset), limit + 1);
    const size_t end = rest.find('\0');
    if (end == std::string_view::npos)
        return std::nullopt;
    return rest.substr(0, end);
}

// The bytes of [offset, offset + size), or nullopt when they do not lie wholly within bytes.
std::optional<std::string_view> Span(std::string_view bytes, uint64_t offset, uint64_t size)
{
    if (offset > bytes.size() || bytes.size() - offset < size)
        return std::nullopt;
    return bytes.substr(size_t(offset), size_t(size));
}

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
        const uint32_t nameSize = *Read(note, at, 4);
        const uint32_t descSize = *Read(note, at + 4, 4);
        const uint32_t type = *Read(note, at + 8, 4);
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
                *words[i] = *Read(*desc, i * 4, 4);
            const auto tableSize = Read(*desc, 24, 4);
            const uint64_t stringsAt = 24 + uint64_t(tableSize.value_or(0));
            if (tableSize && *tableSize >= 8 && stringsAt <= desc->size()) {
                const auto device = ZeroEnded(desc->substr(size_t(stringsAt)), *Read(*desc, 28, 4), DeviceNameLimit);
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
    if (bytes.size() < ElfHeaderBytes || bytes.substr(0, 6) != std::string_view("\x7f" "ELF\x01\x01", 6) ||
        *Read(bytes, 18, 2) != ElfMachineAvr)
        return std::nullopt;
    const uint32_t tableAt = *Read(bytes, 32, 4);
    const uint32_t entrySize = *Read(bytes, 46, 2);
    const uint32_t count = *Read(bytes, 48, 2);
    const uint32_t namesIndex = *Read(bytes, 50, 2);
    if (entrySize < SectionHeaderBytes || count == 0 || namesIndex >= count ||
        !Span(bytes, tableAt, uint64_t(entrySize) * count))
        return std::nullopt;

    const auto header = [&](uint32_t index, size_t field) {
        return *Read(bytes, tableAt + uint64_t(entrySize) * index + field, 4);
    };
    const auto names = Span(bytes, header(namesIndex, 16), header(namesIndex, 20));
    if (!names)
        return std::nullopt;

    ElfImage image;
    struct Counted { std::string_view name; uint64_t ElfImage::*size; };
    static constexpr Counted CountedSections[] = {
        { ".text", &ElfImage::text }, { ".data", &ElfImage::data }, { ".bootloader", &ElfImage::bootloader },
        { ".bss", &ElfImage::bss }, { ".noinit", &ElfImage::noinit }, { ".eeprom", &ElfImage::eeprom },
    };
    for (uint32_t i = 0; i < count; ++i) {
        const auto name = ZeroEnded(*names, header(i, 0), SectionNameLimit);
        if (!name)
            continue;
        const uint32_t size = header(i, 20);
        for (const Counted& c : CountedSections)
            if (*name == c.name)
                image.*c.size += size;   // the IDE adds up every section of the name
        if (*name == ".note.gnu.avr.deviceinfo" && header(i, 4) == SectionTypeNote && !image.device)
            if (const auto note = Span(bytes, header(i, 16), size))
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
