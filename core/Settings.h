// core/Settings.h: the agent's two settings, kept in a private-profile file in TEMP (SettingsFile),
// and the first-run preset of the copy folder from the IDE's sketchbook. Failures are silent by
// design: an unreadable file gives the defaults, a failed write leaves the values in memory as they
// are.
#pragma once

#include <optional>
#include <string>

// Reads Config/copyhex and Config/homedir from SettingsFile into the shared values.
void LoadSettings();
// Writes copyhex, then homedir, into SettingsFile. The results of the writes are ignored.
void SaveSettings();

// First-run preset of homedir: the sketchbook folder that the IDE in use names (IdeSketchbookFolder).
// When found: sets homedir, saves the settings and returns the folder, for the main window to show;
// nullopt when nothing was found, and then nothing is set or saved.
std::optional<std::string> DiscoverSketchbookFolder();
