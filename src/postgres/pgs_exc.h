#pragma once
// The PostgreSQL side's exception: the client library's or the server's text
// for the user, always a level-0 error (the user may go on).
#include <exception>
#include <string>
#include <string_view>

#include <pqxx/except>

#include "tk/tk_exc.h"

class pgs_exception : public tk_exception {
public:
    // The level a thrower names is not kept: these errors never end the run by
    // themselves.
    explicit pgs_exception(const std::string& text, int level = 0);
    explicit pgs_exception(const char* text, int level = 0);
    explicit pgs_exception(const std::wstring& text, int level = 0);

    // A libpqxx failure: prefix + its text, with its cause kept: the server's
    // SQLSTATE and the statement it refused, or the loss of the connection.
    static pgs_exception from_pqxx(const pqxx::pqxx_exception& e, std::string_view prefix = {});

    // Empty when the failure did not come from the server.
    const std::string& sqlstate() const noexcept { return m_sqlstate; }
    // The statement that failed, when known.
    const std::string& statement() const noexcept { return m_statement; }
    // The connection to the server broke.
    bool connection_lost() const noexcept { return m_connection_lost; }

    void set_statement(std::string statement) { m_statement = std::move(statement); }

private:
    std::string m_sqlstate;
    std::string m_statement;
    bool m_connection_lost = false;
};

// The text of a libpqxx exception (which is not a std::exception itself).
inline std::string pgs_error_text(const pqxx::pqxx_exception& e) { return e.base().what(); }

// Runs f at the edge of the PostgreSQL side: toolkit exceptions pass
// unchanged, libpqxx's and other standard exceptions become pgs_exception
// with prefix + their text.
template <class F>
auto pgs_guard(F&& f, std::string_view prefix = {}) -> decltype(f())
{
    try {
        return f();
    } catch (const tk_exception&) {
        throw;
    } catch (const pqxx::pqxx_exception& e) {
        throw pgs_exception::from_pqxx(e, prefix);
    } catch (const std::exception& e) {
        throw pgs_exception(std::string(prefix) + e.what());
    }
}
