// avr-size.exe and avr-nm.exe for the Windows-side tests: runs the Debian AVR tool of the same name
// through Wine's Unix side and behaves like the Windows build of that tool. A Unix program started
// from Windows gives no process to wait for, so the shim runs it through a shell script that leaves
// a marker file at the end and waits for that marker. Arguments that are Windows paths, or name a
// file relative to the current folder, are turned into Unix paths; the tool's output comes back with CR LF line ends, as the Windows tools write it.
// Like the Windows tools, which are ANSI programs, it reads its arguments in the ANSI code page: a
// path with a letter outside it reaches the shim as it would reach the tool, spoilt.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "base/Win32.h"

namespace {

using UnixName = char*(CDECL*)(const wchar_t*);
using DosName = wchar_t*(CDECL*)(const char*);

std::string UnixPath(const std::wstring& windowsPath)
{
    static const auto convert =
        reinterpret_cast<UnixName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = convert ? convert(windowsPath.c_str()) : nullptr;
    if (!name)
        return {};
    std::string path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

std::wstring DosPath(const std::string& unixPath)
{
    static const auto convert =
        reinterpret_cast<DosName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
    wchar_t* name = convert ? convert(unixPath.c_str()) : nullptr;
    if (!name)
        return {};
    std::wstring path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

// A drive path (C:\..., Z:\...) or a UNC path; switches such as --size-sort stay as they are.
bool IsWindowsPath(const std::wstring& arg)
{
    return (arg.size() >= 3 && arg[1] == L':' && (arg[2] == L'\\' || arg[2] == L'/')) ||
           (arg.size() >= 2 && arg[0] == L'\\' && arg[1] == L'\\');
}

// A file named relative to the current folder (".\\-x.elf", a short name), as the Windows tool
// opens it; switches start with '-'.
bool NamesFile(const std::wstring& arg)
{
    return !arg.empty() && arg[0] != L'-' && GetFileAttributesW(arg.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FullPath(const std::wstring& path)
{
    std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    full.resize(GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr));
    return full;
}

std::string ShellQuoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string ReadAll(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (file && ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

void WriteAll(HANDLE to, const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(to, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

// The command line as an ANSI program's C runtime sees it, back in UTF-16 for the parsing.
std::wstring AnsiCommandLine()
{
    const char* line = GetCommandLineA();
    const int n = MultiByteToWideChar(CP_ACP, 0, line, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    MultiByteToWideChar(CP_ACP, 0, line, -1, wide.data(), n);
    return wide;
}

std::wstring OwnBaseName()
{
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring name(path, n);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(AnsiCommandLine().c_str(), &argc);
    std::string command = ShellQuoted(Narrow(OwnBaseName()));
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        command += " " + ShellQuoted(IsWindowsPath(arg) ? UnixPath(arg) : NamesFile(arg) ? UnixPath(FullPath(arg)) : Narrow(arg));
    }
    LocalFree(argv);

    wchar_t tempFolder[MAX_PATH];
    GetTempPathW(MAX_PATH, tempFolder);
    const std::wstring base = std::wstring(tempFolder) + L"kevra-shim-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(GetTickCount());
    const std::wstring script = base + L".sh", out = base + L".out", err = base + L".err", done = base + L".done";
    const std::string unixDone = UnixPath(done);
    // The marker is renamed into place, so it is never seen half-written.
    const std::string text = command + " >" + ShellQuoted(UnixPath(out)) + " 2>" + ShellQuoted(UnixPath(err)) +
                             "\necho $? >" + ShellQuoted(unixDone + ".tmp") + "\nmv " + ShellQuoted(unixDone + ".tmp") +
                             " " + ShellQuoted(unixDone) + "\n";
    {
        UniqueHandle file(CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        WriteAll(file.get(), text);
    }

    std::wstring line = L"\"" + DosPath("/bin/sh") + L"\" \"" + Widen(UnixPath(script)) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        DeleteFileW(script.c_str());
        return 127;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);

    int exitCode = 124;
    for (DWORD deadline = GetTickCount() + 60000; GetTickCount() < deadline; Sleep(5)) {
        if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) {
            exitCode = atoi(ReadAll(done).c_str());
            break;
        }
    }
    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), WithCrLf(ReadAll(out)));
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), WithCrLf(ReadAll(err)));
    for (const std::wstring& f : { script, out, err, done })
        DeleteFileW(f.c_str());
    return exitCode;
}
