// analyzer/AvrDecode.h: one instruction of the AVR instruction set (the avr5 cores', such as the
// ATmega32U4's, with the extended ones the encoding table holds), decoded from a program's code bytes
// at a byte address: what it does, its length and its operands, with the byte address a jump, call or
// branch goes to. Decodes only: knows nothing of functions, symbols or the stack. A word the
// instruction set leaves undefined decodes as AvrOp::Unknown, one word long.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

enum class AvrOp : uint8_t {
    Unknown,
    Nop, Movw, Muls, Mulsu, Fmul, Fmuls, Fmulsu, Mul,
    Cpc, Sbc, Add, Cpse, Cp, Sub, Adc, And, Eor, Or, Mov,
    Cpi, Sbci, Subi, Ori, Andi, Ldi, Adiw, Sbiw,
    Com, Neg, Swap, Inc, Asr, Lsr, Ror, Dec,
    Ld, St, Lds, Sts, Lpm, Elpm, Spm, Xch, Las, Lac, Lat, Push, Pop,
    In, Out, Cbi, Sbi, Sbic, Sbis,
    Bset, Bclr, Bld, Bst, Sbrc, Sbrs, Des,
    Rjmp, Rcall, Jmp, Call, Ijmp, Eijmp, Icall, Eicall, Ret, Reti, Brbs, Brbc,
    Sleep, Break, Wdr,
};

// How ld, st, lpm, elpm and spm address memory. None for lpm, elpm and spm without operands (r0 and Z).
enum class AvrPointer : uint8_t {
    None, X, XPostIncrement, XPreDecrement, Y, YPostIncrement, YPreDecrement, Z, ZPostIncrement, ZPreDecrement,
};

struct AvrInstruction {
    AvrOp op = AvrOp::Unknown;
    uint8_t length = 2;           // bytes: 4 for jmp, call, lds and sts, else 2
    uint8_t rd = 0;               // the register written, compared or stored (the lower of a pair)
    uint8_t rr = 0;               // the second register read (the lower of a pair for movw)
    AvrPointer pointer = AvrPointer::None;
    uint8_t displacement = 0;     // q of ld/st through Y+q or Z+q (ldd/std); 0 for plain Y and Z
    uint8_t bit = 0;              // the bit of bld/bst/sbrc/sbrs/cbi/sbi/sbic/sbis, the flag of bset/bclr/brbs/brbc
    uint16_t immediate = 0;       // K of the immediate forms and of des; the I/O address of in/out/cbi/sbi/sbic/sbis;
                                  // the data address of lds/sts
    uint32_t target = 0;          // the byte address that rjmp/rcall/jmp/call/brbs/brbc go to (modulo 2^32)
    uint16_t word = 0;            // the first word as it stands
};

// The instruction at the byte address, with the code's first byte at codeAddress: nullopt when the
// address is odd or the instruction does not lie wholly within the code.
std::optional<AvrInstruction> DecodeAvr(std::string_view code, uint32_t codeAddress, uint32_t address);

// True for the instructions that skip the next one when their condition holds: cpse, sbrc, sbrs,
// sbic and sbis.
bool SkipsNext(AvrOp op);
