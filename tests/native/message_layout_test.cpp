// The message dialog's choices and layout, worked out by hand from the measured sizes.
#include <gtest/gtest.h>

#include "ui/MessageLayout.h"

TEST(MessageIcon, LastMatchingIconBitWins)
{
    struct Case { uint32_t style; int icon; uint32_t sound; };
    const Case cases[] = {
        {0x00, 0, 0},       {0x10, 103, 0x10}, {0x20, 102, 0x20}, {0x30, 101, 0x30},
        {0x40, 104, 0x40},  {0x50, 103, 0x10}, {0x60, 102, 0x20}, {0x70, 101, 0x30},
        {0x0F, 0, 0},       // type bits and 0x8 choose no icon
        {0x143, 104, 0x40}, // bits outside the icon and type bits are ignored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        const MessageIcon icon = ChooseMessageIcon(c.style);
        EXPECT_EQ(c.icon, icon.iconNumber);
        EXPECT_EQ(c.sound, icon.sound);
    }
}

TEST(MessageButtons, TypeBitsReplaceTheCallersList)
{
    FillEmptyCaptions();
    struct Case { uint32_t style; const char* buttons; const char* list; };
    const Case cases[] = {
        {0, "", "&OK"},
        {0, "Save;Discard;Back", "Save;Discard;Back"},
        {0x40, "", "&OK"},
        {1, "", "&OK;&Cancel"},
        {2, "", "&Abort;&Retry;&Ignore"},
        {3, "", "&Yes;&No;&Cancel"},
        {4, "Keep;Drop", "&Yes;&No"},
        {5, "x", "&Retry;&Cancel"},
        {6, "", "&Cancel;&Retry;C&ontinue"},
        {7, "x;y", "&Cancel;&Retry;C&ontinue"},
        {8, "Mine", "Mine"},          // 0x8 is not a type bit
        {8, "", "&OK"},
        {0x24, "a", "&Yes;&No"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(c.list, MessageButtonList(c.style, c.buttons));
    }
}

TEST(MessageButtons, EmptyCaptionsGetTheirDefaultsAndOthersStay)
{
    CaptionOk.clear();
    CaptionNo = "Nein";
    FillEmptyCaptions();
    EXPECT_EQ("&OK", CaptionOk);
    EXPECT_EQ("&Yes;Nein", MessageButtonList(4, ""));
    CaptionNo.clear();
    FillEmptyCaptions();
    EXPECT_EQ("&No", CaptionNo);
}

TEST(MessageButtons, SplitAtEverySemicolon)
{
    struct Case { const char* list; std::vector<std::string> captions; };
    const Case cases[] = {
        {"a;b;c", {"a", "b", "c"}},
        {"a;", {"a", ""}},
        {";", {"", ""}},
        {"", {""}},
        {" a ;\"b;c\"", {" a ", "\"b", "c\""}},   // no trimming, quotes are plain text
        {"\xE9t\xE9;\x80", {"\xE9t\xE9", "\x80"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(c.captions, SplitCaptions(c.list));
    }
}

TEST(MessageAppearance, FacesAreTrimmedAndTheButtonsFollowTheText)
{
    SetMessageDialogAppearance("  System ", 14, 0x554848, 0xAAFFDA);
    EXPECT_EQ("System", MessageFace);
    EXPECT_EQ("System", ButtonFace);
    EXPECT_EQ(14, MessagePoints);
    EXPECT_EQ(14, ButtonPoints);
    EXPECT_EQ(0x554848, MessageTextColor);
    EXPECT_EQ(0xAAFFDA, MessageBackColor);
    SetMessageDialogAppearance(std::string(300, 'f'), 8, -1, -1);
    EXPECT_EQ(259u, MessageFace.size());
    EXPECT_EQ(259u, ButtonFace.size());
}

TEST(MessageLayoutMaths, RoundsHalvesToEven)
{
    const std::pair<double, int> cases[] = {
        {42.4, 42}, {42.5, 42}, {43.5, 44}, {42.6, 43}, {0.5, 0}, {1.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.6, -3},
    };
    for (const auto& [value, rounded] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(rounded, RoundHalfEven(value));
    }
}

TEST(MessageLayoutMaths, WorkedLayoutWithoutIcon)
{
    const int captionWidths[] = {30};
    const MessageLayout l = LayOutMessage(300, 16, 14, false, captionWidths);
    EXPECT_EQ(300, l.textWidth);
    EXPECT_EQ(42, l.textHeight);   // 300 x 16 x 300 / 100000 + 28 = 42.4
    EXPECT_EQ(52, l.rowTop);
    EXPECT_EQ(std::vector<int>{50}, l.buttonWidths);
    EXPECT_EQ(70, l.rowEnd);
    EXPECT_EQ(320, l.clientWidth);
    EXPECT_EQ(81, l.clientHeight);
    EXPECT_EQ(std::vector<int>{135}, CenteredRow(l.clientWidth, l.rowEnd, l.buttonWidths));   // (320 - 50) / 2
}

TEST(MessageLayoutMaths, TextAreaSizes)
{
    struct Case { int w, h, points; bool icon; int tw, th, rowTop, clientWidth; };
    const Case cases[] = {
        {5000, 16, 14, false, 380, 332, 342, 400},   // 380 x 16 x 5000 / 100000 + 28 = 332
        {100, 16, 14, false, 160, 31, 41, 180},      // narrow text still gets 160: 2.56 + 28
        {100, 16, 8, true, 160, 19, 42, 212},        // with an icon the row starts at 42 at least
        {200, 13, 8, true, 200, 21, 42, 252},        // 5.2 + 16
        {380, 13, 8, true, 380, 35, 45, 432},        // 18.772 + 16 = 34.772
        {250, 16, 0, false, 250, 10, 20, 270},       // 10.0 exactly
        {125, 16, 0, false, 160, 3, 13, 180},        // 3.2
        {3125, 1, 0, false, 380, 12, 22, 400},       // 11.875
        {2500, 1, 1, false, 380, 12, 22, 400},       // 9.5 + 2 = 11.5: a half goes to even, 12
        {2500, 1, 2, false, 380, 14, 24, 400},       // 9.5 + 4 = 13.5: 14
        {1250, 2, 2, false, 380, 14, 24, 400},       // 9.5 + 4
        {3750, 2, 1, false, 380, 30, 40, 400},       // 28.5 + 2 = 30.5: 30
    };
    const int oneCaption[] = {30};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " " << c.points << "pt icon " << c.icon);
        const MessageLayout l = LayOutMessage(c.w, c.h, c.points, c.icon, oneCaption);
        EXPECT_EQ(c.tw, l.textWidth);
        EXPECT_EQ(c.th, l.textHeight);
        EXPECT_EQ(c.rowTop, l.rowTop);
        EXPECT_EQ(c.clientWidth, l.clientWidth);
        EXPECT_EQ(c.rowTop + 29, l.clientHeight);
    }
}

TEST(MessageLayoutMaths, WideRowSetsTheWidthAndCentersWithTruncation)
{
    // Three captions 100, 0 and 41 wide: buttons 120, 20, 61; row end 10 + 130 + 30 + 71 = 241.
    const int widths[] = {100, 0, 41};
    const MessageLayout l = LayOutMessage(150, 16, 8, false, widths);
    EXPECT_EQ((std::vector<int>{120, 20, 61}), l.buttonWidths);
    EXPECT_EQ(241, l.rowEnd);
    EXPECT_EQ(241, l.clientWidth);   // wider than 160 + 20
    // The row fills the client area: (241 - 221) / 2 = 10, the same left edges as laid out.
    EXPECT_EQ((std::vector<int>{10, 140, 170}), CenteredRow(l.clientWidth, l.rowEnd, l.buttonWidths));
    // Row width 221 in a client 400 wide: (400 - 221) / 2 = 89.5, truncated to 89.
    EXPECT_EQ((std::vector<int>{89, 219, 249}), CenteredRow(400, 241, l.buttonWidths));
}

TEST(MessageLayoutMaths, CenteredOverOwner)
{
    struct Case { ScreenRect owner, window; int x, y; };
    const Case cases[] = {
        {{0, 0, 0, 0}, {100, 100, 301, 181}, -100, -40},   // -100.5 to -100, -40.5 to -40
        {{0, 0, 0, 0}, {0, 0, 203, 83}, -102, -42},        // -101.5 to -102, -41.5 to -42
        {{100, 50, 500, 350}, {0, 0, 200, 100}, 200, 150},
        {{-300, -10, 101, 11}, {7, 7, 8, 8}, -100, 0},     // (-300 + 101 - 1) / 2 = -100, (1 - 1) / 2
        {{10, 10, 21, 20}, {0, 0, 10, 10}, 10, 10},        // 10.5 to 10, 10
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        const ScreenPoint p = CenteredOver(c.owner, c.window);
        EXPECT_EQ(c.x, p.x);
        EXPECT_EQ(c.y, p.y);
    }
}
