// Tool folder probe: the cost of FindAvrTools, which runs before every analysis, with
// 20 avr-gcc versions installed by the boards manager in Arduino15 and no IDE 1.x folder. Two
// layouts: every version holds both tools (the newest is taken at once), and no version does (every
// folder is tried, then the .ino association, the uninstall entries and the program folders).
// Prints percentiles of each beside those of one bare listing of the avr-gcc folder, measured in
// turn. Writes into the real local application-data folder, so it runs under Wine only, and
// removes what it made.
//   tool_folders_probe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analyzer/ToolFolders.h"
#include "base/Folders.h"
#include "base/Win32.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 * double(to.QuadPart - from.QuadPart) / double(f.QuadPart);
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p / 100.0 * double(v.size())))];
}

void Report(const char* what, const std::vector<double>& ms)
{
    std::printf("  %-34s p50 %7.3f  p90 %7.3f  p99 %7.3f  max %7.3f ms\n", what, Percentile(ms, 50), Percentile(ms, 90),
                Percentile(ms, 99), Percentile(ms, 100));
}

void WriteFile(const std::string& path)
{
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(Widen(folder + "\\*").c_str(), &found));
    if (search) {
        do {
            const std::string name = Narrow(found.cFileName);
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + "\\" + name);
            else
                DeleteFileW(Widen(folder + "\\" + name).c_str());
        } while (FindNextFileW(search.get(), &found));
    }
    RemoveDirectoryW(Widen(folder).c_str());
}

// What any look-up must at least do: list the avr-gcc folder once.
size_t BareListing(const std::wstring& pattern)
{
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(pattern.c_str(), &found));
    size_t n = 0;
    if (search)
        do ++n; while (FindNextFileW(search.get(), &found));
    return n;
}

// Runs the look-up and the bare listing in turn; false when the look-up gives another folder.
bool Measure(const char* layout, int runs, const std::string& expected, const std::wstring& pattern)
{
    std::vector<double> lookUp;
    std::vector<double> listing;
    LARGE_INTEGER t0, t1, t2;
    for (int i = 0; i < runs; ++i) {
        QueryPerformanceCounter(&t0);
        const std::string folder = FindAvrTools().size;
        QueryPerformanceCounter(&t1);
        BareListing(pattern);
        QueryPerformanceCounter(&t2);
        if (folder != expected) {
            std::printf("%s: found \"%s\", expected \"%s\"\n", layout, folder.c_str(), expected.c_str());
            return false;
        }
        lookUp.push_back(Milliseconds(t0, t1));
        listing.push_back(Milliseconds(t1, t2));
    }
    std::printf("%s (%d runs):\n", layout, runs);
    Report("FindAvrTools", lookUp);
    Report("one listing of the avr-gcc folder", listing);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        std::printf("writes into the real local application-data folder: runs under Wine only\n");
        return 2;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    InitFolders();
    const std::string arduino15 = LocalAppDataFolder + "Arduino15";
    const std::string packages = arduino15 + "\\packages";
    if (LocalAppDataFolder.empty() || GetFileAttributesW(Widen(packages).c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::printf("%s exists already: not touched\n", packages.c_str());
        return 2;
    }
    const bool madeArduino15 = CreateDirectoryW(Widen(arduino15).c_str(), nullptr);
    std::string avrGcc = packages;
    CreateDirectoryW(Widen(avrGcc).c_str(), nullptr);
    for (const char* part : { "arduino", "tools", "avr-gcc" }) {
        avrGcc += std::string("\\") + part;
        CreateDirectoryW(Widen(avrGcc).c_str(), nullptr);
    }
    // 20 versions of the shape the boards manager installs, 4.0.0 to 13.1.0: the newest is not last
    // in name order.
    std::vector<std::string> bins;
    for (int i = 0; i < 20; ++i) {
        const std::string version = std::to_string(4 + i / 2) + "." + std::to_string(i % 2) + ".0-atmel3.6.1-arduino" +
                                    std::to_string(1 + i % 7);
        const std::string folder = avrGcc + "\\" + version;
        CreateDirectoryW(Widen(folder).c_str(), nullptr);
        CreateDirectoryW(Widen(folder + "\\bin").c_str(), nullptr);
        WriteFile(folder + "\\bin\\avr-size.exe");
        WriteFile(folder + "\\bin\\avr-nm.exe");
        bins.push_back(folder + "\\bin");
    }
    std::printf("PATH: %s\n", EnvironmentText(L"PATH").c_str());
    const std::wstring pattern = Widen(avrGcc + "\\*");
    bool ok = Measure("20 versions, each with both tools", runs, bins.back(), pattern);
    for (const std::string& bin : bins)
        DeleteFileW(Widen(bin + "\\avr-nm.exe").c_str());
    ok = ok && Measure("20 versions, none with avr-nm", runs, "", pattern);
    RemoveTree(madeArduino15 ? arduino15 : packages);
    return ok ? 0 : 1;
}
