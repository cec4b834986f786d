// core/AgentText.h: the texts the main window builds: its title and the how-to text with the
// version put in. Pure functions.
#pragma once

#include <string>
#include <string_view>

// "[kevra+ v0.3] Arduino compiler monitoring agent"
std::string MainWindowTitle();

// The how-to resource text with each "vXXX" replaced by the version text; nothing else changes.
std::string HowToText(std::string_view resource);
