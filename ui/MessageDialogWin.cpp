#include "ui/MessageDialog.h"

#include <vector>

#include "base/Text.h"
#include "base/Win32.h"
#include "ui/Window.h"

namespace {

using UniqueIcon = Unique<HICON, DestroyIcon>;

constexpr int IdFirstButton = IdMeasuringSurface + 1;

constexpr DWORD MessageDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE
                                     | DS_3DLOOK;   // 0x80C000D4: no system menu, so no close box

// Width and height of text as one line (line breaks measured like other characters) in the font
// selected into dc.
SIZE MeasureOneLine(HDC dc, const std::string& text)
{
    const std::wstring wide = Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &size);
    return size;
}

// The image of a message-box icon number, 32 x 32, owned by the caller. The numbers are those of the
// system's message-box icons; a system that gives nothing for them without a module gets the same
// icon from user32, or the standard icon of the same meaning.
HICON LoadMessageIcon(int number)
{
    if (HICON icon = static_cast<HICON>(LoadImageA(nullptr, MAKEINTRESOURCEA(number), IMAGE_ICON, 32, 32, 0)))
        return icon;
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll"))
        if (HICON icon = static_cast<HICON>(LoadImageW(user32, MAKEINTRESOURCEW(number), IMAGE_ICON, 32, 32, 0)))
            return icon;
    const WORD standard = number == 101 ? 32515    // IDI_EXCLAMATION
                          : number == 102 ? 32514  // IDI_QUESTION
                          : number == 103 ? 32513  // IDI_HAND
                                          : 32516; // IDI_ASTERISK
    HICON shared = LoadIconW(nullptr, MAKEINTRESOURCEW(standard));
    return shared ? CopyIcon(shared) : nullptr;
}

// A message dialog built hidden: its window, the controls that come before the buttons, the captions,
// and the layout worked out from the text and captions measured in the fonts that show them. The
// fonts and the icon image are in use by the window's controls until it is destroyed.
struct MeasuredDialog {
    HWND dialog = nullptr;
    HWND textArea = nullptr;
    UniqueIcon iconImage;
    UniqueFont messageFont;
    UniqueFont buttonFont;
    uint32_t sound = 0;
    std::vector<std::string> captions;
    MessageLayout layout{};
};

// Creates the dialog hidden with its icon, text area and measuring surface in the dialog's colors,
// measures the message and every caption on the surface, and lays them out. dialog is null when no
// window could be made.
MeasuredDialog BuildMeasuredDialog(HWND owner, const std::string& text, const std::string& caption,
                                   uint32_t style, const std::string& buttons)
{
    MeasuredDialog m;
    WindowDesc desc;
    desc.caption = caption.empty() ? ExeBaseName(OwnExePath()) : caption;
    desc.style = MessageDialogStyle;
    desc.width = 400;
    desc.height = 100;
    desc.owner = owner;
    m.dialog = CreateRuntimeDialog(desc, {}, MessageDialogProc);
    if (!m.dialog)
        return m;
    const ColorPair look{MessageTextColor, MessageBackColor};

    const MessageIcon icon = ChooseMessageIcon(style);
    const bool withIcon = icon.iconNumber != 0;
    m.sound = icon.sound;
    if (withIcon) {
        AddControl(m.dialog, {IdMessageIcon, "STATIC", "", 5, 5, 0, 0, SS_ICON});
        SetControlColors(m.dialog, IdMessageIcon, look);
        // When no image can be had, the control stays empty and the layout is still the one with an icon.
        m.iconImage = UniqueIcon{LoadMessageIcon(icon.iconNumber)};
        SendDlgItemMessageW(m.dialog, IdMessageIcon, STM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(m.iconImage.get()));
    }
    m.textArea = AddControl(m.dialog, {IdMessageText, "EDIT", text.c_str(), withIcon ? 42 : 10, 10, 10, 10,
                                       ES_MULTILINE | ES_READONLY});
    SetControlColors(m.dialog, IdMessageText, look);
    SetWindowColors(m.dialog, look);
    HWND surface = AddControl(m.dialog, {IdMeasuringSurface, "STATIC", "", -900, -900, 10, 10,
                                         WS_TABSTOP | SS_OWNERDRAW});
    HDC measuring = GetDC(surface);

    m.messageFont = CreatePointFont(MessageFace, MessagePoints);
    SendMessageW(m.textArea, WM_SETFONT, reinterpret_cast<WPARAM>(m.messageFont.get()), TRUE);
    HGDIOBJ surfaceFont = SelectObject(measuring, m.messageFont.get());
    const SIZE textSize = MeasureOneLine(measuring, text);

    FillEmptyCaptions();
    m.captions = SplitCaptions(MessageButtonList(style, buttons));
    m.buttonFont = CreatePointFont(ButtonFace, ButtonPoints);
    SelectObject(measuring, m.buttonFont.get());
    std::vector<int> captionWidths;
    for (const std::string& c : m.captions)
        captionWidths.push_back(MeasureOneLine(measuring, c).cx);
    // The surface stays, a tab stop before the first button, but nothing is measured on it any more.
    SelectObject(measuring, surfaceFont);
    ReleaseDC(surface, measuring);

    m.layout = LayOutMessage(textSize.cx, textSize.cy, MessagePoints, withIcon, captionWidths);
    return m;
}

