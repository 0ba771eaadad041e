// The MySQL destination's database and table operations, through the model's
// interfaces, checked through a second connection.
#include <gtest/gtest.h>

#include <set>

#include "sql/sql_exc.h"
#include "support/sql_fixture.h"
#include "tk/tk_utils.h"
#include "udb/udb_engi.h"

namespace {

using SqlWriterTest = sql_server_test;

std::string literal(const std::string& s) { return "'" + s + "'"; }

TEST_F(SqlWriterTest, DatabasesAreCreatedAndDroppedUnderTheirExactNames) {
    udb_engine& e = *engine;
    const std::vector<std::string> names = {db + "_with blank", db + "_q`uote", db + "_c` CHARACTER SET latin1 #"};
    for (const std::string& name : names) {
        const std::wstring wname = tk_utf8_to_unicode(name);
        auto created = e.create_db(wname);
        ASSERT_TRUE(created);
        EXPECT_EQ(created->name(), wname);
        EXPECT_TRUE(created->table_names().empty());
        // The name is the whole text: no clause of it reached the statement.
        EXPECT_EQ(value("SELECT DEFAULT_CHARACTER_SET_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = " +
                        literal(name)),
                  "utf8mb4")
            << name;
        try {
            e.create_db(wname);
            ADD_FAILURE() << "created twice: " << name;
        } catch (const sql_exception& ex) {
            EXPECT_EQ(ex.error_number(), 1007u);
        }
    }
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME LIKE " + literal(db + "\\_%")),
              "3");
    for (const std::string& name : names) e.db_delete(tk_utf8_to_unicode(name));
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME LIKE " + literal(db + "\\_%")),
              "0");
    try {
        e.db_delete(tk_utf8_to_unicode(names[0]));
        FAIL() << "dropped a missing database";
    } catch (const sql_exception& ex) {
        EXPECT_EQ(ex.error_number(), 1008u);
        EXPECT_NE(ex.message().find("DROP DATABASE"), std::string::npos) << ex.message();
    }
}

TEST_F(SqlWriterTest, DroppingADatabaseKeepsTheSessionsForeignKeyChecks) {
    auto d = open();
    const auto checks = [&] {
        return (*d->query_tmp("SELECT @@SESSION.foreign_key_checks")->get_item())[0].to_string();
    };
    for (const char* setting : {"1", "0"}) {
        engine->execute(std::string("SET FOREIGN_KEY_CHECKS = ") + setting);
        engine->execute("CREATE DATABASE `" + db + "_gone`");
        engine->db_delete(tk_utf8_to_unicode(db + "_gone"));
        EXPECT_EQ(checks(), setting);
        EXPECT_THROW(engine->db_delete(tk_utf8_to_unicode(db + "_gone")), sql_exception);
        EXPECT_EQ(checks(), setting);
    }
}

