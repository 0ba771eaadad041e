#include "tk/tk_log.h"

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/pf_error.h"
#include "platform/pf_path.h"
#include "platform/pf_text.h"
#include "tk/tk_fname.h"
#include "tk/tk_tfmt.h"
#include "tk/tk_utils.h"

std::atomic<int> tk_detail::trace_gate{INT_MAX};

namespace {

constexpr std::size_t wide_line_max = 10240;

// Formatting runs under a private C.UTF-8 locale for this thread only, so
// that numbers are written alike whatever the process locale is (the wizard's
// window framework sets the user's).
class utf8_scope {
public:
    utf8_scope() {
        static const locale_t loc = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(0));
        if (loc) m_old = uselocale(loc);
    }
    ~utf8_scope() {
        if (m_old) uselocale(m_old);
    }

private:
    locale_t m_old = locale_t(0);
};

bool is_flag(wchar_t c) {
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'.' || c == L'*' || c == L'\'' ||
           (c >= L'0' && c <= L'9');
}

// Rewrites the toolkit's format conventions into the C library's:
// I64 -> ll, I -> z; in wide formats %s/%c take wide arguments and %S/%C
// narrow ones.
template <class Ch>
std::basic_string<Ch> translate_format(const Ch* fmt, bool wide) {
    std::basic_string<Ch> out;
    for (const Ch* p = fmt; *p;) {
        if (*p != Ch('%')) {
            out += *p++;
            continue;
        }
        out += *p++;
        if (*p == Ch('%')) {
            out += *p++;
            continue;
        }
        while (*p && is_flag(static_cast<wchar_t>(*p))) out += *p++;
        std::basic_string<Ch> len;
        if (p[0] == Ch('I') && p[1] == Ch('6') && p[2] == Ch('4')) {
            len = {Ch('l'), Ch('l')};
            p += 3;
        } else if (p[0] == Ch('I') && p[1] == Ch('3') && p[2] == Ch('2')) {
            p += 3;
        } else if (p[0] == Ch('I')) {
            len = {Ch('z')};
            p += 1;
        } else {
            while (*p == Ch('h') || *p == Ch('l') || *p == Ch('L') || *p == Ch('z') || *p == Ch('j') || *p == Ch('t') ||
                   *p == Ch('q'))
                len += *p++;
        }
        if (!*p) {
            out += len;
            break;
        }
        Ch conv = *p++;
        if (wide && (conv == Ch('s') || conv == Ch('c') || conv == Ch('S') || conv == Ch('C'))) {
            const bool upper = conv == Ch('S') || conv == Ch('C');
            const Ch base = (conv == Ch('s') || conv == Ch('S')) ? Ch('s') : Ch('c');
            bool narrow;
            if (len == std::basic_string<Ch>{Ch('h')})
                narrow = true;
            else if (len == std::basic_string<Ch>{Ch('l')} || len == std::basic_string<Ch>{Ch('w')})
                narrow = false;
            else
                narrow = upper;
            if (!narrow) out += Ch('l');
            out += base;
            continue;
        }
        out += len;
        out += conv;
    }
    return out;
}

std::string time_prefix() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d ", tm.tm_hour % 100, tm.tm_min % 100, tm.tm_sec % 100);
    return text;
}

// Never waits: a named pipe nobody reads (or a full one) is a failure, not a
// program that hangs.
constexpr int log_open_flags = O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC;

// Opens, writes the bytes and closes; false with errno set when any step
// fails.
bool write_file(const std::string& path, int flags, const std::string& bytes) {
    const int fd = ::open(path.c_str(), log_open_flags | flags, 0666);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            errno = error;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0;
}

}  // namespace

tk_log::tk_log(const char* path, bool enabled, int min_level, bool timestamp)
    : m_min_level(min_level), m_enabled(enabled), m_timestamp(timestamp) {
    if (path) {
        m_path = path;
    } else {
        tk_file_name fn(tk_get_module_name());
        fn.set_ext("log");
        m_path = fn.get_full_path();
    }
    if (m_enabled) {
        empty_file();
        m_truncated = true;
    }
    update_gate();
}

tk_log::~tk_log() { tk_detail::trace_gate.store(INT_MAX, std::memory_order_relaxed); }

void tk_log::update_gate() noexcept {
    int gate = !m_enabled ? INT_MAX : (!m_truncated ? INT_MIN : m_min_level);
    tk_detail::trace_gate.store(gate, std::memory_order_relaxed);
}

void tk_log::set_path(const char* path) {
    if (!path) throw tk_mail_assertion("tk_log", 82);
    m_path = path;
    m_failed.store(false, std::memory_order_release);
}

