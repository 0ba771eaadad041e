#pragma once
// An environment variable set, or removed, for one scope and put back as it
// was at its end: for a test that points a client library at its own
// option files, password files or passwords.
#include <stdlib.h>

#include <optional>
#include <string>

class scoped_env {
public:
    // value nullopt: the variable is removed for the scope.
    scoped_env(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
        if (const char* old = ::getenv(m_name.c_str())) m_old = old;
        if (value)
            ::setenv(m_name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }
    ~scoped_env() {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }
    scoped_env(const scoped_env&) = delete;
    scoped_env& operator=(const scoped_env&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};
