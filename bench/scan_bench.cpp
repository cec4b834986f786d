// Scan benchmark: ScanBuilds against a bare directory walk of the same tree, interleaved so that
// both see the same cache state. Prints the median of each and their ratio.
//   scan_bench [folders] [hexPerFolder] [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Win32.h"
#include "watcher/BuildScan.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(to.QuadPart - from.QuadPart) / double(f.QuadPart);
}

// What any scan must at least do: list the build folders, then list each one's .hex files.
size_t BareWalk(const std::wstring& temp, bool basic)
{
    auto first = [basic](const std::wstring& pattern, WIN32_FIND_DATAW& found) {
        return basic ? FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                        FIND_FIRST_EX_LARGE_FETCH)
                     : FindFirstFileW(pattern.c_str(), &found);
    };
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW found;
    HANDLE search = first(temp + L"build*.tmp", found);
    if (search != INVALID_HANDLE_VALUE) {
        do folders.push_back(found.cFileName); while (FindNextFileW(search, &found));
        FindClose(search);
    }
    size_t files = 0;
    for (const std::wstring& folder : folders) {
        search = first(temp + folder + L"\\*.hex", found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do ++files; while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return files;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int folders = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int perFolder = argc > 2 ? std::atoi(argv[2]) : 2;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 15;

    wchar_t tempPath[MAX_PATH];
    GetTempPathW(MAX_PATH, tempPath);
    const std::wstring temp = std::wstring(tempPath) + L"kevra-scan-bench\\";
    CreateDirectoryW(temp.c_str(), nullptr);
    for (int i = 0; i < folders; ++i) {
        const std::wstring folder = temp + L"build" + std::to_wstring(1000 + i) + L".tmp\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int k = 0; k < perFolder; ++k) {
            HANDLE f = CreateFileW((folder + L"Game" + std::to_wstring(k) + L".cpp.hex").c_str(), GENERIC_WRITE, 0,
                                   nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            CloseHandle(f);
        }
    }

    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t instant = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    const std::string tempA = Narrow(temp);

    std::vector<double> scan, bare, bareBasic;
    size_t listed = 0, walked = 0;
    for (int r = 0; r < rounds + 1; ++r) {
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        listed = ScanBuilds(tempA, instant).size();
        QueryPerformanceCounter(&t1);
        walked = BareWalk(temp, false);
        QueryPerformanceCounter(&t2);
        BareWalk(temp, true);
        QueryPerformanceCounter(&t3);
        if (r == 0)
            continue;  // the first round warms the caches
        scan.push_back(Seconds(t0, t1));
        bare.push_back(Seconds(t1, t2));
        bareBasic.push_back(Seconds(t2, t3));
    }
    std::printf("tree: %d build folders, %zu .hex files (ScanBuilds listed %zu)\n", folders, walked, listed);
    std::printf("median of %d rounds: ScanBuilds %.1f ms, bare FindFirstFileW walk %.1f ms, "
                "bare FindFirstFileExW(basic, large fetch) walk %.1f ms\n",
                rounds, Median(scan) * 1e3, Median(bare) * 1e3, Median(bareBasic) * 1e3);
    std::printf("ratio ScanBuilds / bare FindFirstFileW walk: %.2f\n", Median(scan) / Median(bare));
    std::printf("ratio ScanBuilds / bare FindFirstFileExW walk: %.2f\n", Median(scan) / Median(bareBasic));
    return listed == walked ? 0 : 1;
}