TEST_F(SqlWriterTest, CreateTableGivesEveryTypeCodeItsColumn) {
    const std::vector<schema_column> cols = {
        {L"c2", VT_I2},
        {L"c3", VT_I4},
        {L"c4", VT_R4},
        {L"c5", VT_R8},
        {L"c6", VT_CY},
        {L"c7_0", VT_DATE, 0, 0},
        {L"c7_1", VT_DATE, 0, 1},
        {L"c7_2", VT_DATE, 0, 2},
        {L"c7_3", VT_DATE, 0, 3},
        {L"c8_40", VT_BSTR, 40},
        {L"c8_255", VT_BSTR, 255},
        {L"c8_256", VT_BSTR, 256},
        {L"c8_20000", VT_BSTR, 20000},
        {L"c8_5000000", VT_BSTR, 5000000},
        {L"c8_0", VT_BSTR, 0},
        {L"c11", VT_BOOL},
        {L"c14", VT_DECIMAL, 0, (65 << 8) | 30},
        {L"c14_0", VT_DECIMAL, 0, 0},
        {L"c16", VT_I1},
        {L"c17", VT_UI1},
        {L"c18", VT_UI2},
        {L"c19", VT_UI4},
        {L"c20", VT_I8, 0, 1},
        {L"c21", VT_UI8, 0, 2},
        {L"c22", VT_INT},
        {L"c23", VT_UINT},
        {L"c65_255", VT_BLOB, 255},
        {L"c65_256", VT_BLOB, 256},
        {L"c65_70000", VT_BLOB, 70000},
        {L"c65_0", VT_BLOB, 0},
    };
    const std::vector<std::string> types = {"smallint(6)",
                                            "int(11)",
                                            "float",
                                            "double",
                                            "decimal(19,4)",
                                            "datetime(6)",
                                            "datetime(6)",
                                            "date",
                                            "time(6)",
                                            "varchar(40)",
                                            "varchar(255)",
                                            "text",
                                            "mediumtext",
                                            "longtext",
                                            "longtext",
                                            "bit(1)",
                                            "decimal(65,30)",
                                            "double",
                                            "tinyint(4)",
                                            "tinyint(3) unsigned",
                                            "smallint(5) unsigned",
                                            "int(10) unsigned",
                                            "bigint(20)",
                                            "bigint(20) unsigned",
                                            "int(11)",
                                            "int(10) unsigned",
                                            "tinyblob",
                                            "blob",
                                            "mediumblob",
                                            "longblob"};
    const auto schema = make_schema(cols);
    auto d = open();
    udb_database& dest = *d;
    auto rs = dest.create_table(L"all types", *schema, udb_indexes());
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->table_name(), L"all types");
    EXPECT_EQ(rs->schema().size(), cols.size());
    EXPECT_EQ(rs->rec_count(), 0);
    EXPECT_TRUE(rs->is_eof());
    EXPECT_TRUE(dest.is_table_exist(L"all types"));

    const auto got = rows("SELECT COLUMN_NAME, COLUMN_TYPE, CHARACTER_SET_NAME FROM information_schema.COLUMNS "
                          "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'all types' ORDER BY ORDINAL_POSITION");
    ASSERT_EQ(got.size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        EXPECT_EQ(*got[i][0], tk_to_utf8(cols[i].name));
        EXPECT_EQ(*got[i][1], types[i]) << *got[i][0];
        if (cols[i].type == VT_BSTR) {
            EXPECT_EQ(got[i][2].value_or(""), "utf8mb4") << *got[i][0];
        }
    }
    EXPECT_EQ(value("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                    "TABLE_NAME = 'all types'"),
              "InnoDB");
}

