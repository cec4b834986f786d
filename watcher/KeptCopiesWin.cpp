#include "watcher/KeptCopies.h"

#include <algorithm>
#include <optional>

#include "base/KeptBuilds.h"
#include "base/KeptFolder.h"
#include "base/Win32.h"

namespace {

// The folder, made when missing; false when it is not a plain folder then.
bool MadeFolder(const std::string& folder)
{
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    return IsPlainFolder(folder);
}

// Writes bytes into a new file (never over an existing one or through a link) with the write time
// given; a file that could not be written whole is removed again.
bool WriteNewFile(const std::string& path, const std::string& bytes, uint64_t writeTime)
{
    const std::wstring wide = Widen(path);
    bool whole = false;
    {
        UniqueHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        size_t put = 0;
        while (put < bytes.size()) {
            DWORD n = 0;
            if (!WriteFile(file.get(), bytes.data() + put, DWORD(std::min<size_t>(bytes.size() - put, 1 << 20)), &n, nullptr) ||
                n == 0)
                break;
            put += n;
        }
        whole = put == bytes.size();
        const FILETIME time{ DWORD(writeTime), DWORD(writeTime >> 32) };
        SetFileTime(file.get(), nullptr, nullptr, &time);
    }
    if (!whole)
        DeleteFileW(wide.c_str());
    return whole;
}

}  // namespace

void KeepBuildCopy(const std::string& elfPath)
{
    const std::string folder = KeptBuildsFolder();
    if (folder.empty())
        return;
    const std::string parent = folder.substr(0, folder.rfind('\\', folder.size() - 2) + 1);
    if (!MadeFolder(parent) || !MadeFolder(folder))
        return;
    const std::optional<PlainFile> elf = ReadPlainFile(elfPath, KeptElfByteLimit);
    if (!elf)
        return;
    std::vector<KeptFile> kept = ListKeptBuilds(folder);
    const std::string hexName = HexFileNameOfElf(elfPath);
    // The same build seen again (its .hex written anew): the newest copy is this build already.
    const std::string sketch = KeptSketchKey(hexName);
    std::optional<KeptName> newest;
    std::string newestName;
    for (const KeptFile& f : kept)
        if (const auto name = ParseKeptBuildName(f.name); name && name->sketch == sketch && (!newest || name->sequence > newest->sequence)) {
            newest = name;
            newestName = f.name;
        }
    if (newest) {
        const std::optional<PlainFile> last = ReadPlainFile(folder + newestName, KeptElfByteLimit);
        if (last && last->bytes == elf->bytes)
            return;
    }
    const std::string name = NextKeptBuildName(hexName, kept);
    if (!WriteNewFile(folder + name, elf->bytes, elf->writeTime))
        return;
    kept.push_back({ name, elf->bytes.size(), elf->writeTime });
    for (const std::string& old : KeptBuildsToRemove(kept))
        for (const char* suffix : { "", ".size", ".map" })
            DeleteFileW(Widen(folder + old + suffix).c_str());
}
