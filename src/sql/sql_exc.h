#pragma once
// Errors of the MySQL client library, carried as toolkit exceptions.
#include <string>
#include <string_view>

#include "tk/tk_exc.h"

struct st_mysql;
struct st_mysql_stmt;

// Code 0x400000 plus the low 16 bits of the MySQL error number (the key of
// the error maps), the library's message text unchanged; the full number, the
// SQLSTATE and the failing statement are kept beside it. Level 0, except for
// an error that leaves the connection gone (connection_lost): level 1,
// nothing more can be read.
class sql_exception : public tk_exception {
public:
    static constexpr int code_base = 0x400000;
    // The numbers under which the error maps show their text about an
    // authentication protocol this client does not support.
    static constexpr unsigned select_reduced_number = 1249;          // ER_SELECT_REDUCED
    static constexpr unsigned table_name_not_allowed_number = 1250;  // ER_TABLENAME_NOT_ALLOWED_HERE

    // The connection's last error (mysql_error / mysql_errno / mysql_sqlstate).
    explicit sql_exception(st_mysql* connection);
    // The same, naming the statement that failed (set_statement), and the
    // message ends with a line "Statement: " and the statement's start.
    sql_exception(st_mysql* connection, std::string_view statement);
    sql_exception(const std::string& message, unsigned error_number, std::string sqlstate = {});

    // Keeps the statement that failed (its first 64 KB) for the caller and the
    // trace; the message stays the library's text.
    sql_exception& set_statement(std::string_view statement);

    // The MySQL error number as the library gave it; 0 for errors of this system.
    unsigned error_number() const noexcept { return m_error_number; }
    // The five-character SQLSTATE the library gave with it, empty when none.
    const std::string& sqlstate() const noexcept { return m_sqlstate; }
    // The failing statement (its first 64 KB), empty when not named.
    const std::string& statement() const noexcept { return m_statement; }
    // The server's own text, without the statement.
    const std::string& server_text() const noexcept { return m_server_text; }
    // True when the connection itself failed (client errors 2000 and above:
    // server gone, lost, out of sync), as opposed to a refused statement.
    bool connection_failed() const noexcept { return error_number() >= 2000 && error_number() < 3000; }
    // True when the error leaves the connection gone: the server went away
    // or closed it (2006, 2013, 2055), killed it (1927), shut down (1053), or
    // a packet exceeded max_allowed_packet (1153, 2020), after which either
    // side closes it.
    bool connection_lost() const noexcept { return ends_connection(error_number()); }
    static bool ends_connection(unsigned error_number) noexcept;
    // The server answered with a number the error maps read as an
    // authentication protocol this client lacks; help goes with the text.
    bool auth_protocol_refused() const noexcept {
        return m_error_number == select_reduced_number || m_error_number == table_name_not_allowed_number;
    }

private:
    unsigned m_error_number = 0;
    std::string m_sqlstate;
    std::string m_statement;
    std::string m_server_text;
};

// A prepared statement's last error (mysql_stmt_error / mysql_stmt_errno /
// mysql_stmt_sqlstate), or the connection's where the statement has none or
// is null (mysql_stmt_init failed).
sql_exception sql_statement_error(st_mysql_stmt* statement, st_mysql* connection);

// The server refused a connection made without TLS. A MySQL server says so
// itself (3159, ER_SECURE_TRANSPORT_REQUIRED, under require_secure_transport);
// a MariaDB server answers "Access denied" (1045) to it as to a wrong
// password, so such an answer over a connection without TLS to a server that
// offers TLS may mean either. The message stays the server's text; the code
// tells the two apart for the error maps.
class sql_insecure_transport_exception : public sql_exception {
public:
    static constexpr unsigned required_number = 3159;
    // The server said it takes secure connections only.
    static constexpr int required_code = code_base + static_cast<int>(required_number);
    // "Access denied" over a connection without TLS to a server that offers
    // TLS: outside the 16 bits of the server's numbers.
    static constexpr int denied_without_tls_code = code_base + 0x10000 + 1045;

    // The connection's last error; required_code for 3159, else denied_without_tls_code.
    explicit sql_insecure_transport_exception(st_mysql* connection);
    // Whether the failed connect on this handle is such a refusal.
    static bool applies(st_mysql* connection);
};

// The server refused this user the database itself (1044,
// ER_DBACCESS_DENIED_ERROR) when it was to be made current: the database may
// well be there. The message stays the server's text; the code keeps it
// apart, for the error maps, from a 1044 raised elsewhere.
class sql_database_denied_exception : public sql_exception {
public:
    static constexpr unsigned number = 1044;
    static constexpr int denied_code = code_base + 0x10000 + static_cast<int>(number);

    explicit sql_database_denied_exception(st_mysql* connection);
};

// A server that took the connection and did not answer it within the connect
// timeout (a server that is stopped, hung or overloaded, or a port that is no
// MySQL server's). The library calls this a lost connection (2013 with the
// system's timeout error); nothing was lost, as nothing was made. Level 0, as
// any connection that could not be made; the message stays the library's
// text, the code is its own for the error maps.
class sql_no_answer_exception : public sql_exception {
public:
    // The connect timeout every connection of the engine is made with.
    static constexpr unsigned seconds = 10;
    static constexpr int no_answer_code = code_base + 0x10000 + 2013;

    explicit sql_no_answer_exception(st_mysql* connection);
    // Whether the failed connect on this handle ended that way.
    static bool applies(st_mysql* connection);
};

// A 4.1.0 server asks for its old authentication protocol.
class sql_auth_not_supported_exception : public tk_exception {
public:
    sql_auth_not_supported_exception();
};