TEST_F(SqlWriterTest, KeysDefaultsAndGeneratedNames) {
    const auto schema = make_schema({
        {L"id", VT_I4, 11, 0, true, true},
        {L"code", VT_BSTR, 20, 0, true, false, ole_variant(L"it's")},
        {L"a", VT_I4, 11, 0, false, false, ole_variant(L"5")},
        {L"b", VT_DATE, 0, 1, false, false, ole_variant(L"2001-02-03 04:05:06")},
        {L"a.b", VT_I4},
        {L"A", VT_I4},  // the twin of a in another case
        {L"bad default", VT_R8, 0, 0, false, false, ole_variant(L"1, evil INT")},
        {L"made", VT_DATE, 0, 1, true},
        {L"day", VT_DATE, 0, 2},
        {L"empty", VT_BSTR, 10, 0, true, false, ole_variant(L"")},  // '' is a default, NULL none
        {L"none", VT_BSTR, 10, 0, true, false, ole_variant()},
    });
    // Defaults of the insert's time: a date-and-time column gets one.
    for (std::size_t i : {7u, 8u}) (*schema)[i]->b_default_now = true;
    udb_indexes indexes;
    indexes.add(udb_index(L"PRIMARY", true, true, {L"id"}));
    indexes.add(udb_index(L"code", true, false, {L"code"}));
    indexes.add(udb_index(L"pair", false, false, {L"b", L"a"}));
    auto d = open();
    udb_database& dest = *d;
    auto rs = dest.create_table(L"keys", *schema, indexes);
    const auto got = rows("SELECT COLUMN_NAME, IS_NULLABLE, COLUMN_DEFAULT, EXTRA FROM information_schema.COLUMNS "
                          "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'keys' ORDER BY ORDINAL_POSITION");
    const std::vector<std::vector<std::optional<std::string>>> expected = {
        {"id", "NO", std::nullopt, "auto_increment"},
        {"code", "NO", "'it''s'", ""},
        {"a", "YES", "5", ""},
        {"b", "YES", "'2001-02-03 04:05:06.000000'", ""},
        {"a.b", "YES", "NULL", ""},
        {"A00000", "YES", "NULL", ""},
        {"bad default", "YES", "NULL", ""},  // no column slipped in through a default
        {"made", "NO", "current_timestamp(6)", ""},
        {"day", "YES", "NULL", ""},
        {"empty", "NO", "''", ""},
        {"none", "NO", std::nullopt, ""},
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(rows("SELECT INDEX_NAME, NON_UNIQUE, COLUMN_NAME FROM information_schema.STATISTICS WHERE "
                   "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'keys' ORDER BY INDEX_NAME, SEQ_IN_INDEX"),
              (std::vector<std::vector<std::optional<std::string>>>{
                  {"code", "0", "code"}, {"pair", "1", "b"}, {"pair", "1", "a"}, {"PRIMARY", "0", "id"}}));
    EXPECT_EQ(dest.names_map().get_fn_mapped_name(L"keys", L"A", true), L"A00000");
    // The table opened for writing carries what the server made.
    EXPECT_EQ(rs->schema().size(), 11u);
    EXPECT_EQ(rs->schema()[5]->name.str(), L"A00000");
    ASSERT_GE(rs->key_index_pos(), 0);
    EXPECT_TRUE(rs->indexes()[static_cast<std::size_t>(rs->key_index_pos())].b_primary);
}

TEST_F(SqlWriterTest, ColumnsMySqlCannotHoldAreTheTablesErrorAndNothingIsCreated) {
    const auto schema = make_schema({{L"id", VT_I4}, {L"price", VT_DECIMAL, 0, (70 << 8) | 2}});
    auto d = open();
    udb_database& dest = *d;
    try {
        dest.create_table(L"wide", *schema, udb_indexes());
        FAIL();
    } catch (const sql_exception&) {
        FAIL() << "a statement that had to fail was sent";
    } catch (const tk_mail_assertion&) {
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_NE(e.message().find("price"), std::string::npos) << e.message();
    }
    EXPECT_FALSE(dest.is_table_exist(L"wide"));
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"), "0");
}

TEST_F(SqlWriterTest, TableNamesCompareAsTheServerComparesThem) {
    const auto schema = make_schema({{L"id", VT_I4}});
    auto d = open();
    udb_database& dest = *d;
    ASSERT_TRUE(dest.case_sensitive());
    dest.create_table(L"T", *schema, udb_indexes());
    dest.create_table(L"t", *schema, udb_indexes());  // another table on this server
    EXPECT_TRUE(dest.is_table_exist(L"T"));
    EXPECT_TRUE(dest.is_table_exist(L"t"));
    EXPECT_TRUE(dest.delete_tab(L"t"));
    EXPECT_TRUE(dest.is_table_exist(L"T"));
    EXPECT_FALSE(dest.is_table_exist(L"t"));
    EXPECT_EQ(rows("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"),
              (std::vector<std::vector<std::optional<std::string>>>{{"T"}}));
    EXPECT_THROW(dest.delete_tab(L"t"), tk_mail_assertion);
    EXPECT_THROW(dest.create_table(L"T", *schema, udb_indexes()), tk_mail_assertion);
    EXPECT_THROW(open(1)->create_table(L"x", *schema, udb_indexes()), tk_mail_assertion);
    EXPECT_THROW(open(1)->delete_tab(L"T"), tk_mail_assertion);
}

TEST_F(SqlWriterTest, AppendModeHandsBackAnExistingTable) {
    exec("CREATE TABLE `" + db + "`.`old` (id INT PRIMARY KEY, name VARCHAR(10))");
    exec("INSERT INTO `" + db + "`.`old` VALUES (1, 'a'), (2, 'b')");
    const auto schema = make_schema({{L"other", VT_R8}});
    auto d = open(udb_database::append_mode);
    udb_database& dest = *d;
    auto rs = dest.create_table(L"old", *schema, udb_indexes());
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->schema().size(), 2u);
    EXPECT_EQ(rs->schema()[1]->name.str(), L"name");
    EXPECT_EQ(rs->rec_count(), 2);
    EXPECT_TRUE(rs->is_eof());  // opened for writing: no rows are read
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                    "TABLE_NAME = 'old'"),
              "2");
    dest.create_table(L"new", *schema, udb_indexes());
    EXPECT_TRUE(dest.is_table_exist(L"new"));
}

