#include "Fixture.h"

std::string MakeScratchFolder(const std::string& tag)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        const std::string path = Narrow(temp) + "kevra-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(++counter) + "\\";
        if (CreateDirectoryW(Widen(path).c_str(), nullptr))
            return path;
    }
}

void RemoveTree(const std::string& folder)
{
    std::string base = folder;
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Widen(base + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::string child = base + "\\" + Narrow(name);
            SetFileAttributesW(Widen(child).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(Widen(child).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(Widen(base).c_str());
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
}

std::string ReadFileBytes(const std::string& path)
{
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes;
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void SetWriteTime(const std::string& path, uint64_t fileTime)
{
    HANDLE file = CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FILETIME t{ DWORD(fileTime), DWORD(fileTime >> 32) };
    SetFileTime(file, nullptr, nullptr, &t);
    CloseHandle(file);
}

uint64_t NowFileTime()
{
    FILETIME t;
    GetSystemTimeAsFileTime(&t);
    return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

namespace {

std::string UnixPathOf(const std::string& windowsPath)
{
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = convert ? convert(Widen(windowsPath).c_str()) : nullptr;
    if (!name)
        return {};
    std::string path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

std::wstring DosPathOf(const char* unixPath)
{
    using DosName = wchar_t*(CDECL*)(const char*);
    const auto convert = reinterpret_cast<DosName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
    wchar_t* name = convert ? convert(unixPath) : nullptr;
    if (!name)
        return {};
    std::wstring path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

}  // namespace

bool MakeUnixSymlink(const std::string& target, const std::string& link)
{
    std::string unixLink = UnixPathOf(link);
    while (!unixLink.empty() && unixLink.back() == '/')
        unixLink.pop_back();
    const std::string unixTarget = UnixPathOf(target);
    if (unixLink.empty() || unixTarget.empty())
        return false;
    // A Unix program started from here gives no process to wait for: look for the link instead.
    std::wstring line = L"\"" + DosPathOf("/bin/ln") + L"\" -s \"" + Widen(unixTarget) + L"\" \"" + Widen(unixLink) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    std::string windowsLink = link;
    while (!windowsLink.empty() && windowsLink.back() == '\\')
        windowsLink.pop_back();
    for (int i = 0; i < 500; ++i, Sleep(10))
        if (GetFileAttributesW(Widen(windowsLink).c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
    return false;
}
