#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "TestFiles.h"
#include "analyzer/ElfImage.h"
#include "analyzer/ElfProgram.h"
#include "analyzer/ElfRead.h"

namespace {

void Put(std::string& bytes, size_t at, uint32_t value, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

struct Section {
    std::string name;
    uint32_t type = 0;
    std::string content;
    uint32_t address = 0, link = 0, entrySize = 0;
};

struct Segment { uint32_t type, offset, virtualAddress, physicalAddress, size; };

constexpr uint32_t Bits = 1, SymbolTable = 2, StringTable = 3;

// A 32-bit little-endian AVR ELF: the header, the program headers, the sections' contents, the
// section names, then the section table (the null section, the given ones, the names). A segment's
// offset counts from the first section's content.
std::string MakeElf(const std::vector<Section>& sections, const std::vector<Segment>& segments = {})
{
    std::string bytes(52, '\0');
    bytes.replace(0, 6, "\x7f" "ELF\x01\x01", 6);
    Put(bytes, 18, 83, 2);
    Put(bytes, 28, 52, 4);
    Put(bytes, 42, 32, 2);
    Put(bytes, 44, uint32_t(segments.size()), 2);
    const size_t contentAt = 52 + 32 * segments.size();
    for (const Segment& s : segments) {
        std::string header(32, '\0');
        for (size_t i = 0; i < 5; ++i)
            Put(header, 4 * i, (&s.type)[i] + (i == 1 ? uint32_t(contentAt) : 0), 4);
        Put(header, 20, s.size, 4);
        bytes += header;
    }
    std::vector<uint32_t> offsets, nameAt;
    std::string names(1, '\0');
    for (const Section& s : sections) {
        offsets.push_back(uint32_t(bytes.size()));
        bytes += s.content;
        nameAt.push_back(uint32_t(names.size()));
        names += s.name + '\0';
    }
    const uint32_t namesName = uint32_t(names.size());
    names += std::string(".shstrtab") + '\0';
    const uint32_t namesAt = uint32_t(bytes.size());
    bytes += names;
    const size_t tableAt = bytes.size();
    bytes += std::string(40, '\0');
    for (size_t i = 0; i < sections.size(); ++i) {
        std::string header(40, '\0');
        Put(header, 0, nameAt[i], 4);
        Put(header, 4, sections[i].type, 4);
        Put(header, 12, sections[i].address, 4);
        Put(header, 16, offsets[i], 4);
        Put(header, 20, uint32_t(sections[i].content.size()), 4);
        Put(header, 24, sections[i].link, 4);
        Put(header, 36, sections[i].entrySize, 4);
        bytes += header;
    }
    std::string header(40, '\0');
    Put(header, 0, namesName, 4);
    Put(header, 4, StringTable, 4);
    Put(header, 16, namesAt, 4);
    Put(header, 20, uint32_t(names.size()), 4);
    bytes += header;
    Put(bytes, 32, uint32_t(tableAt), 4);
    Put(bytes, 46, 40, 2);
    Put(bytes, 48, uint32_t(sections.size() + 2), 2);
    Put(bytes, 50, uint32_t(sections.size() + 1), 2);
    return bytes;
}

std::string Symbol(uint32_t name, uint32_t value, uint32_t size, uint8_t info, uint16_t section)
{
    std::string s(16, '\0');
    Put(s, 0, name, 4);
    Put(s, 4, value, 4);
    Put(s, 8, size, 4);
    Put(s, 12, info, 1);
    Put(s, 14, section, 2);
    return s;
}

}  // namespace

TEST(ElfProgram, RealBuildHasTheCodeDataAndSymbolsTheBinutilsSee)
{
    const std::string elfPath = std::string(KEVRA_REAL_BUILDS) + "/game-1/Game.ino.elf";
    const std::string bytes = FileBytes(elfPath);
    const std::optional<ElfProgram> program = ReadElfProgram(bytes);
    ASSERT_TRUE(program);
    const std::optional<ElfImage> image = ReadElfImage(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->text, program->text.size());
    EXPECT_EQ(image->data, program->data.size());
    EXPECT_EQ(0u, program->textAddress);
    EXPECT_EQ(0x800100u, program->dataAddress);
    // avr-libc's start-up code copies .data from right after the code.
    EXPECT_EQ(program->text.size(), program->dataLoadAddress);
    // The first instruction is the reset vector's jmp, as avr-objdump shows it.
    const std::string listing = CommandOutput(std::string(KEVRA_AVR_OBJDUMP) + " -d -j .text " + elfPath);
    EXPECT_NE(std::string::npos, listing.find("   0:\t" + [&] {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%02x %02x %02x %02x", uint8_t(program->text[0]), uint8_t(program->text[1]),
                      uint8_t(program->text[2]), uint8_t(program->text[3]));
        return std::string(hex);
    }() + " \tjmp"));
    // Every symbol avr-nm lists, with its value and size.
    std::map<std::string, std::pair<uint32_t, uint32_t>> symbols;
    for (const ElfSymbol& s : program->symbols)
        symbols[std::string(s.name)] = { s.value, s.size };
    std::istringstream nm(CommandOutput(std::string(KEVRA_AVR_NM) + " -S --defined-only " + elfPath));
    size_t listed = 0;
    for (std::string line; std::getline(nm, line); ++listed) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;)
            f.push_back(w);
        ASSERT_GE(f.size(), 3u) << line;
        SCOPED_TRACE(line);
        const auto it = symbols.find(f.back());
        ASSERT_NE(symbols.end(), it);
        EXPECT_EQ(std::stoul(f[0], nullptr, 16), it->second.first);
        if (f.size() == 4) {
            EXPECT_EQ(std::stoul(f[1], nullptr, 16), it->second.second);
        }
    }
    EXPECT_GT(listed, 100u);
    const auto main = std::find_if(program->symbols.begin(), program->symbols.end(),
                                   [](const ElfSymbol& s) { return s.name == "main"; });
    ASSERT_NE(program->symbols.end(), main);
    EXPECT_EQ(ElfSymbolType::Function, main->type);
    EXPECT_EQ(program->textSection, main->section);
}