TEST_F(SqlWriterTest, QueryAppendSendsTheWholeStatementAndNamesItWhenRefused) {
    exec("CREATE TABLE `" + db + "`.t (s VARBINARY(10))");
    auto d = open();
    d->query_append(std::string("INSERT INTO t VALUES ('a\0b')", 28));
    EXPECT_EQ(value("SELECT HEX(s) FROM t"), "610062");
    try {
        d->query_append("INSERT INTO missing VALUES (1)");
        FAIL();
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.error_number(), 1146u);
        EXPECT_EQ(e.statement(), "INSERT INTO missing VALUES (1)");
        EXPECT_NE(e.message().find("Statement: INSERT INTO missing VALUES (1)"), std::string::npos);
    }
}

TEST_F(SqlWriterTest, ViewsAreCreatedOneByOneAndQuotedTextStaysAsItIs) {
    exec("CREATE TABLE `" + db + "`.t (a INT, b VARCHAR(10))");
    exec("INSERT INTO `" + db + "`.t VALUES (1, '[x]'), (2, 'y')");
    udb_queries views = {
        {L"v_ok", L"select  a, b from [t] where b = '[x]'"},
        {L"v.dot", L"SELECT a FROM t"},                         // not a table name: gets a safe one
        {L"v_fail", L"select nope from t"},                     // refused: reported, the next goes on
        {L"v_show", L"show tables"},                            // not a SELECT: skipped
        {L"w_uses_dot", L"select a from [v.dot] where a > 1"},  // names the renamed view
    };
    auto d = open();
    udb_database& dest = *d;
    sql_reports reports(*engine);
    dest.create_views(views);
    EXPECT_EQ(rows("SELECT TABLE_NAME FROM information_schema.VIEWS WHERE TABLE_SCHEMA = DATABASE() ORDER BY 1"),
              (std::vector<std::vector<std::optional<std::string>>>{{"v_dot"}, {"v_ok"}, {"w_uses_dot"}}));
    EXPECT_EQ(rows("SELECT a, b FROM v_ok"), (std::vector<std::vector<std::optional<std::string>>>{{"1", "[x]"}}));
    EXPECT_EQ(value("SELECT a FROM w_uses_dot"), "2");
    ASSERT_EQ(reports.entries.size(), 1u);
    EXPECT_EQ(reports.entries[0].context, L"View 'v_fail'");
    EXPECT_EQ(reports.entries[0].level, 0);
    EXPECT_EQ(reports.entries[0].message.rfind("Can't create view. Contact to ", 0), 0u);
    EXPECT_NE(reports.entries[0].message.find("nope"), std::string::npos) << reports.entries[0].message;
}

