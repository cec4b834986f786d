#include "analyzer/AnalyzerWindow.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "analyzer/AnalyzerText.h"
#include "core/Win32.h"

namespace {

constexpr DWORD FileNameCharacters = 32768;

// Puts the save dialog's top-left corner on its owner's, once the dialog has laid itself out.
UINT_PTR CALLBACK PlaceOnOwner(HWND hookDialog, UINT message, WPARAM, LPARAM lParam) noexcept
{
    HWND owner = nullptr;
    if (message == WM_INITDIALOG)
        owner = reinterpret_cast<const OPENFILENAMEW*>(lParam)->hwndOwner;
    else if (message == WM_NOTIFY && reinterpret_cast<const OFNOTIFYW*>(lParam)->hdr.code == CDN_INITDONE)
        owner = reinterpret_cast<const OFNOTIFYW*>(lParam)->lpOFN->hwndOwner;
    RECT r;
    if (owner && GetWindowRect(owner, &r))
        SetWindowPos(GetParent(hookDialog), nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

std::string CurrentFolder()
{
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(GetCurrentDirectoryW(DWORD(folder.size()), folder.data()));
    return Narrow(folder);
}

// The chosen path, or "" when the dialog was cancelled.
std::string AskCsvPath(HWND owner, const std::string& elfPath)
{
    std::vector<wchar_t> fileName(FileNameCharacters, L'\0');
    const std::wstring initialName = Widen(CsvFileName(elfPath)).substr(0, FileNameCharacters - 1);
    initialName.copy(fileName.data(), initialName.size());
    const std::wstring initialFolder = Widen(CurrentFolder());
    static const wchar_t Filter[] = L"Coma Separated Values\0*.csv\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = Filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = fileName.data();
    ofn.nMaxFile = FileNameCharacters;
    ofn.lpstrInitialDir = initialFolder.c_str();
    ofn.lpstrDefExt = L"csv";
    ofn.Flags = OFN_CREATEPROMPT | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    ofn.lpfnHook = PlaceOnOwner;
    if (!GetSaveFileNameW(&ofn))
        return {};
    return Narrow(fileName.data());
}

// Writes bytes to path whole or not at all: they go to a new file in the same folder first, which
// replaces path only once every byte is on disk, so a failed write neither truncates nor half-writes
// the file the user chose.
bool ReplaceFileWith(const std::string& path, const std::string& bytes)
{
    const std::wstring target = Widen(path);
    const size_t slash = target.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : target.substr(0, slash + 1);
    wchar_t partial[MAX_PATH]{};
    if (!GetTempFileNameW(folder.c_str(), L"csv", 0, partial))
        return false;
    bool written = false;
    {
        UniqueHandle file(CreateFileW(partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        written = bool(file);
        for (size_t at = 0; written && at < bytes.size();) {
            DWORD n = 0;
            written = WriteFile(file.get(), bytes.data() + at, DWORD(std::min<size_t>(bytes.size() - at, 1 << 20)), &n,
                                nullptr) && n > 0;
            at += n;
        }
        written = written && FlushFileBuffers(file.get());
    }
    if (written && MoveFileExW(partial, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(partial);
    return false;
}

std::string WindowsFolder()
{
    wchar_t folder[MAX_PATH]{};
    const UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    return n > 0 && n < MAX_PATH ? Narrow(std::wstring_view(folder, n)) : std::string();
}

}  // namespace

void ExportSymbolsCsv(HWND analyzerWindow, const std::string& elfPath, const std::vector<std::string>& symbolLines)
{
    const std::string path = AskCsvPath(analyzerWindow, elfPath);
    if (path.empty())
        return;
    if (!ReplaceFileWith(path, SymbolsCsv(symbolLines)))
        return;
    const std::string explorer = ExplorerProgram(WindowsFolder());
    if (!explorer.empty())
        ShellExecuteW(nullptr, L"open", Widen(explorer).c_str(), Widen(ExplorerSelectParameters(path)).c_str(),
                      nullptr, SW_SHOWNORMAL);
}