TEST(ElfProgram, ReadsTheSectionsAndSymbolsAsTheFileGivesThem)
{
    const std::string strings = std::string("\0main\0table\0label\0file.c\0", 25);
    std::string symbols = Symbol(0, 0, 0, 0, 0)                  // the null symbol: NOTYPE, no name
                        + Symbol(1, 0x10, 6, 0x12, 2)             // main: GLOBAL FUNC in .text
                        + Symbol(6, 0x800100, 2, 0x11, 1)         // table: GLOBAL OBJECT in .data
                        + Symbol(12, 0x14, 0, 0x00, 2)            // label: LOCAL NOTYPE
                        + Symbol(18, 0, 0, 0x04, 0xFFF1)          // file.c: FILE, left out
                        + Symbol(0, 0, 0, 0x03, 2);               // a SECTION symbol, left out
    const std::string elf = MakeElf({ { ".data", Bits, "\x12\x34", 0x800100 },
                                      { ".text", Bits, std::string(24, '\x08') },
                                      { ".symtab", SymbolTable, symbols, 0, 4, 16 },
                                      { ".strtab", StringTable, strings } },
                                    { { 1, 0, 0x800100, 0x18, 2 } });   // .data's bytes (first in the file) load at 0x18
    const std::optional<ElfProgram> p = ReadElfProgram(elf);
    ASSERT_TRUE(p);
    EXPECT_EQ(std::string(24, '\x08'), p->text);
    EXPECT_EQ(2u, p->textSection);
    EXPECT_EQ("\x12\x34", p->data);
    EXPECT_EQ(0x800100u, p->dataAddress);
    EXPECT_EQ(0x18u, p->dataLoadAddress);
    EXPECT_EQ(1u, p->dataSection);
    ASSERT_EQ(4u, p->symbols.size());
    EXPECT_EQ("", p->symbols[0].name);
    EXPECT_EQ("main", p->symbols[1].name);
    EXPECT_EQ(ElfSymbolType::Function, p->symbols[1].type);
    EXPECT_EQ(0x10u, p->symbols[1].value);
    EXPECT_EQ(6u, p->symbols[1].size);
    EXPECT_EQ(2u, p->symbols[1].section);
    EXPECT_EQ("table", p->symbols[2].name);
    EXPECT_EQ(ElfSymbolType::Object, p->symbols[2].type);
    EXPECT_EQ(1u, p->symbols[2].section);
    EXPECT_EQ("label", p->symbols[3].name);
    EXPECT_EQ(ElfSymbolType::NoType, p->symbols[3].type);

    // Without a segment holding .data, its load address is its own.
    const std::string unloadedElf = MakeElf({ { ".data", Bits, "\x12\x34", 0x800100 }, { ".text", Bits, "\x08\x95" },
                                              { ".symtab", SymbolTable, symbols, 0, 4, 16 },
                                              { ".strtab", StringTable, strings } });
    const std::optional<ElfProgram> unloaded = ReadElfProgram(unloadedElf);
    ASSERT_TRUE(unloaded);
    EXPECT_EQ(0x800100u, unloaded->dataLoadAddress);
}

