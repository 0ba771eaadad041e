#pragma once
// A connected engine for the whole test program and a private database per test.
#include <mysql.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sql/sql_db.h"
#include "sql/sql_engi.h"
#include "sql/sql_recs.h"
#include "support/test_servers.h"

// The one engine (a singleton) of the test program, connected to the test server.
sql_engine& sql_test_engine();
void sql_test_connect(sql_engine& engine);

class sql_server_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs a statement in the test's database (UTF-8).
    void exec(const std::string& sql);
    std::unique_ptr<sql_database> open(int mode = 0);
    // A raw second connection to the server, in the test's database.
    MYSQL* second_connection();

    sql_engine* engine = nullptr;
    std::string db;  // unique per test
    std::wstring wdb;

private:
    MYSQL* m_second = nullptr;
};

// All rows of a recordset as the text of one column, walking from reset to the end.
std::vector<std::string> column_texts(udb_recordset& rs, std::size_t column);
