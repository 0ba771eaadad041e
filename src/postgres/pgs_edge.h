#pragma once
// The edge of the PostgreSQL side, where libpqxx's exceptions become
// pgs_exception; for src/postgres only, as it needs libpqxx's headers.
#include <exception>
#include <string>
#include <string_view>

#include <pqxx/except>

#include "postgres/pgs_exc.h"

// The text of a libpqxx exception (which is not a std::exception itself).
inline std::string pgs_error_text(const pqxx::pqxx_exception& e) { return e.base().what(); }

// Runs f at the edge of the PostgreSQL side: toolkit exceptions pass
// unchanged, libpqxx's and other standard exceptions become pgs_exception
// with prefix + their text.
template <class F>
auto pgs_guard(F&& f, std::string_view prefix = {}) -> decltype(f()) {
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
