#include "agent/agent_log.h"

std::unique_ptr<tk_log> agent_make_log() { return std::make_unique<tk_log>(nullptr, false, 3, false); }
