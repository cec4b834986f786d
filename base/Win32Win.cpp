#include "base/Win32.h"

#include <shellapi.h>

#include <algorithm>

#include "base/Text.h"

namespace {

// The UTF-16 of text in the code page given.
std::wstring WideOf(UINT codePage, std::string_view text)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

std::wstring Widen(std::string_view utf8)
{
    return WideOf(CP_UTF8, utf8);
}

std::string Narrow(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::optional<std::string> NarrowExactly(std::wstring_view wide)
{
    if (wide.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), int(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0)
        return std::nullopt;
    std::string utf8(n, '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), int(wide.size()), utf8.data(), n, nullptr,
                        nullptr);
    return utf8;
}

std::optional<std::string> AnsiText(std::string_view utf8)
{
    const std::wstring wide = Widen(utf8);
    if (wide.empty())
        return std::string();
    // No best fit: a fullwidth quote must not come out as a real one.
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0, nullptr,
                                      &lost);
    if (n <= 0 || lost)
        return std::nullopt;
    std::string ansi(n, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), ansi.data(), n, nullptr, &lost);
    // Code pages without a default character leave the lost flag alone: the round trip tells.
    if (lost || Utf8FromAnsi(ansi) != utf8)
        return std::nullopt;
    return ansi;
}

std::string Utf8FromAnsi(std::string_view ansi)
{
    return Narrow(WideOf(CP_ACP, ansi));
}

std::string ShortPathOf(const std::string& path)
{
    const std::wstring wide = Widen(path);
    const DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (n == 0)
        return {};
    std::wstring shortPath(n, L'\0');
    const DWORD got = GetShortPathNameW(wide.c_str(), shortPath.data(), n);
    if (got == 0 || got >= n)
        return {};
    shortPath.resize(got);
    return Narrow(shortPath);
}

std::optional<std::string> AnsiFittingPath(const std::string& path)
{
    if (AnsiText(path))
        return path;
    std::string shortPath = ShortPathOf(path);
    if (shortPath.empty() || !AnsiText(shortPath))
        return std::nullopt;
    if (!path.empty() && path.back() == '\\' && shortPath.back() != '\\')
        shortPath += '\\';
    return shortPath;
}

std::optional<DWORD> AttributesOf(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? std::nullopt : std::optional(attributes);
}

uint64_t CurrentFileTime()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return JoinHalves(now.dwHighDateTime, now.dwLowDateTime);
}

bool PathExists(const std::string& path)
{
    return AttributesOf(path).has_value();
}

bool IsFolder(const std::string& path)
{
    const std::optional<DWORD> attributes = AttributesOf(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsPlainFolder(std::string path)
{
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    const std::optional<DWORD> attributes = AttributesOf(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(*attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

std::optional<PlainFile> ReadPlainFile(const std::string& path, uint64_t byteLimit)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return std::nullopt;
    const uint64_t size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > byteLimit)
        return std::nullopt;
    PlainFile read;
    read.writeTime = (uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    read.bytes.resize(size_t(size));
    size_t got = 0;
    while (got < read.bytes.size()) {
        DWORD n = 0;
        if (!ReadFile(file.get(), read.bytes.data() + got, DWORD(std::min<size_t>(read.bytes.size() - got, 1 << 20)), &n,
                      nullptr) || n == 0)
            return std::nullopt;
        got += n;
    }
    return read;
}

FileStart ReadFileStart(const std::string& path, size_t limit)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FileStart start;
    if (!file)
        return start;
    // Read in chunks rather than by the size the file gives: it may grow or shrink meanwhile.
    constexpr size_t Chunk = 1 << 20;
    DWORD got = 0;
    while (start.bytes.size() < limit) {
        const size_t at = start.bytes.size();
        start.bytes.resize(at + std::min(Chunk, limit - at));
        if (!ReadFile(file.get(), start.bytes.data() + at, DWORD(start.bytes.size() - at), &got, nullptr) || got == 0) {
            start.bytes.resize(at);
            return start;
        }
        start.bytes.resize(at + got);
    }
    char more = 0;
    start.cut = ReadFile(file.get(), &more, 1, &got, nullptr) && got == 1;
    return start;
}

std::string EnvironmentText(const wchar_t* name)
{
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0)
        return {};
    std::wstring value(n, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), n));
    return Narrow(value);
}

std::string OwnExePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string OwnExeFolder()
{
    std::string path = OwnExePath();
    return path.substr(0, path.rfind('\\') + 1);
}

bool ShellStart(const std::string& file, const std::string& parameters)
{
    const std::wstring wideFile = Widen(file), wideParameters = Widen(parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = wideFile.c_str();
    info.lpParameters = wideParameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

bool WriteAllBytes(HANDLE file, std::string_view bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        DWORD n = 0;
        if (!WriteFile(file, bytes.data() + at, DWORD(std::min<size_t>(bytes.size() - at, 1 << 20)), &n, nullptr) || n == 0)
            return false;
        at += n;
    }
    return true;
}

bool IsOnLocalDrive(const std::string& path)
{
    if (!StartsWithDrive(path))
        return false;
    const UINT type = GetDriveTypeW(Widen(path.substr(0, 2) + "\\").c_str());
    return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK || type == DRIVE_CDROM;
}

std::vector<FolderEntry> PlainFolderEntries(const std::string& folder, size_t limit, bool (*wanted)(std::string_view))
{
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileExW(Widen(folder + "*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0));
    if (!search)
        return entries;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L".." ||
            (found.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
            continue;
        if (std::optional<std::string> narrow = NarrowExactly(name); narrow && (!wanted || wanted(*narrow)))
            entries.push_back({ std::move(*narrow), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                JoinHalves(found.nFileSizeHigh, found.nFileSizeLow),
                                JoinHalves(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime) });
    } while (entries.size() < limit && FindNextFileW(search.get(), &found));
    return entries;
}

std::vector<std::string> PlainFolderNames(const std::string& folder, size_t limit)
{
    std::vector<std::string> names;
    for (FolderEntry& entry : PlainFolderEntries(folder, limit))
        if (entry.isFolder)
            names.push_back(std::move(entry.name));
    return names;
}
