#pragma once
// The agent's trace log: created switched off at minimum level 3 without
// timestamps, so only report lines reach the file, and only once a log file
// has been named.

#include <memory>

#include "tk/tk_log.h"

// No path of its own (the default, next to the program, is never written:
// logging starts only once a name is given).
std::unique_ptr<tk_log> agent_make_log();
