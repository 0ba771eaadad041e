#pragma once
// The exception family: every failure travels as one of these.
#include <exception>
#include <string>

// Severity: 0 the run may go on, 1 the step fails, 2 internal error.
class tk_exception : public std::exception {
public:
    explicit tk_exception(int level = 1);
    tk_exception(const std::string& message, int level);
    tk_exception(const char* message, int level);
    tk_exception(const std::wstring& message, int level);
    tk_exception(const wchar_t* message, int level);
    ~tk_exception() override = default;

    const char* what() const noexcept override { return m_message.c_str(); }

    const std::string& message() const noexcept { return m_message; }
    int code() const noexcept { return m_code; }
    int level() const noexcept { return m_level; }

protected:
    // code = the thread's last system error; message = prefix + its text.
    void set_system_error(const std::string& prefix);

    std::string m_message;
    int m_code = 0;
    int m_level = 1;
};

// Carries the calling thread's last system error (number and text).
class tk_exception_ex : public tk_exception {
public:
    tk_exception_ex();
    tk_exception_ex(const std::string& prefix, int level);
};

// "Internal error: \ncode=" followed by the hex digits of "file\line".
std::string tk_assertion_text(const char* file, int line);

// An internal assertion at a source site (file name without extension).
class tk_mail_assertion : public tk_exception {
public:
    tk_mail_assertion(const char* file, int line);
};

// Thrown by the error handler when the run must end. No message of its own.
class tk_final_exception : public std::exception {
public:
    tk_final_exception();
};

// A text could not be converted to the requested value type.
class ole_type_exception : public tk_exception {
public:
    ole_type_exception();
};

// An assertion that fires inside a destructor or other noexcept path may not
// throw: the internal-error text goes to the trace (level 3) and to stderr,
// then the program ends with exit code -1.
[[noreturn]] void tk_fail_in_destructor(const char* file, int line) noexcept;
