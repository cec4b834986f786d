// The program an .elf file's bytes give: its code, data and symbols lie within the bytes, and the
// symbols' names within their limit.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analyzer/ElfProgram.h"
#include "analyzer/ElfRead.h"

namespace {

bool Within(std::string_view part, std::string_view whole)
{
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<ElfProgram> program = ReadElfProgram(bytes);
    if (!program)
        return 0;
    if (!Within(program->text, bytes) || !Within(program->data, bytes) || program->symbols.size() > size / 16)
        __builtin_trap();
    for (const ElfSymbol& s : program->symbols)
        if (!Within(s.name, bytes) || s.name.size() > ElfNameLimit || s.name.find('\0') != std::string_view::npos)
            __builtin_trap();
    return 0;
}
