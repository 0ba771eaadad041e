#include "converter/cnv_tk.h"

#include "tk/tk_log.h"

tk_converter::tk_converter() { tk_trace(2, "tk_converter::ctor"); }

tk_converter::~tk_converter() = default;

void tk_converter::set_logfile(const std::string& name) {
    tk_trace(1, "tk_convertor::set_logfile(%s)", name.c_str());
    tk_check_logfile(name, m_inputs);
    logfile = name;
    tk_use_logfile(name);
}

void tk_converter::add_input_file(const std::string& path, const std::string& role) {
    m_inputs.push_back(tk_input_file{path, role});
}
