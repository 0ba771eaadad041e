#pragma once
// Errors of the MySQL client library, carried as toolkit exceptions.
#include <string>

#include "tk/tk_exc.h"

struct st_mysql;

// Code 0x400000 plus the low 16 bits of the MySQL error number, level 0,
// the library's message text unchanged.
class sql_exception : public tk_exception {
public:
    static constexpr int code_base = 0x400000;

    // The connection's last error (mysql_error / mysql_errno).
    explicit sql_exception(st_mysql* connection);
    sql_exception(const std::string& message, unsigned error_number);

    // The MySQL error number (code without the base).
    unsigned error_number() const noexcept { return static_cast<unsigned>(m_code - code_base); }
};

// A 4.1.0 server asks for its old authentication protocol.
class sql_auth_not_supported_exception : public tk_exception {
public:
    sql_auth_not_supported_exception();
};
