// The decoder on any code bytes, at every even address: an instruction lies wholly within the code,
// two or four bytes long, and a relative jump or branch lands where its offset says.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analyzer/AvrDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view code(reinterpret_cast<const char*>(data), size);
    const uint32_t start = 0x100;
    for (uint32_t at = start; at < start + size + 2; at += 2) {
        const std::optional<AvrInstruction> i = DecodeAvr(code, start, at);
        if (!i)
            continue;
        if ((i->length != 2 && i->length != 4) || at - start + i->length > size || i->rd > 31 || i->rr > 31)
            __builtin_trap();
        const int32_t words = int32_t(i->target - at - 2) / 2;
        if ((i->op == AvrOp::Rjmp || i->op == AvrOp::Rcall) && (words < -2048 || words > 2047))
            __builtin_trap();
        if ((i->op == AvrOp::Brbs || i->op == AvrOp::Brbc) && (words < -64 || words > 63))
            __builtin_trap();
    }
    return 0;
}
