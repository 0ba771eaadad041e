// Column defaults as the catalogue reports them: values, the time of the
// insert, and expressions that have no value to carry.
#include "sql/sql_dflt.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr auto literal = sql_default_kind::literal;
constexpr auto now = sql_default_kind::current_timestamp;
constexpr auto expression = sql_default_kind::expression;

TEST(SqlDefault, CurrentTimestampAndItsSynonyms) {
    for (const wchar_t* yes :
         {L"CURRENT_TIMESTAMP", L"current_timestamp()", L"current_timestamp(3)", L"now()", L"NOW(6)", L"localtime",
          L"LOCALTIME()", L"localtimestamp", L"localtimestamp(2)", L"(current_timestamp())", L" now( 3 ) "})
        EXPECT_TRUE(sql_is_current_timestamp(yes)) << yes;
    for (const wchar_t* no :
         {L"", L"curdate()", L"curtime()", L"current_date", L"sysdate()", L"now() + 1", L"current_timestamp(x)",
          L"'now()'", L"nowhere()", L"current_timestamp()()", L"utc_timestamp()", L"localtimes"})
        EXPECT_FALSE(sql_is_current_timestamp(no)) << no;
}

// MariaDB's information_schema: literals quoted (strings, dates, binary
// bytes), numbers, bit literals and NULL bare, expressions as written.
TEST(SqlDefault, QuotedFormTellsLiteralsFromExpressions) {
    const struct {
        const wchar_t* text;
        sql_default_kind kind;
    } cases[] = {
        {L"'it''s'", literal},
        {L"'2020-01-02'", literal},
        {L"'now()'", literal},
        {L"''", literal},
        {L"'x\\\\y'", literal},
        {L"'a\\'b'", literal},
        {L"'AB'", literal},
        {L"NULL", literal},
        {L"5", literal},
        {L"-5", literal},
        {L"1.50", literal},
        {L"-0.5", literal},
        {L"10000000000", literal},
        {L"1e10", literal},
        {L".5", literal},
        {L"b'101'", literal},
        {L"0x4142", literal},
        {L"", literal},
        {L"current_timestamp()", now},
        {L"current_timestamp(3)", now},
        {L"uuid()", expression},
        {L"(rand() * 10)", expression},
        {L"(1 + 2)", expression},
        {L"concat('a','b')", expression},
        {L"user()", expression},
        {L"curdate()", expression},
        {L"curtime()", expression},
        {L"'a' + 'b'", expression},
        {L"'a", expression},
        {L"-", expression},
        {L"1e", expression},
        {L"current_timestamp() + 1", expression},
    };
    for (const auto& c : cases) EXPECT_EQ(sql_default_from_quoted(c.text), c.kind) << c.text;
}

// SHOW COLUMNS elsewhere: bare literals; DEFAULT_GENERATED marks expressions
// (MySQL 8.0.13 on); before that only CURRENT_TIMESTAMP, on date columns.
TEST(SqlDefault, ShowColumnsFormByExtraAndColumnType) {
    EXPECT_EQ(sql_default_from_show_columns(L"now()", "", false), literal);  // a text that reads now()
    EXPECT_EQ(sql_default_from_show_columns(L"CURRENT_TIMESTAMP", "", false), literal);
    EXPECT_EQ(sql_default_from_show_columns(L"CURRENT_TIMESTAMP", "", true), now);
    EXPECT_EQ(sql_default_from_show_columns(L"CURRENT_TIMESTAMP(3)", "on update CURRENT_TIMESTAMP(3)", true), now);
    EXPECT_EQ(sql_default_from_show_columns(L"2020-01-02", "", true), literal);
    EXPECT_EQ(sql_default_from_show_columns(L"CURRENT_TIMESTAMP", "DEFAULT_GENERATED", false), now);
    EXPECT_EQ(sql_default_from_show_columns(L"uuid()", "DEFAULT_GENERATED", false), expression);
    EXPECT_EQ(sql_default_from_show_columns(L"(1 + 2)", "default_generated", false), expression);
    EXPECT_EQ(sql_default_from_show_columns(L"12", "", false), literal);
}

}  // namespace
