// Identifier rules of a MySQL destination, old (before 4.1.0) and new.
#include "sql/sql_vali.h"

#include <gtest/gtest.h>

#include "sql/sql_ver.h"
#include "udb/udb_idx.h"
#include "udb/udb_rec.h"
#include "udb/udb_sche.h"

namespace {

sql_dialect server(std::uint32_t version) {
    sql_dialect d;
    d.version = version;
    return d;
}

const std::vector<std::wstring> none;

TEST(SqlValidators, OldRulesKeepToPlainNamesThatAreNoReservedWords) {
    EXPECT_EQ(sql_reserved_words().size(), 167u);
    sql_old_tn_validator v(none, none);
    const struct {
        const wchar_t* name;
        bool acceptable;
        const wchar_t* safe;  // what get_safe_name makes of it
    } cases[] = {
        {L"select", false, L"select00000"},
        {L"SELECT", false, L"SELECT00000"},
        {L"Order", false, L"Order00000"},
        {L"selects", true, L"selects"},
        {L"123", false, L"_23"},
        {L"12a", true, L"12a"},
        {L"a-b", false, L"a_b"},
        {L"a b", false, L"a_b"},
        {L"a$b", true, L"a$b"},
        {L"\u00e9t\u00e9", true, L"\u00e9t\u00e9"},  // letters of any script
        {L"", false, L"_"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(v.is_acceptable(c.name), c.acceptable) << c.name;
        EXPECT_EQ(v.get_safe_name(c.name), c.safe) << c.name;
    }
    const std::wstring long_name(70, L'x');
    EXPECT_EQ(v.get_safe_name(long_name), std::wstring(63, L'x'));
}

TEST(SqlValidators, NewRulesForbidAFewCharactersBlanksAtTheEndsAndWhatTheServerCannotStore) {
    sql_new_tn_validator tables(none, none);
    udb_schema schema;
    sql_new_fn_validator columns(schema);
    const struct {
        const wchar_t* name;
        bool column_ok;
        bool table_ok;
        const wchar_t* table_safe;
    } cases[] = {
        {L"a-b", true, true, L"a-b"},
        {L"a b", true, true, L"a b"},
        {L"a.b", true, false, L"a_b"},
        {L"a/b", true, false, L"a_b"},
        {L"a`b", false, false, L"a_b"},
        {L"a'b", false, false, L"a_b"},
        {L" x", false, false, L"x"},
        {L"x ", false, false, L"x"},
        {L"  x  ", false, false, L"x"},
        {L"   ", false, false, L"00000"},
        {L"", false, false, L"00000"},
        // The server refuses characters beyond U+FFFF and NUL in names (error 1300).
        {L"a\U0001F600b", false, false, L"a_b"},
        {L"\u26A1", true, true, L"\u26A1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(columns.is_acceptable(c.name), c.column_ok) << c.name;
        EXPECT_EQ(tables.is_acceptable(c.name), c.table_ok) << c.name;
        EXPECT_EQ(tables.get_safe_name(c.name), c.table_safe) << c.name;
    }
    const std::wstring with_nul(L"a\0b", 3);
    EXPECT_FALSE(columns.is_acceptable(with_nul));
    EXPECT_EQ(columns.get_safe_name(with_nul), L"a_b");
    EXPECT_FALSE(columns.is_acceptable(std::wstring(65, L'x')));
    EXPECT_TRUE(columns.is_acceptable(std::wstring(64, L'x')));
}

TEST(SqlValidators, NamesInUseAreAcceptableButDuplicatedAndGetACounter) {
    sql_new_tn_validator v({L"Orders"}, {L"items"});
    EXPECT_TRUE(v.is_acceptable(L"orders"));
    EXPECT_TRUE(v.is_duplicated(L"ORDERS"));
    EXPECT_TRUE(v.is_duplicated(L"Items"));
    EXPECT_EQ(v.get_safe_name(L"orders"), L"orders00000");
    v.add_existing_name(L"orders00000");
    EXPECT_EQ(v.get_safe_name(L"orders"), L"orders00001");
}

TEST(SqlValidators, ListsOfEachKindBecomeNamesInUse) {
    udb_schema schema;
    schema.add(std::make_unique<t_ftd>(4, udb_name(L"id"), VT_I4, true, false, ole_variant(), 0));
    udb_record record;
    record.emplace(udb_name(L"Name"), 0, ole_variant(), false, false);
    udb_indexes indexes;
    indexes.add(udb_index(L"PRIMARY", true, true, {L"id"}));
    for (std::uint32_t version : {sql_version_number(4, 0, 27), sql_version_number(4, 1, 0)}) {
        const sql_dialect d = server(version);
        EXPECT_TRUE(sql_create_fn_validator(d, schema)->is_duplicated(L"ID"));
        EXPECT_TRUE(sql_create_fn_validator(d, record)->is_duplicated(L"name"));
        EXPECT_TRUE(sql_create_in_validator(d, indexes)->is_duplicated(L"primary"));
        EXPECT_TRUE(sql_create_tn_validator(d, {L"a"}, {L"b"})->is_duplicated(L"B"));
    }
}

TEST(SqlValidators, TheServerVersionChoosesTheRules) {
    const udb_schema schema;
    const udb_record record;
    const udb_indexes indexes;
    const sql_dialect old_server = server(sql_version_number(4, 0, 27));
    const sql_dialect new_server = server(sql_version_number(4, 1, 0));
    EXPECT_TRUE(dynamic_cast<sql_old_tn_validator*>(sql_create_tn_validator(old_server, none, none).get()));
    EXPECT_TRUE(dynamic_cast<sql_old_fn_validator*>(sql_create_fn_validator(old_server, schema).get()));
    EXPECT_TRUE(dynamic_cast<sql_old_fn_validator*>(sql_create_fn_validator(old_server, record).get()));
    EXPECT_TRUE(dynamic_cast<sql_old_in_validator*>(sql_create_in_validator(old_server, indexes).get()));
    EXPECT_TRUE(dynamic_cast<sql_new_tn_validator*>(sql_create_tn_validator(new_server, none, none).get()));
    EXPECT_TRUE(dynamic_cast<sql_new_fn_validator*>(sql_create_fn_validator(new_server, schema).get()));
    EXPECT_TRUE(dynamic_cast<sql_new_fn_validator*>(sql_create_fn_validator(new_server, record).get()));
    EXPECT_TRUE(dynamic_cast<sql_new_in_validator*>(sql_create_in_validator(new_server, indexes).get()));
}

}  // namespace
