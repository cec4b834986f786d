#include "core/Win32.h"

std::wstring Widen(std::string_view text)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
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
