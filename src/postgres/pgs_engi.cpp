#include "postgres/pgs_engi.h"

#include <chrono>
#include <exception>
#include <thread>
#include <vector>

#include "postgres/pgs_db.h"
#include "postgres/pgs_edge.h"
#include "postgres/pgs_ident.h"
#include "postgres/pgs_pqxx.h"
#include "tk/tk_log.h"

namespace {

// Where the engine goes when no database is named and while the database it
// is connected to is dropped; a server without it (dropped, or closed to the
// user) is reached through template1, as the PostgreSQL client tools do.
constexpr const char* maintenance_db = "postgres";
constexpr const char* fallback_maintenance_db = "template1";

bool is_maintenance_db(const std::string& db) { return db == maintenance_db || db == fallback_maintenance_db; }

// A server that takes the connection and never answers must not hold the
// program forever (libpq waits without limit); the MySQL side waits as long.
constexpr int connect_timeout_seconds = 10;
// libpq waits at least this long whatever connect_timeout says.
constexpr int least_connect_timeout_seconds = 2;

// The connection to the maintenance database; when neither opens, the
// failure to open "postgres" is the one reported. Both attempts together
// wait no longer than one connection may: a server that did not answer in
// time is not asked again.
template <class Open>
std::unique_ptr<pgs_connection> open_maintenance_db(Open&& open_to) {
    const auto start = std::chrono::steady_clock::now();
    try {
        return open_to(maintenance_db, connect_timeout_seconds);
    } catch (const pqxx::broken_connection&) {
        const std::exception_ptr first = std::current_exception();
        const auto spent = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
        const int left = connect_timeout_seconds - static_cast<int>(spent.count());
        if (left < least_connect_timeout_seconds) std::rethrow_exception(first);
        tk_trace(2, "No connection to the database postgres: trying template1");
        try {
            return open_to(fallback_maintenance_db, left);
        } catch (const pqxx::broken_connection&) {
            std::rethrow_exception(first);
        }
    }
}

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
    // Every value quoted: a value with blanks must not run into the next
    // keyword. No password given leaves it out, as psql does, so that libpq
    // takes PGPASSWORD or the password file (~/.pgpass, PGPASSFILE); an
    // explicit empty one would hide PGPASSWORD, and the server refuses an
    // empty password anyway.
    std::string s = "user=" + pgs_conn_value(user);
    if (!password.empty()) s += " password=" + pgs_conn_value(password);
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
    const auto open_to = [&](const std::string& db, int timeout_seconds) {
        return std::make_unique<pgs_connection>(connection_string(host, user, password, db, port) +
                                                " connect_timeout=" + std::to_string(timeout_seconds));
    };
    pgs_guard([&] {
        auto conn = dbname_utf8.empty() ? open_maintenance_db(open_to) : open_to(dbname_utf8, connect_timeout_seconds);
        tk_trace(3, "Connecting to PostgreSQL server...");
        conn->set_client_encoding("UTF8");
        // The new socket is held before the session's first statements,
        // which may wait as long as any other; the old connection's comes
        // back when they fail, as the old connection stays.
        pf_held_connection previous = m_breaker.hold(conn->sock());
        try {
            lift_session_limits(*conn);
        } catch (...) {
            m_breaker.restore(std::move(previous));
            throw;
        }
        m_connection = std::move(conn);
    });
    m_connected_db = dbname_utf8;
    m_user = user;
    m_password = password;
    if (!host.empty()) m_host = host;
    if (!dbname_utf8.empty()) m_db_name = dbname_utf8;
    if (port != 0) m_port = port;
    tk_trace(1, "The connection has been established");
}

void pgs_engine::lift_session_limits(pgs_connection& conn) {
    // A table's COPY may wait as long as its source does (a slow reader, a
    // question to the user that holds the run), and the session may sit idle
    // between tables meanwhile: the server's limits on statements and idle
    // sessions must not end the load half way, as pg_dump and pg_restore
    // lift them for theirs.
    pqxx::nontransaction work(conn, "session_limits");
    // Literals are read as written, whatever PGOPTIONS, the role or the
    // database set: with the setting off a backslash in a quoted default
    // would end the literal early (as pg_dump, the session pins it).
    work.exec("SET standard_conforming_strings = on");
    work.exec("SET statement_timeout = 0");
    if (conn.server_version() >= 90600) work.exec("SET idle_in_transaction_session_timeout = 0");
    if (conn.server_version() >= 140000) work.exec("SET idle_session_timeout = 0");
}

void pgs_engine::break_connection() noexcept {
    if (m_breaker.break_off()) tk_trace(2, "pgs_engine::break_connection");
}

void pgs_engine::reopen_if_broken() {
    if (!m_breaker.broken()) return;
    tk_trace(2, "The connection was broken off: connecting again");
    connect(m_host, m_user, m_password, m_connected_db, m_port);
}

