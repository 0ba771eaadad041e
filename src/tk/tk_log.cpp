#include "tk/tk_log.h"

#include <locale.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

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

void write_prefix(std::FILE* f) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::fprintf(f, "%02d:%02d:%02d ", tm.tm_hour, tm.tm_min, tm.tm_sec);
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
        if (std::FILE* f = std::fopen(m_path.c_str(), "wb")) std::fclose(f);
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
}

void tk_log::enable() {
    m_enabled = true;
    update_gate();
}

void tk_log::truncate_once() {
    if (!m_enabled || m_truncated) return;
    if (std::FILE* f = std::fopen(m_path.c_str(), "wb")) std::fclose(f);
    m_truncated = true;
    update_gate();
}

void tk_log::write(int level, const char* fmt, va_list ap) noexcept {
    try {
        if (!m_enabled) return;
        truncate_once();
        if (level < m_min_level || !fmt) return;
        std::string text;
        {
            utf8_scope loc;
            text = tk_format_printable(translate_format(fmt, false).c_str(), ap);
        }
        std::FILE* file = std::fopen(m_path.c_str(), "ab");
        if (!file) return;
        if (m_timestamp) write_prefix(file);
        std::fwrite(text.data(), 1, text.size(), file);
        if (m_crlf) std::fputs("\r\n", file);
        std::fclose(file);
    } catch (...) {
        // Tracing never reports.
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

        std::FILE* file = std::fopen(m_path.c_str(), "ab");
        if (!file) return;
        if (m_timestamp) write_prefix(file);
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        if (m_crlf) std::fputs("\r\n", file);
        std::fclose(file);
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
    // The log would silently never be written to a folder.
    if (tk_is_path_exist(name)) throw tk_exception("Logfile name specifies a folder.", 1);
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
