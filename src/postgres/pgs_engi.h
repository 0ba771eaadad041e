#pragma once
// The one link to the destination PostgreSQL server: connection parameters,
// the connection itself, and the database-level statements.
#include <memory>
#include <string>

#include "platform/pf_sock.h"
#include "postgres/pgs_vali.h"
#include "tk/tk_singl.h"

class pgs_database;
// libpqxx's connection under our own name (pgs_pqxx.h), complete only in
// src/postgres, so that libpqxx stays behind it.
class pgs_connection;

class pgs_engine : public tk_singleton<pgs_engine> {
public:
    pgs_engine();
    ~pgs_engine() override;

    // Replaces the connection by a new one; the old one stays when this fails.
    // An empty host, password and port 0 leave them to libpq's defaults (the
    // password then comes from PGPASSWORD or ~/.pgpass); an empty
    // database name connects to the maintenance database "postgres", or to
    // template1 when that cannot be opened. The remembered host, name and
    // port are kept when not given.
    void connect(const std::string& host, const std::string& user, const std::string& password,
                 const std::string& dbname_utf8, int port);

    // Names are folded the way the server folds an unquoted name
    // (pgs_fold_name) and then always sent quoted, so a database created
    // under a name is found, opened and dropped under that same name.
    bool is_db_exist(const std::wstring& name);
    void deletes_db(const std::wstring& name);
    // Before a database is dropped to be created again: pgs_exception naming
    // every reason the drop or the CREATE DATABASE after it would fail (the
    // user may not create databases, does not own this one, other sessions
    // are connected to it or to template1, it is the maintenance database),
    // so that nothing is dropped that cannot be made again. Does nothing when
    // the database does not exist.
    void check_recreatable(const std::wstring& name);
    std::unique_ptr<pgs_database> open_db(const std::wstring& name);
    std::unique_ptr<pgs_database> create_db_exist(const std::wstring& name);

    // The connection every PostgreSQL statement of the system runs on;
    // pgs_exception when no connect has succeeded yet.
    pgs_connection& connection();
    bool is_connected() const noexcept { return m_connection != nullptr; }
    // From any thread, for a server that has stopped answering: shuts the
    // connection down at its socket, so that the statement waiting on it
    // fails at once with a broken connection. The connection is then broken
    // until reopen_if_broken. Does nothing before a connect has succeeded
    // (a connect gives up on its own). Never throws.
    void break_connection() noexcept;
    // After break_connection: connects again to the database the broken
    // connection was on (connect's exceptions when that fails).
    void reopen_if_broken();

    const std::string& db_name() const noexcept { return m_db_name; }
    const std::string& host() const noexcept { return m_host; }
    const std::string& user() const noexcept { return m_user; }
    const std::string& password() const noexcept { return m_password; }
    int port() const noexcept { return m_port; }
    pgs_name_validator& name_rules() noexcept { return *m_name_rules; }

    // The libpq connection string connect builds (every value quoted; no
    // password= for an empty password).
    static std::string connection_string(const std::string& host, const std::string& user, const std::string& password,
                                         const std::string& dbname_utf8, int port);

private:
    static void lift_session_limits(pgs_connection& conn);

    std::string m_db_name;
    // What the current connection was opened on (empty: the maintenance
    // database).
    std::string m_connected_db;
    std::string m_host;
    std::string m_user;
    std::string m_password;
    int m_port = 0;
    std::unique_ptr<pgs_connection> m_connection;
    std::unique_ptr<pgs_name_validator> m_name_rules;
    // Holds the connection's socket for break_connection, which another
    // thread calls while this one may be replacing the connection.
    pf_connection_breaker m_breaker;
};
