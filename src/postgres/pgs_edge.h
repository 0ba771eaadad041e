#pragma once
// The edge of the PostgreSQL side, where libpqxx's exceptions become
// pgs_exception; for src/postgres only, as it needs libpqxx's headers.
#include <exception>
#include <string>
#include <string_view>

#include "postgres/pgs_exc.h"
#include "postgres/pgs_pqxx.h"

// The text of a libpqxx exception.
inline std::string pgs_error_text(const std::exception& e) { return e.what(); }

// The cause of a libpqxx exception; a failed statement goes to the trace.
// With the connection it happened on, a connection found closed counts as
// lost whatever the exception's class (libpqxx reports a COPY line that
// cannot be sent as a plain failure).
pgs_cause pgs_cause_of(const std::exception& e, const pgs_any_connection* connection = nullptr);

// A libpqxx failure: prefix + its text, with its cause kept: the server's
// SQLSTATE and the statement it refused, or the loss of the connection.
pgs_exception pgs_exception_from(const std::exception& e, std::string_view prefix = {},
                                 const pgs_any_connection* connection = nullptr);

// A libpqxx failure that ends a table's load, on the load's connection.
pgs_load_failure pgs_load_failure_from(const std::exception& e, const pgs_any_connection& connection);

// Runs f at the edge of the PostgreSQL side: toolkit exceptions pass
// unchanged, libpqxx's and other standard exceptions become pgs_exception
// with prefix + their text.
template <class F>
auto pgs_guard(F&& f, std::string_view prefix = {}) -> decltype(f()) {
    try {
        return f();
    } catch (const tk_exception&) {
        throw;
    } catch (const std::exception& e) {
        throw pgs_exception_from(e, prefix);
    }
}
