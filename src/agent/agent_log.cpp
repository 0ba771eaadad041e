#include "agent/agent_log.h"

std::unique_ptr<tk_log> agent_make_log() { return std::make_unique<tk_log>(nullptr, false, 3, false); }

void agent_set_logfile(std::string& stored, const std::string& name, const std::vector<tk_input_file>& inputs) {
    tk_trace(1, "tk_convertor::set_logfile(%s)", name.c_str());
    tk_check_logfile(name, inputs);
    stored = name;
    tk_use_logfile(name);
}
