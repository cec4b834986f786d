#include "AnalyzerDriver.h"

#include <commctrl.h>
#include <tlhelp32.h>
#include <winternl.h>

#include "AgentDriver.h"
#include "base/Win32.h"

namespace {

// Memory in another process (or this one) that frees itself.
class RemoteMemory {
    HANDLE process;
    void* at;
public:
    RemoteMemory(HANDLE process, size_t bytes)
        : process(process), at(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteMemory() { if (at) VirtualFreeEx(process, at, 0, MEM_RELEASE); }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
    char* get() const { return static_cast<char*>(at); }
};

UniqueHandle OpenWindowProcess(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return UniqueHandle(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id));
}

constexpr size_t TextCharacters = 1024;

// Sends a list-view message whose lParam is a struct T followed by a text buffer in the list's
// process; returns the text the list wrote.
template <typename T>
std::string RemoteText(HWND list, UINT message, WPARAM wParam, T item)
{
    UniqueHandle process = OpenWindowProcess(list);
    if (!process)
        return "<no access>";
    RemoteMemory memory(process.get(), sizeof(T) + TextCharacters * sizeof(wchar_t));
    if (!memory.get())
        return "<no memory>";
    wchar_t* remoteText = reinterpret_cast<wchar_t*>(memory.get() + sizeof(T));
    item.pszText = remoteText;
    item.cchTextMax = int(TextCharacters);
    WriteProcessMemory(process.get(), memory.get(), &item, sizeof item, nullptr);
    SendMessageW(list, message, wParam, reinterpret_cast<LPARAM>(memory.get()));
    std::wstring text(TextCharacters, L'\0');
    ReadProcessMemory(process.get(), remoteText, text.data(), TextCharacters * sizeof(wchar_t), nullptr);
    text.resize(wcsnlen(text.c_str(), TextCharacters));
    return Narrow(text);
}

struct OwnedSearch {
    HWND owner;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchOwned(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<OwnedSearch*>(data);
    wchar_t cls[64]{};
    GetClassNameW(window, cls, 64);
    if (GetWindow(window, GW_OWNER) == search.owner && IsWindowVisible(window) && lstrcmpW(cls, search.className) == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchEdit(HWND window, LPARAM data)
{
    wchar_t cls[16]{};
    GetClassNameW(window, cls, 16);
    if (lstrcmpiW(cls, L"Edit") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}

// The first edit among the window's descendants: Wine's file name box is an edit in a combo box in
// a ComboBoxEx.
HWND FirstEdit(HWND parent)
{
    HWND found = nullptr;
    EnumChildWindows(parent, MatchEdit, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

std::vector<std::vector<std::string>> ListRows(HWND list)
{
    const int columns = int(SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    const int count = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < count; ++i) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int sub = 0; sub < columns; ++sub) {
            LVITEMW item{};
            item.iSubItem = sub;
            row.push_back(RemoteText(list, LVM_GETITEMTEXTW, WPARAM(i), item));
        }
    }
    return rows;
}

std::vector<ListColumn> ListColumns(HWND list)
{
    const int columns = int(SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    std::vector<ListColumn> out;
    for (int i = 0; i < columns; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        out.push_back({ RemoteText(list, LVM_GETCOLUMNW, WPARAM(i), column), int(SendMessageW(list, LVM_GETCOLUMNWIDTH, WPARAM(i), 0)) });
    }
    return out;
}

HWND FindOwnedWindow(HWND owner, const wchar_t* className)
{
    OwnedSearch search{ owner, className, nullptr };
    EnumWindows(MatchOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FileNameEdit(HWND saveDialog)
{
    if (HWND box = GetDlgItem(saveDialog, 0x47C)) {
        if (ClassName(box) == "Edit")
            return box;
        if (HWND edit = FirstEdit(box))
            return edit;
    }
    if (HWND edit = GetDlgItem(saveDialog, 0x480))
        return edit;
    return FirstEdit(saveDialog);
}

bool SaveDialogAs(HWND saveDialog, const std::string& path, DWORD milliseconds)
{
    HWND edit = FileNameEdit(saveDialog);
    if (!edit)
        return false;
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(path).c_str()));
    PostMessageW(saveDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(saveDialog, IDOK)));
    return WaitFor([&] {
        if (HWND question = FindOwnedWindow(saveDialog))
            PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(question, IDYES)));
        return !IsWindow(saveDialog);
    }, milliseconds);
}

bool CancelSaveDialog(HWND saveDialog)
{
    PostMessageW(saveDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(saveDialog, IDCANCEL)));
    return WaitFor([&] { return !IsWindow(saveDialog); });
}

std::vector<DWORD> ChildProcesses(DWORD parentId, const wchar_t* exeName)
{
    std::vector<DWORD> ids;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    for (BOOL more = Process32FirstW(snapshot.get(), &p); more; more = Process32NextW(snapshot.get(), &p))
        if (p.th32ParentProcessID == parentId && lstrcmpiW(p.szExeFile, exeName) == 0)
            ids.push_back(p.th32ProcessID);
    return ids;
}

void EndProcesses(const std::vector<DWORD>& ids)
{
    for (DWORD id : ids) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process) {
            TerminateProcess(process.get(), 0);
            WaitForSingleObject(process.get(), 5000);
        }
    }
}

