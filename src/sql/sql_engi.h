#pragma once
// The one connection to the MySQL server.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/pf_sock.h"
#include "sql/sql_res.h"
#include "sql/sql_rpt.h"
#include "sql/sql_ver.h"
#include "tk/tk_singl.h"
#include "udb/udb_engi.h"

struct st_mysql;
class udb_database;
class udb_indexes;
class udb_record;
class udb_schema;
class udb_validator;

class sql_engine : public udb_engine, public tk_singleton<sql_engine> {
public:
    // Registers the singleton (tk_singl 35 for a second one) and initialises
    // the connection handle.
    sql_engine();
    ~sql_engine() override;

    void initialize();
    // Narrow texts in the ANSI code page (UTF-8). A second call closes the first
    // connection. sql_exception when the server cannot be reached or refuses;
    // sql_insecure_transport_exception when it refuses a connection without TLS.
    //
    // The [client] group of the option files (/etc/my.cnf, /etc/mysql/my.cnf,
    // $MYSQL_HOME/my.cnf, ~/.my.cnf) is read as the mysql client reads it, its
    // TLS settings (ssl, ssl-ca, ssl-cert, ...) included. What is given here
    // wins over the files: a host, a user, a port other than 0, and a
    // password, also an empty one. No password (nullopt) takes the files'
    // password, then MYSQL_PWD, then none.
    void connect(const std::string& host, const std::string& user, const std::optional<std::string>& password,
                 unsigned port);
    // The server's databases in its order.
    std::vector<std::wstring> get_contents();

    std::unique_ptr<udb_database> create_db(const std::wstring& name) override;
    std::unique_ptr<udb_database> open_db(const std::wstring& name, int mode) override;
    void db_delete(const std::wstring& name) override;
    // Makes the database current; false when the server says it does not
    // exist (or cannot, by its name) and when not connected.
    // sql_database_denied_exception when the server refuses it to this user,
    // sql_exception for any other failure (a lost connection).
    bool is_db_exist(const std::wstring& name) override;
    // True when the statement would give rows in that database and may be
    // read (sql_check_query: prepared, not run, so a large query answers at
    // once). Any failure is false. Never throws.
    // `refusal`, when given, receives why it may not be read.
    bool prepares(const std::wstring& database, const std::wstring& sql, std::string* refusal = nullptr);

    // A table name quoted for statements by the server's rule (UTF-8 in, UTF-8 out).
    std::string quote(const std::string& utf8_name) const;
    std::string quote(const std::wstring& name) const;

    bool connected() const { return m_connected != 0; }
    std::uint32_t server_version() const { return m_server_version; }
    // The server names itself MariaDB (its catalogue differs from MySQL's in places).
    bool is_mariadb() const { return m_mariadb; }
    bool fk_support() const { return m_fk_support != 0; }
    bool fast_insert() const { return m_fast_insert != 0; }
    bool blob_as_text() const { return m_blob_as_text != 0; }
    bool varchar_binary() const { return m_varchar_binary != 0; }
    // The row writer's choice between multi-row and single-row INSERT, and the
    // text type written for short text columns; fixed for a run, set by tests.
    void set_fast_insert(bool on) { m_fast_insert = on ? 1 : 0; }
    void set_varchar_binary(bool on) { m_varchar_binary = on ? 1 : 0; }
    // The server keeps table names apart by letter case (lower_case_table_names 0).
    bool case_sensitive_names() const { return m_case_sensitive_names; }
    // The server's facts for statement builders.
    sql_dialect dialect() const;

    // Name validators for the server's identifier rules (old rules before
    // 4.1.0); owned by the caller.
    std::unique_ptr<udb_validator> create_tn_validator(const std::vector<std::wstring>& names1,
                                                       const std::vector<std::wstring>& names2) const;
    std::unique_ptr<udb_validator> create_fn_validator(const udb_schema& schema) const;
    std::unique_ptr<udb_validator> create_fn_validator(const udb_record& record) const;
    std::unique_ptr<udb_validator> create_in_validator(const udb_indexes& indexes) const;
    // The character set the connection ended up with ("utf8mb4", or "utf8" on a
    // server that refuses it); empty before a connect.
    const std::string& charset() const { return m_charset; }
    // The connection's handle; a reconnect replaces it, so callers ask for it
    // each time rather than keep it.
    st_mysql* handle() const { return m_connection.get(); }

    // Sends one statement and throws sql_exception when it fails; any result is
    // read and freed.
    void execute(const std::string& utf8_sql);
    // Asks the server, over a short connection of its own, to end the
    // statement this connection runs (KILL QUERY); the connection itself
    // stays. False when that could not be asked. Never throws.
    bool interrupt_statement() noexcept;
    // A second connection to the same server as the same user, its texts in
    // this connection's character set; null (the reason traced) when it
    // cannot be had. Never throws.
    sql_connection open_side_connection() const noexcept;
    // Asks the server, over a short connection of its own, to end the
    // statement that connection runs. Never throws.
    bool kill_query(unsigned long thread_id) const noexcept;
    // From any thread, for a server that has stopped answering: shuts the
    // connection down at its socket, so that the call waiting on it ends at
    // once with a lost connection. The connection is then broken until
    // reopen_if_broken. Does nothing while no connection is made (a connect
    // gives up on its own). Never throws.
    void break_connection() noexcept;
    // After break_connection: connects again as the last connect did, and
    // so is no longer broken (connect's exceptions when that fails).
    void reopen_if_broken();

    // Where the databases, recordsets and writers of this engine report the
    // values they cannot carry.
    sql_value_reports& value_reports() noexcept { return m_value_reports; }
    const sql_value_reports& value_reports() const noexcept { return m_value_reports; }

private:
    void close() noexcept;
    void set_charset();
    void read_name_rules();
    bool try_statement(const char* sql, const char* failure_format);

    std::uint8_t m_connected = 0;
    std::uint8_t m_fast_insert = 1;
    std::uint8_t m_blob_as_text = 0;
    std::uint8_t m_varchar_binary = 0;
    std::uint32_t m_server_version = 0;
    bool m_mariadb = false;
    // Initialised by initialize (null when that failed); connected while
    // m_connected is set.
    sql_connection m_connection;
    std::int32_t m_fk_support = 0;
    std::string m_charset;
    bool m_case_sensitive_names = false;
    sql_value_reports m_value_reports;
    // Where the connection goes, for interrupt_statement.
    std::string m_host, m_user;
    std::optional<std::string> m_password;
    unsigned m_port = 0;
    // Holds the connection's socket for break_connection, which another
    // thread calls while this one may be connecting or closing.
    pf_connection_breaker m_breaker;
};