TEST(ElfProgram, SymbolNamesAreBoundedAndUnendedOnesDropped)
{
    std::string strings(1, '\0');
    strings += std::string(ElfNameLimit, 'a') + '\0';        // at 1: just within the limit
    strings += std::string(ElfNameLimit + 1, 'b') + '\0';    // one byte over
    const uint32_t last = uint32_t(strings.size());
    strings += "tail";                                       // no zero before the table's end
    const std::string symbols = Symbol(1, 0, 0, 0x12, 1) + Symbol(ElfNameLimit + 2, 0, 0, 0x12, 1) +
                                Symbol(last, 0, 0, 0x12, 1) + Symbol(last + 100, 0, 0, 0x12, 1) +
                                Symbol(5, 0, 0, 0x12, 1);    // inside the first name: its tail
    const std::string elf = MakeElf({ { ".text", Bits, "\x08\x95" }, { ".symtab", SymbolTable, symbols, 0, 3, 16 },
                                      { ".strtab", StringTable, strings } });
    const std::optional<ElfProgram> p = ReadElfProgram(elf);   // its names are views into elf
    ASSERT_TRUE(p);
    ASSERT_EQ(5u, p->symbols.size());
    EXPECT_EQ(std::string(ElfNameLimit, 'a'), p->symbols[0].name);
    EXPECT_EQ("", p->symbols[1].name);
    EXPECT_EQ("", p->symbols[2].name);
    EXPECT_EQ("", p->symbols[3].name);
    EXPECT_EQ(std::string(ElfNameLimit - 4, 'a'), p->symbols[4].name);
}

