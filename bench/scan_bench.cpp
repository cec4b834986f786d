// Scan benchmark: ScanBuilds against a bare directory walk of the same tree, interleaved so that
// both see the same cache state. Prints the median of each and their ratio.
//   scan_bench [folders] [hexPerFolder] [rounds]          build*.tmp folders in TEMP only
//   scan_bench --every-ide [folders] [hexPerFolder] [rounds]
// The second makes `folders` build folders of each pattern of every IDE: build*.tmp,
// arduino_build_*, arduino-sketch-* and arduino\sketches\* in TEMP, arduino\sketches\* in a
// local application-data folder, and scans them all with one build.path folder besides.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Win32.h"
#include "watcher/BuildFolders.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(to.QuadPart - from.QuadPart) / double(f.QuadPart);
}

// What any scan must at least do: list the build folders, each pattern searched by the system, then
// list each one's .hex files.
size_t BareWalk(const std::vector<std::wstring>& patterns, const std::vector<std::wstring>& plainFolders, bool basic)
{
    auto first = [basic](const std::wstring& pattern, WIN32_FIND_DATAW& found) {
        return basic ? FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                        FIND_FIRST_EX_LARGE_FETCH)
                     : FindFirstFileW(pattern.c_str(), &found);
    };
    std::vector<std::wstring> folders = plainFolders;
    WIN32_FIND_DATAW found;
    for (const std::wstring& pattern : patterns) {
        const std::wstring parent = pattern.substr(0, pattern.rfind(L'\\') + 1);
        HANDLE search = first(pattern, found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (found.cFileName[0] != L'.')
                folders.push_back(parent + found.cFileName + L"\\");
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    size_t files = 0;
    for (const std::wstring& folder : folders) {
        HANDLE search = first(folder + L"*.hex", found);
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

void MakeBuild(const std::wstring& folder, int perFolder, const wchar_t* extension)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int k = 0; k < perFolder; ++k) {
        HANDLE f = CreateFileW((folder + L"Game" + std::to_wstring(k) + extension).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(f);
    }
}

std::wstring Md5Like(int i)
{
    wchar_t name[33];
    swprintf(name, 33, L"%08X%08X%08X%08X", i, i * 7919, i * 104729, 0xC0FFEE);
    return name;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool everyIde = argc > 1 && std::string(argv[1]) == "--every-ide";
    if (everyIde) {
        --argc;
        ++argv;
    }
    const int folders = argc > 1 ? std::atoi(argv[1]) : (everyIde ? 500 : 2000);
    const int perFolder = argc > 2 ? std::atoi(argv[2]) : 2;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 15;

    wchar_t tempPath[MAX_PATH];
    GetTempPathW(MAX_PATH, tempPath);
    const std::wstring base = std::wstring(tempPath) + L"kevra-scan-bench" + (everyIde ? L"-every-ide\\" : L"\\");
    const std::wstring temp = everyIde ? base + L"Temp\\" : base;
    const std::wstring local = base + L"Local\\";
    const std::wstring buildPath = base + L"Builds\\";
    for (const std::wstring& f : { base, temp, temp + L"arduino\\", temp + L"arduino\\sketches\\", local,
                                   local + L"arduino\\", local + L"arduino\\sketches\\" })
        CreateDirectoryW(f.c_str(), nullptr);
    for (int i = 0; i < folders; ++i) {
        MakeBuild(temp + L"build" + std::to_wstring(1000 + i) + L".tmp\\", perFolder, L".cpp.hex");
        if (!everyIde)
            continue;
        MakeBuild(temp + L"arduino_build_" + std::to_wstring(100000 + i) + L"\\", perFolder, L".ino.hex");
        MakeBuild(temp + L"arduino-sketch-" + Md5Like(i) + L"\\", perFolder, L".ino.hex");
        MakeBuild(temp + L"arduino\\sketches\\" + Md5Like(i) + L"\\", perFolder, L".ino.hex");
        MakeBuild(local + L"arduino\\sketches\\" + Md5Like(i) + L"\\", perFolder, L".ino.hex");
    }
    if (everyIde)
        MakeBuild(buildPath, perFolder, L".ino.hex");

    std::vector<std::wstring> patterns = { temp + L"build*.tmp" };
    std::vector<std::wstring> plainFolders;
    if (everyIde) {
        for (const wchar_t* p : { L"arduino_build_*", L"arduino-sketch-*", L"arduino\\sketches\\*" })
            patterns.push_back(temp + p);
        patterns.push_back(local + L"arduino\\sketches\\*");
        plainFolders.push_back(buildPath);
    }
    const BuildRoots roots{ Narrow(temp), everyIde ? Narrow(local) : std::string(),
                            everyIde ? std::vector<std::string>{ Narrow(buildPath) } : std::vector<std::string>{} };

    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t instant = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;

    std::vector<double> scan, bare, bareBasic;
    size_t listed = 0, walked = 0;
    for (int r = 0; r < rounds + 1; ++r) {
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        listed = ScanBuilds(roots, instant).size();
        QueryPerformanceCounter(&t1);
        walked = BareWalk(patterns, plainFolders, false);
        QueryPerformanceCounter(&t2);
        BareWalk(patterns, plainFolders, true);
        QueryPerformanceCounter(&t3);
        if (r == 0)
            continue;  // the first round warms the caches
        scan.push_back(Seconds(t0, t1));
        bare.push_back(Seconds(t1, t2));
        bareBasic.push_back(Seconds(t2, t3));
    }
    std::printf("tree: %d build folders%s, %zu .hex files (ScanBuilds listed %zu)\n", folders,
                everyIde ? " of each of 5 patterns and a build.path folder" : "", walked, listed);
    std::printf("median of %d rounds: ScanBuilds %.1f ms, bare FindFirstFileW walk %.1f ms, "
                "bare FindFirstFileExW(basic, large fetch) walk %.1f ms\n",
                rounds, Median(scan) * 1e3, Median(bare) * 1e3, Median(bareBasic) * 1e3);
    std::printf("ratio ScanBuilds / bare FindFirstFileW walk: %.2f\n", Median(scan) / Median(bare));
    std::printf("ratio ScanBuilds / bare FindFirstFileExW walk: %.2f\n", Median(scan) / Median(bareBasic));
    return listed == walked ? 0 : 1;
}
