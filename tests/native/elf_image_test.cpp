#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "TestFiles.h"
#include "analyzer/ElfImage.h"

namespace {

// The section sizes of an avr-size -A report: "name size address" lines after the header.
std::map<std::string, uint64_t> AvrSizeSections(const std::string& report)
{
    std::map<std::string, uint64_t> sizes;
    std::istringstream lines(report);
    std::string name;
    uint64_t size = 0, address = 0;
    for (std::string line; std::getline(lines, line);)
        if (std::istringstream fields(line); line.rfind(".", 0) == 0 && fields >> name >> size >> address)
            sizes[name] += size;
    return sizes;
}

void Put(std::string& bytes, size_t at, uint32_t value, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

std::string Word(uint32_t value)
{
    std::string bytes(4, '\0');
    Put(bytes, 0, value, 4);
    return bytes;
}

struct Section {
    std::string name;
    uint32_t type;
    std::string content;
};

// A 32-bit little-endian AVR ELF: the header, the sections' contents, the section names, then the
// section table (the null section, the given ones, the names), as avr-ld lays it out.
std::string MakeElf(const std::vector<Section>& sections)
{
    std::string bytes(52, '\0');
    bytes.replace(0, 6, "\x7f" "ELF\x01\x01", 6);
    Put(bytes, 18, 83, 2);
    std::vector<std::pair<uint32_t, uint32_t>> spans;   // offset, size
    std::string names(1, '\0');
    std::vector<uint32_t> nameAt;
    for (const Section& s : sections) {
        spans.emplace_back(uint32_t(bytes.size()), uint32_t(s.content.size()));
        bytes += s.content;
        nameAt.push_back(uint32_t(names.size()));
        names += s.name + '\0';
    }
    nameAt.push_back(uint32_t(names.size()));
    names += std::string(".shstrtab") + '\0';
    spans.emplace_back(uint32_t(bytes.size()), uint32_t(names.size()));
    bytes += names;
    const size_t tableAt = bytes.size();
    bytes += std::string(40, '\0');   // the null section
    for (size_t i = 0; i <= sections.size(); ++i) {
        std::string header(40, '\0');
        Put(header, 0, nameAt[i], 4);
        Put(header, 4, i < sections.size() ? sections[i].type : 3, 4);
        Put(header, 16, spans[i].first, 4);
        Put(header, 20, spans[i].second, 4);
        bytes += header;
    }
    Put(bytes, 32, uint32_t(tableAt), 4);
    Put(bytes, 46, 40, 2);
    Put(bytes, 48, uint32_t(sections.size() + 2), 2);
    Put(bytes, 50, uint32_t(sections.size() + 1), 2);
    return bytes;
}

// The note as avr-libc writes it: name "AVR", type 1, six memory words, the offset table (its size
// with itself, then the device name's offset) and the string table.
std::string DeviceNote(std::string_view strings, uint32_t tableSize = 8, uint32_t nameOffset = 1)
{
    std::string desc;
    for (uint32_t w : { 0u, 0x8000u, 0x100u, 0xA00u, 0u, 0x400u, tableSize, nameOffset })
        desc += Word(w);
    desc += strings;
    std::string note = Word(4) + Word(uint32_t(desc.size())) + Word(1) + std::string("AVR\0", 4) + desc;
    return note + std::string((4 - note.size() % 4) % 4, '\0');
}

constexpr uint32_t Bits = 1, Note = 7;

}  // namespace

TEST(ElfImage, RealAvrGccBuildHasTheSectionSizesAvrSizeReports)
{
    const std::string elf = FileBytes(KEVRA_BUDGET_ELF);
    std::map<std::string, uint64_t> expected = AvrSizeSections(FileBytes(KEVRA_BUDGET_SIZE));
    ASSERT_GT(elf.size(), 1000u);
    ASSERT_GT(expected[".noinit"], 0u);   // the fixture fills every counted section but .bootloader
    ASSERT_GT(expected[".eeprom"], 0u);

    const std::optional<ElfImage> image = ReadElfImage(elf);
    ASSERT_TRUE(image);
    EXPECT_EQ(expected[".text"], image->text);
    EXPECT_EQ(expected[".data"], image->data);
    EXPECT_EQ(expected[".bss"], image->bss);
    EXPECT_EQ(expected[".noinit"], image->noinit);
    EXPECT_EQ(expected[".eeprom"], image->eeprom);
    EXPECT_EQ(0u, image->bootloader);
    EXPECT_EQ(expected[".text"] + expected[".data"], ProgramStorageBytes(*image));
    EXPECT_EQ(expected[".data"] + expected[".bss"] + expected[".noinit"], GlobalVariableBytes(*image));

    ASSERT_TRUE(image->device);
    EXPECT_EQ("atmega32u4", image->device->deviceName);
    EXPECT_EQ(0u, image->device->flashStart);
    EXPECT_EQ(32768u, image->device->flashSize);
    EXPECT_EQ(0x100u, image->device->sramStart);
    EXPECT_EQ(2560u, image->device->sramSize);
    EXPECT_EQ(1024u, image->device->eepromSize);
}

TEST(ElfImage, EveryTruncationOfTheRealBuildIsRefused)
{
    // avr-ld puts the section table at the file's end: no shorter prefix holds it.
    const std::string elf = FileBytes(KEVRA_BUDGET_ELF);
    ASSERT_TRUE(ReadElfImage(elf));
    for (size_t size = 0; size < elf.size(); ++size)
        ASSERT_FALSE(ReadElfImage(std::string_view(elf).substr(0, size))) << size;
}

TEST(ElfImage, MalformedHeadersAreRefused)
{
    const std::string good = MakeElf({ { ".text", Bits, std::string(100, 'x') } });
    ASSERT_TRUE(ReadElfImage(good));
    EXPECT_EQ(100u, ReadElfImage(good)->text);
    const struct { const char* what; size_t at; uint32_t value; size_t width; } cases[] = {
        { "magic", 1, 'e', 1 },
        { "64-bit class", 4, 2, 1 },
        { "big-endian", 5, 2, 1 },
        { "another machine", 18, 3, 2 },
        { "section table past the end", 32, 0xFFFFFF00, 4 },
        { "section table overlapping the end", 32, uint32_t(good.size() - 40), 4 },
        { "entries shorter than a section header", 46, 39, 2 },
        { "no sections", 48, 0, 2 },
        { "65,535 sections", 48, 0xFFFF, 2 },
        { "names section out of the table", 50, 3, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bad = good;
        Put(bad, c.at, c.value, c.width);
        EXPECT_FALSE(ReadElfImage(bad));
    }
    // The names section's span past the file's end.
    std::string bad = good;
    const size_t namesHeader = bad.size() - 40;
    Put(bad, namesHeader + 20, 0x7FFFFFFF, 4);
    EXPECT_FALSE(ReadElfImage(bad));
    Put(bad, namesHeader + 16, 0xFFFFFFFF, 4);
    Put(bad, namesHeader + 20, 2, 4);
    EXPECT_FALSE(ReadElfImage(bad));
    EXPECT_FALSE(ReadElfImage(good.substr(0, 51)));
}

TEST(ElfImage, SectionsCountByNameAndSizeNotByContent)
{
    const std::optional<ElfImage> image = ReadElfImage(MakeElf({
        { ".text", Bits, std::string(10, 'x') },
        { ".text", Bits, std::string(5, 'x') },        // the IDE adds up every section of a name
        { ".bootloader", Bits, std::string(7, 'x') },
        { ".data", Bits, std::string(3, 'x') },
        { ".texts", Bits, std::string(50, 'x') },      // names match whole
        { ".tex", Bits, std::string(50, 'x') },
        { ".eeprom", Bits, std::string(4, 'x') },
    }));
    ASSERT_TRUE(image);
    EXPECT_EQ(15u, image->text);
    EXPECT_EQ(7u, image->bootloader);
    EXPECT_EQ(25u, ProgramStorageBytes(*image));
    EXPECT_EQ(3u, GlobalVariableBytes(*image));   // .eeprom in neither
    EXPECT_EQ(4u, image->eeprom);
    EXPECT_FALSE(image->device);

    // A .bss section has no bytes in the file: its size is taken as given, however large.
    std::string bss = MakeElf({ { ".bss", 8, "" } });
    Put(bss, bss.size() - 2 * 40 + 20, 0xFFFFFFFF, 4);
    ASSERT_TRUE(ReadElfImage(bss));
    EXPECT_EQ(0xFFFFFFFFu, ReadElfImage(bss)->bss);

    // A section whose name offset lies outside the names section, or runs to its end unended, is skipped.
    std::string misnamed = MakeElf({ { ".data", Bits, "abc" } });
    Put(misnamed, misnamed.size() - 2 * 40, 0xFFFF, 4);
    ASSERT_TRUE(ReadElfImage(misnamed));
    EXPECT_EQ(0u, ReadElfImage(misnamed)->data);
}

TEST(ElfImage, DeviceNoteIsReadOnlyWhenWellFormed)
{
    const std::string strings("\0atmega32u4\0", 12);
    const struct { const char* what; std::string note; bool present; const char* name; } cases[] = {
        { "as avr-libc writes it", DeviceNote(strings), true, "atmega32u4" },
        { "another note before it", Word(4) + Word(4) + Word(3) + std::string("GNU\0", 4) + Word(7) + DeviceNote(strings), true, "atmega32u4" },
        { "name offset past the strings", DeviceNote(strings, 8, 40), true, "" },
        { "name not ended", DeviceNote(std::string("\0atmega32u4", 11)), true, "" },
        { "offset table past the note", DeviceNote(strings, 0x7FFFFFF0), true, "" },
        { "offset table too short", DeviceNote(strings, 4), true, "" },
        { "name not a device name", DeviceNote(std::string("\0at mega\n\0", 10)), true, "" },
        { "name too long", DeviceNote(std::string(1, '\0') + std::string(65, 'a') + '\0'), true, "" },
        { "only the memory words", Word(4) + Word(24) + Word(1) + std::string("AVR\0", 4) + DeviceNote("").substr(16, 24), true, "" },
        { "memory words cut short", Word(4) + Word(20) + Word(1) + std::string("AVR\0", 4) + DeviceNote("").substr(16, 20), false, "" },
        { "description past the note", Word(4) + Word(0xFFFFFFF0) + Word(1) + std::string("AVR\0", 4) + std::string(40, '\0'), false, "" },
        { "name past the note", Word(0xFFFFFFFF) + Word(0) + Word(1), false, "" },
        { "another owner", Word(4) + Word(24) + Word(1) + std::string("GNU\0", 4) + std::string(24, '\0'), false, "" },
        { "another type", Word(4) + Word(24) + Word(2) + std::string("AVR\0", 4) + std::string(24, '\0'), false, "" },
        { "empty", "", false, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<ElfImage> image = ReadElfImage(MakeElf({ { ".text", Bits, "ab" }, { ".note.gnu.avr.deviceinfo", Note, c.note } }));
        ASSERT_TRUE(image);
        EXPECT_EQ(2u, image->text);
        ASSERT_EQ(c.present, image->device.has_value());
        if (c.present) {
            EXPECT_EQ(c.name, image->device->deviceName);
            EXPECT_EQ(2560u, image->device->sramSize);
        }
    }
    // The note is read from a section of the note type only.
    EXPECT_FALSE(ReadElfImage(MakeElf({ { ".note.gnu.avr.deviceinfo", Bits, DeviceNote(strings) } }))->device);
}

TEST(ElfImage, NamesOfEverySectionPointingIntoAnUnendedTableAreEachLookedAtOnce)
{
    // 65,535 section headers, every name but one pointing at the start of a 13 MB names section
    // that holds no zero before its last name: each look-up stops after the longest name looked for,
    // where one that searched the whole table each time would hold the reader for minutes.
    constexpr uint32_t Count = 65535;
    const std::string names = std::string(13u << 20, 'x') + ".data" + '\0';
    std::string bytes(52, '\0');
    bytes.replace(0, 6, "\x7f" "ELF\x01\x01", 6);
    Put(bytes, 18, 83, 2);
    const uint32_t namesAt = uint32_t(bytes.size());
    bytes += names;
    const uint32_t tableAt = uint32_t(bytes.size());
    bytes.resize(tableAt + size_t(Count) * 40, '\0');
    for (uint32_t i = 1; i < Count; ++i) {
        const size_t header = tableAt + size_t(i) * 40;
        Put(bytes, header + 4, Bits, 4);
        Put(bytes, header + 16, namesAt, 4);
        Put(bytes, header + 20, 3, 4);
    }
    Put(bytes, tableAt + 40 + 0, uint32_t(names.size() - 6), 4);   // section 1 is .data
    Put(bytes, tableAt + 2 * 40 + 20, uint32_t(names.size()), 4);  // section 2 holds the names
    Put(bytes, 32, tableAt, 4);
    Put(bytes, 46, 40, 2);
    Put(bytes, 48, Count, 2);
    Put(bytes, 50, 2, 2);
    ASSERT_LE(bytes.size(), ElfByteLimit);
    const std::optional<ElfImage> image = ReadElfImage(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(3u, image->data);
    EXPECT_EQ(0u, image->text);
}
