#include "analyzer/ElfRead.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr uint16_t ElfMachineAvr = 83;
constexpr size_t ElfHeaderBytes = 52;
constexpr size_t SectionHeaderBytes = 40;

}  // namespace

std::optional<uint32_t> ReadLittle(std::string_view bytes, uint64_t offset, size_t width)
{
    if (offset > bytes.size() || bytes.size() - offset < width)
        return std::nullopt;
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;)
        value = (value << 8) | uint8_t(bytes[size_t(offset) + i]);
    return value;
}

std::optional<std::string_view> Span(std::string_view bytes, uint64_t offset, uint64_t size)
{
    if (offset > bytes.size() || bytes.size() - offset < size)
        return std::nullopt;
    return bytes.substr(size_t(offset), size_t(size));
}

std::optional<std::string_view> ZeroEnded(std::string_view bytes, uint64_t offset)
{
    if (offset >= bytes.size())
        return std::nullopt;
    const std::string_view rest = bytes.substr(size_t(offset));
    const size_t end = rest.find('\0');
    if (end == std::string_view::npos)
        return std::nullopt;
    return rest.substr(0, end);
}

std::vector<std::optional<std::string_view>> ZeroEndedNames(std::string_view table,
                                                            const std::vector<uint32_t>& offsets)
{
    // Taken in the order of their offsets, each search for a zero starts past the zero found last,
    // so that no byte is looked at twice.
    std::vector<size_t> order(offsets.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    std::vector<std::optional<std::string_view>> names(offsets.size());
    size_t zero = 0;
    bool searched = false;
    for (size_t i : order) {
        const size_t at = offsets[i];
        if (at >= table.size())
            break;
        if (!searched || zero < at) {
            zero = std::min(table.find('\0', at), table.size());
            searched = true;
        }
        if (zero < table.size() && zero - at <= ElfNameLimit)
            names[i] = table.substr(at, zero - at);
    }
    return names;
}

std::optional<std::vector<ElfSection>> ReadElfSections(std::string_view bytes)
{
    if (bytes.size() < ElfHeaderBytes || bytes.substr(0, 6) != std::string_view("\x7f" "ELF\x01\x01", 6) ||
        *ReadLittle(bytes, 18, 2) != ElfMachineAvr)
        return std::nullopt;
    const uint32_t tableAt = *ReadLittle(bytes, 32, 4);
    const uint32_t entrySize = *ReadLittle(bytes, 46, 2);
    const uint32_t count = *ReadLittle(bytes, 48, 2);
    const uint32_t namesIndex = *ReadLittle(bytes, 50, 2);
    if (entrySize < SectionHeaderBytes || count == 0 || namesIndex >= count ||
        !Span(bytes, tableAt, uint64_t(entrySize) * count))
        return std::nullopt;

    std::vector<ElfSection> sections(count);
    std::vector<uint32_t> nameAt(count);
    for (uint32_t i = 0; i < count; ++i) {
        const auto field = [&](size_t at) { return *ReadLittle(bytes, tableAt + uint64_t(entrySize) * i + at, 4); };
        ElfSection& s = sections[i];
        nameAt[i] = field(0);
        s.type = field(4);
        s.flags = field(8);
        s.address = field(12);
        s.offset = field(16);
        s.size = field(20);
        s.link = field(24);
        s.info = field(28);
        s.entrySize = field(36);
    }
    const auto names = Span(bytes, sections[namesIndex].offset, sections[namesIndex].size);
    if (!names)
        return std::nullopt;
    const std::vector<std::optional<std::string_view>> found = ZeroEndedNames(*names, nameAt);
    for (uint32_t i = 0; i < count; ++i)
        sections[i].name = found[i];
    return sections;
}
