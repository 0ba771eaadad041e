// CREATE TABLE from source columns, checked by what the server holds after it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include <pqxx/pqxx>

#include "postgres/pgs_engi.h"
#include "postgres/pgs_exc.h"
#include "postgres/pgs_sini.h"
#include "support/pgs_scratch.h"
#include "udb/udb_idx.h"
#include "udb/udb_sche.h"

namespace {

struct column_info {
    std::string type;
    bool nullable = true;
};

class PgsSchemaInit : public ::testing::Test {
protected:
    PgsSchemaInit() { pgs_scratch::connect(engine, db.name()); }

    void add(const std::wstring& name, std::uint16_t vt, std::uint32_t size = 0, std::uint32_t reserved = 0,
             const ole_variant& def = {}, bool not_null = false, bool auto_inc = false) {
        schema.add(std::make_unique<t_ftd>(size, udb_name(name), vt, not_null, auto_inc, def, reserved));
    }

    // Column name -> formatted type and nullability, as the catalogue has them.
    std::map<std::string, column_info> columns_of(const std::string& table) {
        auto conn = pgs_scratch::admin(db.name());
        pqxx::nontransaction w(*conn);
        std::map<std::string, column_info> out;
        for (const auto& row :
             pgs_exec_params(w,
                             "SELECT a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull FROM pg_attribute a "
                             "JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
                             "WHERE n.nspname = 'public' AND c.relname = $1 AND a.attnum > 0",
                             table))
            out[row[0].as<std::string>()] = {row[1].as<std::string>(), !row[2].as<bool>()};
        return out;
    }

    std::string scalar(const std::string& sql) {
        auto conn = pgs_scratch::admin(db.name());
        pqxx::nontransaction w(*conn);
        const auto r = w.exec(sql);
        return r[0][0].is_null() ? "NULL" : r[0][0].as<std::string>();
    }

