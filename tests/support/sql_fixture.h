#pragma once
// A connected engine for the whole test program and a private database per test.
#include <mysql.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sql/sql_db.h"
#include "sql/sql_engi.h"
#include "sql/sql_recs.h"
#include "sql/sql_rpt.h"
#include "support/test_servers.h"
#include "udb/udb_sche.h"

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
    // Rows of a statement on the second connection (nullopt for SQL NULL);
    // a failing statement fails the test.
    std::vector<std::vector<std::optional<std::string>>> rows(const std::string& sql);
    // The first cell of the first row ("" when there is none or it is NULL).
    std::string value(const std::string& sql);

    sql_engine* engine = nullptr;
    std::string db;  // unique per test
    std::wstring wdb;

private:
    MYSQL* m_second = nullptr;
};

// One column of a source schema made up for a test.
struct schema_column {
    const wchar_t* name;
    unsigned type;
    std::uint32_t size = 0;
    std::uint32_t subtype = 0;
    bool not_null = false;
    bool auto_increment = false;
    ole_variant def = ole_variant();
};
std::unique_ptr<udb_schema> make_schema(const std::vector<schema_column>& cols);

// All rows of a recordset as the text of one column, walking from reset to the end.
std::vector<std::string> column_texts(udb_recordset& rs, std::size_t column);

// Errors the engine's MySQL side reports without throwing (refused rows of a
// batch, foreign keys and views that could not be created), collected while
// it lives.
class sql_reports : public sql_value_reporter {
public:
    struct entry {
        std::string message;
        std::wstring context;
        int code;
        int level;
    };
    explicit sql_reports(sql_engine& engine) : m_reports(engine.value_reports()), m_previous(m_reports.install(this)) {}
    ~sql_reports() override { m_reports.install(m_previous); }
    sql_reports(const sql_reports&) = delete;
    sql_reports& operator=(const sql_reports&) = delete;

    void report(const tk_exception& error, const std::wstring& context) override {
        entries.push_back({error.message(), context, error.code(), error.level()});
    }
    std::vector<entry> entries;

private:
    sql_value_reports& m_reports;
    sql_value_reporter* m_previous;
};
