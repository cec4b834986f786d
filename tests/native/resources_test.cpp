#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/AgentText.h"
#include "base/Version.h"
#include "ui/MessageLayout.h"

namespace {

std::string ReadSourceFile(const std::string& relative)
{
    std::ifstream in(std::string(KEVRA_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::vector<std::string> SplitAtCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

uint32_t Le16(const std::string& b, size_t at)
{
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8;
}

uint32_t Le32(const std::string& b, size_t at)
{
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

// "v0.3" as the four numbers of a Windows version, joined by separator: "0.3.0.0" or "0,3,0,0".
std::string FourPartVersion(char separator)
{
    std::string numbers = std::string(VersionText).substr(1);
    for (char& c : numbers)
        if (c == '.')
            c = separator;
    for (size_t parts = Occurrences(numbers, std::string(1, separator)) + 1; parts < 4; ++parts)
        numbers += std::string(1, separator) + "0";
    return numbers;
}

// Advance widths in pixels of Windows' "System" font, characters 0x20 to 0x7E. At 96 dots per inch
// it is the raster font VGASYS.FON, 16 px high; GDI does not stretch it to the 19 px that 14 points
// ask for, so the message dialog shows the how-to text in it. The widths are those of Wine's own
// System font (fonts/vgasys.fon), which the Wine project drew to Windows' metrics: 16 px high,
// ascent 13, average width 7, widest 15, as Windows reports them. The check allows each Windows
// glyph to be 5% wider than this where that hurts, in wrapping, and 5% narrower where that hurts,
// in the measured width from which the dialog works out the text area's height.
constexpr int SystemFontWidths[95] = {
     4,  4,  6,  8,  8, 11,  9,  4,  4,  4,  6,  8,  4,  4,  4,  4,   // 0x20
     8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  4,  4,  8,  8,  8,  8,   // 0x30
    14,  8, 10,  9, 10,  9,  8, 10, 10,  4,  7,  9,  8, 12, 10, 10,   // 0x40
     9, 10, 10,  9,  8, 10,  8, 14,  9, 10,  9,  4,  4,  4,  5,  8,   // 0x50
     5,  8,  8,  7,  8,  8,  4,  8,  8,  4,  4,  7,  4, 12,  8,  8,   // 0x60
     8,  8,  5,  8,  4,  8,  8, 10,  8,  8,  8,  5,  4,  5,  5,       // 0x70
};
constexpr int SystemFontHeight = 16;   // tmHeight, which is also the edit's line height
constexpr double WidthTolerance = 0.05;

// The width of text in the System font, each glyph scaled. CR and LF count nothing (Windows measures
// them as the font's default character), so a scale below 1 gives a width that Windows' is not below.
double SystemWidth(std::string_view text, double scale)
{
    double width = 0;
    for (char c : text)
        if (uint8_t(c) >= 0x20 && uint8_t(c) <= 0x7E)
            width += SystemFontWidths[uint8_t(c) - 0x20] * scale;
    return width;
}

// The lines that a word-wrapping edit areaWidth pixels wide makes of one line of text. It breaks at
// spaces only, and a line's width includes the space that ends it; an edit that breaks at more
// places or lets the space hang makes no more lines. A word wider than the area is cut where it
// overflows.
int WrappedLines(std::string_view line, int areaWidth, double scale)
{
    int lines = 1;
    double used = 0;
    for (size_t start = 0;;) {
        const size_t space = line.find(' ', start);
        const std::string_view word = line.substr(start, space == std::string_view::npos ? space : space + 1 - start);
        const double width = SystemWidth(word, scale);
        if (used > 0 && used + width > areaWidth) {
            ++lines;
            used = 0;
        }
        for (used += width; used > areaWidth; used -= areaWidth)
            ++lines;
        if (space == std::string_view::npos)
            return lines;
        start = space + 1;
    }
}

}  // namespace

TEST(SystemFontModel, WrapsAtSpacesCountingTheSpaceThatEndsALine)
{
    // 'i' and the space are 4 px wide, 'm' 12 px: worked out on a 380 px area.
    const std::string is93 = std::string(93, 'i'), is94 = std::string(94, 'i');
    const struct { const char* what; std::string line; double scale; int lines; } cases[] = {
        { "empty", "", 1.0, 1 },
        { "exactly full", std::string(95, 'i'), 1.0, 1 },
        { "one word too wide is cut", std::string(96, 'i'), 1.0, 2 },
        { "full once widened by 5%", std::string(95, 'i'), 1.05, 2 },
        { "372 + 4 + 4", is93 + " i", 1.0, 1 },
        { "376 + 4 fills the line", is94 + " i", 1.0, 2 },
        { "short words", "mm mm mm", 1.0, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.lines, WrappedLines(c.line, 380, c.scale));
    }
}

TEST(HowToText, EveryLineShowsInTheMessageDialogWithWindowsSystemFont)
{
    // The dialog sizes the text area from the text measured as one line, in "System" at 14 points.
    const std::string shown = HowToText(ReadSourceFile("resources/howto.txt"));
    ASSERT_FALSE(shown.empty());
    const int narrowest = int(SystemWidth(shown, 1 - WidthTolerance));
    const int okWidth = int(SystemWidth("&OK", 1.0));
    const MessageLayout layout = LayOutMessage(narrowest, SystemFontHeight, 14, true, std::vector<int>{ okWidth });
    ASSERT_EQ(380, layout.textWidth);
    const int visibleLines = layout.textHeight / SystemFontHeight;   // the edit shows whole lines only

    int wrappedLines = 0;
    for (const std::string& line : SplitAtCrLf(shown))
        wrappedLines += WrappedLines(line, layout.textWidth, 1 + WidthTolerance);
    EXPECT_LE(wrappedLines, visibleLines) << "text area " << layout.textWidth << " x " << layout.textHeight;
}

TEST(HowToText, HasSixteenLinesJoinedByCrLfAndNoBreakAfterTheLast)
{
    const std::string text = ReadSourceFile("resources/howto.txt");
    ASSERT_FALSE(text.empty());
    const std::vector<std::string> lines = SplitAtCrLf(text);
    ASSERT_EQ(16u, lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i + 1);
        // A lone CR or LF, or a break after the last line, would leave one inside a line.
        EXPECT_EQ(std::string::npos, lines[i].find_first_of("\r\n"));
        for (char c : lines[i])
            EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << "byte " << int(uint8_t(c));
        const bool blank = i + 1 == 3 || i + 1 == 7 || i + 1 == 10 || i + 1 == 12 || i + 1 == 15;
        EXPECT_EQ(blank, lines[i].empty());
    }
}

TEST(HowToText, FixedLinesStandAsTheyAre)
{
    const std::vector<std::string> lines = SplitAtCrLf(ReadSourceFile("resources/howto.txt"));
    ASSERT_EQ(16u, lines.size());
    EXPECT_EQ("kevra+", lines[0]);
    EXPECT_EQ("Up/Down/Left/Right = W/A/S/D ; Buttons A/B/C = K/L/R", lines[13]);
    EXPECT_EQ("To see more options for kevra+, such as the memory analyzer, run the last project, or exit, "
              "right-click or double-click its icon in the notification bar.",
              lines[15]);
}

// The wording of the other lines is free; what each one is about is not, nor their order.
// Words are compared in small letters.
TEST(HowToText, EveryOtherLineSaysWhatItIsThereFor)
{
    const std::vector<std::string> lines = SplitAtCrLf(ReadSourceFile("resources/howto.txt"));
    ASSERT_EQ(16u, lines.size());
    const struct { size_t line; std::vector<std::string> mentions; } cases[] = {
        { 2, { "simulator", "arduino compiler monitoring agent" } },
        { 4, { "windows" } },
        { 5, { "simulator", "https://" } },
        { 6, { "utilities", "https://" } },
        { 8, { "arduino", "windows", "https://" } },
        { 9, { "examples and games", "https://" } },
        { 11, { "icon", "four blue", "notification area", "verify", "simulator" } },
        { 13, { "keys", "kevra" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::string line = lines[c.line - 1];
        for (char& ch : line)
            ch = ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch;
        for (const std::string& word : c.mentions)
            EXPECT_NE(std::string::npos, line.find(word)) << word;
    }
}

TEST(HowToText, VersionPlaceholderEndsLineFourAndNowhereElse)
{
    const std::string text = ReadSourceFile("resources/howto.txt");
    const std::vector<std::string> lines = SplitAtCrLf(text);
    ASSERT_EQ(16u, lines.size());
    EXPECT_EQ(1u, Occurrences(text, "vXXX"));
    ASSERT_GE(lines[3].size(), 4u);
    EXPECT_EQ("vXXX", lines[3].substr(lines[3].size() - 4));
    // Only the placeholder may carry a version, or the shown text would go stale at the next release.
    EXPECT_EQ(0u, Occurrences(text, VersionText));
}

TEST(Icon, HoldsA16AndA32PixelImageOf32BitsWithAlphaAndMask)
{
    const std::string ico = ReadSourceFile("resources/kevra.ico");
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(0u, Le16(ico, 0));
    EXPECT_EQ(1u, Le16(ico, 2));  // 1 is an icon, 2 a cursor
    ASSERT_EQ(2u, Le16(ico, 4));
    ASSERT_GE(ico.size(), 6u + 2 * 16);

    const uint32_t sizes[] = { 16, 32 };
    for (size_t i = 0; i < 2; ++i) {
        const uint32_t size = sizes[i];
        SCOPED_TRACE(size);
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(size, uint8_t(ico[entry]));
        EXPECT_EQ(size, uint8_t(ico[entry + 1]));
        EXPECT_EQ(1u, Le16(ico, entry + 4));   // planes
        EXPECT_EQ(32u, Le16(ico, entry + 6));  // bits per pixel
        const uint32_t bytes = Le32(ico, entry + 8);
        const uint32_t offset = Le32(ico, entry + 12);
        ASSERT_LE(uint64_t(offset) + bytes, ico.size());

        // A DIB, not a PNG: the header's height counts the colour rows and the mask rows.
        EXPECT_EQ(40u, Le32(ico, offset));
        EXPECT_EQ(size, Le32(ico, offset + 4));
        EXPECT_EQ(2 * size, Le32(ico, offset + 8));
        EXPECT_EQ(32u, Le16(ico, offset + 14));
        EXPECT_EQ(0u, Le32(ico, offset + 16));  // BI_RGB
        const uint32_t maskStride = (size + 31) / 32 * 4;
        ASSERT_EQ(40 + size * size * 4 + maskStride * size, bytes);

        // Transparent background, blue buttons, and a mask that hides exactly the transparent pixels.
        const size_t pixels = offset + 40;
        const size_t mask = pixels + size * size * 4;
        uint64_t blue = 0, green = 0, red = 0;
        for (uint32_t y = 0; y < size; ++y)
            for (uint32_t x = 0; x < size; ++x) {
                const size_t p = pixels + 4 * (y * size + x);
                const uint8_t alpha = ico[p + 3];
                const bool hidden = uint8_t(ico[mask + y * maskStride + x / 8]) & (0x80 >> (x % 8));
                EXPECT_EQ(alpha == 0, hidden) << x << "," << y;
                blue += uint8_t(ico[p]) * alpha;
                green += uint8_t(ico[p + 1]) * alpha;
                red += uint8_t(ico[p + 2]) * alpha;
            }
        for (uint32_t corner : { 0u, size - 1, size * (size - 1), size * size - 1 })
            EXPECT_EQ(0, ico[pixels + 4 * corner + 3]) << "corner pixel " << corner;
        EXPECT_GT(blue, 2 * red);
        EXPECT_GT(blue, green);
    }
}

TEST(Version, ResourcesCarryTheNumbersOfVersionText)
{
    const std::string dotted = FourPartVersion('.');
    const struct { const char* file; std::string expected; } cases[] = {
        { "resources/kevra.rc", "FILEVERSION " + FourPartVersion(',') },
        { "resources/kevra.rc", "PRODUCTVERSION " + FourPartVersion(',') },
        { "resources/kevra.rc", "\"FileVersion\", \"" + dotted + "\"" },
        { "resources/kevra.rc", "\"ProductVersion\", \"" + dotted + "\"" },
        { "resources/kevra-amd64.manifest", "name=\"kevra.agent\" version=\"" + dotted + "\"" },
        { "resources/kevra-x86.manifest", "name=\"kevra.agent\" version=\"" + dotted + "\"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_NE(std::string::npos, ReadSourceFile(c.file).find(c.expected)) << c.expected;
    }
}

TEST(Manifest, EachBuildAsksForCommonControlsSixOfItsOwnArchitecture)
{
    const struct { const char* file; const char* own; const char* other; } cases[] = {
        { "resources/kevra-amd64.manifest", "processorArchitecture=\"amd64\"", "processorArchitecture=\"x86\"" },
        { "resources/kevra-x86.manifest", "processorArchitecture=\"x86\"", "processorArchitecture=\"amd64\"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string manifest = ReadSourceFile(c.file);
        EXPECT_NE(std::string::npos,
                  manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
        EXPECT_EQ(2u, Occurrences(manifest, c.own));  // the agent's identity and the dependency
        EXPECT_EQ(0u, Occurrences(manifest, c.other));
    }
}

TEST(Manifest, EachBuildIsLongPathAwareForWindows10And11WithGdiScalingAndNoDpiAwareness)
{
    // Each setting in the namespace the system reads it from; in another it is ignored silently.
    const char* const settings[] = {
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>",
        "<gdiScaling xmlns=\"http://schemas.microsoft.com/SMI/2017/WindowsSettings\">true</gdiScaling>",
        "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
        "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
        "<windowsSettings>",
    };
    for (const char* file : { "resources/kevra-amd64.manifest", "resources/kevra-x86.manifest" }) {
        SCOPED_TRACE(file);
        const std::string manifest = ReadSourceFile(file);
        for (const char* setting : settings)
            EXPECT_EQ(1u, Occurrences(manifest, setting)) << setting;
        // GDI scaling works for windows that are not DPI-aware: they keep their pixel layouts.
        EXPECT_EQ(0u, Occurrences(manifest, "dpiAware"));
        EXPECT_EQ(0u, Occurrences(manifest, "dpiAwareness"));
    }
}
