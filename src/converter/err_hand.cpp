#include "converter/err_hand.h"

#include <algorithm>

#include "converter/err_map.h"
#include "tk/tk_log.h"
#include "tk/tk_print.h"
#include "tk/tk_utils.h"

error_handler::error_handler(int count, const tk_error_row* rows) : m_converter(count, rows) {
    tk_trace(2, "error_handler::ctor");
}

error_handler::~error_handler() = default;

void error_handler::load_err_map(int count, const tk_error_row* rows) {
    tk_trace(2, "error_handler::load_err_map");
    m_converter.load_map(count, rows);
}

void error_handler::set_context(const std::wstring& name) {
    std::string text = tk_printable(tk_w2a_or_marks(name));
    std::lock_guard<std::mutex> g(m_lock);
    m_context = std::move(text);
}

void error_handler::set_record_context(const std::wstring& name, std::int64_t record_no) {
    std::string text = tk_printable(tk_w2a_or_marks(name));
    text += ", record #";
    text += std::to_string(record_no);
    std::lock_guard<std::mutex> g(m_lock);
    m_context = std::move(text);
}

std::string error_handler::context() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_context;
}

std::string error_handler::message_for(const tk_exception& e) const { return mapped_error_text(m_converter, e); }

std::string error_handler::prefixed(const std::string& message) const {
    std::string text = context();
    if (!text.empty()) text += ": ";
    text += message;
    return text;
}

std::string error_handler::reported_text(const tk_exception& e) {
    std::string text = prefixed(message_for(e));
    tk_trace(3, "Error:\n%s", text.c_str());
    std::replace(text.begin(), text.end(), '\n', ' ');
    list(text);
    return text;
}

void error_handler::list(const std::string& text) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_errors.size() < max_listed) m_errors.push_back(text);
}

std::vector<std::string> error_handler::errors() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_errors;
}

void error_handler::clear_errors() {
    std::lock_guard<std::mutex> g(m_lock);
    m_errors.clear();
}

void error_handler::handle(const tk_exception& e, bool outer) {
    tk_trace(2, "error_handler::handle");
    m_error_count.fetch_add(1, std::memory_order_acq_rel);

    if (e.level() == 2) {
        tk_trace(3, "Internal error:\n%s", e.what());
        m_dialogs->show_internal_error(e.what());
        m_dialogs->end_program(-1);
    }

    const std::string text = reported_text(e);
    if (e.level() == 1) {
        tk_trace(1, "Got 1-level error");
        if (!suppressed()) {
            tk_trace(1, "Step 1");
            m_dialogs->show_error(text);
        }
        tk_trace(1, "Step 2");
        if (!outer) throw tk_final_exception();
        return;
    }

    tk_trace(1, "Got 0-level error");
    if (suppressed()) return;
    bool dont_show_again = false;
    const error_dialogs::answer a = m_dialogs->ask_continue(text, dont_show_again);
    if (!outer && a == error_dialogs::answer::abort_run) throw tk_final_exception();
    if (dont_show_again) set_suppress(true);
}

void error_handler::report_failure(const std::string& what) {
    m_error_count.fetch_add(1, std::memory_order_acq_rel);
    std::string text = what;
    tk_trace(3, "ERROR:\n%s", text.c_str());
    std::replace(text.begin(), text.end(), '\n', ' ');
    list(text);
    if (!suppressed()) m_dialogs->show_failure(text);
}

void error_handler::note(const tk_exception& e) {
    tk_trace(2, "error_handler::note");
    m_error_count.fetch_add(1, std::memory_order_acq_rel);
    reported_text(e);
}

void error_handler::end_run(const tk_exception& e) {
    tk_trace(2, "error_handler::end_run");
    m_error_count.fetch_add(1, std::memory_order_acq_rel);
    const std::string text = reported_text(e);
    if (!suppressed()) m_dialogs->show_error(text);
    throw tk_final_exception();
}
