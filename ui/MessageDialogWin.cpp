#include "ui/MessageDialog.h"

#include <vector>

#include "core/Text.h"
#include "core/Win32.h"
#include "ui/Window.h"

int32_t FocusedButtonId = 0;

namespace {

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

}  // namespace

int32_t ShowMessageDialog(HWND owner, const std::string& text, const std::string& caption, uint32_t style,
                          const std::string& buttons)
{
    if (MessageFace.empty())
        SetMessageDialogAppearance("Ms Sans Serif", 8, -1, -1);

    WindowDesc desc;
    desc.caption = caption.empty() ? ExeBaseName(OwnExePath()) : caption;
    desc.style = MessageDialogStyle;
    desc.width = 400;
    desc.height = 100;
    desc.owner = owner;
    HWND dialog = CreateRuntimeDialog(desc, {}, MessageDialogProc);
    if (!dialog)
        return 0;
    const ColourPair look{MessageTextColor, MessageBackColor};

    const MessageIcon icon = ChooseMessageIcon(style);
    const bool withIcon = icon.iconNumber != 0;
    HICON iconImage = nullptr;
    if (withIcon) {
        AddControl(dialog, {IdMessageIcon, "STATIC", "", 5, 5, 0, 0, SS_ICON});
        SetControlColours(dialog, IdMessageIcon, look);
        // When no image can be had, the control stays empty and the layout is still the one with an icon.
        iconImage = LoadMessageIcon(icon.iconNumber);
        SendDlgItemMessageW(dialog, IdMessageIcon, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(iconImage));
    }
    const int textX = withIcon ? 42 : 10;
    HWND textArea = AddControl(dialog, {IdMessageText, "EDIT", text.c_str(), textX, 10, 10, 10,
                                        ES_MULTILINE | ES_READONLY});
    HWND surface = AddControl(dialog, {IdMeasuringSurface, "STATIC", "", -900, -900, 10, 10,
                                       WS_TABSTOP | SS_OWNERDRAW});
    HDC measuring = GetDC(surface);

    UniqueFont messageFont = CreatePointFont(MessageFace, MessagePoints);
    SendMessageW(textArea, WM_SETFONT, reinterpret_cast<WPARAM>(messageFont.get()), TRUE);
    HGDIOBJ surfaceFont = SelectObject(measuring, messageFont.get());
    const SIZE textSize = MeasureOneLine(measuring, text);

    FillEmptyCaptions();
    const std::vector<std::string> captions = SplitCaptions(MessageButtonList(style, buttons));
    UniqueFont buttonFont = CreatePointFont(ButtonFace, ButtonPoints);
    SelectObject(measuring, buttonFont.get());
    std::vector<int> captionWidths;
    for (const std::string& c : captions)
        captionWidths.push_back(MeasureOneLine(measuring, c).cx);

    const MessageLayout layout = LayOutMessage(textSize.cx, textSize.cy, MessagePoints, withIcon, captionWidths);
    SetWindowPos(textArea, nullptr, 0, 0, layout.textWidth, layout.textHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetControlColours(dialog, IdMessageText, look);
    SetWindowColours(dialog, look);

    int x = 10;
    for (size_t i = 0; i < captions.size(); ++i) {
        const int id = IdMeasuringSurface + 1 + int(i);
        HWND button = AddControl(dialog, {id, "BUTTON", captions[i].c_str(), x, layout.rowTop,
                                          layout.buttonWidths[i], 24, BS_PUSHBUTTON | WS_TABSTOP});
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont.get()), TRUE);
        x += layout.buttonWidths[i] + 10;
    }
    SetClientSize(dialog, layout.clientWidth, layout.clientHeight);

    // The row is centred with the widths the buttons really have.
    std::vector<int> widths;
    for (size_t i = 0; i < captions.size(); ++i) {
        RECT r{};
        GetWindowRect(GetDlgItem(dialog, IdMeasuringSurface + 1 + int(i)), &r);
        widths.push_back(int(r.right - r.left));
    }
    const std::vector<int> xs = CentredRow(layout.clientWidth, layout.rowEnd, widths);
    for (size_t i = 0; i < captions.size(); ++i)
        SetWindowPos(GetDlgItem(dialog, IdMeasuringSurface + 1 + int(i)), nullptr, xs[i], layout.rowTop, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    SelectObject(measuring, surfaceFont);
    ReleaseDC(surface, measuring);

    MessageBeep(icon.sound);
    SetWindowIconResource(dialog, "AICO");
    const INT_PTR result = RunModal(dialog);
    if (iconImage)
        DestroyIcon(iconImage);
    return int32_t(result);
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) noexcept
{
    const int first = IdMeasuringSurface + 1;
    switch (message) {
    case WM_INITDIALOG:
        CenterOnOwner(dialog, nullptr);
        FocusedButtonId = first;
        SetForegroundWindow(dialog);
        SetFocus(GetDlgItem(dialog, first));
        break;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDOK)
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(FocusedButtonId, BN_CLICKED), 0);
        else if (id >= first && id <= IdLastEndingButton && code == BN_CLICKED)
            EndModal(dialog, id - IdMeasuringSurface);
        else if (id >= first && id <= IdLastEndingButton && code == BN_SETFOCUS)
            FocusedButtonId = id;
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
    const ScreenPoint at = CentredOver({int(p.left), int(p.top), int(p.right), int(p.bottom)},
                                       {int(d.left), int(d.top), int(d.right), int(d.bottom)});
    SetWindowPos(window, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
}