    pgs_scratch::database db{"pgsa_sini"};
    pgs_engine engine;
    udb_schema schema;
    udb_indexes indexes;
};

TEST_F(PgsSchemaInit, ColumnsNamesTypesAndNullability) {
    add(L"id", 3, 0, 0, ole_variant(L"5"), false, true);
    add(L"Name", 8, 20, 0, ole_variant(L"it's"));
    add(L"name", 8, 10);
    add(L"1st col", 3);
    add(L"pk", 3);
    add(L"d", 5);
    add(L"tiny", 16);
    add(L"ubig", 21, 0, 2);
    add(L"dec_any", 14);
    add(L"dec", 14, 0, 2562);
    add(L"t", 7, 0, 3);
    add(L"dt", 7, 0, 0);
    add(L"txt", 8, 0);
    add(L"bin", 65);
    indexes.add(udb_index(L"PRIMARY", true, true, {L"pk"}));

    pgs_schema_initializer init(L"MyTable", schema, indexes);
    init.get_init_str(engine.connection());

    const udb_name_pairs expected_pairs{{L"name", L"name00000"}, {L"1st col", L"A1st_col"}};
    EXPECT_EQ(init.mapped_pairs(), expected_pairs);

    const std::map<std::string, column_info> cols = columns_of("mytable");
    const std::map<std::string, std::string> types{
        {"id", "integer"},
        {"Name", "character varying(20)"},
        {"name00000", "character varying(10)"},
        {"A1st_col", "integer"},
        {"pk", "integer"},
        {"d", "double precision"},
        {"tiny", "smallint"},
        {"ubig", "numeric(20,0)"},
        {"dec_any", "numeric"},
        {"dec", "numeric(10,2)"},
        {"t", "time without time zone"},
        {"dt", "timestamp without time zone"},
        {"txt", "text"},
        {"bin", "bytea"},
    };
    ASSERT_EQ(cols.size(), types.size());
    for (const auto& [name, type] : types) {
        ASSERT_TRUE(cols.count(name)) << name;
        EXPECT_EQ(cols.at(name).type, type) << name;
        // Auto-increment and primary-key columns are NOT NULL, the rest nullable.
        EXPECT_EQ(cols.at(name).nullable, name != "id" && name != "pk") << name;
    }
}

TEST_F(PgsSchemaInit, PrimaryKeyStaysNullableWithoutIndexList) {
    add(L"pk", 3);
    add(L"nn", 3, 0, 0, {}, true);
    pgs_schema_initializer init(L"t", schema, indexes);
    init.get_init_str(engine.connection());
    const auto cols = columns_of("t");
    EXPECT_TRUE(cols.at("pk").nullable);
    EXPECT_FALSE(cols.at("nn").nullable);
}

// Every default reaches the server only when it is valid for its column; the
// table is created in every case, and a row taking the defaults reads back.
TEST_F(PgsSchemaInit, DefaultsReadBackFromAnInsertedRow) {
    add(L"id", 3, 0, 0, ole_variant(L"5"), true, true);
    add(L"s", 8, 20, 0, ole_variant(L"it's \"q\" \\n"));
    add(L"cut", 8, 3, 0, ole_variant(L"abcdef"));
    add(L"unbounded", 8, 0, 0, ole_variant(L"x"));
    add(L"i", 3, 0, 0, ole_variant(L"-12"));
    add(L"bad_i", 3, 0, 0, ole_variant(L"12abc"));
    add(L"r", 5, 0, 0, ole_variant(L"1.5"));
    add(L"bad_r", 5, 0, 0, ole_variant(L"1.5abc"));
    add(L"zero_r", 5, 0, 0, ole_variant(L"0,0"));
    add(L"tm", 7, 0, 3, ole_variant(L"10:30:00"));
    add(L"day", 7, 0, 2, ole_variant(L"2020-01-02 03:04:05"));
    add(L"ts", 7, 0, 0, ole_variant(L"2020-01-02 03:04:05"));
    add(L"zero_ts", 7, 0, 0, ole_variant(L"0000-00-00 00:00:00"));
    add(L"now_ts", 7, 0, 0, ole_variant(L"CURRENT_TIMESTAMP"));
    add(L"u", 8, 10, 0, ole_variant(L"\u00e9\u4e2d\U0001F600"));
    add(L"empty_s", 8, 10, 0, ole_variant(L""));
    add(L"empty_text", 8, 0, 0, ole_variant(L""));
    add(L"bin", 65, 8, 0, ole_variant(std::vector<unsigned char>{0x00, 0xFF, '\'', '\\', 0x80}));
    add(L"empty_bin", 65, 0, 0, ole_variant(std::vector<unsigned char>{}));
    add(L"no_bin", 65, 0, 0, ole_variant());
    // The time of the insert, for any date kind.
    const std::pair<const wchar_t*, std::uint32_t> now_columns[] = {{L"cur_ts", 0}, {L"cur_day", 2}, {L"cur_tm", 3}};
    for (const auto& [name, kind] : now_columns) {
        add(name, 7, 0, kind);
        schema[schema.size() - 1]->b_default_now = true;
    }

    pgs_schema_initializer init(L"defs", schema, indexes);
    ASSERT_NO_THROW(init.get_init_str(engine.connection()));
    {
        auto conn = pgs_scratch::admin(db.name());
        pqxx::nontransaction w(*conn);
        w.exec("INSERT INTO defs (id) VALUES (1)");
    }
    const std::map<std::string, std::string> expected{
        {"s", "it's \"q\" \\n"},
        {"cut", "abc"},
        {"unbounded", "x"},
        {"i", "-12"},
        {"bad_i", "NULL"},
        {"r", "1.5"},
        {"bad_r", "NULL"},
        {"zero_r", "NULL"},
        {"tm", "10:30:00"},
        {"day", "2020-01-02"},
        {"ts", "2020-01-02 03:04:05"},
        {"zero_ts", "NULL"},
        {"now_ts", "NULL"},
        {"u", "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80"},
        {"empty_s", ""},
        {"empty_text", ""},
        {"bin", "\\x00ff275c80"},
        {"empty_bin", "\\x"},
        {"no_bin", "NULL"},
    };
    for (const auto& [col, value] : expected) EXPECT_EQ(scalar("SELECT \"" + col + "\"::text FROM defs"), value) << col;
    EXPECT_EQ(scalar("SELECT cur_ts IS NOT NULL AND cur_day IS NOT NULL AND cur_tm IS NOT NULL FROM defs"), "t");
    EXPECT_EQ(scalar("SELECT string_agg(column_default, ',') FROM information_schema.columns "
                     "WHERE table_name = 'defs' AND column_name LIKE 'cur%'"),
              "CURRENT_TIMESTAMP,CURRENT_TIMESTAMP,CURRENT_TIMESTAMP");
}

// A binary default reads the same on a session that takes backslashes in
// literals as escapes.
TEST_F(PgsSchemaInit, BinaryDefaultIgnoresStandardConformingStrings) {
    add(L"id", 3, 0, 0, ole_variant(), true);
    add(L"bin", 65, 0, 0, ole_variant(std::vector<unsigned char>{'\\', 'x', 0x00, 0xFF}));
    {
        pqxx::nontransaction off(engine.connection());
        off.exec("SET standard_conforming_strings = off");
    }
    pgs_schema_initializer init(L"defs", schema, indexes);
    ASSERT_NO_THROW(init.get_init_str(engine.connection()));
    {
        auto conn = pgs_scratch::admin(db.name());
        pqxx::nontransaction w(*conn);
        w.exec("INSERT INTO defs (id) VALUES (1)");
    }
    EXPECT_EQ(scalar("SELECT bin::text FROM defs"), "\\x5c7800ff");
}

// The literal of a text default means the same bytes when the session reads
// backslashes as escapes: nothing after a backslash runs as a statement, and
// a default ending in a backslash still makes the table.
TEST_F(PgsSchemaInit, TextDefaultsIgnoreStandardConformingStrings) {
    const std::wstring defaults[] = {L"\\');drop table victim;--", L"C:\\temp\\new", L"ends \\", L"it's \\\\ \\'"};
    add(L"id", 3, 0, 0, ole_variant(), true);
    for (std::size_t i = 0; i < std::size(defaults); ++i)
        add(L"v" + std::to_wstring(i), 8, 40, 0, ole_variant(defaults[i]));
    add(L"t", 8, 0, 0, ole_variant(defaults[0]));
    {
        auto conn = pgs_scratch::admin(db.name());
        pqxx::nontransaction(*conn).exec("CREATE TABLE victim (id int)");
    }
    {
        pqxx::nontransaction off(engine.connection());
        off.exec("SET standard_conforming_strings = off");
    }
    pgs_schema_initializer init(L"defs", schema, indexes);
    ASSERT_NO_THROW(init.get_init_str(engine.connection()));
    {
        auto conn = pgs_scratch::admin(db.name());
        pqxx::nontransaction(*conn).exec("INSERT INTO defs (id) VALUES (1)");
    }
    EXPECT_EQ(scalar("SELECT count(*) FROM victim"), "0");  // still there
    for (std::size_t i = 0; i < std::size(defaults); ++i)
        EXPECT_EQ(scalar("SELECT v" + std::to_string(i) + " FROM defs"),
                  std::string(defaults[i].begin(), defaults[i].end()));
    EXPECT_EQ(scalar("SELECT t FROM defs"), std::string(defaults[0].begin(), defaults[0].end()));
}

// Values that the type map must hold unchanged.
TEST_F(PgsSchemaInit, TypesHoldTheSourceRanges) {
    add(L"d", 5);
    add(L"tiny", 16);
    add(L"ubig", 21, 0, 2);
    add(L"dec_any", 14);
    add(L"dec", 14, 0, (65 << 8) | 30);
    pgs_schema_initializer init(L"ranges", schema, indexes);
    init.get_init_str(engine.connection());
    {
        auto conn = pgs_scratch::admin(db.name());
        pqxx::nontransaction w(*conn);
        w.exec("INSERT INTO ranges VALUES (1.2345678901234567e300, -128, 18446744073709551615, "
               "123456789012345678901234567890.123456789, "
               "99999999999999999999999999999999999.999999999999999999999999999999)");
        w.exec("INSERT INTO ranges VALUES (-2.2250738585072014e-308, 127, 0, -1, "
               "-99999999999999999999999999999999999.999999999999999999999999999999)");
    }
    EXPECT_EQ(scalar("SELECT string_agg(d::text, ',') FROM ranges"),
              "1.2345678901234567e+300,-2.2250738585072014e-308");
    EXPECT_EQ(scalar("SELECT string_agg(tiny::text, ',') FROM ranges"), "-128,127");
    EXPECT_EQ(scalar("SELECT string_agg(ubig::text, ',') FROM ranges"), "18446744073709551615,0");
    EXPECT_EQ(scalar("SELECT string_agg(dec_any::text, ',') FROM ranges"),
              "123456789012345678901234567890.123456789,-1");
    EXPECT_EQ(scalar("SELECT string_agg(dec::text, ',') FROM ranges"),
              "99999999999999999999999999999999999.999999999999999999999999999999,"
              "-99999999999999999999999999999999999.999999999999999999999999999999");
}

TEST_F(PgsSchemaInit, TableNamesAreFoldedAndQuoted) {
    add(L"Col", 3);
    for (const wchar_t* name : {L"order", L"Group#1", L"public.User", L"\u00c9t\u00e9"}) {
        pgs_schema_initializer init(name, schema, indexes);
        ASSERT_NO_THROW(init.get_init_str(engine.connection())) << init.statement();
    }
    EXPECT_EQ(scalar("SELECT string_agg(tablename, ',' ORDER BY tablename) FROM pg_tables "
                     "WHERE schemaname = 'public'"),
              "group#1,order,user,\xc3\x89t\xc3\xa9");
    EXPECT_EQ(columns_of("order").count("Col"), 1u);
}

TEST_F(PgsSchemaInit, StatementText) {
    add(L"a", 8, 10, 0, ole_variant(L"x"), true);
    add(L"b", 3, 0, 0, ole_variant(L"7"));
    pgs_schema_initializer init(L"T", schema, indexes);
    EXPECT_EQ(init.statement(),
              "CREATE TABLE \"public\".\"t\" (\"a\" VARCHAR(10)  DEFAULT 'x' NOT NULL, \"b\" INTEGER DEFAULT 7)");

    udb_schema none;
    pgs_schema_initializer empty(L"empty", none, indexes);
    EXPECT_EQ(empty.statement(), "CREATE TABLE \"public\".\"empty\" ()");
    empty.get_init_str(engine.connection());
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_tables WHERE tablename = 'empty'"), "1");
}

TEST_F(PgsSchemaInit, FailureCarriesStatementAndServerText) {
    add(L"a", 3);
    pgs_schema_initializer init(L"dup", schema, indexes);
    init.get_init_str(engine.connection());
    try {
        init.get_init_str(engine.connection());
        FAIL() << "created a table twice";
    } catch (const pgs_exception& e) {
        const std::string text = e.what();
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(text.rfind("Cannot create table: CREATE TABLE \"public\".\"dup\" (\"a\" INTEGER). ", 0), 0u) << text;
        EXPECT_NE(text.find("already exists"), std::string::npos) << text;
    }
}

}  // namespace