std::string ProcessCommandLine(DWORD processId)
{
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    PROCESS_BASIC_INFORMATION basic{};
    if (!process || NtQueryInformationProcess(process.get(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return {};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!ReadProcessMemory(process.get(), basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !ReadProcessMemory(process.get(), peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
        return {};
    std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!ReadProcessMemory(process.get(), parameters.CommandLine.Buffer, text.data(), parameters.CommandLine.Length, nullptr))
        return {};
    return Narrow(text);
}

std::vector<ReportSymbol> ReportSymbols(const std::string& report)
{
    std::vector<ReportSymbol> symbols;
    size_t from = 0;
    for (size_t end; (end = report.find('\n', from)) != std::string::npos; from = end + 1) {
        std::string line = report.substr(from, end - from);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        symbols.push_back({ line.substr(11), line.substr(9, 1), std::strtol(line.substr(0, 8).c_str(), nullptr, 16) });
    }
    return symbols;
}

std::string Grouped(long value)
{
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i)
        out += (i && (digits.size() - i) % 3 == 0 ? "," : "") + std::string(1, digits[i]);
    return out;
}

bool ClickListHeader(HWND list, int column)
{
    UniqueHandle process = OpenWindowProcess(list);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    if (!process || !header)
        return false;
    RemoteMemory memory(process.get(), sizeof(RECT));
    if (!memory.get() || !SendMessageW(header, HDM_GETITEMRECT, WPARAM(column), reinterpret_cast<LPARAM>(memory.get())))
        return false;
    RECT item{};
    if (!ReadProcessMemory(process.get(), memory.get(), &item, sizeof item, nullptr))
        return false;
    POINT at{ (item.left + item.right) / 2, (item.top + item.bottom) / 2 };
    MapWindowPoints(header, nullptr, &at, 1);
    SetForegroundWindow(GetAncestor(list, GA_ROOT));
    if (!SetCursorPos(at.x, at.y))
        return false;
    INPUT clicks[2]{};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, clicks, sizeof(INPUT)) == 2;
}

bool SelectListRow(HWND list, int row)
{
    UniqueHandle process = OpenWindowProcess(list);
    if (!process)
        return false;
    RemoteMemory memory(process.get(), sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (!memory.get() || !WriteProcessMemory(process.get(), memory.get(), &item, sizeof item, nullptr))
        return false;
    return SendMessageW(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(memory.get())) != FALSE;
}

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT))
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            text.assign(bytes, strnlen(bytes, GlobalSize(data)));
            GlobalUnlock(data);
        }
    CloseClipboard();
    return text;
}

void EmptyTheClipboard()
{
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

void PressKeys(std::initializer_list<WORD> chord)
{
    std::vector<INPUT> inputs;
    for (WORD key : chord) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        inputs.push_back(down);
    }
    for (auto key = chord.end(); key != chord.begin();) {
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *--key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool RightClickListRow(HWND list, int row)
{
    UniqueHandle process = OpenWindowProcess(list);
    if (!process)
        return false;
    RemoteMemory memory(process.get(), sizeof(RECT));
    RECT rect{};
    rect.left = LVIR_LABEL;
    if (!memory.get() || !WriteProcessMemory(process.get(), memory.get(), &rect, sizeof rect, nullptr) ||
        !SendMessageW(list, LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(memory.get())) ||
        !ReadProcessMemory(process.get(), memory.get(), &rect, sizeof rect, nullptr))
        return false;
    POINT at{ rect.left + 10, (rect.top + rect.bottom) / 2 };
    MapWindowPoints(list, nullptr, &at, 1);
    if (!SetCursorPos(at.x, at.y))
        return false;
    INPUT clicks[2]{};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    return SendInput(2, clicks, sizeof(INPUT)) == 2;
}
