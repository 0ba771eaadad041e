#pragma once
// The agent's command line: 18 options handled strictly left to right, each
// taking effect at once.

#include <string>

#include "agent/agent_targ.h"
#include "converter/err_map.h"

// The usage text, lines joined by line feeds, no line end after the last.
std::string agent_usage_text();

// True when the run may start, false when the usage text must be shown (an
// unknown argument). Texts that end the program (--help, an invalid mode, a
// missing database name, a bad table-list file) leave as agent_fatal; the
// toolkit's exceptions (a rejected log file, a missing profile) pass through.
bool parse_cmd_line(int argc, char** argv, agent_target& target);

// Ends the program when a profile file exists but does not load (text before
// its first section, a read error) or its path does not convert.
inline constexpr const char* agent_profile_unloadable_text = profile_unloadable_text;
