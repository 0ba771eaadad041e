#include "agent/agent_out.h"

#include <ostream>

#include "tk/tk_log.h"
#include "tk/tk_utils.h"

std::string agent_console_name(const std::wstring& name) {
    std::string out;
    if (tk_w2a(std::wstring_view(name), out)) return out;
    // Only characters that have no encoding (lone surrogates, values past
    // U+10FFFF) get here; each is replaced on its own.
    out.clear();
    std::string one;
    for (wchar_t c : name) {
        if (tk_w2a(std::wstring_view(&c, 1), one))
            out += one;
        else
            out += '?';
    }
    return out;
}

void agent_console::database_line(const std::wstring& src, std::uint32_t n_tables) {
    if (m_silent) return;
    m_out << "Converting database " << agent_console_name(src) << '(' << n_tables << " tables)\n" << std::flush;
}

void agent_console::table_line(const std::wstring& name, std::int64_t n_records) {
    if (m_silent) return;
    m_out << "Converting table " << agent_console_name(name) << '(' << n_records << " records)\n" << std::flush;
}

void agent_console::missing_table(const std::wstring& name) {
    ++m_errors;
    if (m_silent) return;
    m_err << "Table " << agent_console_name(name) << " not exists\n" << std::flush;
}

void agent_console::fatal(const std::string& text) {
    ++m_errors;
    tk_trace(3, "%s", text.c_str());
    if (m_silent) return;
    m_err << text << '\n' << std::flush;
}

void agent_console::error(const std::string& text) {
    if (m_suppress) return;
    std::string line = text;
    for (char& c : line)
        if (c == '\n') c = ' ';
    m_out << "Error:\n" << line << '\n' << std::flush;
}

void agent_console::internal_error(const std::string& text) {
    m_out << "Internal error: " << text << '\n' << std::flush;
}

void agent_console::failure(const std::string& text) {
    if (m_silent) return;
    m_err << text << '\n' << std::flush;
}
