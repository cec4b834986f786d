// The deepest stack of any .elf file's bytes: the analysis ends, and the rows of its path add up to
// the figure.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analyzer/StackDepth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<StackDepth> depth = DeepestStack(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!depth)
        return 0;
    uint64_t running = 0;
    for (const StackStep& s : depth->path) {
        running += s.bytes;
        if (running != s.total)
            __builtin_trap();
    }
    if (running != depth->bytes || (depth->unbounded == StackUnbounded::None && !depth->unboundedFunction.empty()))
        __builtin_trap();
    return 0;
}
