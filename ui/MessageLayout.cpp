#include "ui/MessageLayout.h"

#include <algorithm>
#include <cmath>

#include "base/Text.h"

std::string MessageFace;
int32_t MessagePoints = 0;
int32_t MessageTextColor = 0;
int32_t MessageBackColor = 0;
std::string ButtonFace;
int32_t ButtonPoints = 0;

std::string CaptionCancel, CaptionRetry, CaptionContinue, CaptionYes, CaptionNo, CaptionAbort, CaptionIgnore,
    CaptionOk;

namespace {

constexpr size_t FaceLimit = 259;

std::string KeptFace(std::string_view face)
{
    std::string kept = TrimSpaces(face);
    if (kept.size() > FaceLimit)
        kept.resize(FaceLimit);
    return kept;
}

std::string CaptionList(std::initializer_list<const std::string*> captions)
{
    std::string list;
    for (const std::string* c : captions)
        list += (c == *captions.begin() ? "" : ";") + *c;
    return list;
}

}  // namespace

void SetMessageDialogAppearance(std::string_view face, int32_t points, int32_t textColor, int32_t backColor)
{
    MessageFace = KeptFace(face);
    MessagePoints = points;
    MessageTextColor = textColor;
    MessageBackColor = backColor;
    SetMessageButtonFont(face, points);
}

void SetMessageButtonFont(std::string_view face, int32_t points)
{
    ButtonFace = KeptFace(face);
    ButtonPoints = points;
}

void FillEmptyCaptions()
{
    const std::pair<std::string*, const char*> defaults[] = {
        {&CaptionCancel, "&Cancel"}, {&CaptionRetry, "&Retry"}, {&CaptionContinue, "C&ontinue"},
        {&CaptionYes, "&Yes"},       {&CaptionNo, "&No"},       {&CaptionAbort, "&Abort"},
        {&CaptionIgnore, "&Ignore"}, {&CaptionOk, "&OK"},
    };
    for (const auto& [caption, text] : defaults)
        if (caption->empty())
            *caption = text;
}

MessageIcon ChooseMessageIcon(uint32_t style)
{
    // Each test that matches replaces the earlier ones, so 0x50 ends like 0x10 and 0x70 like 0x30.
    MessageIcon icon{0, 0};
    if ((style & 0x40) == 0x40) icon = {104, 0x40};
    if ((style & 0x10) == 0x10) icon = {103, 0x10};
    if ((style & 0x20) == 0x20) icon = {102, 0x20};
    if ((style & 0x30) == 0x30) icon = {101, 0x30};
    return icon;
}

std::string MessageButtonList(uint32_t style, std::string_view buttons)
{
    // Same rule of the last match: the low three bits 1 to 6 give their set, and 7 gives the set of 6.
    std::string list(buttons);
    if ((style & 4) == 4) list = CaptionList({&CaptionYes, &CaptionNo});
    if ((style & 2) == 2) list = CaptionList({&CaptionAbort, &CaptionRetry, &CaptionIgnore});
    if ((style & 1) == 1) list = CaptionList({&CaptionOk, &CaptionCancel});
    if ((style & 3) == 3) list = CaptionList({&CaptionYes, &CaptionNo, &CaptionCancel});
    if ((style & 5) == 5) list = CaptionList({&CaptionRetry, &CaptionCancel});
    if ((style & 6) == 6) list = CaptionList({&CaptionCancel, &CaptionRetry, &CaptionContinue});
    if (list.empty())
        list = CaptionOk;
    return list;
}

std::vector<std::string> SplitCaptions(std::string_view list)
{
    std::vector<std::string> captions;
    for (;;) {
        const size_t semicolon = list.find(';');
        captions.emplace_back(list.substr(0, semicolon));
        if (semicolon == std::string_view::npos)
            return captions;
        list.remove_prefix(semicolon + 1);
    }
}

int RoundHalfEven(double value)
{
    const double down = std::floor(value);
    const double rest = value - down;
    double rounded = down;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(down, 2.0) != 0.0))
        rounded = down + 1.0;
    return int(rounded);
}

MessageLayout LayOutMessage(int textWidth, int textHeight, int points, bool withIcon,
                            std::span<const int> captionWidths)
{
    MessageLayout layout{};
    layout.textWidth = std::max(160, std::min(380, textWidth));
    layout.textHeight = RoundHalfEven(double(layout.textWidth) * textHeight * textWidth / 100000.0 + 2.0 * points);
    layout.rowTop = withIcon ? std::max(layout.textHeight + 10, 42) : layout.textHeight + 10;
    int x = 10;
    for (int w : captionWidths) {
        layout.buttonWidths.push_back(20 + w);
        x += 20 + w + 10;
    }
    layout.rowEnd = x;
    layout.clientWidth = std::max(layout.rowEnd, layout.textWidth + (withIcon ? 52 : 20));
    layout.clientHeight = layout.rowTop + 29;
    return layout;
}

std::vector<int> CenteredRow(int clientWidth, int rowEnd, std::span<const int> buttonWidths)
{
    std::vector<int> xs;
    int x = (clientWidth - (rowEnd - 20)) / 2;
    for (int w : buttonWidths) {
        xs.push_back(x);
        x += w + 10;
    }
    return xs;
}

ScreenPoint CenteredOver(const ScreenRect& owner, const ScreenRect& window)
{
    return {RoundHalfEven((double(owner.left) + owner.right - window.right + window.left) / 2.0),
            RoundHalfEven((double(owner.top) + owner.bottom - window.bottom + window.top) / 2.0)};
}
