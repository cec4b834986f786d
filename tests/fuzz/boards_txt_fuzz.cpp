// A boards.txt text read for a board, the fqbn taken from the input's first line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analyzer/BoardFiles.h"
#include "base/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t lineEnd = input.find('\n');
    const std::optional<Fqbn> fqbn = ParseFqbn(input.substr(0, lineEnd));
    if (!fqbn)
        return 0;
    const std::string_view boards = lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);
    const std::optional<BoardMaxima> maxima = ReadBoardMaxima(boards, *fqbn);
    if (maxima && (maxima->name.size() > BoardNameLimit || HasControlCharacter(maxima->name) ||
                   maxima->programBytes == 0u || maxima->dataBytes == 0u))
        __builtin_trap();
    return 0;
}
