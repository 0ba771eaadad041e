// The database: its table list, its views as queries, statements.
#include <gtest/gtest.h>

#include <algorithm>
#include "sql/sql_exc.h"
#include "support/sql_fixture.h"
#include "tk/tk_utils.h"

namespace {

using SqlDatabaseTest = sql_server_test;

TEST_F(SqlDatabaseTest, TablesInServerOrderWithoutViewsAndAwkwardNames) {
    exec("CREATE TABLE `" + db + "`.`order items` (id INT)");
    exec("CREATE TABLE `" + db + "`.`select` (id INT)");
    exec("CREATE TABLE `" + db + "`.`MixedCase` (id INT)");
    exec("CREATE TABLE `" + db + "`.`we``ird` (id INT)");
    exec("CREATE VIEW `" + db + "`.`v1` AS SELECT id FROM `" + db + "`.`select`");
    auto d = open();
    std::vector<std::wstring> names = d->table_names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"MixedCase", L"order items", L"select", L"we`ird"}));
    // Names compare as the server compares them (lower_case_table_names=0:
    // exactly), so a table named in another case is not this one.
    ASSERT_TRUE(engine->case_sensitive_names());
    EXPECT_TRUE(d->is_table_exist(L"MixedCase"));
    EXPECT_FALSE(d->is_table_exist(L"mixedcase"));
    EXPECT_FALSE(d->is_table_exist(L"v1"));
    EXPECT_THROW(d->get_table(L"v1", 1), tk_mail_assertion);

    for (const wchar_t* n : {L"order items", L"select", L"MixedCase", L"we`ird"}) {
        exec("INSERT INTO `" + db + "`.`" + (std::wstring(n) == L"we`ird" ? std::string("we``ird") : tk_to_utf8(n)) +
             "` VALUES (1), (2)");
        auto rs = d->get_table(n, 1);
        EXPECT_EQ(rs->rec_count(), 2);
        EXPECT_EQ(column_texts(*rs, 0), (std::vector<std::string>{"1", "2"}));
    }
}

TEST_F(SqlDatabaseTest, ViewsBecomeRefinedQueriesUnlessModeSaysNo) {
    exec("CREATE TABLE `" + db + "`.a (id INT, x INT)");
    exec("CREATE TABLE `" + db + "`.b (id INT)");
    exec("CREATE VIEW `" + db + "`.sales_view AS SELECT a.x AS x FROM a, b WHERE a.id = b.id ORDER BY a.x");
    auto d = open(0);
    ASSERT_EQ(d->queries().count(L"sales_view"), 1u);
    const std::wstring text = d->queries().at(L"sales_view");
    EXPECT_EQ(text.find(wdb), std::wstring::npos) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"cross join"), std::wstring::npos);
    EXPECT_EQ(text.find(L"order by"), std::wstring::npos);
    // The refined text reads as a query.
    auto rs = d->get_query(L"sales_view", text, 1);
    EXPECT_EQ(rs->rec_count(), 0);

    EXPECT_TRUE(open(sql_database::no_views_mode)->queries().empty());
}

TEST_F(SqlDatabaseTest, ViewsOfADatabaseWithAQuoteInItsName) {
    // The name goes into a literal: escaped, the statement still works.
    const std::string other = db + "_o'k";
    engine->execute("CREATE DATABASE `" + other + "`");
    engine->execute("CREATE TABLE `" + other + "`.t (id INT)");
    engine->execute("CREATE VIEW `" + other + "`.v AS SELECT id FROM `" + other + "`.t");
    auto p = engine->open_db(tk_utf8_to_unicode(other), 0);
    EXPECT_EQ(p->queries().count(L"v"), 1u);
    EXPECT_EQ(p->table_names(), (std::vector<std::wstring>{L"t"}));
    p.reset();
    engine->execute("DROP DATABASE `" + other + "`");
}

TEST_F(SqlDatabaseTest, QueryAnswersWithoutThrowingAndQueryRsReturnsRows) {
    exec("CREATE TABLE `" + db + "`.t (id INT)");
    auto d = open();
    EXPECT_TRUE(d->query(L"INSERT INTO t VALUES (5), (6)"));
    EXPECT_TRUE(d->query(L"SELECT * FROM t"));
    EXPECT_FALSE(d->query(L"SELEKT nonsense"));
    EXPECT_EQ(d->query_rs(L"INSERT INTO t VALUES (7)"), nullptr);
    auto rs = d->query_rs(L"SELECT id FROM t ORDER BY id");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->rec_count(), 3);
    EXPECT_EQ(column_texts(*rs, 0), (std::vector<std::string>{"5", "6", "7"}));
    try {
        d->query_rs(L"SELECT * FROM missing_table");
        FAIL();
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code(), 0x400000 + 1146);
    }
}

}  // namespace
