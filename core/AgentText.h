// core/AgentText.h: the texts the main window builds: its title and the how-to text with the
// version put in. Pure functions.
#pragma once

#include <string>
#include <string_view>

// "[kevra+ v0.3] Arduino compiler monitoring agent"
std::string MainWindowTitle();

// Every occurrence of from in text replaced with to, left to right, without rescanning what was put in.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The how-to resource text with each "vXXX" replaced by the version text; nothing else changes.
std::string HowToText(std::string_view resource);
