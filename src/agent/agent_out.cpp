#include "agent/agent_out.h"

#include <ostream>

#include "tk/tk_log.h"
#include "tk/tk_print.h"
#include "tk/tk_utils.h"

std::string agent_console::shown(const std::wstring& name) { return tk_printable(tk_w2a_or_marks(name)); }

void agent_console::database_line(const std::wstring& src, std::uint32_t n_tables) {
    if (m_silent) return;
    m_out << "Converting database " << shown(src) << '(' << n_tables << " tables)\n" << std::flush;
}

void agent_console::table_line(const std::wstring& name, std::int64_t n_records) {
    if (m_silent) return;
    m_out << "Converting table " << shown(name) << '(' << n_records << " records)\n" << std::flush;
}

void agent_console::missing_table(const std::wstring& name) {
    ++m_errors;
    if (m_silent) return;
    m_err << "Table " << shown(name) << " not exists\n" << std::flush;
}

void agent_console::fatal(const std::string& text) {
    ++m_errors;
    tk_trace(3, "%s", text.c_str());
    if (m_silent) return;
    m_err << tk_printable_lines(text) << '\n' << std::flush;
}

void agent_console::error(const std::string& text) {
    if (m_suppress) return;
    std::string line = text;
    for (char& c : line)
        if (c == '\n') c = ' ';
    m_out << "Error:\n" << tk_printable(line) << '\n' << std::flush;
}

void agent_console::internal_error(const std::string& text) {
    m_out << "Internal error: " << tk_printable_lines(text) << '\n' << std::flush;
}

void agent_console::failure(const std::string& text) {
    if (m_silent) return;
    m_err << tk_printable(text) << '\n' << std::flush;
}

void agent_console::log_failure(const std::string& text) {
    ++m_errors;
    error(text);
}
