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
    return CurrentFileTime();
}

namespace {

std::string UnixName(const std::string& path)
{
    using Convert = char*(CDECL*)(const wchar_t*);
    // Through void (*)(): the cast from FARPROC to the real signature is meant.
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = convert ? convert(Widen(path).c_str()) : nullptr;
    std::string unixName = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return unixName;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

}  // namespace

bool UnixLink::Run(const std::string& commandLine, bool linkWanted) const
{
    std::wstring command = Widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int wait = 0; wait < 1000; ++wait) {
        if ((GetFileAttributesW(Widen(link).c_str()) != INVALID_FILE_ATTRIBUTES) == linkWanted)
            return true;
        Sleep(10);
    }
    return false;
}

UnixLink::UnixLink(const std::string& path, const std::string& target) : link(WithoutTrailingSlash(path))
{
    const std::string parent = UnixName(link.substr(0, link.rfind('\\')));
    made = !parent.empty() && Run("Z:\\bin\\ln -s \"" + UnixName(target) + "\" \"" + parent + "/" +
                                  link.substr(link.rfind('\\') + 1) + "\"", true);
}

UnixLink::~UnixLink()
{
    if (made)
        Run("Z:\\bin\\rm -f \"" + UnixName(link) + "\"", false);
}
