#include "analyzer/AvrDecode.h"

#include "analyzer/ElfRead.h"

namespace {

// A relative jump or branch of k words (bits wide, two's complement) from the next instruction.
uint32_t Relative(uint32_t address, uint32_t k, int bits)
{
    const int32_t words = int32_t(k << (32 - bits)) >> (32 - bits);
    return address + 2 + uint32_t(words) * 2;
}

// The operands of the forms "Rd, Rr" with five-bit registers, and "Rd, K" on r16..r31.
void TwoRegisters(AvrInstruction& i, uint16_t w)
{
    i.rd = uint8_t((w >> 4) & 0x1F);
    i.rr = uint8_t((w & 0x0F) | ((w >> 5) & 0x10));
}
void UpperImmediate(AvrInstruction& i, uint16_t w)
{
    i.rd = uint8_t(16 + ((w >> 4) & 0x0F));
    i.immediate = uint16_t(((w >> 4) & 0xF0) | (w & 0x0F));
}

void DecodeZeroGroup(AvrInstruction& i, uint16_t w)
{
    switch ((w >> 8) & 0x0F) {
    case 0x0: i.op = w == 0 ? AvrOp::Nop : AvrOp::Unknown; return;
    case 0x1:
        i.op = AvrOp::Movw;
        i.rd = uint8_t(((w >> 4) & 0x0F) * 2);
        i.rr = uint8_t((w & 0x0F) * 2);
        return;
    case 0x2:
        i.op = AvrOp::Muls;
        i.rd = uint8_t(16 + ((w >> 4) & 0x0F));
        i.rr = uint8_t(16 + (w & 0x0F));
        return;
    case 0x3: {
        static constexpr AvrOp Ops[] = { AvrOp::Mulsu, AvrOp::Fmul, AvrOp::Fmuls, AvrOp::Fmulsu };
        i.op = Ops[((w >> 6) & 2) | ((w >> 3) & 1)];
        i.rd = uint8_t(16 + ((w >> 4) & 0x07));
        i.rr = uint8_t(16 + (w & 0x07));
        return;
    }
    default: {
        static constexpr AvrOp Ops[] = { AvrOp::Unknown, AvrOp::Cpc, AvrOp::Sbc, AvrOp::Add };
        i.op = Ops[(w >> 10) & 3];
        TwoRegisters(i, w);
        return;
    }
    }
}

// 1001 00sd dddd xxxx: the loads (s = 0) and stores (s = 1) through pointers, lds/sts, lpm/elpm,
// xch/las/lac/lat, push and pop.
void DecodeLoadStore(AvrInstruction& i, uint16_t w)
{
    const bool store = (w & 0x0200) != 0;
    i.rd = uint8_t((w >> 4) & 0x1F);
    struct Form { AvrOp load, store; AvrPointer pointer; };
    static constexpr Form Forms[16] = {
        { AvrOp::Lds, AvrOp::Sts, AvrPointer::None },
        { AvrOp::Ld, AvrOp::St, AvrPointer::ZPostIncrement },
        { AvrOp::Ld, AvrOp::St, AvrPointer::ZPreDecrement },
        { AvrOp::Unknown, AvrOp::Unknown, AvrPointer::None },
        { AvrOp::Lpm, AvrOp::Xch, AvrPointer::Z },
        { AvrOp::Lpm, AvrOp::Las, AvrPointer::ZPostIncrement },
        { AvrOp::Elpm, AvrOp::Lac, AvrPointer::Z },
        { AvrOp::Elpm, AvrOp::Lat, AvrPointer::ZPostIncrement },
        { AvrOp::Unknown, AvrOp::Unknown, AvrPointer::None },
        { AvrOp::Ld, AvrOp::St, AvrPointer::YPostIncrement },
        { AvrOp::Ld, AvrOp::St, AvrPointer::YPreDecrement },
        { AvrOp::Unknown, AvrOp::Unknown, AvrPointer::None },
        { AvrOp::Ld, AvrOp::St, AvrPointer::X },
        { AvrOp::Ld, AvrOp::St, AvrPointer::XPostIncrement },
        { AvrOp::Ld, AvrOp::St, AvrPointer::XPreDecrement },
        { AvrOp::Pop, AvrOp::Push, AvrPointer::None },
    };
    const Form& f = Forms[w & 0x0F];
    i.op = store ? f.store : f.load;
    i.pointer = i.op == AvrOp::Unknown ? AvrPointer::None : f.pointer;
    if (i.op == AvrOp::Xch || i.op == AvrOp::Las || i.op == AvrOp::Lac || i.op == AvrOp::Lat)
        i.pointer = AvrPointer::Z;
}

// 1001 010x xxxx xxxx: the one-register operations, the flag and control instructions, jmp and call.
void DecodeOneRegister(AvrInstruction& i, uint16_t w)
{
    i.rd = uint8_t((w >> 4) & 0x1F);
    switch (w & 0x0F) {
    case 0x0: i.op = AvrOp::Com; return;
    case 0x1: i.op = AvrOp::Neg; return;
    case 0x2: i.op = AvrOp::Swap; return;
    case 0x3: i.op = AvrOp::Inc; return;
    case 0x5: i.op = AvrOp::Asr; return;
    case 0x6: i.op = AvrOp::Lsr; return;
    case 0x7: i.op = AvrOp::Ror; return;
    case 0xA: i.op = AvrOp::Dec; return;
    case 0x8:
        i.rd = 0;
        if ((w & 0x0100) == 0) {
            i.op = (w & 0x80) ? AvrOp::Bclr : AvrOp::Bset;
            i.bit = uint8_t((w >> 4) & 7);
            return;
        }
        switch ((w >> 4) & 0x0F) {
        case 0x0: i.op = AvrOp::Ret; return;
        case 0x1: i.op = AvrOp::Reti; return;
        case 0x8: i.op = AvrOp::Sleep; return;
        case 0x9: i.op = AvrOp::Break; return;
        case 0xA: i.op = AvrOp::Wdr; return;
        case 0xC: i.op = AvrOp::Lpm; return;
        case 0xD: i.op = AvrOp::Elpm; return;
        case 0xE: i.op = AvrOp::Spm; return;
        case 0xF: i.op = AvrOp::Spm; i.pointer = AvrPointer::ZPostIncrement; return;
        default: i.op = AvrOp::Unknown; return;
        }
    case 0x9:
        i.rd = 0;
        switch (w & 0x01F0) {
        case 0x0000: i.op = AvrOp::Ijmp; return;
        case 0x0010: i.op = AvrOp::Eijmp; return;
        case 0x0100: i.op = AvrOp::Icall; return;
        case 0x0110: i.op = AvrOp::Eicall; return;
        default: i.op = AvrOp::Unknown; return;
        }
    case 0xB:
        i.rd = 0;
        i.op = (w & 0x0100) ? AvrOp::Unknown : AvrOp::Des;
        i.immediate = uint16_t((w >> 4) & 0x0F);
        return;
    case 0xC: case 0xD: i.op = AvrOp::Jmp; i.rd = 0; return;
    case 0xE: case 0xF: i.op = AvrOp::Call; i.rd = 0; return;
    default: i.op = AvrOp::Unknown; i.rd = 0; return;
    }
}

}  // namespace