void tk_log::set_failure_report(std::function<void(const std::string&)> report) { m_report = std::move(report); }

void tk_log::empty_file() noexcept {
    if (!write_file(m_path, O_TRUNC, {})) failed(errno);
}

void tk_log::append(const std::string& line) noexcept {
    if (!write_file(m_path, O_APPEND, line)) failed(errno);
}

void tk_log::failed(int error) noexcept {
    // Reported once: every later line would fail the same way.
    if (m_failed.exchange(true, std::memory_order_acq_rel)) return;
    try {
        std::string reason = pf_error_text(error);
        if (reason.empty()) reason = "system error " + std::to_string(error);
        const std::string text = "Logfile '" + m_path + "' cannot be written: " + reason;
        if (m_report) m_report(text);
    } catch (...) {
        // The report is the program's; the trace goes on without it.
    }
}

void tk_log::enable() {
    m_enabled = true;
    update_gate();
}

void tk_log::truncate_once() {
    if (!m_enabled || m_truncated) return;
    // Set first: a report of the failure may trace again.
    m_truncated = true;
    empty_file();
    update_gate();
}

void tk_log::write(int level, const char* fmt, va_list ap) noexcept {
    try {
        if (!m_enabled) return;
        truncate_once();
        if (level < m_min_level || !fmt) return;
        std::string line = m_timestamp ? time_prefix() : std::string();
        {
            utf8_scope loc;
            line += tk_format_printable(translate_format(fmt, false).c_str(), ap);
        }
        if (m_crlf) line += "\r\n";
        append(line);
    } catch (...) {
        // A line that cannot be formatted is dropped; tracing never throws.
    }
}

void tk_log::write_w(int level, const wchar_t* fmt, va_list ap) noexcept {
    try {
        if (!m_enabled) return;
        truncate_once();
        if (level < m_min_level || !fmt) return;
        std::string bytes;
        {
            utf8_scope loc;
            const std::wstring text = tk_format_printable(translate_format(fmt, true).c_str(), ap);
            const std::wstring_view cut(text.data(), std::min(text.size(), wide_line_max - 1));
            if (!pf_wide_to_utf8(cut, bytes) || bytes.size() >= wide_line_max) bytes.clear();
        }
        std::string line = m_timestamp ? time_prefix() : std::string();
        line += bytes;
        if (m_crlf) line += "\r\n";
        append(line);
    } catch (...) {}
}

void tk_vtrace(int level, const char* fmt, va_list ap) noexcept {
    if (!tk_trace_wanted(level)) return;
    if (tk_log* log = tk_log::find()) log->write(level, fmt, ap);
}

void tk_vtrace_w(int level, const wchar_t* fmt, va_list ap) noexcept {
    if (!tk_trace_wanted(level)) return;
    if (tk_log* log = tk_log::find()) log->write_w(level, fmt, ap);
}

void tk_trace_out(int level, const char* fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    tk_vtrace(level, fmt, ap);
    va_end(ap);
}

void tk_trace_out_w(int level, const wchar_t* fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    tk_vtrace_w(level, fmt, ap);
    va_end(ap);
}

void tk_check_logfile(const std::string& name, const std::vector<tk_input_file>& inputs) {
    if (name.empty()) return;
    for (const tk_input_file& input : inputs)
        if (pf_same_file(name, input.path)) throw tk_exception("Logfile name specifies " + input.role + ".", 1);
    if (tk_is_file_exist(name, tk_file_read) && !tk_is_file_exist(name, tk_file_read_write))
        throw tk_exception("Logfile name specifies an existing read-only file.", 1);
    // The log would silently never be written to a folder; a named pipe
    // would hold the program until someone reads it, a device takes or
    // refuses lines as it likes: the log is a regular file, or one to create.
    switch (pf_node_of(name)) {
    case pf_node::folder: throw tk_exception("Logfile name specifies a folder.", 1);
    case pf_node::special:
        throw tk_exception("Logfile name specifies a special file (a named pipe, a device or a socket), "
                           "not a regular file.",
                           1);
    case pf_node::none:
    case pf_node::file: break;
    }
    // A name that cannot be made a full path (far too long) is the user's
    // input, not an internal fault of tk_file_name.
    std::string full;
    if (!pf_full_path(name, full))
        throw tk_exception("Logfile path does not exist.\nPlease verify the correct path was given.", 1);
    tk_file_name fn(name);
    if (!tk_is_path_exist(fn.get_path()))
        throw tk_exception("Logfile path does not exist.\nPlease verify the correct path was given.", 1);
}

void tk_use_logfile(const std::string& name) {
    if (name.empty()) return;
    if (tk_log* log = tk_log::find()) {
        log->set_path(name.c_str());
        log->enable();
    }
}
