#pragma once
// The agent's trace log: created switched off at minimum level 3 without
// timestamps, so only report lines reach the file, and only once a log file
// has been named.

#include <memory>
#include <string>
#include <vector>

#include "tk/tk_log.h"

// No path of its own (the default, next to the program, is never written:
// logging starts only once a name is given).
std::unique_ptr<tk_log> agent_make_log();

// Checks the name (level-1 exceptions for a read-only file, a missing folder
// or one of the files the program reads), stores it in `stored` and switches
// the log on. An empty name is stored and leaves the log off.
void agent_set_logfile(std::string& stored, const std::string& name, const std::vector<tk_input_file>& inputs = {});
