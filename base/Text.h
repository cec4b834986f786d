// base/Text.h: the text helpers that every part of the agent uses: decimal numbers, trimming, the
// file name of a path and a path's trailing backslashes, replacing, hexadecimal digits, and a file
// time or size from its two halves. Pure functions without Windows: any folder may include this. Bytes of
// 0x80 and above are ordinary text; nothing goes through a locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Decimal digits with a leading minus for negative values; no space, no grouping.
std::string DecimalText(int64_t value);

// Decimal digits grouped by three with commas: 1234567 gives "1,234,567".
std::string GroupedThousands(int64_t value);

// text without the leading and trailing characters that are among blanks.
std::string_view Trimmed(std::string_view text, std::string_view blanks);
// Leading and trailing space characters removed; tabs and line ends stay.
std::string TrimSpaces(std::string_view text);

// True for the characters of a plain name that no path, key or command line reads as anything but
// itself: ASCII letters, digits, '_' and '-'.
bool IsNameCharacter(char c);

// The UTF-8 bytes of a Unicode code point (at most U+10FFFF) appended to out.
void AppendUtf8(std::string& out, uint32_t code);

// FNV-1a over the bytes: a 64-bit hash that is the same on every run and every machine. It tells
// texts apart; it is no proof against someone who makes two texts alike on purpose.
uint64_t TextHash(std::string_view bytes);
// The lowest digits hexadecimal digits of value, lowercase, leading zeros kept.
std::string HexDigits(uint64_t value, int digits);

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
// An ASCII capital letter as its small one; any other byte as it is.
char LowerAscii(char c);

// The value of 1 to 19 decimal digits and nothing else; nullopt for any other text.
std::optional<uint64_t> DecimalNumber(std::string_view digits);

// The folder part of a path: everything up to and with its last backslash; "" without one.
std::string ParentFolder(std::string_view path);

// The parts of text between the delimiters, in order: n delimiters give n + 1 parts, empty ones too.
std::vector<std::string_view> SplitAt(std::string_view text, char delimiter);

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
