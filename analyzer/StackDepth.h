// analyzer/StackDepth.h: how deep the stack of an AVR program (avr5: two-byte return addresses, such
// as the ATmega32U4's) can go, read from its .elf bytes alone: the deepest path from the reset vector
// through main, plus the interrupts that can come on top of it. Follows the stack pointer through each
// function's code as the compiler and avr-libc write it (pushes and pops, frames made and torn down
// through SPL/SPH, libgcc's -mcall-prologues helpers, switch tables, tail jumps), each function once;
// calls through pointers go to the functions in the vtable slot they read (of the vtables the object
// may have, as far as the objects passed from call to call and the constructors' stores tell), or,
// for any other pointer, to every function whose address the program takes. Where the code leaves
// the depth open (a recursion, a write to SP it cannot follow, a pointer call with nowhere known to
// go) the figure is a lower bound, and says why. Runs no tool, and knows nothing of the heap but
// whether malloc is linked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct StackStep {
    std::string function;   // the ELF symbol's own (mangled) name of the function; "" when no symbol covers it
    uint32_t address = 0;   // the function's byte address
    uint32_t bytes = 0;     // what it adds: its pushes and frame plus the return address of the call into it
    uint32_t total = 0;     // the running total, down to and with this function
    bool interrupt = false; // a row of an interrupt that comes on top of the main path
};

enum class StackUnbounded { None, Recursion, SpWrite, PointerCall };

struct StackDepth {
    uint32_t bytes = 0;                                  // the deepest: main path plus the interrupts on top
    StackUnbounded unbounded = StackUnbounded::None;     // None: a bound ("up to"); else bytes is a lower bound ("at least")
    std::string unboundedFunction;                       // the mangled name of the function that makes it unbounded
    std::vector<StackStep> path;                         // the deepest path from the reset vector down, then the interrupt rows
    bool mallocLinked = false;                           // malloc is linked (the heap takes from the same RAM, uncounted)
};

// nullopt when the bytes are not an AVR ELF whose .text and symbols can be read, or whose code is
// larger than an avr5 device's flash or takes more than the analysis' step budget to follow.
std::optional<StackDepth> DeepestStack(std::string_view elfBytes);
