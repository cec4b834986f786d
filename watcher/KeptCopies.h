// watcher/KeptCopies.h: the copy of each new build's .elf that the watcher keeps in the agent's own
// folder (base/KeptFolder.h), so that the analyzer can compare a build with the one before it after
// the IDE has overwritten its build folder. Runs on the watcher's thread: one file read and one
// written, no tool run and no wait.
#pragma once

#include <string>

// Keeps a copy of the build's .elf (a plain file of at most KeptElfByteLimit bytes; anything else is
// not kept) under the next kept name of its sketch, with the build's write time, unless the newest
// copy of the sketch holds the same bytes already; then removes the copies that KeptBuildsToRemove
// names, with the analysis reports beside them. Nothing is reported.
void KeepBuildCopy(const std::string& elfPath);
