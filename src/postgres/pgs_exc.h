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
        throw pgs_exception(std::string(prefix) + pgs_error_text(e));
    } catch (const std::exception& e) {
        throw pgs_exception(std::string(prefix) + e.what());
    }
}
