#include "analyzer/ElfProgram.h"

#include "analyzer/ElfImage.h"
#include "analyzer/ElfRead.h"

namespace {

constexpr uint32_t SymbolBytes = 16;
constexpr uint32_t ProgramHeaderBytes = 32;
constexpr uint32_t SegmentLoad = 1;

const ElfSection* Named(const std::vector<ElfSection>& sections, std::string_view name, uint32_t type)
{
    for (const ElfSection& s : sections)
        if (s.name && *s.name == name && s.type == type)
            return &s;
    return nullptr;
}

// Where the loadable segment that holds the section's file bytes puts them in flash; the section's
// own address when no segment holds them.
uint32_t LoadAddress(std::string_view bytes, const ElfSection& section)
{
    const uint32_t tableAt = *ReadLittle(bytes, 28, 4);
    const uint32_t entrySize = *ReadLittle(bytes, 42, 2);
    const uint32_t count = *ReadLittle(bytes, 44, 2);
    if (entrySize < ProgramHeaderBytes || !Span(bytes, tableAt, uint64_t(entrySize) * count))
        return section.address;
    for (uint32_t i = 0; i < count; ++i) {
        const auto field = [&](size_t at) { return *ReadLittle(bytes, tableAt + uint64_t(entrySize) * i + at, 4); };
        const uint32_t offset = field(4), virtualAddress = field(8), fileSize = field(16);
        if (field(0) == SegmentLoad && section.offset >= offset && section.offset - offset < fileSize &&
            section.address - virtualAddress == section.offset - offset)
            return field(12) + (section.offset - offset);
    }
    return section.address;
}

}  // namespace

std::optional<ElfProgram> ReadElfProgram(std::string_view bytes)
{
    bytes = bytes.substr(0, ElfByteLimit);
    const auto sections = ReadElfSections(bytes);
    if (!sections)
        return std::nullopt;
    const ElfSection* text = Named(*sections, ".text", ElfProgramBits);
    const ElfSection* symbolTable = nullptr;
    for (const ElfSection& s : *sections)
        if (s.type == ElfSymbolTable) {
            symbolTable = &s;
            break;
        }
    if (!text || !symbolTable || symbolTable->link >= sections->size() ||
        (*sections)[symbolTable->link].type != ElfStringTable)
        return std::nullopt;
    const ElfSection& stringTable = (*sections)[symbolTable->link];
    const auto code = Span(bytes, text->offset, text->size);
    const auto entries = Span(bytes, symbolTable->offset, symbolTable->size);
    const auto strings = Span(bytes, stringTable.offset, stringTable.size);
    if (!code || !entries || !strings)
        return std::nullopt;

    ElfProgram program;
    program.text = *code;
    program.textAddress = text->address;
    program.textSection = uint16_t(text - sections->data());
    if (const ElfSection* data = Named(*sections, ".data", ElfProgramBits))
        if (const auto initial = Span(bytes, data->offset, data->size)) {
            program.data = *initial;
            program.dataAddress = data->address;
            program.dataLoadAddress = LoadAddress(bytes, *data);
            program.dataSection = uint16_t(data - sections->data());
        }

    const uint32_t entrySize = symbolTable->entrySize >= SymbolBytes ? symbolTable->entrySize : SymbolBytes;
    std::vector<uint32_t> nameAt;
    for (uint64_t at = 0; at + SymbolBytes <= entries->size(); at += entrySize) {
        const uint32_t kind = *ReadLittle(*entries, at + 12, 1) & 0x0F;
        if (kind > 2)   // sections, files and the like name no code or data
            continue;
        ElfSymbol symbol;
        symbol.value = *ReadLittle(*entries, at + 4, 4);
        symbol.size = *ReadLittle(*entries, at + 8, 4);
        symbol.type = kind == 2 ? ElfSymbolType::Function : kind == 1 ? ElfSymbolType::Object : ElfSymbolType::NoType;
        symbol.section = uint16_t(*ReadLittle(*entries, at + 14, 2));
        program.symbols.push_back(symbol);
        nameAt.push_back(*ReadLittle(*entries, at, 4));
    }
    const std::vector<std::optional<std::string_view>> names = ZeroEndedNames(*strings, nameAt);
    for (size_t i = 0; i < names.size(); ++i)
        program.symbols[i].name = names[i].value_or(std::string_view());
    return program;
}
