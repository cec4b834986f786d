// ui/MessageLayout.h: the decisions of the message dialog that need no window: its process-wide look
// and standard captions, the icon and sound for a style, the button captions for a style and a
// caller's ";" list, and the layout from measured text sizes. Pure functions over plain values; the
// Windows side measures, creates and places.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The look of every message dialog shown afterwards. Faces are kept trimmed of spaces and cut to 259
// characters; an empty MessageFace means that no look has been set yet. Colors are COLORREF values;
// a negative one means the system's default.
extern std::string MessageFace;
extern int32_t MessagePoints;
extern int32_t MessageTextColor;
extern int32_t MessageBackColor;
extern std::string ButtonFace;
extern int32_t ButtonPoints;

void SetMessageDialogAppearance(std::string_view face, int32_t points, int32_t textColor, int32_t backColor);
void SetMessageButtonFont(std::string_view face, int32_t points);

// The standard captions; FillEmptyCaptions gives each empty one its default ("&OK", "&Cancel", ...).
extern std::string CaptionCancel, CaptionRetry, CaptionContinue, CaptionYes, CaptionNo, CaptionAbort,
    CaptionIgnore, CaptionOk;
void FillEmptyCaptions();

// The icon number (101 to 104, 0 for none) and the MessageBeep sound of a style's icon bits.
struct MessageIcon {
    int iconNumber;
    uint32_t sound;
};
MessageIcon ChooseMessageIcon(uint32_t style);

// The ";"-joined captions of a style's type bits, or the caller's list for type 0; CaptionOk when that
// is empty. Reads the standard captions as they are.
std::string MessageButtonList(uint32_t style, std::string_view buttons);

// The list split at every ";": one more caption than there are ";", none trimmed.
std::vector<std::string> SplitCaptions(std::string_view list);

// Nearest integer, a half to the even neighbour.
int RoundHalfEven(double value);

// Layout in pixels of the client area, from the message measured as one line (textWidth x
// textHeight) and the measured width of each button caption. The text area's top-left corner is not
// part of it: the dialog creates the area there before anything is measured.
struct MessageLayout {
    int textWidth, textHeight;
    int rowTop;
    std::vector<int> buttonWidths;
    int rowEnd;   // x after the last button while the row is laid out from the left
    int clientWidth, clientHeight;
};
MessageLayout LayOutMessage(int textWidth, int textHeight, int points, bool withIcon,
                            std::span<const int> captionWidths);

// The left edge of each button of a row centered in a client area of clientWidth, from the row end of
// the left-aligned row and the buttons' widths.
std::vector<int> CenteredRow(int clientWidth, int rowEnd, std::span<const int> buttonWidths);

// The top-left corner that centers a window rectangle over an owner rectangle, halves rounded to even.
struct ScreenRect {
    int left, top, right, bottom;
};
struct ScreenPoint {
    int x, y;
};
ScreenPoint CenteredOver(const ScreenRect& owner, const ScreenRect& window);
