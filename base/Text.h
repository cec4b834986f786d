// base/Text.h: the text helpers that every part of the agent uses: decimal numbers, trimming, the
// file name of a path and a path's trailing backslashes, replacing, hexadecimal digits, and a file
// time or size from its two halves. Pure functions without Windows: any folder may include this. Bytes of
// 0x80 and above are ordinary text; nothing goes through a locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Decimal digits with a leading minus for negative values; no space, no grouping.
std::string DecimalText(int64_t value);

// Leading and trailing space characters removed; tabs and line ends stay.
std::string TrimSpaces(std::string_view text);

// The text after the last backslash; the whole path without one; empty after a trailing backslash.
std::string PathFileName(std::string_view path);
// The file name of a path without its extension: up to its last dot, or whole without a dot.
std::string ExeBaseName(std::string_view exePath);

// path with every trailing backslash removed and exactly one appended ("" gives "\").
std::string WithOneTrailingBackslash(std::string_view path);
// path with every trailing backslash removed (what the folder label shows).
std::string WithoutTrailingBackslashes(std::string_view path);

// Texts compared as the file system compares names here: ASCII letters without regard to case.
bool SameIgnoringCase(std::string_view a, std::string_view b);

// The folder part of a path: everything up to and with its last backslash; "" without one.
std::string ParentFolder(std::string_view path);

// Every occurrence of from in text replaced with to, left to right, without rescanning what was put
// in; an empty from changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// True for a control character: a byte below 0x20, or 0x7F.
bool IsControlCharacter(char c);
// True when the text holds a control character. In a path a NUL would cut it short at the wide call,
// and a line break would end a command line or a settings value.
bool HasControlCharacter(std::string_view text);

// True when text starts with a drive: a letter, ':' and '\' or '/' ("C:\...", "d:/...").
bool StartsWithDrive(std::string_view text);

// folder and name with one backslash between them: none is added after a folder that ends with
// '\' or '/' (a drive root already does), and an empty folder gives name alone.
std::string Joined(std::string_view folder, std::string_view name);

// The value of a hexadecimal digit (0-9, a-f, A-F), or -1 for any other character.
int HexDigitValue(char c);

// A 64-bit value that Windows hands over in halves (a file time, a file size, a file index) from its
// high and low 32 bits.
constexpr uint64_t JoinHalves(uint32_t high, uint32_t low)
{
    return (uint64_t{high} << 32) | low;
}
