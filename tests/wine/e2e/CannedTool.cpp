// A stand-in avr-size.exe or avr-nm.exe that writes a prepared answer: the bytes of the file named
// like the program with ".out" in place of ".exe", beside it, unchanged, to standard output. Lets a
// test hand the agent tool output that the real tools never write (binary garbage, a 1 MB line).
// Files beside it ask for more, each named like the program with another ending:
//  - ".env": present (even empty), it is overwritten with the tool's environment, one UTF-8
//    "NAME=value" a line, so a test sees what the interpreter handed on;
//  - ".hang": present, it is overwritten with the tool's process id and the tool never ends.
#include <windows.h>

#include <string>

namespace {

std::wstring Beside(const wchar_t* ending)
{
    wchar_t self[MAX_PATH]{};
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.replace(path.size() - 4, 4, ending);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Overwrite(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string EnvironmentLines()
{
    std::string lines;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, entry, -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(n > 0 ? n - 1 : 0, '\0');
        WideCharToMultiByte(CP_UTF8, 0, entry, -1, utf8.data(), n, nullptr, nullptr);
        lines += utf8 + "\n";
    }
    FreeEnvironmentStringsW(block);
    return lines;
}

}  // namespace

int main()
{
    if (Exists(Beside(L".env")))
        Overwrite(Beside(L".env"), EnvironmentLines());
    if (Exists(Beside(L".hang"))) {
        Overwrite(Beside(L".hang"), std::to_string(GetCurrentProcessId()));
        Sleep(INFINITE);
    }
    HANDLE file = CreateFileW(Beside(L".out").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    char chunk[65536];
    for (DWORD got = 0, written = 0; ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0;)
        WriteFile(out, chunk, got, &written, nullptr);
    CloseHandle(file);
    return 0;
}
