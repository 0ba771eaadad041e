// A user's query is read only when it is one statement that returns rows:
// anything else is refused after the server has prepared it, and nothing of
// it runs (a read-only transaction would not stop DDL, which commits by
// itself).
#include "sql/sql_qchk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "sql/sql_exc.h"
#include "support/sql_fixture.h"
#include "tk/tk_utils.h"

namespace {

using kind = sql_query_verdict::kind;

TEST(SqlStartsAsQuery, TheFirstWordPastBlanksCommentsAndParentheses) {
    const struct {
        const char* text;
        bool query;
    } cases[] = {
        {"SELECT 1", true},
        {"  \r\n\tselect 1", true},
        {"(SELECT 1) UNION (SELECT 2)", true},
        {"/* note */ SELECT 1", true},
        {"-- note\nSELECT 1", true},
        {"# note\nSELECT 1", true},
        {"WITH c AS (SELECT 1) SELECT * FROM c", true},
        {"VALUES (1)", true},
        {"show tables", true},
        {"DESC t", true},
        {"ANALYZE DELETE FROM t", false},
        {"EXPLAIN ANALYZE DELETE FROM t", false},
        {"DELETE FROM t RETURNING a", false},
        {"SELECTED", false},
        {"/*! DROP TABLE t */ SELECT 1", false},  // the server runs what such a comment holds
        {"/*M!100000 DROP TABLE t */ SELECT 1", false},
        {"/* never closed SELECT 1", false},
        {"--SELECT 1", false},  // "--" without a blank is no comment
        {"-- only a comment", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(sql_starts_as_query(c.text), c.query) << c.text;
}

// The texts a person reads: the wizard's box and the run's error.
TEST(SqlQueryRefusal, SaysWhatTheStatementIs) {
    const struct {
        kind what;
        const char* refusal;
        const char* error;
    } cases[] = {
        {kind::placeholders, "The statement has parameters (?).", "it has parameters (?)"},
        {kind::no_rows, "The statement returns no rows.", "it returns no rows"},
        {kind::not_a_query, "The statement is not a query.", "it is not a query"},
    };
    for (const auto& c : cases) {
        sql_query_verdict v;
        v.what = c.what;
        EXPECT_EQ(sql_query_refusal(v), c.refusal);
        try {
            sql_require_query(v, L"q", "DO 1");
            ADD_FAILURE() << c.refusal;
        } catch (const sql_exception& e) {
            EXPECT_EQ(e.message(), std::string("Query 'q' is not run: ") + c.error +
                                       ". Only one statement that returns rows (a SELECT) is read.");
        }
    }
    sql_query_verdict refused;
    refused.server_text = "You have an error in your SQL syntax";
    EXPECT_EQ(sql_query_refusal(refused), refused.server_text);
    refused.what = kind::returns_rows;
    EXPECT_EQ(sql_query_refusal(refused), "");
    EXPECT_NO_THROW(sql_require_query(refused, L"q", "SELECT 1"));
}

class SqlQueryCheckTest : public sql_server_test {
protected:
    // The connection's statement counters that show work done, other than
    // preparing and closing statements and reading the counters themselves.
    std::map<std::string, long long> work_counters() {
        std::map<std::string, long long> out;
        MYSQL* m = engine->handle();
        EXPECT_EQ(mysql_query(m, "SHOW SESSION STATUS LIKE 'Com\\_%'"), 0) << mysql_error(m);
        const sql_result res(mysql_store_result(m));
        while (MYSQL_ROW row = res ? mysql_fetch_row(res.get()) : nullptr) {
            const std::string name = row[0];
            if (name == "Com_stmt_prepare" || name == "Com_stmt_close" || name == "Com_show_status") continue;
            out[name] = std::stoll(row[1]);
        }
        return out;
    }
    long long prepares() {
        return std::stoll(sql_read_value_or(engine->handle(), "SHOW SESSION STATUS LIKE 'Com_stmt_prepare'"));
    }
    static std::string sql_read_value_or(MYSQL* m, const char* sql) {
        if (mysql_query(m, sql) != 0) return "-1";
        const sql_result res(mysql_store_result(m));
        MYSQL_ROW row = res ? mysql_fetch_row(res.get()) : nullptr;
        return row && row[1] ? row[1] : "-1";
    }
};

TEST_F(SqlQueryCheckTest, StatementsThatAreNoQueryArePreparedOnlyAndChangeNothing) {
    const std::string other = db + "_other";
    exec("CREATE DATABASE `" + other + "`");
    exec("CREATE TABLE `" + other + "`.keep (a INT)");
    exec("INSERT INTO `" + other + "`.keep VALUES (1), (2), (3)");
    exec("CREATE TABLE `" + db + "`.victim (a INT)");
    exec("INSERT INTO `" + db + "`.victim VALUES (1), (2), (3)");
    exec("CREATE PROCEDURE `" + db + "`.wipe() DELETE FROM victim");
    const std::string outfile = "/tmp/" + db + ".out";
    auto d = open();

    const struct {
        std::string text;
        kind verdict;
    } cases[] = {
        {"DROP DATABASE `" + other + "`", kind::no_rows},
        {"DROP TABLE victim", kind::no_rows},
        {"TRUNCATE victim", kind::no_rows},
        {"CREATE TABLE made (a INT)", kind::no_rows},
        {"INSERT INTO victim VALUES (99)", kind::no_rows},
        {"INSERT INTO victim VALUES (98) RETURNING a", kind::no_rows},
        {"DELETE FROM victim RETURNING a", kind::no_rows},
        {"CALL wipe()", kind::no_rows},
        {"SELECT a FROM victim INTO OUTFILE '" + outfile + "'", kind::no_rows},
        {"SELECT a INTO @v FROM victim LIMIT 1", kind::no_rows},
        {"/*! DROP TABLE victim */", kind::no_rows},
        {"SELECT 1; DROP TABLE victim", kind::refused},  // one statement only
        {"SELECT a FROM victim WHERE a = ?", kind::placeholders},
        {"ANALYZE DELETE FROM victim", kind::not_a_query},  // rows, and it deletes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto before = work_counters();
        const long long prepared = prepares();
        EXPECT_EQ(sql_check_query(engine->handle(), c.text).what, c.verdict);
        EXPECT_EQ(prepares(), prepared + 1);
        EXPECT_EQ(work_counters(), before) << "more than the prepare reached the server";

        try {
            d->get_query(L"q_bad", tk_utf8_to_unicode(c.text), 1);
            ADD_FAILURE() << "the statement was taken as a query";
        } catch (const sql_exception& e) {
            EXPECT_EQ(e.level(), 0);
            EXPECT_EQ(e.statement(), c.text);
            if (c.verdict != kind::refused) {
                EXPECT_NE(e.message().find("Query 'q_bad' is not run"), std::string::npos) << e.message();
            }
        }
    }
    EXPECT_EQ(value("SELECT COUNT(*) FROM `" + other + "`.keep"), "3");
    EXPECT_EQ(value("SELECT COUNT(*) FROM `" + db + "`.victim"), "3");
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + db +
                    "' AND TABLE_NAME = 'made'"),
              "0");
    EXPECT_FALSE(std::filesystem::exists(outfile));
    exec("DROP DATABASE `" + other + "`");
}

TEST_F(SqlQueryCheckTest, QueriesOfEveryFormAreRead) {
    exec("CREATE TABLE `" + db + "`.t (a INT)");
    exec("INSERT INTO `" + db + "`.t VALUES (1), (2)");
    auto d = open();
    for (const char* text :
         {"SELECT a FROM t", " -- the first ones\n select a from t ;", "WITH c AS (SELECT a FROM t) SELECT a FROM c",
          "(SELECT a FROM t) UNION (SELECT 3)", "/* plain */ SELECT a FROM t WHERE a < 3"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(sql_check_query(engine->handle(), sql_trim_query(text)).what, kind::returns_rows);
        auto rs = d->get_query(L"q", tk_utf8_to_unicode(text), 1);
        EXPECT_GE(column_texts(*rs, 0).size(), 2u);
    }
}

// A statement the server refuses keeps its own error number and text; a
// connection that is gone is no verdict on the query.
TEST_F(SqlQueryCheckTest, ARefusalKeepsTheServersErrorAndALostConnectionStaysOne) {
    auto d = open();
    const sql_query_verdict v = sql_check_query(engine->handle(), "SELECT nothing FROM nowhere");
    EXPECT_EQ(v.what, kind::refused);
    EXPECT_EQ(v.error_number, 1146u);  // no such table
    EXPECT_EQ(v.sqlstate, "42S02");
    EXPECT_NE(v.server_text.find("nowhere"), std::string::npos) << v.server_text;

    MYSQL* other = second_connection();
    const std::string kill = "KILL " + std::to_string(mysql_thread_id(engine->handle()));
    ASSERT_EQ(mysql_query(other, kill.c_str()), 0) << mysql_error(other);
    try {
        d->get_query(L"q", L"SELECT 1", 1);
        ADD_FAILURE() << "a query was read on a killed connection";
    } catch (const sql_exception& e) {
        EXPECT_TRUE(e.connection_lost()) << e.error_number() << " " << e.what();
        EXPECT_EQ(e.level(), 1);
    }
    d.reset();
    EXPECT_FALSE(engine->prepares(wdb, L"SELECT 1"));
    sql_test_connect(*engine);
}

}  // namespace
