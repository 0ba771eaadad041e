#pragma once
// Direct access to the private test servers for the end-to-end tests: build
// source databases in MySQL and read back what the agent wrote to PostgreSQL.

#include <mysql.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using db_cell = std::optional<std::string>;  // nullopt is SQL NULL; bytes otherwise
using db_rows = std::vector<std::vector<db_cell>>;

class mysql_admin {
public:
    mysql_admin();  // the test server, no database selected
    ~mysql_admin();
    void exec(const std::string& sql);
    db_rows query(const std::string& sql);
    std::string escape(const std::string& bytes);

private:
    MYSQL* m_db;
};

// One short-lived connection per call.
void pg_exec(const std::string& dbname, const std::string& sql);
db_rows pg_query(const std::string& dbname, const std::string& sql);
bool pg_db_exists(const std::string& dbname);
void pg_drop_db(const std::string& dbname);
void pg_create_db(const std::string& dbname);

// The arguments that name both test servers.
std::vector<std::string> agent_server_args();