TEST_F(SqlWriterTest, ForeignKeysAreCreatedOneByOneAndTheSessionKeepsItsChecks) {
    for (const char* t : {"CREATE TABLE `%`.parent (id INT PRIMARY KEY)", "CREATE TABLE `%`.child (id INT, pid INT)",
                          "CREATE TABLE `%`.child2 (pid INT)", "CREATE TABLE `%`.p3 (a INT, b INT)",
                          "CREATE TABLE `%`.c3 (a INT, b INT, INDEX ab (a, b))"}) {
        std::string s = t;
        s.replace(s.find('%'), 1, db);
        exec(s);
    }
    const udb_relationships rels = {
        {L"fk_ok", L"", L"child", L"parent", {L"pid"}, {L"id"}, L"CASCADE"},
        {L"fk_missing", L"", L"child", L"missing", {L"pid"}, {L"id"}, L""},
        {L"", L"", L"child2", L"parent", {L"pid"}, {L"id"}, L""},  // the server names it
        {L"fk_ab", L"", L"c3", L"p3", {L"A", L"B"}, {L"a", L"b"}, L""},
    };
    engine->execute("SET FOREIGN_KEY_CHECKS = 1");
    auto d = open();
    udb_database& dest = *d;
    sql_reports reports(*engine);
    dest.create_relationships(rels);
    EXPECT_EQ(rows("SELECT TABLE_NAME, REFERENCED_TABLE_NAME, CONSTRAINT_NAME LIKE 'fk%' FROM "
                   "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE() ORDER BY 1"),
              (std::vector<std::vector<std::optional<std::string>>>{
                  {"c3", "p3", "1"}, {"child", "parent", "1"}, {"child2", "parent", "0"}}));
    ASSERT_EQ(reports.entries.size(), 1u);
    EXPECT_EQ(reports.entries[0].context, L"Foreign key 'fk_missing'");
    EXPECT_EQ(reports.entries[0].message.rfind("Can't create foreign key. Contact to ", 0), 0u);
    EXPECT_NE(reports.entries[0].message.find("Table 'missing' not exists"), std::string::npos);
    // c3 had an index on (a, b): none added; p3 had none: one added.
    EXPECT_EQ(value("SELECT COUNT(DISTINCT INDEX_NAME) FROM information_schema.STATISTICS WHERE "
                    "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'c3'"),
              "1");
    EXPECT_EQ(value("SELECT COUNT(DISTINCT INDEX_NAME) FROM information_schema.STATISTICS WHERE "
                    "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'p3'"),
              "1");
    EXPECT_EQ((*d->query_tmp("SELECT @@SESSION.foreign_key_checks")->get_item())[0].to_string(), "1");

    // In append mode nothing at all is sent.
    exec("CREATE TABLE `" + db + "`.child4 (pid INT)");
    auto appending = open(udb_database::append_mode);
    appending->create_relationships({{L"fk4", L"", L"child4", L"parent", {L"pid"}, {L"id"}, L""}});
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = "
                    "DATABASE() AND TABLE_NAME = 'child4'"),
              "0");
}

TEST_F(SqlWriterTest, ForeignKeyNamesTakenInTheDatabaseGetNamesOfTheirOwn) {
    // Foreign-key names are one namespace per database here; a source may
    // repeat one name on several tables.
    for (const char* t :
         {"CREATE TABLE `%`.parent (id INT PRIMARY KEY)",
          "CREATE TABLE `%`.c1 (pid INT, CONSTRAINT fk_p FOREIGN KEY (pid) REFERENCES parent (id))",
          "CREATE TABLE `%`.c2 (pid INT)", "CREATE TABLE `%`.c3 (pid INT)", "CREATE TABLE `%`.c4 (pid INT)"}) {
        std::string s = t;
        s.replace(s.find('%'), 1, db);
        exec(s);
    }
    auto d = open();
    udb_database& dest = *d;
    sql_reports reports(*engine);
    dest.create_relationships({{L"fk_p", L"", L"c2", L"parent", {L"pid"}, {L"id"}, L""},
                               {L"FK_P", L"", L"c3", L"parent", {L"pid"}, {L"id"}, L""},
                               {L"fk_p", L"", L"c4", L"parent", {L"pid"}, {L"id"}, L""}});
    for (const auto& r : reports.entries) ADD_FAILURE() << r.message;
    const auto keys = rows("SELECT TABLE_NAME, CONSTRAINT_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS "
                           "WHERE CONSTRAINT_SCHEMA = DATABASE() ORDER BY TABLE_NAME");
    ASSERT_EQ(keys.size(), 4u);
    std::set<std::string> names;
    for (const auto& k : keys) {
        EXPECT_EQ(k[1]->substr(0, 4), k[0] == "c3" ? "FK_P" : "fk_p") << *k[0];
        names.insert(*k[1]);
    }
    EXPECT_EQ(names.size(), 4u);
    EXPECT_EQ(*keys[0][1], "fk_p");  // the one that was there keeps its name
}

}  // namespace
