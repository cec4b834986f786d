#include "base/KeptBuildStore.h"

#include "base/BuildOptions.h"
#include "base/Folders.h"
#include "base/Text.h"
#include "base/Win32.h"

namespace {

// The most of the agent's own names listed at once: KeptFileLimit copies with their companions, and
// as many again. Other names in the folder are passed over, so that however many there are, the
// copies are seen and kept within their bounds.
constexpr size_t ListingLimit = 16 * KeptFileLimit;

// The folder, made when missing; false when it is not a plain folder then.
bool MadeFolder(const std::string& folder)
{
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    return IsPlainFolder(folder);
}

// The plain files (no link, no folder, no device) in folder, with their sizes and write times. Empty
// when folder, or its parent, is not a plain folder.
std::vector<KeptFile> ListFolder(const std::string& folder)
{
    std::vector<KeptFile> files;
    if (folder.empty() || !IsPlainFolder(folder) || !IsPlainFolder(ParentFolder(WithoutTrailingBackslashes(folder))))
        return files;
    for (FolderEntry& entry : PlainFolderEntries(folder, ListingLimit, IsKeptFileName))
        if (!entry.isFolder)
            files.push_back({ std::move(entry.name), entry.size, entry.writeTime });
    return files;
}

// Writes bytes into a new file under a writing name (never over an existing file or through a link),
// with the write time given when it is not 0, then renames it to path: over an earlier file there
// when replace is set. False, and nothing left behind, when it could not be written whole and placed.
bool PlaceWhole(const std::string& path, const std::string& writing, std::string_view bytes, uint64_t writeTime,
                bool replace)
{
    const std::wstring wideWriting = Widen(writing);
    DeleteFileW(wideWriting.c_str());   // left by a write that did not end
    bool whole = false;
    {
        UniqueHandle file(CreateFileW(wideWriting.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file)
            return false;
        whole = WriteAllBytes(file.get(), bytes) && FlushFileBuffers(file.get());
        const FILETIME time{ DWORD(writeTime), DWORD(writeTime >> 32) };
        if (whole && writeTime != 0)
            whole = SetFileTime(file.get(), nullptr, nullptr, &time) != FALSE;
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (whole && MoveFileExW(wideWriting.c_str(), Widen(path).c_str(), flags))
        return true;
    DeleteFileW(wideWriting.c_str());
    return false;
}

// The files of the folder once a renumbering that they call for is made (KeptRenumbering): a file
// that cannot take its new name is removed, which loses no more than a comparison.
std::vector<KeptFile> RenumberedFolder(const std::string& folder)
{
    std::vector<KeptFile> files = ListFolder(folder);
    const auto renames = KeptRenumbering(files);
    if (renames.empty())
        return files;
    for (const auto& [from, to] : renames)
        if (!MoveFileExW(Widen(folder + from).c_str(), Widen(folder + to).c_str(), 0))
            DeleteFileW(Widen(folder + from).c_str());
    return ListFolder(folder);
}

std::optional<KeptCopy> ReadCopy(const std::string& path)
{
    std::optional<PlainFile> file = ReadPlainFile(path, KeptElfByteLimit);
    if (!file)
        return std::nullopt;
    return KeptCopy{ path, std::move(file->bytes), file->writeTime };
}

}  // namespace

std::string KeptBuildsFolder()
{
    return LocalAppDataFolder.empty() ? std::string() : LocalAppDataFolder + "kevra+\\builds\\";
}

void KeepBuildCopy(const std::string& elfPath)
{
    const std::string folder = KeptBuildsFolder();
    if (folder.empty() || !MadeFolder(ParentFolder(WithoutTrailingBackslashes(folder))) || !MadeFolder(folder))
        return;
    const std::optional<PlainFile> elf = ReadPlainFile(elfPath, KeptElfByteLimit);
    if (!elf)
        return;
    const std::optional<PlainFile> options = ReadPlainFile(ParentFolder(elfPath) + "build.options.json", BuildOptionsByteLimit);
    const std::string sketch = KeptSketchKey(elfPath, options ? options->bytes : std::string());
    std::vector<KeptFile> files = RenumberedFolder(folder);
    // The same build seen again (its .hex written anew): the newest copy of the sketch is this build.
    std::optional<KeptName> newest;
    std::string newestName;
    for (const KeptFile& f : files)
        if (const auto name = ParseKeptBuildName(f.name); name && name->sketch == sketch && (!newest || name->sequence > newest->sequence)) {
            newest = name;
            newestName = f.name;
        }
    if (newest) {
        const std::optional<PlainFile> last = ReadPlainFile(folder + newestName, KeptElfByteLimit);
        if (last && last->bytes == elf->bytes)
            return;
    }
    const std::string name = NextKeptBuildName(sketch, files);
    if (PlaceWhole(folder + name, folder + KeptWritingName(name), elf->bytes, elf->writeTime, false))
        files.push_back({ name, elf->bytes.size(), elf->writeTime });
    for (const std::string& old : KeptFilesToRemove(files))
        DeleteFileW(Widen(folder + old).c_str());
}

std::optional<KeptCopy> PreviousKeptCopy(const std::string& elfPath, std::string_view elfBytes, uint64_t elfWriteTime,
                                         std::string_view buildOptionsJson)
{
    const std::string folder = KeptBuildsFolder();
    const std::vector<KeptFile> files = ListFolder(folder);
    const std::optional<std::string> previous =
        PreviousOfAnalysedBuild(files, KeptSketchKey(elfPath, buildOptionsJson), elfWriteTime, [&](const KeptFile& f) {
            if (f.size != elfBytes.size())
                return false;
            const std::optional<PlainFile> copy = ReadPlainFile(folder + f.name, KeptElfByteLimit);
            return copy && copy->bytes == elfBytes;
        });
    return previous ? ReadCopy(folder + *previous) : std::nullopt;
}

std::optional<KeptReports> ReadKeptReports(const KeptCopy& copy)
{
    const std::optional<PlainFile> record = ReadPlainFile(KeptAnalysisName(copy.path), 2 * KeptReportByteLimit + 128);
    return record ? ReportsOfRecord(record->bytes, copy.bytes) : std::nullopt;
}

void RecordKeptReports(const KeptCopy& copy, const KeptReports& reports)
{
    const std::string record = KeptAnalysisName(copy.path);
    PlaceWhole(record, KeptWritingName(record), AnalysisRecord(copy.bytes, reports), 0, true);
    for (const char* raw : { ".size", ".map" })
        DeleteFileW(Widen(copy.path + raw).c_str());
}
