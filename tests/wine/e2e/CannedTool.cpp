// A stand-in avr-size.exe or avr-nm.exe that writes a prepared answer: the bytes of the file named
// like the program with ".out" in place of ".exe", beside it, unchanged, to standard output. Lets a
// test hand the agent tool output that the real tools never write (binary garbage, a 1 MB line).
#include <windows.h>

#include <string>

int main()
{
    wchar_t self[MAX_PATH]{};
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring answer(self, n);
    answer.replace(answer.size() - 4, 4, L".out");
    HANDLE file = CreateFileW(answer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    char chunk[65536];
    for (DWORD got = 0, written = 0; ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0;)
        WriteFile(out, chunk, got, &written, nullptr);
    CloseHandle(file);
    return 0;
}
