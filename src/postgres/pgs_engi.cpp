#include "postgres/pgs_engi.h"

#include <pqxx/errorhandler>
#include <pqxx/nontransaction>
#include <pqxx/transaction>

#include "postgres/pgs_db.h"
#include "postgres/pgs_exc.h"
#include "postgres/pgs_ident.h"
#include "tk/tk_log.h"

namespace {

// Where the engine goes while the database it is connected to is dropped.
constexpr const char* maintenance_db = "postgres";

}  // namespace

pgs_engine::pgs_engine() : m_name_rules(std::make_unique<pgs_name_validator>()) { tk_trace(2, "pgs_engine::ctor"); }

pgs_engine::~pgs_engine() {
    tk_trace(2, "pgs_engine::dtor");
    m_name_rules.reset();
    try {
        m_connection.reset();
    } catch (...) {
        // Closing a connection has nothing left to report.
    }
}

std::string pgs_engine::connection_string(const std::string& host, const std::string& user, const std::string& password,
                                          const std::string& dbname_utf8, int port) {
    // Every value quoted: an empty password or one with blanks must not run
    // into the next keyword.
    std::string s = "user=" + pgs_conn_value(user);
    s += " password=" + pgs_conn_value(password);
    if (!host.empty()) s += " host=" + pgs_conn_value(host);
    if (!dbname_utf8.empty()) s += " dbname=" + pgs_conn_value(dbname_utf8);
    if (port != 0) s += " port=" + pgs_conn_value(std::to_string(port));
    return s;
}

void pgs_engine::connect(const std::string& host, const std::string& user, const std::string& password,
                         const std::string& dbname_utf8, int port) {
    // The password itself stays out of the trace log.
    tk_trace(2, "pgs_engine::connect(%s,%s,%s,%d)", host.c_str(), user.c_str(), password.empty() ? "" : "*****", port);
    // libpq's own default database is the one named like the user, which a
    // server rarely has: without a name the maintenance database is used.
    // A server that takes the connection and never answers must not hold the
    // program forever (libpq waits without limit); the MySQL side waits as long.
    const std::string cs =
        connection_string(host, user, password, dbname_utf8.empty() ? maintenance_db : dbname_utf8, port) +
        " connect_timeout=10";
    pgs_guard([&] {
        auto conn = std::make_unique<pqxx::connection>(cs);
        tk_trace(3, "Connecting to PostgreSQL server...");
        conn->set_client_encoding("UTF8");
        lift_session_limits(*conn);
        m_connection = std::move(conn);
    });
    m_user = user;
    m_password = password;
    if (!host.empty()) m_host = host;
    if (!dbname_utf8.empty()) m_db_name = dbname_utf8;
    if (port != 0) m_port = port;
    tk_trace(1, "The connection has been established");
}

void pgs_engine::lift_session_limits(pqxx::connection& conn) {
    // A table's COPY may wait as long as its source does (a slow reader, a
    // question to the user that holds the run), and the session may sit idle
    // between tables meanwhile: the server's limits on statements and idle
    // sessions must not end the load half way, as pg_dump and pg_restore
    // lift them for theirs.
    pqxx::nontransaction work(conn, "session_limits");
    work.exec("SET statement_timeout = 0");
    if (conn.server_version() >= 90600) work.exec("SET idle_in_transaction_session_timeout = 0");
    if (conn.server_version() >= 140000) work.exec("SET idle_session_timeout = 0");
}

pqxx::connection& pgs_engine::connection() {
    if (!m_connection) throw pgs_exception("Not connected to the PostgreSQL server");
    return *m_connection;
}

bool pgs_engine::is_db_exist(const std::wstring& name) {
    tk_trace_w(2, L"pgs_engine::is_db_exist(%s)", name.c_str());
    const std::string db = pgs_fold_name(name);
    return pgs_guard([&] {
        pqxx::connection& conn = connection();
        pqxx::quiet_errorhandler quiet(conn);
        pqxx::transaction<pqxx::read_committed> tx(conn, "get_contents");
        const pqxx::result r =
            tx.exec_params("SELECT datname FROM pg_database WHERE datistemplate = false and datname = $1", db);
        return !r.empty();
    });
}

void pgs_engine::deletes_db(const std::wstring& name) {
    tk_trace_w(2, L"pgs_engine::deletes_db(%s)", name.c_str());
    const std::string db = pgs_fold_name(name);
    // A session cannot drop the database it is connected to.
    if (db != maintenance_db && connection().dbname() != nullptr && db == connection().dbname())
        connect(m_host, m_user, m_password, maintenance_db, m_port);
    pgs_guard([&] {
        pqxx::nontransaction work(connection(), "delete_db");
        work.exec("DROP DATABASE " + pgs_quote_ident(db));
    });
}

std::unique_ptr<pgs_database> pgs_engine::create_db_exist(const std::wstring& name) {
    tk_trace_w(2, L"pgs_engine::create_db_exist(%s)", name.c_str());
    const std::string db = pgs_fold_name(name);
    pgs_guard([&] {
        pqxx::nontransaction work(connection(), "create_db");
        work.exec("CREATE DATABASE " + pgs_quote_ident(db));
    });
    return open_db(name);
}

std::unique_ptr<pgs_database> pgs_engine::open_db(const std::wstring& name) {
    tk_trace_w(2, L"pgs_engine::open_db(%s)", name.c_str());
    connect(m_host, m_user, m_password, pgs_fold_name(name), m_port);
    return std::make_unique<pgs_database>(*this, name);
}
