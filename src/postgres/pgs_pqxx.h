#pragma once
// libpqxx as src/postgres uses it, the same whichever version it is built
// against: 6.4 (Debian 12), 7.8 (Ubuntu 24.04) or 7.10 (Debian 13). Every
// difference between those versions is settled here, by libpqxx's own version
// macros, so that the rest of src/postgres is written once. For src/postgres
// only: the headers other subsystems see name none of these types.
//
// Statements are run as tx.exec(sql), without the description libpqxx 7
// deprecates. The exceptions need no seam: every exception libpqxx throws, in 6.4 as in
// 7.x, is a std::exception (6.4's pqxx_exception is only a mix-in beside it),
// so the edge catches std::exception and asks for the classes it cares about.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pqxx/connection>
#include <pqxx/except>
#include <pqxx/nontransaction>
#include <pqxx/result>
#include <pqxx/transaction>
#include <pqxx/version>

#if PQXX_VERSION_MAJOR < 7
#include <pqxx/prepared_statement>
#else
#include <pqxx/params>
#endif

#if PQXX_VERSION_MAJOR < 6 || (PQXX_VERSION_MAJOR == 6 && PQXX_VERSION_MINOR < 4)
#error "libpqxx 6.4 or later is needed"
#endif

#if PQXX_VERSION_MAJOR < 7
// Transactions take their isolation level and write policy as plain enums.
using pgs_read_committed_tx = pqxx::transaction<pqxx::read_committed>;
using pgs_snapshot_tx = pqxx::transaction<pqxx::repeatable_read, pqxx::read_only>;
// The class every connection is; a transaction's conn() returns it.
using pgs_any_connection = pqxx::connection_base;
#else
using pgs_read_committed_tx = pqxx::transaction<pqxx::isolation_level::read_committed>;
using pgs_snapshot_tx = pqxx::transaction<pqxx::isolation_level::repeatable_read, pqxx::write_policy::read_only>;
// 7.x has one connection class (connection_base is a deprecated alias).
using pgs_any_connection = pqxx::connection;
#endif

// The engine's connection: libpqxx's, under a name of our own that the
// engine's header can declare without naming libpqxx.
class pgs_connection : public pqxx::connection {
public:
    using pqxx::connection::connection;
};

// The transaction a table is made ready and loaded in (read committed),
// handed from the database to the table's recordset; ours for the same reason.
class pgs_work {
public:
    pgs_work(pqxx::connection& connection, const std::string& name) : m_tx(connection, name) {}
    pgs_work(const pgs_work&) = delete;
    pgs_work& operator=(const pgs_work&) = delete;

    pqxx::dbtransaction& tx() noexcept { return m_tx; }

private:
    pgs_read_committed_tx m_tx;
};

// One statement with text parameters for $1, $2, ...: the values travel apart
// from the text, so they need no quoting and a second statement is refused.
inline pqxx::result pgs_exec_params(pqxx::transaction_base& tx, const std::string& sql,
                                    const std::vector<std::string>& values) {
#if PQXX_VERSION_MAJOR < 7
    return tx.exec_params(sql, pqxx::prepare::make_dynamic_params(values));
#else
    pqxx::params params;
    for (const std::string& value : values) params.append(value);
#if PQXX_VERSION_MAJOR == 7 && PQXX_VERSION_MINOR < 10
    return tx.exec_params(sql, params);
#else
    return tx.exec(sql, params);
#endif
#endif
}

template <class... Values>
pqxx::result pgs_exec_params(pqxx::transaction_base& tx, const std::string& sql, const Values&... values) {
    return pgs_exec_params(tx, sql, std::vector<std::string>{std::string(values)...});
}
