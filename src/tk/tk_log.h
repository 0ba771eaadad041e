#pragma once
// The trace log: tk_trace / tk_trace_w write one line to the tk_log's file
// when a tk_log exists, is enabled and the line's level reaches its minimum.
#include <atomic>
#include <climits>
#include <cstdarg>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "tk/tk_singl.h"

class tk_log : public tk_singleton<tk_log> {
public:
    // path null: the program's own path with the extension ".log".
    // When enabled the file is emptied at once.
    tk_log(const char* path, bool enabled, int min_level, bool timestamp);
    ~tk_log() override;

    // A new path may fail again: its first failure is reported again.
    void set_path(const char* path);  // null: assertion tk_log 82
    void enable();                    // one-way
    void truncate_once();

    // Tracing itself never reports, but a log that silently stays empty
    // leaves the user without the record they asked for: the first line (or
    // emptying) that cannot be written to the current path is handed, once,
    // to `report` on the writing thread, as "Logfile '<path>' cannot be
    // written: <the system's reason>". Later lines are still tried. Set it
    // before the log is used from other threads; null: none.
    void set_failure_report(std::function<void(const std::string&)> report);
    // Something could not be written since the path was last set.
    bool write_failed() const noexcept { return m_failed.load(std::memory_order_acquire); }

    const std::string& path() const noexcept { return m_path; }
    int min_level() const noexcept { return m_min_level; }
    bool enabled() const noexcept { return m_enabled; }
    bool truncated() const noexcept { return m_truncated; }
    bool timestamp() const noexcept { return m_timestamp; }

    // Out-of-line writers behind tk_trace / tk_trace_w.
    void write(int level, const char* fmt, va_list ap) noexcept __attribute__((format(printf, 3, 0)));
    void write_w(int level, const wchar_t* fmt, va_list ap) noexcept;

private:
    void update_gate() noexcept;
    // Appends one whole line; a failure is reported.
    void append(const std::string& line) noexcept;
    void empty_file() noexcept;
    void failed(int error) noexcept;

    std::string m_path;
    int m_min_level;
    bool m_crlf = true;
    bool m_enabled;
    bool m_truncated = false;
    bool m_timestamp;
    std::atomic<bool> m_failed{false};
    std::function<void(const std::string&)> m_report;
};

namespace tk_detail {
// Lowest level that needs the out-of-line path: INT_MAX with no enabled log,
// INT_MIN while the file still has to be emptied, else the minimum level.
extern std::atomic<int> trace_gate;

template <class A>
constexpr bool trace_arg_ok =
    std::is_arithmetic_v<A> || std::is_enum_v<A> || std::is_pointer_v<A> || std::is_null_pointer_v<A>;
}  // namespace tk_detail

// True when a line at this level would reach the out-of-line writer.
inline bool tk_trace_wanted(int level) noexcept {
    return level >= tk_detail::trace_gate.load(std::memory_order_relaxed);
}

// The compiler checks narrow formats as printf's; wide ones it cannot.
void tk_vtrace(int level, const char* fmt, va_list ap) noexcept __attribute__((format(printf, 2, 0)));
void tk_vtrace_w(int level, const wchar_t* fmt, va_list ap) noexcept;
void tk_trace_out(int level, const char* fmt, ...) noexcept __attribute__((format(printf, 2, 3)));
void tk_trace_out_w(int level, const wchar_t* fmt, ...) noexcept;

namespace tk_detail {
// The format was checked where tk_trace named it; here it is a variable.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class... A>
inline void trace(int level, const char* fmt, const A&... args) noexcept {
    static_assert((trace_arg_ok<std::decay_t<A>> && ...), "tk_trace takes scalars and pointers");
    if (!tk_trace_wanted(level)) return;
    tk_trace_out(level, fmt, args...);
}
#pragma GCC diagnostic pop
}  // namespace tk_detail

// printf-style; arguments must be scalars or pointers (pass c_str()).
// Nothing is formatted unless the line would be written. A macro so that a
// literal format reaches tk_trace_out's format check, in a call that is never
// made: the arguments are evaluated once, by the gated call. (GCC 14 checks
// no formats inside sizeof, so the call sits in a lambda's dead branch.)
#define tk_trace(level, ...)                             \
    (                                                    \
        [&] {                                            \
            if (false) tk_trace_out(level, __VA_ARGS__); \
        }(),                                             \
        tk_detail::trace(level, __VA_ARGS__))

// A statement the server refused, the way the PostgreSQL client tools report
// one: "query failed: <error>" and "Query was: <statement>", at level 2.
inline void tk_trace_failed_query(const std::string& error, const std::string& statement) noexcept {
    if (!tk_trace_wanted(2)) return;
    tk_trace_out(2, "query failed: %s", error.c_str());
    tk_trace_out(2, "Query was: %s", statement.c_str());
}

// Wide format with the toolkit's conventions: %s and %c take wide text and
// wide characters, %S and %C narrow ones (%ls, %hs, %lc, %hc as well).
// The line goes to the file as UTF-8.
template <class... A>
inline void tk_trace_w(int level, const wchar_t* fmt, const A&... args) noexcept {
    static_assert((tk_detail::trace_arg_ok<std::decay_t<A>> && ...), "tk_trace_w takes scalars and pointers");
    if (!tk_trace_wanted(level)) return;
    tk_trace_out_w(level, fmt, args...);
}

// A file the program reads (a profile, the table-list file) and the words an
// error names it with ("the profile file").
struct tk_input_file {
    std::string path;
    std::string role;
};

// The checks a log file name must pass before it is used (empty names pass):
// throws tk_exception level 1 "Logfile name specifies an existing read-only
// file." or "Logfile path does not exist.\nPlease verify the correct path was given."
// A name that leads to one of `inputs` (by any spelling or link) is refused
// as "Logfile name specifies <role>.": the log empties its file before the
// input would be read, or destroys it after.
void tk_check_logfile(const std::string& name, const std::vector<tk_input_file>& inputs = {});
// When the name is not empty and a tk_log exists: set its path and enable it.
void tk_use_logfile(const std::string& name);