TEST(ElfProgram, MalformedTablesAreRefused)
{
    const std::string strings = std::string("\0main\0", 6);
    const std::string symbols = Symbol(1, 0, 2, 0x12, 1);
    const auto elf = [&](uint32_t symbolType, uint32_t link, std::string symtab, uint32_t entrySize = 16) {
        return MakeElf({ { ".text", Bits, "\x08\x95" }, { ".symtab", symbolType, symtab, 0, link, entrySize },
                         { ".strtab", StringTable, strings } });
    };
    ASSERT_TRUE(ReadElfProgram(elf(SymbolTable, 3, symbols)));
    EXPECT_FALSE(ReadElfProgram(elf(Bits, 3, symbols)));          // no symbol table
    EXPECT_FALSE(ReadElfProgram(elf(SymbolTable, 1, symbols)));   // linked to .text, no string table
    EXPECT_FALSE(ReadElfProgram(elf(SymbolTable, 9, symbols)));   // linked past the section table
    EXPECT_FALSE(ReadElfProgram(MakeElf({ { ".symtab", SymbolTable, symbols, 0, 2, 16 },
                                          { ".strtab", StringTable, strings } })));   // no .text
    // A table whose last entry is cut short reads the whole ones; one of larger entries steps by them.
    const std::string cutElf = elf(SymbolTable, 3, symbols + symbols.substr(0, 15));
    const std::optional<ElfProgram> cut = ReadElfProgram(cutElf);
    ASSERT_TRUE(cut);
    EXPECT_EQ(1u, cut->symbols.size());
    const std::string wideElf = elf(SymbolTable, 3, symbols + std::string(8, 'x') + symbols, 24);
    const std::optional<ElfProgram> wide = ReadElfProgram(wideElf);
    ASSERT_TRUE(wide);
    EXPECT_EQ(2u, wide->symbols.size());
    // A table or a section past the file's end.
    std::string past = elf(SymbolTable, 3, symbols);
    Put(past, past.size() - 40 * 2 + 20, 0x7FFFFFFF, 4);   // .strtab's size
    EXPECT_FALSE(ReadElfProgram(past));
    for (size_t size = 0; size < past.size(); size += 7)
        ReadElfProgram(std::string_view(past).substr(0, size));   // under the sanitizers: no read out of bounds
}

TEST(ElfProgram, NamesIntoOneTableWithoutZeroAreReadOnce)
{
    // A reader that looked for each name's end anew would read hundreds of gigabytes here.
    const auto started = std::chrono::steady_clock::now();

    // 65,535 section headers, every one named at the start of a 13 MB table with no zero (with the
    // headers, as much as ElfByteLimit lets a file hold).
    const uint32_t count = 0xFFFF;
    std::string bytes(52, '\0');
    bytes.replace(0, 6, "\x7f" "ELF\x01\x01", 6);
    Put(bytes, 18, 83, 2);
    const uint32_t tableAt = uint32_t(bytes.size());
    const uint32_t namesAt = tableAt + count * 40, namesSize = 13u << 20;
    std::string headers(size_t(count) * 40, '\0');
    for (uint32_t i = 0; i < count; ++i) {
        Put(headers, size_t(i) * 40 + 4, Bits, 4);
        Put(headers, size_t(i) * 40 + 16, namesAt, 4);
        Put(headers, size_t(i) * 40 + 20, namesSize, 4);
    }
    bytes += headers + std::string(namesSize, 'n');
    Put(bytes, 32, tableAt, 4);
    Put(bytes, 46, 40, 2);
    Put(bytes, 48, count, 2);
    Put(bytes, 50, 1, 2);
    ASSERT_LE(bytes.size(), ElfByteLimit);
    const std::optional<ElfImage> image = ReadElfImage(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(0u, image->text);
    EXPECT_FALSE(ReadElfProgram(bytes));   // no section is named .text

    // 400,000 symbols, each named at its own offset into an 8 MB string table with no zero.
    const uint32_t symbolCount = 400'000;
    std::string symbols;
    for (uint32_t i = 0; i < symbolCount; ++i)
        symbols += Symbol(i * 20, i, 0, 0x12, 1);
    const std::string elf = MakeElf({ { ".text", Bits, "\x08\x95" }, { ".symtab", SymbolTable, symbols, 0, 3, 16 },
                                      { ".strtab", StringTable, std::string(8u << 20, 's') } });
    const std::optional<ElfProgram> p = ReadElfProgram(elf);
    ASSERT_TRUE(p);
    ASSERT_EQ(symbolCount, p->symbols.size());
    EXPECT_TRUE(std::all_of(p->symbols.begin(), p->symbols.end(), [](const ElfSymbol& s) { return s.name.empty(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}
