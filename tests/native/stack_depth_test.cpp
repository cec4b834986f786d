// The deepest stack of small AVR programs whose depth is known by construction (tests/fixtures/stack,
// each file saying how deep it goes and why), and of real Arduino builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "TestFiles.h"
#include "analyzer/ElfProgram.h"
#include "analyzer/StackDepth.h"

namespace {

std::string Fixture(const std::string& name) { return FileBytes(std::string(KEVRA_STACK_FIXTURES) + "/" + name + ".elf"); }

struct Row {
    const char* function;
    uint32_t bytes;
    bool interrupt;
};

// The rows add up: each total is the one before plus its bytes, the last the whole figure.
void ExpectConsistent(const StackDepth& d)
{
    uint32_t running = 0;
    for (const StackStep& s : d.path) {
        running += s.bytes;
        EXPECT_EQ(running, s.total) << s.function;
    }
    EXPECT_EQ(running, d.bytes);
}

}  // namespace

TEST(StackDepth, FixturesGoAsDeepAsTheirFramesAdd)
{
    const struct {
        const char* fixture;
        uint32_t bytes;
        StackUnbounded unbounded;
        const char* function;
        std::vector<Row> path;
    } cases[] = {
        { "Chain", 43, StackUnbounded::None, "",
          { { "__vectors", 0, false }, { "main", 4, false }, { "level1", 5, false }, { "level2", 14, false },
            { "leaf", 4, false }, { "__vector_23", 4, true }, { "leaf", 4, true }, { "__vector_21", 8, true } } },
        { "Recursion", 14, StackUnbounded::Recursion, "a",
          { { "__vectors", 0, false }, { "main", 2, false }, { "a", 3, false }, { "b", 4, false }, { "leaf3", 5, false } } },
        { "FunctionTable", 9, StackUnbounded::None, "",
          { { "__vectors", 0, false }, { "main", 2, false }, { "big", 7, false } } },
        { "FlashCopy", 8, StackUnbounded::None, "",
          { { "__vectors", 0, false }, { "main", 2, false }, { "far", 6, false } } },
        { "Virtual", 20, StackUnbounded::None, "",
          { { "__vectors", 0, false }, { "main", 2, false }, { "_ZN4Play5enterEv", 3, false },
            { "_ZN4Play4drawEv", 5, false }, { "_ZN4Port5writeEv", 6, false }, { "_ZN4Port4putcEc", 4, false } } },
        { "VirtualArgument", 9, StackUnbounded::None, "",
          { { "__vectors", 0, false }, { "main", 2, false }, { "_ZN4Deep4drawER3Out", 4, false },
            { "_ZN4Port3putEc", 3, false } } },
        { "Prologues", 17, StackUnbounded::None, "",
          { { "__vectors", 0, false }, { "main", 2, false }, { "saver", 11, false }, { "leaf", 4, false } } },
        { "Switch", 13, StackUnbounded::None, "",
          { { "__vectors", 0, false }, { "main", 2, false }, { "dispatch", 3, false }, { "deep", 8, false } } },
        { "SpWrite", 5, StackUnbounded::SpWrite, "grow",
          { { "__vectors", 0, false }, { "main", 2, false }, { "grow", 3, false } } },
        { "NoTarget", 7, StackUnbounded::PointerCall, "call_any",
          { { "__vectors", 0, false }, { "main", 2, false }, { "call_any", 3, false }, { "", 2, false } } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string elf = Fixture(c.fixture);
        const std::optional<StackDepth> d = DeepestStack(elf);
        ASSERT_TRUE(d);
        EXPECT_EQ(c.bytes, d->bytes);
        EXPECT_EQ(c.unbounded, d->unbounded);
        EXPECT_EQ(c.function, d->unboundedFunction);
        EXPECT_FALSE(d->mallocLinked);
        ASSERT_EQ(c.path.size(), d->path.size());
        for (size_t i = 0; i < c.path.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(c.path[i].function, d->path[i].function);
            EXPECT_EQ(c.path[i].bytes, d->path[i].bytes);
            EXPECT_EQ(c.path[i].interrupt, d->path[i].interrupt);
        }
        ExpectConsistent(*d);
        // Each row's address is where its function's symbol starts.
        const std::optional<ElfProgram> program = ReadElfProgram(elf);
        ASSERT_TRUE(program);
        for (const StackStep& s : d->path) {
            if (!s.function.empty()) {
                EXPECT_TRUE(std::any_of(program->symbols.begin(), program->symbols.end(), [&](const ElfSymbol& sym) {
                    return sym.name == s.function && sym.value == s.address;
                })) << s.function;
            }
        }
    }
}

TEST(StackDepth, APushInALoopHasNoBound)
{
    const std::optional<StackDepth> d = DeepestStack(Fixture("PushLoop"));
    ASSERT_TRUE(d);
    EXPECT_EQ(StackUnbounded::SpWrite, d->unbounded);
    EXPECT_EQ("fill", d->unboundedFunction);
    EXPECT_GT(d->bytes, 2u + 2 + 1);   // deeper than one way round
    ExpectConsistent(*d);
}

TEST(StackDepth, RealBuildsAreBoundedWithinTheirRam)
{
    const struct {
        const char* elf;
        bool malloc;
        std::vector<const char*> through;   // functions the deepest path goes through, in order
    } builds[] = {
        // In game-2 the start-up code's call of the constructors goes as deep as main: its table
        // jump may go to any function whose address the program holds, and one high score (600)
        // is the word address of the USB code's SendInterfaces.
        { "/game-1/Game.ino.elf", false, { "__vectors" } },
        { "/game-2/Game.ino.elf", false, { "__vectors", "__tablejump2__", "_ZL14SendInterfacesv" } },
        { "/oversize/Oversize.ino.elf", false, { "__vectors", "main" } },
        // The scenes' draw: snprintf in one, Serial in the other. Read by vtable slot alone, Serial's
        // write would reach the scenes' draw, and draw Serial again: a recursion that is none.
        { "/console/Console.ino.elf", true, { "__vectors", "main", "snprintf", "vfprintf", "fputc" } },
    };
    for (const auto& b : builds) {
        SCOPED_TRACE(b.elf);
        const std::string elf = FileBytes(std::string(KEVRA_REAL_BUILDS) + b.elf);
        const auto started = std::chrono::steady_clock::now();
        const std::optional<StackDepth> d = DeepestStack(elf);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));   // no path search that explodes
        ASSERT_TRUE(d);
        EXPECT_EQ(StackUnbounded::None, d->unbounded) << d->unboundedFunction;
        EXPECT_GT(d->bytes, 30u);
        EXPECT_LT(d->bytes, 2560u);
        EXPECT_EQ(b.malloc, d->mallocLinked);
        ExpectConsistent(*d);
        size_t at = 0;
        for (const char* f : b.through) {
            while (at < d->path.size() && d->path[at].function != f)
                ++at;
            EXPECT_LT(at, d->path.size()) << f;
        }
        // The Leonardo's USB interrupt comes on top of the main path.
        EXPECT_TRUE(std::any_of(d->path.begin(), d->path.end(), [](const StackStep& s) {
            return s.interrupt && s.function == "__vector_11";
        }));
    }
}

