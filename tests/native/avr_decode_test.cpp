// The decoder against avr-objdump: every instruction objdump prints, for every 16-bit word and for the
// code of real builds, must decode to the same text, length and target.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "analyzer/AvrDecode.h"
#include "analyzer/ElfProgram.h"

namespace {

std::string Printed(const char* format, unsigned value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string R(unsigned n) { return "r" + std::to_string(n); }

std::string PointerText(AvrPointer p)
{
    static const char* const Texts[] = { "", "X", "X+", "-X", "Y", "Y+", "-Y", "Z", "Z+", "-Z" };
    return Texts[size_t(p)];
}

std::string Relative(const AvrInstruction& i, uint32_t address)
{
    const int32_t offset = int32_t(i.target - address - 2);
    return offset < 0 ? ".-" + std::to_string(-offset) : ".+" + std::to_string(offset);
}

// The instruction as avr-objdump writes it, mnemonic and operands with single spaces, without the
// comment it adds after a semicolon.
std::string ObjdumpText(const AvrInstruction& i, uint32_t address)
{
    static const std::map<AvrOp, const char*> Names = {
        { AvrOp::Nop, "nop" }, { AvrOp::Movw, "movw" }, { AvrOp::Muls, "muls" }, { AvrOp::Mulsu, "mulsu" },
        { AvrOp::Fmul, "fmul" }, { AvrOp::Fmuls, "fmuls" }, { AvrOp::Fmulsu, "fmulsu" }, { AvrOp::Mul, "mul" },
        { AvrOp::Cpc, "cpc" }, { AvrOp::Sbc, "sbc" }, { AvrOp::Add, "add" }, { AvrOp::Cpse, "cpse" },
        { AvrOp::Cp, "cp" }, { AvrOp::Sub, "sub" }, { AvrOp::Adc, "adc" }, { AvrOp::And, "and" },
        { AvrOp::Eor, "eor" }, { AvrOp::Or, "or" }, { AvrOp::Mov, "mov" }, { AvrOp::Cpi, "cpi" },
        { AvrOp::Sbci, "sbci" }, { AvrOp::Subi, "subi" }, { AvrOp::Ori, "ori" }, { AvrOp::Andi, "andi" },
        { AvrOp::Ldi, "ldi" }, { AvrOp::Adiw, "adiw" }, { AvrOp::Sbiw, "sbiw" }, { AvrOp::Com, "com" },
        { AvrOp::Neg, "neg" }, { AvrOp::Swap, "swap" }, { AvrOp::Inc, "inc" }, { AvrOp::Asr, "asr" },
        { AvrOp::Lsr, "lsr" }, { AvrOp::Ror, "ror" }, { AvrOp::Dec, "dec" }, { AvrOp::Ld, "ld" },
        { AvrOp::St, "st" }, { AvrOp::Lds, "lds" }, { AvrOp::Sts, "sts" }, { AvrOp::Lpm, "lpm" },
        { AvrOp::Elpm, "elpm" }, { AvrOp::Spm, "spm" }, { AvrOp::Xch, "xch" }, { AvrOp::Las, "las" },
        { AvrOp::Lac, "lac" }, { AvrOp::Lat, "lat" }, { AvrOp::Push, "push" }, { AvrOp::Pop, "pop" },
        { AvrOp::In, "in" }, { AvrOp::Out, "out" }, { AvrOp::Cbi, "cbi" }, { AvrOp::Sbi, "sbi" },
        { AvrOp::Sbic, "sbic" }, { AvrOp::Sbis, "sbis" }, { AvrOp::Bld, "bld" }, { AvrOp::Bst, "bst" },
        { AvrOp::Sbrc, "sbrc" }, { AvrOp::Sbrs, "sbrs" }, { AvrOp::Des, "des" }, { AvrOp::Rjmp, "rjmp" },
        { AvrOp::Rcall, "rcall" }, { AvrOp::Jmp, "jmp" }, { AvrOp::Call, "call" }, { AvrOp::Ijmp, "ijmp" },
        { AvrOp::Eijmp, "eijmp" }, { AvrOp::Icall, "icall" }, { AvrOp::Eicall, "eicall" }, { AvrOp::Ret, "ret" },
        { AvrOp::Reti, "reti" }, { AvrOp::Sleep, "sleep" }, { AvrOp::Break, "break" }, { AvrOp::Wdr, "wdr" },
    };
    static const char* const Sets[] = { "sec", "sez", "sen", "sev", "ses", "seh", "set", "sei" };
    static const char* const Clears[] = { "clc", "clz", "cln", "clv", "cls", "clh", "clt", "cli" };
    static const char* const IfSet[] = { "brcs", "breq", "brmi", "brvs", "brlt", "brhs", "brts", "brie" };
    static const char* const IfClear[] = { "brcc", "brne", "brpl", "brvc", "brge", "brhc", "brtc", "brid" };
    const std::string pointer = PointerText(i.pointer);
    switch (i.op) {
    case AvrOp::Unknown: return ".word " + Printed("0x%04x", i.word);
    case AvrOp::Bset: return Sets[i.bit];
    case AvrOp::Bclr: return Clears[i.bit];
    case AvrOp::Brbs: return std::string(IfSet[i.bit]) + " " + Relative(i, address);
    case AvrOp::Brbc: return std::string(IfClear[i.bit]) + " " + Relative(i, address);
    default: break;
    }
    const std::string name = Names.at(i.op);
    switch (i.op) {
    case AvrOp::Nop: case AvrOp::Ijmp: case AvrOp::Eijmp: case AvrOp::Icall: case AvrOp::Eicall: case AvrOp::Ret:
    case AvrOp::Reti: case AvrOp::Sleep: case AvrOp::Break: case AvrOp::Wdr:
        return name;
    case AvrOp::Movw: case AvrOp::Muls: case AvrOp::Mulsu: case AvrOp::Fmul: case AvrOp::Fmuls: case AvrOp::Fmulsu:
    case AvrOp::Mul: case AvrOp::Cpc: case AvrOp::Sbc: case AvrOp::Add: case AvrOp::Cpse: case AvrOp::Cp:
    case AvrOp::Sub: case AvrOp::Adc: case AvrOp::And: case AvrOp::Eor: case AvrOp::Or: case AvrOp::Mov:
        return name + " " + R(i.rd) + ", " + R(i.rr);
    case AvrOp::Cpi: case AvrOp::Sbci: case AvrOp::Subi: case AvrOp::Ori: case AvrOp::Andi: case AvrOp::Ldi:
        return name + " " + R(i.rd) + ", " + Printed("0x%02X", i.immediate);
    case AvrOp::Adiw: case AvrOp::Sbiw: return name + " " + R(i.rd) + ", " + Printed("0x%02x", i.immediate);
    case AvrOp::Com: case AvrOp::Neg: case AvrOp::Swap: case AvrOp::Inc: case AvrOp::Asr: case AvrOp::Lsr:
    case AvrOp::Ror: case AvrOp::Dec: case AvrOp::Push: case AvrOp::Pop:
        return name + " " + R(i.rd);
    case AvrOp::Ld:
        if (i.displacement)
            return "ldd " + R(i.rd) + ", " + pointer + "+" + std::to_string(i.displacement);
        return name + " " + R(i.rd) + ", " + pointer;
    case AvrOp::St:
        if (i.displacement)
            return "std " + pointer + "+" + std::to_string(i.displacement) + ", " + R(i.rd);
        return name + " " + pointer + ", " + R(i.rd);
    case AvrOp::Lpm: case AvrOp::Elpm: case AvrOp::Spm:
        if (i.op == AvrOp::Spm)
            return i.pointer == AvrPointer::None ? name : name + " " + pointer;
        return i.pointer == AvrPointer::None ? name : name + " " + R(i.rd) + ", " + pointer;
    case AvrOp::Xch: case AvrOp::Las: case AvrOp::Lac: case AvrOp::Lat: return name + " Z, " + R(i.rd);
    case AvrOp::Lds: return name + " " + R(i.rd) + ", " + Printed("0x%04X", i.immediate);
    case AvrOp::Sts: return name + " " + Printed("0x%04X", i.immediate) + ", " + R(i.rd);
    case AvrOp::In: return name + " " + R(i.rd) + ", " + Printed("0x%02x", i.immediate);
    case AvrOp::Out: return name + " " + Printed("0x%02x", i.immediate) + ", " + R(i.rd);
    case AvrOp::Cbi: case AvrOp::Sbi: case AvrOp::Sbic: case AvrOp::Sbis:
        return name + " " + Printed("0x%02x", i.immediate) + ", " + std::to_string(i.bit);
    case AvrOp::Bld: case AvrOp::Bst: case AvrOp::Sbrc: case AvrOp::Sbrs:
        return name + " " + R(i.rd) + ", " + std::to_string(i.bit);
    case AvrOp::Des: return name + " " + std::to_string(i.immediate);
    case AvrOp::Rjmp: case AvrOp::Rcall: return name + " " + Relative(i, address);
    case AvrOp::Jmp: case AvrOp::Call: return name + " " + Printed("%#x", i.target);
    default: return "?";
    }
}

bool HasTarget(AvrOp op)
{
    return op == AvrOp::Rjmp || op == AvrOp::Rcall || op == AvrOp::Jmp || op == AvrOp::Call ||
           op == AvrOp::Brbs || op == AvrOp::Brbc;
}

// One instruction line of objdump -d: "  addr:\tbytes \tmnemonic\toperands\t; comment".
struct ObjdumpLine {
    uint32_t address = 0;
    size_t length = 0;          // bytes listed
    std::string text;           // mnemonic and operands, single spaces
    std::optional<uint32_t> commentAddress;   // the 0x... a comment gives first
};

std::vector<ObjdumpLine> ObjdumpLines(const std::string& listing)
{
    std::vector<ObjdumpLine> lines;
    std::istringstream in(listing);
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(":\t");
        if (colon == std::string::npos || line.find_first_not_of(" 0123456789abcdef") != colon)
            continue;
        ObjdumpLine l;
        l.address = uint32_t(std::stoul(line.substr(0, colon), nullptr, 16));
        const size_t bytesEnd = line.find('\t', colon + 2);
        if (bytesEnd == std::string::npos)
            continue;
        std::istringstream bytes(line.substr(colon + 2, bytesEnd - colon - 2));
        for (std::string b; bytes >> b;)
            ++l.length;
        std::string rest = line.substr(bytesEnd + 1);
        if (const size_t semicolon = rest.find(';'); semicolon != std::string::npos) {
            if (const size_t hex = rest.find("0x", semicolon); hex != std::string::npos)
                l.commentAddress = uint32_t(std::stoul(rest.substr(hex + 2), nullptr, 16));
            rest.resize(semicolon);
        }
        std::istringstream words(rest);
        for (std::string w; words >> w;)
            l.text += (l.text.empty() ? "" : " ") + w;
        lines.push_back(l);
    }
    return lines;
}

// Checks every line objdump printed for the code against the decoder; returns how many were checked.
size_t ExpectAgreement(const std::string& listing, std::string_view code, uint32_t codeAddress)
{
    size_t checked = 0;
    for (const ObjdumpLine& l : ObjdumpLines(listing)) {
        SCOPED_TRACE(Printed("at 0x%x", l.address) + ": " + l.text);
        const std::optional<AvrInstruction> i = DecodeAvr(code, codeAddress, l.address);
        if (!i) {   // objdump prints a word that ends the code alone, as a byte pair
            ADD_FAILURE() << "no instruction";
            continue;
        }
        EXPECT_EQ(l.text, ObjdumpText(*i, l.address));
        EXPECT_EQ(l.length, i->length);
        if (HasTarget(i->op)) {
            EXPECT_EQ(l.commentAddress, std::optional<uint32_t>(i->target));
        }
        ++checked;
    }
    return checked;
}

}  // namespace

