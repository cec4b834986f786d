#include "analyzer/Budget.h"

#include "analyzer/AnalyzerText.h"
#include "analyzer/Demangle.h"
#include "analyzer/ElfImage.h"
#include "base/Text.h"


namespace {

constexpr uint64_t WarningPercent = 75;

std::optional<uint64_t> Usable(std::optional<uint64_t> maximum)
{
    return maximum && *maximum != 0 ? maximum : std::nullopt;
}

// "4,626 of 28,672 bytes (16 %)"; the product stays exact for any 32-bit section sizes.
std::string UsedOfMaximum(uint64_t used, uint64_t maximum)
{
    const uint64_t percent = used > UINT64_MAX / 100 ? used / maximum * 100 : used * 100 / maximum;
    return GroupedThousands(int64_t(used)) + " of " + GroupedThousands(int64_t(maximum)) + " bytes (" +
           DecimalText(int64_t(percent)) + " %)";
}

}  // namespace

std::string ProgramStorageLine(uint64_t used, std::optional<uint64_t> maximum)
{
    maximum = Usable(maximum);
    if (!maximum)
        return "Program storage: " + GroupedThousands(int64_t(used)) + " bytes";
    return "Program storage: " + UsedOfMaximum(used, *maximum);
}

std::string GlobalVariablesLine(uint64_t used, std::optional<uint64_t> maximum)
{
    maximum = Usable(maximum);
    if (!maximum)
        return "Global variables: " + GroupedThousands(int64_t(used)) + " bytes";
    std::string line = "Global variables: " + UsedOfMaximum(used, *maximum) + ", ";
    if (used > *maximum)
        return line + GroupedThousands(int64_t(used - *maximum)) + " bytes over the maximum, none left for local variables";
    return line + GroupedThousands(int64_t(*maximum - used)) + " bytes left for local variables";
}

std::string AgainstBoardLine(std::string_view boardName)
{
    return "Against the board \"" + std::string(boardName) + "\"";
}

std::string AgainstChipLine(std::string_view deviceName)
{
    return "Against the chip " + std::string(deviceName) + " (no board file found)";
}

BudgetMark ProgramStorageMark(uint64_t used, std::optional<uint64_t> maximum)
{
    maximum = Usable(maximum);
    if (maximum && used > *maximum)
        return { BudgetLevel::Over, "Sketch too big" };
    return {};
}

BudgetMark GlobalVariablesMark(uint64_t used, std::optional<uint64_t> maximum)
{
    maximum = Usable(maximum);
    if (!maximum)
        return {};
    if (used > *maximum)
        return { BudgetLevel::Over, "Not enough memory" };
    // The IDE warns when used > maximum * 75 / 100, which for whole bytes is used * 100 > maximum * 75.
    if (used * 100 > *maximum * WarningPercent)
        return { BudgetLevel::Warning, "Low memory available, stability problems may occur." };
    return {};
}

std::string UnknownProgramStorageLine()
{
    return "Program storage: unknown";
}

std::string UnknownGlobalVariablesLine()
{
    return "Global variables: unknown";
}

std::string UnknownStackLine()
{
    return "Stack: unknown";
}

BudgetView WorkOutBudget(const AnalysisResult& current, const std::optional<BoardMaxima>& board,
                         const std::optional<PreviousBuild>& previous)
{
    BudgetView view;
    view.caption = BudgetCaption(current.elfPath);
    const std::optional<ElfImage> image = current.build.elfBytes ? ReadElfImage(*current.build.elfBytes) : std::nullopt;

    std::optional<uint64_t> programMax, dataMax;
    if (board) {
        programMax = board->programBytes;
        dataMax = board->dataBytes;
        view.againstLine = AgainstBoardLine(board->name);
    } else if (image && image->device && (image->device->flashSize || image->device->sramSize)) {
        programMax = image->device->flashSize;
        dataMax = image->device->sramSize;
        view.againstLine = AgainstChipLine(image->device->deviceName);
    } else {
        view.againstLine = std::string(NoMaximumLine);
    }
    std::optional<uint64_t> program, data;
    if (image) {
        program = ProgramStorageBytes(*image);
        data = GlobalVariableBytes(*image);
        view.programLine = ProgramStorageLine(*program, programMax);
        view.dataLine = GlobalVariablesLine(*data, dataMax);
        view.programMark = ProgramStorageMark(*program, programMax);
        view.dataMark = GlobalVariablesMark(*data, dataMax);
    } else {
        view.programLine = UnknownProgramStorageLine();
        view.dataLine = UnknownGlobalVariablesLine();
    }

    // The stack against what the global variables leave of the RAM.
    const std::optional<StackDepth> stack = current.build.elfBytes ? DeepestStack(*current.build.elfBytes) : std::nullopt;
    const std::optional<uint64_t> ram = Usable(dataMax);
    const std::optional<uint64_t> left = data && ram ? std::optional<uint64_t>(*data < *ram ? *ram - *data : 0) : std::nullopt;
    if (stack) {
        view.stackLine = StackLine(*stack, DemangledName(stack->unboundedFunction), left);
        view.stackLevel = StackLevel(stack->bytes, left);
        view.stackRows = StackRows(*stack);
        if (stack->mallocLinked)
            view.heapLine = std::string(HeapLine);
    } else {
        view.stackLine = UnknownStackLine();
    }
    if (program)
        view.programBar = ProgramBar(*program, Usable(programMax), view.programMark.level);
    if (data)
        view.ramBar = RamBar(*data, view.dataMark.level, stack ? std::optional<uint64_t>(stack->bytes) : std::nullopt,
                             view.stackLevel, ram);

    if (!previous) {
        view.changesLine = NoEarlierBuildLine(BuildName(current.elfPath) + ".hex");
        return view;
    }
    view.changes = SymbolChanges(previous->rows, current.rows);
    const std::optional<ElfImage> before = ReadElfImage(previous->elfBytes);
    const auto change = [&](const std::optional<uint64_t>& now, uint64_t (*bytes)(const ElfImage&)) {
        return now && before ? std::optional<int64_t>(int64_t(*now) - int64_t(bytes(*before))) : std::nullopt;
    };
    const std::optional<StackDepth> stackBefore = stack ? DeepestStack(previous->elfBytes) : std::nullopt;
    const std::optional<int64_t> stackChange =
        stackBefore ? std::optional<int64_t>(int64_t(stack->bytes) - int64_t(stackBefore->bytes)) : std::nullopt;
    view.changesLine = ChangeTotalsLine(change(program, ProgramStorageBytes), change(data, GlobalVariableBytes),
                                        stackChange, previous->clock);
    return view;
}
