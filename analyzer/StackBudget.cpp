#include "analyzer/StackBudget.h"

#include "analyzer/Demangle.h"
#include "base/Text.h"

namespace {

std::string Bytes(uint64_t n)
{
    return GroupedThousands(int64_t(n));
}

std::string Reason(StackUnbounded why, std::string_view function)
{
    switch (why) {
    case StackUnbounded::Recursion: return std::string(function) + " calls itself";
    case StackUnbounded::SpWrite: return std::string(function) + " sets the stack pointer in a way that cannot be followed";
    case StackUnbounded::PointerCall: return std::string(function) + " calls through a pointer with no known target";
    case StackUnbounded::None: break;
    }
    return {};
}

}  // namespace

std::string StackLine(const StackDepth& depth, std::string_view reasonFunction, std::optional<uint64_t> left)
{
    const bool bound = depth.unbounded == StackUnbounded::None;
    std::string line = std::string(bound ? "Stack: up to " : "Stack: at least ") + Bytes(depth.bytes) + " bytes";
    if (!bound)
        line += " (" + Reason(depth.unbounded, reasonFunction) + ")";
    if (!left)
        return line;
    if (depth.bytes > *left)
        return line + ", " + Bytes(depth.bytes - *left) + " bytes more than the " + Bytes(*left) + " left: the game may crash";
    return line + ", " + Bytes(*left - depth.bytes) + (bound ? " bytes to spare" : " bytes to spare at most");
}

BudgetLevel StackLevel(uint64_t stack, std::optional<uint64_t> left)
{
    if (!left)
        return BudgetLevel::None;
    if (stack > *left)
        return BudgetLevel::Over;
    return stack * 100 > *left * 75 ? BudgetLevel::Warning : BudgetLevel::None;
}

std::vector<StackRow> StackRows(const StackDepth& depth)
{
    std::vector<StackRow> rows;
    for (const StackStep& step : depth.path)
        rows.push_back({ step.function.empty() ? "0x" + HexDigits(step.address, 4) : DemangledName(step.function),
                         step.bytes, step.total, step.interrupt });
    return rows;
}

BudgetBar ProgramBar(uint64_t program, std::optional<uint64_t> maximum, BudgetLevel level)
{
    BudgetBar bar{ { { program, level } }, maximum.value_or(program), Bytes(program) + " bytes" };
    if (maximum) {
        bar.caption = Bytes(program) + " of " + Bytes(*maximum) + " bytes";
        if (program < *maximum)
            bar.parts.push_back({ *maximum - program, BudgetLevel::None, true });
    }
    return bar;
}

BudgetBar RamBar(uint64_t globals, BudgetLevel globalsLevel, std::optional<uint64_t> stack, BudgetLevel stackLevel,
                 std::optional<uint64_t> maximum)
{
    BudgetBar bar{ { { globals, globalsLevel } }, 0, "globals " + Bytes(globals) };
    const uint64_t used = globals + stack.value_or(0);
    if (stack) {
        bar.parts.push_back({ *stack, stackLevel });
        bar.caption += " + stack " + Bytes(*stack);
    }
    bar.whole = maximum.value_or(used);
    if (maximum && used <= *maximum) {
        bar.parts.push_back({ *maximum - used, BudgetLevel::None, true });
        bar.caption += ", " + Bytes(*maximum - used) + " bytes left";
    } else if (maximum) {
        bar.caption += ", " + Bytes(used - *maximum) + " bytes over";
    }
    return bar;
}

std::vector<int> BarWidths(const BudgetBar& bar, int width)
{
    uint64_t whole = bar.whole;
    for (uint64_t sum = 0; const BarPart& part : bar.parts)
        whole = std::max(whole, sum += part.bytes);
    std::vector<int> widths;
    uint64_t sum = 0;
    int drawn = 0;
    for (const BarPart& part : bar.parts) {
        sum += part.bytes;
        const int end = whole == 0 ? 0 : int(sum * uint64_t(width) / whole);
        widths.push_back(end - drawn);
        drawn = end;
    }
    return widths;
}