TEST(StackDepth, WhatIsNoReadableProgramGivesNone)
{
    EXPECT_FALSE(DeepestStack(""));
    EXPECT_FALSE(DeepestStack("not an elf at all"));
    const std::string elf = Fixture("Chain");
    EXPECT_FALSE(DeepestStack(std::string_view(elf).substr(0, elf.size() - 1)));   // the section table cut
    // Without its symbol table (stripped): the section's type changed to one of no meaning.
    std::string stripped = elf;
    const std::optional<ElfProgram> program = ReadElfProgram(elf);
    ASSERT_TRUE(program);
    const size_t tableAt = uint8_t(elf[32]) | uint8_t(elf[33]) << 8 | uint8_t(elf[34]) << 16 | size_t(uint8_t(elf[35])) << 24;
    const size_t count = uint8_t(elf[48]) | uint8_t(elf[49]) << 8;
    for (size_t i = 0; i < count; ++i)
        if (stripped[tableAt + i * 40 + 4] == 2)
            stripped[tableAt + i * 40 + 4] = 0x70;
    EXPECT_FALSE(DeepestStack(stripped));
}

TEST(StackDepth, ChangedCodeStaysBoundedAndConsistent)
{
    // Every byte of a fixture's code changed in turn: whatever the code becomes, the analysis ends,
    // and its rows add up (the sanitizers watch every read).
    const std::string elf = Fixture("Virtual");
    const std::optional<ElfProgram> program = ReadElfProgram(elf);
    ASSERT_TRUE(program);
    const size_t textAt = size_t(program->text.data() - elf.data());
    for (size_t i = 0; i < program->text.size(); ++i)
        for (uint8_t flip : { 0x01, 0x10, 0xFF }) {
            std::string changed = elf;
            changed[textAt + i] = char(changed[textAt + i] ^ flip);
            const std::optional<StackDepth> d = DeepestStack(changed);
            ASSERT_TRUE(d) << i;
            ExpectConsistent(*d);
        }
}
