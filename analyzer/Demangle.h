// analyzer/Demangle.h: names a C++ symbol of a build's .elf as the AVR toolchain's binutils 2.26
// print it (avr-nm -C, avr-c++filt -i), so that a function found in the file's own symbol table
// carries the same name as in the avr-nm report. Reads the Itanium C++ mangling that avr-gcc 5 and
// 7 emit: nested, local and template names, constructors and destructors, operators and
// conversions, types with their qualifiers, declarators and substitutions, template arguments and
// literals, GCC's clone suffixes and the special names (vtables, typeinfo, thunks, guard variables).
// Won't demangle the pre-3.0 GNU mangling that binutils 2.26 still tries on other names (GCC has
// not emitted it for twenty years), nor forms added to the mangling after that release, nor follow
// that release into what it makes of malformed names (a substitution in a nested name that refers
// to nothing, a data name with a member function's qualifiers): those stay as they are.
//
// The symbol is untrusted: its length is capped, the reader's nesting and the printed text are
// bounded, and a name that would print beyond them is given back as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest symbol that is read: a real one is a few hundred characters; a longer one is given
// back unchanged.
constexpr size_t DemangleSymbolLimit = 4096;

// The name as binutils' demangler (avr-c++filt, avr-nm -C) prints it; the name itself when it is not a
// mangled C++ name or uses a form this reader does not know. As avr-nm does, leading '.' and '$'
// characters and a version suffix from the first '@' on stand around the demangled text.
std::string DemangledName(std::string_view symbol);