pgs_connection& pgs_engine::connection() {
    if (!m_connection) throw pgs_exception("Not connected to the PostgreSQL server");
    return *m_connection;
}

bool pgs_engine::is_db_exist(const std::wstring& name) {
    tk_trace_w(2, L"pgs_engine::is_db_exist(%s)", name.c_str());
    const std::string db = pgs_fold_name(name);
    return pgs_guard([&] {
        pgs_read_committed_tx tx(connection(), "get_contents");
        const pqxx::result r =
            pgs_exec_params(tx, "SELECT datname FROM pg_database WHERE datistemplate = false and datname = $1", db);
        return !r.empty();
    });
}

void pgs_engine::deletes_db(const std::wstring& name) {
    tk_trace_w(2, L"pgs_engine::deletes_db(%s)", name.c_str());
    const std::string db = pgs_fold_name(name);
    // A session cannot drop the database it is connected to.
    if (!is_maintenance_db(db) && connection().dbname() != nullptr && db == connection().dbname())
        connect(m_host, m_user, m_password, std::string(), m_port);
    pgs_guard([&] {
        pqxx::nontransaction work(connection(), "delete_db");
        work.exec("DROP DATABASE " + pgs_quote_ident(db));
    });
}

namespace {

// What decides whether a database can be dropped and created again.
struct recreate_facts {
    bool exists = false;
    bool may_create = false;
    bool owns = false;
    long long sessions_on_it = 0;
    long long sessions_on_template1 = 0;
};

recreate_facts read_recreate_facts(pqxx::connection& conn, const std::string& db) {
    pgs_read_committed_tx tx(conn, "check_recreatable");
    // DROP DATABASE needs the owner's rights; CREATE DATABASE needs
    // CREATEDB and copies template1, which no other session may be
    // connected to. Sessions on the database itself stop the drop.
    const pqxx::result r = pgs_exec_params(
        tx,
        "SELECT r.rolsuper OR r.rolcreatedb, pg_has_role(d.datdba, 'USAGE'), "
        "(SELECT count(*) FROM pg_stat_activity a WHERE a.datname = d.datname AND a.pid <> pg_backend_pid() "
        "AND a.backend_type = 'client backend'), "
        "(SELECT count(*) FROM pg_stat_activity a WHERE a.datname = 'template1' AND a.pid <> pg_backend_pid() "
        "AND a.backend_type = 'client backend') "
        "FROM pg_database d JOIN pg_roles r ON r.rolname = current_user WHERE d.datname = $1",
        db);
    recreate_facts facts;
    if (r.empty()) return facts;
    facts.exists = true;
    facts.may_create = r[0][0].as<bool>();
    facts.owns = r[0][1].as<bool>();
    facts.sessions_on_it = r[0][2].as<long long>();
    facts.sessions_on_template1 = r[0][3].as<long long>();
    return facts;
}

// A client that has just closed its connection leaves a backend that is
// still ending for a moment; the server waits that long for such sessions
// before DROP and CREATE DATABASE give up, and so does the check.
constexpr auto leaving_sessions_wait = std::chrono::seconds(5);
constexpr auto leaving_sessions_poll = std::chrono::milliseconds(100);

}  // namespace

void pgs_engine::check_recreatable(const std::wstring& name) {
    tk_trace_w(2, L"pgs_engine::check_recreatable(%s)", name.c_str());
    const std::string db = pgs_fold_name(name);
    std::vector<std::string> reasons;
    pgs_guard([&] {
        pqxx::connection& conn = connection();
        const auto give_up = std::chrono::steady_clock::now() + leaving_sessions_wait;
        recreate_facts facts = read_recreate_facts(conn, db);
        while (facts.exists && (facts.sessions_on_it > 0 || facts.sessions_on_template1 > 0) &&
               std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(leaving_sessions_poll);
            facts = read_recreate_facts(conn, db);
        }
        if (!facts.exists) return;
        // This program and the client tools drop and create databases from
        // it: the server's own refusal would name none of that.
        if (is_maintenance_db(db))
            reasons.push_back("it is the maintenance database, which this program and the PostgreSQL client tools "
                              "connect to");
        const std::string user = conn.username() ? conn.username() : "";
        if (!facts.may_create)
            reasons.push_back("user " + user +
                              " may not create databases (CREATEDB), so it could not be created again");
        if (!facts.owns) reasons.push_back("user " + user + " does not own it");
        if (facts.sessions_on_it > 0)
            reasons.push_back(std::to_string(facts.sessions_on_it) + " other session(s) are connected to it");
        if (facts.sessions_on_template1 > 0)
            reasons.push_back(std::to_string(facts.sessions_on_template1) +
                              " other session(s) are connected to template1, so it could not be created again");
    });
    if (reasons.empty()) return;
    std::string text = "Database " + db + " is not dropped: ";
    for (std::size_t i = 0; i < reasons.size(); ++i) text += (i ? "; " : "") + reasons[i];
    throw pgs_exception(text);
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
