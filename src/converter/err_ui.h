#pragma once
// How the error handler talks to the user. The wizard shows dialogs, the
// agent writes to the console, tests script the answers.
#include <cstdio>
#include <string>

class error_dialogs {
public:
    enum class answer { abort_run = 1, continue_run = 2 };

    virtual ~error_dialogs() = default;

    // An internal error; the handler ends the program once this returns.
    virtual void show_internal_error(const std::string& text) = 0;
    // An error that ends the run (or, in the outermost scope, the step).
    virtual void show_error(const std::string& text) = 0;
    // An error the user may continue from. `dont_show_again` comes in false
    // and tells whether later such errors should pass without asking.
    virtual answer ask_continue(const std::string& text, bool& dont_show_again) = 0;
    // A failure outside the exception family that ended the run (the
    // server library's own text, for instance).
    virtual void show_failure(const std::string& text) { show_error(text); }
    // Ends the program after an internal error. The default flushes the
    // standard streams and leaves with the code at once.
    [[noreturn]] virtual void end_program(int code);
};

// The agent's form: "Error:" and the text on one stream (standard output by
// default), failures outside the family on another (standard error),
// internal errors as "Internal error: " and the text. Never asks: every
// recoverable error is continued from.
class console_error_dialogs : public error_dialogs {
public:
    explicit console_error_dialogs(std::FILE* errors = stdout, std::FILE* failures = stderr)
        : m_errors(errors), m_failures(failures) {}

    void show_internal_error(const std::string& text) override;
    void show_error(const std::string& text) override;
    answer ask_continue(const std::string& text, bool& dont_show_again) override;
    void show_failure(const std::string& text) override;

private:
    std::FILE* m_errors;
    std::FILE* m_failures;
};
