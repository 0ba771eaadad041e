#include "converter/err_ui.h"

#include <cstdlib>

void error_dialogs::end_program(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

void console_error_dialogs::show_internal_error(const std::string& text) {
    std::fprintf(m_errors, "Internal error: %s\n", text.c_str());
    std::fflush(m_errors);
}

void console_error_dialogs::show_error(const std::string& text) {
    std::fprintf(m_errors, "Error:\n%s\n", text.c_str());
    std::fflush(m_errors);
}

error_dialogs::answer console_error_dialogs::ask_continue(const std::string& text, bool& dont_show_again) {
    show_error(text);
    dont_show_again = false;
    return answer::continue_run;
}

void console_error_dialogs::show_failure(const std::string& text) {
    std::fprintf(m_failures, "%s\n", text.c_str());
    std::fflush(m_failures);
}
