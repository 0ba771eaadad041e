#pragma once
// Scripted error dialogs: record what was shown, answer from a script.
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "converter/err_ui.h"
#include "tk/tk_exc.h"

struct program_ended {
    int code;
};

class scripted_dialogs : public error_dialogs {
public:
    std::vector<std::string> shown;              // "internal: ", "error: ", "ask: ", "failure: " + text
    std::deque<std::pair<answer, bool>> script;  // answers of ask_continue; Continue when empty

    void show_internal_error(const std::string& text) override { shown.push_back("internal: " + text); }
    void show_error(const std::string& text) override { shown.push_back("error: " + text); }
    answer ask_continue(const std::string& text, bool& dont_show_again) override {
        shown.push_back("ask: " + text);
        if (script.empty()) return answer::continue_run;
        auto [a, check] = script.front();
        script.pop_front();
        dont_show_again = check;
        return a;
    }
    void show_failure(const std::string& text) override { shown.push_back("failure: " + text); }
    [[noreturn]] void end_program(int code) override { throw program_ended{code}; }
};

// An exception of the family with a chosen code.
class coded_exception : public tk_exception {
public:
    coded_exception(int code, const char* message, int level) : tk_exception(message, level) { m_code = code; }
};
