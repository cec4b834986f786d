// A symbol name demangled: never a crash, a text of bounded length, and the name itself back for
// anything that is not a mangled C++ name, with avr-nm's prefix and suffix kept around the rest.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "analyzer/Demangle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view symbol(reinterpret_cast<const char*>(data), size);
    const std::string name = DemangledName(symbol);
    if (name != DemangledName(symbol))
        __builtin_trap();
    if (size > DemangleSymbolLimit) {
        if (name != symbol)
            __builtin_trap();
        return 0;
    }
    const size_t from = symbol.find_first_not_of(".$");
    const std::string_view core = from == std::string_view::npos ? std::string_view() : symbol.substr(from);
    const std::string_view suffix = symbol.substr(std::min(symbol.find('@', from == std::string_view::npos ? size : from), size));
    const bool mayBeMangled = core.substr(0, 2) == "_Z" || core.substr(0, 8) == "_GLOBAL_";
    if (!mayBeMangled && name != symbol)
        __builtin_trap();
    if (name.size() > size + 16384 || name.compare(0, from == std::string_view::npos ? size : from, symbol, 0, from) != 0)
        __builtin_trap();
    if (name.size() < suffix.size() || std::string_view(name).substr(name.size() - suffix.size()) != suffix)
        __builtin_trap();
    return 0;
}