std::optional<AvrInstruction> DecodeAvr(std::string_view code, uint32_t codeAddress, uint32_t address)
{
    if ((address & 1) || address < codeAddress || address - codeAddress > code.size() ||
        code.size() - (address - codeAddress) < 2)
        return std::nullopt;
    const size_t at = address - codeAddress;
    const uint16_t w = uint16_t(*ReadLittle(code, at, 2));
    AvrInstruction i;
    i.word = w;
    switch (w >> 12) {
    case 0x0: DecodeZeroGroup(i, w); break;
    case 0x1: {
        static constexpr AvrOp Ops[] = { AvrOp::Cpse, AvrOp::Cp, AvrOp::Sub, AvrOp::Adc };
        i.op = Ops[(w >> 10) & 3];
        TwoRegisters(i, w);
        break;
    }
    case 0x2: {
        static constexpr AvrOp Ops[] = { AvrOp::And, AvrOp::Eor, AvrOp::Or, AvrOp::Mov };
        i.op = Ops[(w >> 10) & 3];
        TwoRegisters(i, w);
        break;
    }
    case 0x3: i.op = AvrOp::Cpi; UpperImmediate(i, w); break;
    case 0x4: i.op = AvrOp::Sbci; UpperImmediate(i, w); break;
    case 0x5: i.op = AvrOp::Subi; UpperImmediate(i, w); break;
    case 0x6: i.op = AvrOp::Ori; UpperImmediate(i, w); break;
    case 0x7: i.op = AvrOp::Andi; UpperImmediate(i, w); break;
    case 0x8: case 0xA:   // 10q0 qqsd dddd yqqq: ld/st through Y+q (y = 1) or Z+q
        i.op = (w & 0x0200) ? AvrOp::St : AvrOp::Ld;
        i.rd = uint8_t((w >> 4) & 0x1F);
        i.pointer = (w & 0x08) ? AvrPointer::Y : AvrPointer::Z;
        i.displacement = uint8_t((w & 0x07) | ((w >> 7) & 0x18) | ((w >> 8) & 0x20));
        break;
    case 0x9:
        switch ((w >> 8) & 0x0F) {
        case 0x0: case 0x1: case 0x2: case 0x3: DecodeLoadStore(i, w); break;
        case 0x4: case 0x5: DecodeOneRegister(i, w); break;
        case 0x6: case 0x7:
            i.op = (w & 0x0100) ? AvrOp::Sbiw : AvrOp::Adiw;
            i.rd = uint8_t(24 + ((w >> 4) & 3) * 2);
            i.immediate = uint16_t(((w >> 2) & 0x30) | (w & 0x0F));
            break;
        case 0x8: case 0x9: case 0xA: case 0xB: {
            static constexpr AvrOp Ops[] = { AvrOp::Cbi, AvrOp::Sbic, AvrOp::Sbi, AvrOp::Sbis };
            i.op = Ops[(w >> 8) & 3];
            i.immediate = uint16_t((w >> 3) & 0x1F);
            i.bit = uint8_t(w & 7);
            break;
        }
        default: i.op = AvrOp::Mul; TwoRegisters(i, w); break;
        }
        break;
    case 0xB:
        i.op = (w & 0x0800) ? AvrOp::Out : AvrOp::In;
        i.rd = uint8_t((w >> 4) & 0x1F);
        i.immediate = uint16_t(((w >> 5) & 0x30) | (w & 0x0F));
        break;
    case 0xC: i.op = AvrOp::Rjmp; i.target = Relative(address, w & 0x0FFF, 12); break;
    case 0xD: i.op = AvrOp::Rcall; i.target = Relative(address, w & 0x0FFF, 12); break;
    case 0xE: i.op = AvrOp::Ldi; UpperImmediate(i, w); break;
    case 0xF:
        if ((w & 0x0800) == 0) {
            i.op = (w & 0x0400) ? AvrOp::Brbc : AvrOp::Brbs;
            i.bit = uint8_t(w & 7);
            i.target = Relative(address, (w >> 3) & 0x7F, 7);
        } else if ((w & 0x08) == 0) {
            static constexpr AvrOp Ops[] = { AvrOp::Bld, AvrOp::Bst, AvrOp::Sbrc, AvrOp::Sbrs };
            i.op = Ops[(w >> 9) & 3];
            i.rd = uint8_t((w >> 4) & 0x1F);
            i.bit = uint8_t(w & 7);
        }
        break;
    }
    if (i.op == AvrOp::Jmp || i.op == AvrOp::Call || i.op == AvrOp::Lds || i.op == AvrOp::Sts) {
        const std::optional<uint32_t> next = ReadLittle(code, at + 2, 2);
        if (!next)
            return std::nullopt;
        i.length = 4;
        if (i.op == AvrOp::Lds || i.op == AvrOp::Sts)
            i.immediate = uint16_t(*next);
        else
            i.target = ((uint32_t(((w >> 3) & 0x3E) | (w & 1)) << 16) | *next) * 2;
    }
    return i;
}

bool SkipsNext(AvrOp op)
{
    return op == AvrOp::Cpse || op == AvrOp::Sbrc || op == AvrOp::Sbrs || op == AvrOp::Sbic || op == AvrOp::Sbis;
}