TEST(AvrDecode, EveryWordDecodesAsObjdumpDisassemblesIt)
{
    // Each of the 65,536 words followed by a zero word: the second word of jmp, call, lds and sts.
    // A ret ends them (objdump would show zeros at the end as "...").
    std::string words;
    for (uint32_t w = 0; w < 0x10000; ++w)
        words += { char(w & 0xFF), char(w >> 8), '\0', '\0' };
    words += "\x08\x95";
    const std::string path = testing::TempDir() + "avr_every_word.bin";
    std::ofstream(path, std::ios::binary) << words;
    const std::string listing = CommandOutput(std::string(KEVRA_AVR_OBJDUMP) + " -D -b binary -m avr:5 " + path);
    std::remove(path.c_str());
    EXPECT_EQ(0x20000u - 192 + 1, ExpectAgreement(listing, words, 0));   // 64 jmp, 64 call, 32 lds, 32 sts take two words
}

TEST(AvrDecode, RealBuildsAndFixturesDecodeAsObjdumpDisassemblesThem)
{
    std::vector<std::string> elfs = { std::string(KEVRA_REAL_BUILDS) + "/game-1/Game.ino.elf",
                                      std::string(KEVRA_REAL_BUILDS) + "/game-2/Game.ino.elf",
                                      std::string(KEVRA_REAL_BUILDS) + "/oversize/Oversize.ino.elf",
                                      std::string(KEVRA_REAL_BUILDS) + "/console/Console.ino.elf" };
    for (const auto& entry : std::filesystem::directory_iterator(KEVRA_STACK_FIXTURES))
        if (entry.path().extension() == ".elf")
            elfs.push_back(entry.path().string());
    for (const std::string& elf : elfs) {
        SCOPED_TRACE(elf);
        const std::string bytes = FileBytes(elf);
        const std::optional<ElfProgram> program = ReadElfProgram(bytes);
        ASSERT_TRUE(program);
        const std::string listing = CommandOutput(std::string(KEVRA_AVR_OBJDUMP) + " -d -j .text " + elf);
        // More than the 43 vectors (objdump skips runs of zeros, as in the oversize build's table).
        EXPECT_GT(ExpectAgreement(listing, program->text, program->textAddress), 43u);
    }
}

TEST(AvrDecode, InstructionsOutsideTheCodeAreRefused)
{
    const std::string code("\x0e\x94\x00\x00" "\x08\x95" "\x0c", 7);   // call 0; ret; half a word
    EXPECT_FALSE(DecodeAvr(code, 0x100, 0x0FE));   // before it
    EXPECT_FALSE(DecodeAvr(code, 0x100, 0x101));   // odd
    EXPECT_FALSE(DecodeAvr(code, 0x100, 0x106));   // one byte left
    EXPECT_FALSE(DecodeAvr(code, 0x100, 0x108));
    EXPECT_FALSE(DecodeAvr(std::string_view(code).substr(0, 3), 0x100, 0x100));   // call without its second word
    ASSERT_TRUE(DecodeAvr(code, 0x100, 0x100));
    EXPECT_EQ(AvrOp::Call, DecodeAvr(code, 0x100, 0x100)->op);
    EXPECT_EQ(AvrOp::Ret, DecodeAvr(code, 0x100, 0x104)->op);
    // A branch back past address 0 wraps as the address arithmetic of objdump does.
    EXPECT_EQ(0xFFFFFFFEu, DecodeAvr("\xfe\xcf", 0, 0)->target);   // rjmp .-4
}