// Sizes the text area, adds the row of buttons under it, sizes the client area around both, and
// centers the row with the widths that the buttons really have.
void PlaceMessageControls(const MeasuredDialog& m)
{
    const MessageLayout& layout = m.layout;
    SetWindowPos(m.textArea, nullptr, 0, 0, layout.textWidth, layout.textHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    std::vector<HWND> buttons;
    int x = 10;
    for (size_t i = 0; i < m.captions.size(); ++i) {
        HWND button = AddControl(m.dialog, {IdFirstButton + int(i), "BUTTON", m.captions[i].c_str(), x,
                                            layout.rowTop, layout.buttonWidths[i], 24, BS_PUSHBUTTON | WS_TABSTOP});
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(m.buttonFont.get()), TRUE);
        buttons.push_back(button);
        x += layout.buttonWidths[i] + 10;
    }
    SetClientSize(m.dialog, layout.clientWidth, layout.clientHeight);

    std::vector<int> widths;
    for (HWND button : buttons) {
        RECT r{};
        GetWindowRect(button, &r);
        widths.push_back(int(r.right - r.left));
    }
    const std::vector<int> xs = CenteredRow(layout.clientWidth, layout.rowEnd, widths);
    for (size_t i = 0; i < buttons.size(); ++i)
        SetWindowPos(buttons[i], nullptr, xs[i], layout.rowTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The dialog's own remembered button lives in its DWLP_USER, so that a dialog shown over another
// leaves the other's alone.
void RememberButton(HWND dialog, int id)
{
    SetWindowLongPtrW(dialog, DWLP_USER, id);
}

}  // namespace

int32_t ShowMessageDialog(HWND owner, const std::string& text, const std::string& caption, uint32_t style,
                          const std::string& buttons)
{
    if (MessageFace.empty())
        SetMessageDialogAppearance("Ms Sans Serif", 8, -1, -1);
    const MeasuredDialog m = BuildMeasuredDialog(owner, text, caption, style, buttons);
    if (!m.dialog)
        return 0;
    PlaceMessageControls(m);
    MessageBeep(m.sound);
    SetWindowIconResource(m.dialog, "AICO");
    return int32_t(RunModal(m.dialog));
}   // the fonts and the icon image go here, after the window that used them

int32_t FocusedButtonId(HWND dialog)
{
    return int32_t(GetWindowLongPtrW(dialog, DWLP_USER));
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) noexcept
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOnOwner(dialog, nullptr);
        RememberButton(dialog, IdFirstButton);
        SetForegroundWindow(dialog);
        SetFocus(GetDlgItem(dialog, IdFirstButton));
        break;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDOK)
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(FocusedButtonId(dialog), BN_CLICKED), 0);
        else if (id >= IdFirstButton && id <= IdLastEndingButton && code == BN_CLICKED)
            EndModal(dialog, id - IdMeasuringSurface);
        else if (id >= IdFirstButton && id <= IdLastEndingButton && code == BN_SETFOCUS)
            RememberButton(dialog, id);
        break;
    }
    }
    return 0;
}

void CenterOnOwner(HWND window, HWND owner)
{
    if (!owner)
        owner = GetParent(window);
    RECT p{};
    if (!owner || !GetWindowRect(owner, &p))
        p = RECT{};
    RECT d{};
    GetWindowRect(window, &d);
    const ScreenPoint at = CenteredOver({int(p.left), int(p.top), int(p.right), int(p.bottom)},
                                        {int(d.left), int(d.top), int(d.right), int(d.bottom)});
    SetWindowPos(window, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
}
