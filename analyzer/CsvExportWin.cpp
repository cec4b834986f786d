#include "analyzer/CsvExport.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "analyzer/AnalyzerText.h"
#include "base/Win32.h"

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

// A new file beside target under a name of our own (target + "." + 8 hex digits + ".tmp"), made
// with CREATE_NEW so that nothing already there is opened, and kept open until it is written. A
// null handle when none can be made: a name too long for the folder, a folder that takes no new file.
UniqueHandle CreatePartialBeside(const std::wstring& target, std::wstring& partial)
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    uint32_t seed = uint32_t(now.QuadPart) ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 8; ++attempt) {
        seed = seed * 1664525u + 1013904223u;
        wchar_t suffix[16]{};
        wsprintfW(suffix, L".%08x.tmp", seed);
        partial = target + suffix;
        UniqueHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS))
            return file;
    }
    return UniqueHandle{};
}

enum class Beside { Done, NoPlace, WriteFailed };

// False when another program holds target open without letting it be renamed or deleted: no
// replacement gets past that, and a failed ReplaceFileW may leave a file of its own behind.
bool CanBeMovedAside(const std::wstring& target)
{
    return bool(UniqueHandle(CreateFileW(target.c_str(), GENERIC_READ | DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr)));
}

// Writes bytes to a new file beside target that then takes target's place: target is replaced only
// once every byte is on disk, and keeps its attributes (hidden, say). NoPlace when no such file
// could be made or put in place, WriteFailed when its bytes could not all be written (a full disk,
// where writing in place would fail halfway too); target is as it was in both cases.
Beside WriteBeside(const std::wstring& target, DWORD targetAttributes, const std::string& bytes)
{
    std::wstring partial;
    bool written = false;
    {
        UniqueHandle file = CreatePartialBeside(target, partial);
        if (!file)
            return Beside::NoPlace;
        // The attributes go on through the handle: ReplaceFileW keeps them on Windows, but not every
        // implementation of it does.
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = targetAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (targetAttributes != INVALID_FILE_ATTRIBUTES && basic.FileAttributes)
            SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
        written = WriteAllBytes(file.get(), bytes) && FlushFileBuffers(file.get());
    }
    if (!written) {
        DeleteFileW(partial.c_str());
        return Beside::WriteFailed;
    }
    bool placed = false;
    if (targetAttributes == INVALID_FILE_ATTRIBUTES)
        placed = MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    else if (!CanBeMovedAside(target))
        placed = false;
    else if (!(placed = ReplaceFileW(target.c_str(), partial.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                      nullptr))) {
        // These two leave target moved aside with no name to go back to: put the new file in its place.
        const DWORD error = GetLastError();
        placed = (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) &&
                 MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    if (!placed)
        DeleteFileW(partial.c_str());
    return placed ? Beside::Done : Beside::NoPlace;
}

// Cuts target to the new bytes where it stands: for a file whose folder takes no new file, or one
// that another program holds open while it lets others write (which no rename gets past). False
// when it cannot be opened or written.
bool WriteInPlace(const std::wstring& target, const std::string& bytes)
{
    UniqueHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAllBytes(file.get(), bytes) && SetEndOfFile(file.get()) && FlushFileBuffers(file.get());
}

std::string WindowsFolder()
{
    wchar_t folder[MAX_PATH]{};
    const UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    return n > 0 && n < MAX_PATH ? Narrow(std::wstring_view(folder, n)) : std::string();
}

}  // namespace

bool WriteCsvFile(const std::string& path, const std::string& bytes)
{
    const std::wstring target = Widen(path);
    const DWORD attributes = AttributesOf(path).value_or(INVALID_FILE_ATTRIBUTES);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    switch (WriteBeside(target, attributes, bytes)) {
    case Beside::Done: return true;
    case Beside::NoPlace: return WriteInPlace(target, bytes);
    case Beside::WriteFailed: return false;
    }
    return false;
}

void ExportSymbolsCsv(HWND analyzerWindow, const std::string& elfPath, const std::vector<SymbolRow>& rows)
{
    const std::string path = AskCsvPath(analyzerWindow, elfPath);
    if (path.empty())
        return;
    if (!WriteCsvFile(path, SymbolsCsv(rows)))
        return;
    const std::string explorer = ExplorerProgram(WindowsFolder());
    if (!explorer.empty())
        ShellStart(explorer, ExplorerSelectParameters(path));
}
