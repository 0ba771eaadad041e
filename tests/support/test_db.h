#pragma once
// Direct access to the private test servers, past the system under test:
// build source databases in MySQL and read back what reached PostgreSQL.

#include <mysql.h>

#include <optional>
#include <string>
#include <vector>

#include "support/sql_quote.h"

using db_cell = std::optional<std::string>;  // nullopt is SQL NULL; bytes otherwise
using db_rows = std::vector<std::vector<db_cell>>;

// A connection of its own to the MySQL test server (utf8mb4, no database
// selected); std::runtime_error when a statement fails.
class mysql_admin {
public:
    mysql_admin();
    ~mysql_admin();
    mysql_admin(const mysql_admin&) = delete;
    mysql_admin& operator=(const mysql_admin&) = delete;

    void exec(const std::string& sql);
    db_rows query(const std::string& sql);
    std::string escape(const std::string& bytes);

private:
    MYSQL* m_db;
};

// The code of the error a wrong password gets from the MySQL test server.
// MariaDB 11.4 and later offer TLS with a certificate of their own (10.11
// offers none), and a refusal over a connection without TLS to a server that
// offers it names both causes.
int mysql_wrong_password_code();

// A MySQL account of its own that may log in and nothing more (no rights on
// any database), dropped at the end.
class mysql_user_without_rights {
public:
    explicit mysql_user_without_rights(const std::string& name);
    ~mysql_user_without_rights();
    mysql_user_without_rights(const mysql_user_without_rights&) = delete;
    mysql_user_without_rights& operator=(const mysql_user_without_rights&) = delete;

    const std::string& name() const { return m_name; }
    const std::string& password() const { return m_password; }

private:
    mysql_admin m_admin;
    std::string m_name, m_password;
};

// One short-lived connection per call; std::runtime_error on failure.
void pg_exec(const std::string& dbname, const std::string& sql);
db_rows pg_query(const std::string& dbname, const std::string& sql);
bool pg_db_exists(const std::string& dbname);
void pg_drop_db(const std::string& dbname);
void pg_create_db(const std::string& dbname);
// The tables of a database's public schema, in name order.
std::vector<std::string> pg_tables(const std::string& dbname);
