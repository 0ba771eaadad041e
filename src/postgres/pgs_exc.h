#pragma once
// The PostgreSQL side's exception: the client library's or the server's text
// for the user, always a level-0 error (the user may go on).
#include <exception>
#include <string>

#include "tk/tk_exc.h"

// What a libpqxx failure came from: the server's SQLSTATE and the statement
// it refused, or the loss of the connection.
struct pgs_cause {
    std::string sqlstate;   // empty when the failure did not come from the server
    std::string statement;  // the statement that failed, when known
    bool connection_lost = false;
};

class pgs_exception : public tk_exception {
public:
    // The level a thrower names is not kept: these errors never end the run by
    // themselves.
    explicit pgs_exception(const std::string& text, int level = 0);
    explicit pgs_exception(const char* text, int level = 0);
    explicit pgs_exception(const std::wstring& text, int level = 0);
    // The server's or the client library's text with what it came from.
    pgs_exception(const std::string& text, pgs_cause cause);

    const pgs_cause& cause() const noexcept { return m_cause; }
    // Empty when the failure did not come from the server.
    const std::string& sqlstate() const noexcept { return m_cause.sqlstate; }
    // The statement that failed, when known.
    const std::string& statement() const noexcept { return m_cause.statement; }
    // The connection to the server broke.
    bool connection_lost() const noexcept { return m_cause.connection_lost; }

    // Names the statement that failed (also in the trace).
    void set_statement(std::string statement);

private:
    pgs_cause m_cause;
};

// The load of a table failed as a whole (its COPY could not be opened, or a
// batch of lines could not be sent): level 0 with the library's text like
// pgs_exception, but not one, as the run takes a pgs_exception for one
// refused row and goes on with the next, while this ends the table.
class pgs_load_failure : public tk_exception {
public:
    pgs_load_failure(const std::string& text, pgs_cause cause);

    const pgs_cause& cause() const noexcept { return m_cause; }

private:
    pgs_cause m_cause;
};
