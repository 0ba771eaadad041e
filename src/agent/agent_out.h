#pragma once
// The agent's console: progress lines on standard output, missing tables,
// failures of the run and fatal texts on standard error, error-handler texts
// on standard output. Every line ends with a line feed and is flushed. Names
// and messages are printed with their control characters escaped, so that no
// text can add a line of its own or send the terminal an escape sequence.

#include <cstdint>
#include <iosfwd>
#include <string>

class agent_console {
public:
    agent_console(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    // The converter's quiet flag: progress lines, missing tables, run
    // failures and fatal texts.
    void set_silent(bool on) { m_silent = on; }
    bool silent() const { return m_silent; }
    // The error handler's flag: error texts (the handler tests it itself).
    void set_suppress(bool on) { m_suppress = on; }

    // A name as the console prints it: in the ANSI code page, its control
    // characters escaped. For texts built around a name.
    static std::string shown(const std::wstring& name);

    // "Converting database <src>(<n> tables)"
    void database_line(const std::wstring& src, std::uint32_t n_tables);
    // "Converting table <name>(<n> records)"
    void table_line(const std::wstring& name, std::int64_t n_records);
    // "Table <name> not exists" on standard error. Counted as an error.
    void missing_table(const std::wstring& name);
    // A text that ends the program: traced, then on standard error unless
    // silent; its own line feeds stay (the usage text). Counted as an error.
    void fatal(const std::string& text);

    // The error handler's texts. The handler has traced them already.
    // "Error:" and the text as a second line, line feeds turned into blanks.
    void error(const std::string& text);
    // "Internal error: " and the text, whatever the flags say.
    void internal_error(const std::string& text);
    // A failure outside the exception family that ended the run.
    void failure(const std::string& text);
    // The trace log cannot be written: "Error:" and the text, as the error
    // handler's texts are. Counted as an error, so the run still goes on but
    // does not end with 0.
    void log_failure(const std::string& text);

    // Errors this console reported on its own (missing tables, fatal texts);
    // the error handler counts the others.
    int errors() const { return m_errors; }

private:
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_silent = false;
    bool m_suppress = false;
    int m_errors = 0;
};
