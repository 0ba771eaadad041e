#pragma once
// mysql_converter_impl: the MySQL settings and the MySQL server connection.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sql/sql_engi.h"
#include "udb/udb_prof.h"

// MySQL dump options: carried by profiles only; nothing here reads them.
struct mysql_converter_options {
    std::int32_t dump_line_break = 0;
    bool dump_new_version = true;
    bool dump_add_lock = true;
    bool dump_insert_comments = true;
    bool dump_create_database = false;
    bool dump_create_table = true;
};

class mysql_converter_impl {
public:
    mysql_converter_impl();
    virtual ~mysql_converter_impl();
    mysql_converter_impl(const mysql_converter_impl&) = delete;
    mysql_converter_impl& operator=(const mysql_converter_impl&) = delete;

    // Each text trimmed of blanks; an empty port becomes "3306". No password
    // (nullopt) leaves it to the option files (see sql_engine::connect).
    void store_mysql_settings(const std::string& host, const std::string& user,
                              const std::optional<std::string>& password, const std::string& port);
    // "Invalid port number" (level 1) unless the port text starts with a
    // number from 1 to 65535; then the engine connects (sql_exception on failure).
    void connect_mysql_server();
    // False only when the server says it has no such database; its refusal
    // to this user (sql_database_denied_exception) and any other failure
    // are raised.
    bool is_mysql_base_exist(const std::wstring& name);
    std::vector<std::wstring>& get_contents(std::vector<std::wstring>& list);
    // True when the server accepts the SELECT text in the named database and
    // it gives rows; the statement is prepared, not run. Every failure is false.
    bool test_query(const std::wstring& database, const std::wstring& sql, std::string& refusal);

    bool store_profile(udb_profile& profile);
    bool load_profile(const udb_profile& profile);

    sql_engine engine;
    mysql_converter_options dump_options;
    std::string host;
    std::string user;
    std::string password;
    // False when the user gave no password: the [client] group of the option
    // files (or MYSQL_PWD) supplies it. The wizard's pages and the registry
    // always give one, the empty one too.
    bool password_given = true;
    std::string port = "3306";
};
