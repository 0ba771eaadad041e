#include "tk/tk_exc.h"

#include <cstdio>
#include <cstdlib>

#include "platform/pf_error.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {
const char* const unknown_exception = "Unknown exception";
}

tk_exception::tk_exception(int level) : m_message(unknown_exception), m_level(level) {}

tk_exception::tk_exception(const std::string& message, int level)
    : m_message(message.empty() ? std::string(unknown_exception) : message), m_level(level) {}

tk_exception::tk_exception(const char* message, int level)
    : m_message(message && *message ? message : unknown_exception), m_level(level) {}

tk_exception::tk_exception(const std::wstring& message, int level) : m_level(level) {
    if (!tk_w2a(message, m_message)) m_message.clear();
}

tk_exception::tk_exception(const wchar_t* message, int level) : m_level(level) {
    if (!tk_w2a(message, m_message)) m_message.clear();
}

void tk_exception::set_system_error(const std::string& prefix) {
    m_code = pf_last_error();
    std::string text = pf_error_text(m_code);
    if (!text.empty()) {
        m_message = prefix + text;
        tk_trace(2, "GetLastError: %s", text.c_str());
    }
}

tk_exception_ex::tk_exception_ex() : tk_exception(1) { set_system_error(std::string()); }

tk_exception_ex::tk_exception_ex(const std::string& prefix, int level) : tk_exception(level) {
    set_system_error(prefix);
}

std::string tk_assertion_text(const char* file, int line) {
    char site[272];
    std::snprintf(site, sizeof site, "%s\\%d", file ? file : "", line);
    static const char digits[] = "0123456789abcdef";
    std::string text = "Internal error: \ncode=";
    for (const char* p = site; *p; ++p) {
        auto b = static_cast<unsigned char>(*p);
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

tk_mail_assertion::tk_mail_assertion(const char* file, int line) : tk_exception(tk_assertion_text(file, line), 2) {
    tk_trace(2, "tk_mail_assertion::ctor(%s)", file ? file : "");
}

tk_final_exception::tk_final_exception() { tk_trace(2, "tk_final_exception::ctor"); }

ole_type_exception::ole_type_exception() : tk_exception("The operating type is not supported yet", 1) {}

void tk_fail_in_destructor(const char* file, int line) noexcept {
    std::string text;
    try {
        text = tk_assertion_text(file, line);
    } catch (...) {
        text = "Internal error";
    }
    tk_trace(3, "%s", text.c_str());
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    std::_Exit(255);  // exit code -1
}
