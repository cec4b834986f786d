// Stack depth probe: the deepest stack of one .elf as the analysis finds it, for a person or a script
// to compare with a measured depth, and the time the analysis takes. Native; not part of the agent.
//   kevra_stack_depth [--path] [--time N] FILE.elf
// prints "up-to <bytes>" or "at-least <bytes> <recursion|sp-write|pointer-call> <mangled function>";
// with --path the rows of the deepest path after it, "<bytes> <total> <name>" ("-" for no name),
// the interrupts' rows last; with --time the median of N runs in microseconds, "median-us <n>".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analyzer/StackDepth.h"

namespace {

const char* UnboundedText(StackUnbounded u)
{
    switch (u) {
    case StackUnbounded::Recursion: return "recursion";
    case StackUnbounded::SpWrite: return "sp-write";
    case StackUnbounded::PointerCall: return "pointer-call";
    case StackUnbounded::None: break;
    }
    return "";
}

int Usage()
{
    std::fprintf(stderr, "usage: kevra_stack_depth [--path] [--time N] FILE.elf\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    bool path = false;
    long runs = 0;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--path") == 0)
            path = true;
        else if (std::strcmp(argv[i], "--time") == 0 && i + 1 < argc)
            runs = std::strtol(argv[++i], nullptr, 10);
        else if (!file && argv[i][0] != '-')
            file = argv[i];
        else
            return Usage();
    }
    if (!file || runs < 0)
        return Usage();
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string elf = bytes.str();

    const std::optional<StackDepth> depth = DeepestStack(elf);
    if (!depth) {
        std::fprintf(stderr, "%s: not an AVR program whose code and symbols can be read\n", file);
        return 1;
    }
    if (depth->unbounded == StackUnbounded::None)
        std::printf("up-to %u\n", depth->bytes);
    else
        std::printf("at-least %u %s %s\n", depth->bytes, UnboundedText(depth->unbounded),
                    depth->unboundedFunction.empty() ? "-" : depth->unboundedFunction.c_str());
    if (path)
        for (const StackStep& s : depth->path)
            std::printf("%u %u %s\n", s.bytes, s.total, s.function.empty() ? "-" : s.function.c_str());
    if (runs > 0) {
        std::vector<long long> micros;
        for (long r = 0; r < runs; ++r) {
            const auto start = std::chrono::steady_clock::now();
            const std::optional<StackDepth> again = DeepestStack(elf);
            const auto stop = std::chrono::steady_clock::now();
            if (!again || again->bytes != depth->bytes)
                return 1;
            micros.push_back(std::chrono::duration_cast<std::chrono::microseconds>(stop - start).count());
        }
        std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
        std::printf("median-us %lld\n", micros[micros.size() / 2]);
    }
    return 0;
}
