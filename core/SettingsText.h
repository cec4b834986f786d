// core/SettingsText.h: the text rule behind the settings file: the copyhex number as stored. A pure
// function, no file access.
#pragma once

#include <cstdint>
#include <string_view>

// The copyhex value of its stored text: the leading decimal number (sign, digits, fraction),
// rounded half to even and clamped to 32 bits; 0 when the text does not start with a number.
int32_t ParseCopyHex(std::string_view text);
