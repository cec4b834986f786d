// base/KeptFolder.h: the folder of the kept copies of builds (KeptBuilds.h) on disk: where it is, and
// what it holds. The watcher writes the copies; the analyzer reads them.
#pragma once

#include <string>
#include <vector>

#include "base/KeptBuilds.h"

// LocalAppDataFolder + "kevra+\builds\"; "" when the shell gives no local application-data folder.
std::string KeptBuildsFolder();

// The kept copies in folder: the plain files (no link, no folder) whose names ParseKeptBuildName
// reads, with their sizes and write times. Empty when folder, or its parent, is not a plain folder.
std::vector<KeptFile> ListKeptBuilds(const std::string& folder);
