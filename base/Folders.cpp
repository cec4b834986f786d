#include "base/Folders.h"

#include "base/Text.h"

std::string AppDataFolderFrom(std::string_view shellPath)
{
    while (!shellPath.empty() && shellPath.front() == '\\')
        shellPath.remove_prefix(1);
    return WithOneTrailingBackslash(shellPath);
}
