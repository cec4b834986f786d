// The section table and the device note of an .elf file's bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analyzer/ElfImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<ElfImage> image = ReadElfImage(bytes);
    if (image && (size < 52 || bytes.substr(0, 4) != "\x7f" "ELF"))
        __builtin_trap();
    if (image) {
        if (ProgramStorageBytes(*image) < image->text || GlobalVariableBytes(*image) < image->bss)
            __builtin_trap();
        if (image->device && image->device->deviceName.size() > 64)
            __builtin_trap();
    }
    return 0;
}
