#include "core/Settings.h"

#include <windows.h>

#include "base/Folders.h"
#include "base/IdeFiles.h"
#include "base/SharedValues.h"
#include "base/Text.h"
#include "base/Win32.h"
#include "core/SettingsText.h"

namespace {

constexpr wchar_t Section[] = L"Config";

// The file is kept in the ANSI code page, the one its other readers take: the wide calls convert
// with that code page, and only values that fit it are written.
std::string ReadProfileValue(const wchar_t* key, const wchar_t* fallback)
{
    // 260 characters: a longer value is cut to 259.
    wchar_t buffer[260] = {};
    GetPrivateProfileStringW(Section, key, fallback, buffer, 260, Widen(SettingsFile).c_str());
    return Narrow(buffer);
}

}  // namespace

void LoadSettings()
{
    WriteCopyHex(ParseCopyHex(ReadProfileValue(L"copyhex", L"0")));
    WriteHomeDir(TrimSpaces(ReadProfileValue(L"homedir", L" ")));
}

void SaveSettings()
{
    const std::wstring file = Widen(SettingsFile);
    WritePrivateProfileStringW(Section, L"copyhex", Widen(DecimalText(ReadCopyHex())).c_str(), file.c_str());
    // A folder that the file cannot hold leaves the stored one as it was, like a failed write: this
    // session copies into the chosen folder, the next start into the stored one.
    if (const std::optional<std::string> homedir = AnsiFittingPath(TrimSpaces(ReadHomeDir())))
        WritePrivateProfileStringW(Section, L"homedir", Widen(*homedir).c_str(), file.c_str());
}

std::optional<std::string> DiscoverSketchbookFolder()
{
    std::optional<std::string> homedir = IdeSketchbookFolder();
    if (!homedir)
        return std::nullopt;
    WriteHomeDir(*homedir);
    SaveSettings();
    return homedir;
}
