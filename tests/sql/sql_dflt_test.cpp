// Column defaults as the catalogue reports them: values, the time of the
// insert, and expressions that have no value to carry.
#include "sql/sql_dflt.h"

#include <gtest/gtest.h>

#include <optional>
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

// The bytes of a literal as the server prints a default: the escapes of
// MySQL strings undone, hexadecimal decoded, anything else no literal.
TEST(SqlDefault, LiteralBytes) {
    using namespace std::string_literals;
    const struct {
        const char* text;
        std::optional<std::string> bytes;
    } cases[] = {
        {"''", ""s},
        {"'it''s'", "it's"s},
        {"'a\\\\b'", "a\\b"s},
        {"'\\0\\0\\0'", "\0\0\0"s},
        {"'\\n\\r\\t\\Z\\b\\'\\\"'", "\n\r\t\x1A\b'\""s},
        {"'\xFF''\\0\\\\A'", "\xFF'\0\\A"s},
        {"_binary 'ab'", "ab"s},
        {"X'4142'", "AB"s},
        {"x''", ""s},
        {"0xff00", "\xFF\0"s},
        {"X'414'", std::nullopt},
        {"0xZZ", std::nullopt},
        {"0x", std::nullopt},
        {"'unended", std::nullopt},
        {"'a' 'b'", std::nullopt},
        {"NULL", std::nullopt},
        {"12", std::nullopt},
        {"current_timestamp()", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(sql_literal_bytes(c.text), c.bytes) << c.text;
}

// A column's default in SHOW CREATE TABLE: its own line, the literal after
// DEFAULT outside quotes and parentheses, bytes that are not UTF-8 kept.
TEST(SqlDefault, CreateTableDefaultOfAColumn) {
    using namespace std::string_literals;
    const std::string create = "CREATE TABLE `t` (\n"
                               "  `id` int(11) NOT NULL,\n"
                               "  `b` binary(4) NOT NULL DEFAULT '\\0\\0\\0\\0',\n"
                               "  `bb` varbinary(10) DEFAULT '\xFF''\\\\',\n"
                               "  `a``b` varbinary(5) DEFAULT 'q' COMMENT 'DEFAULT ''x''',\n"
                               "  `c` varbinary(5) COMMENT 'DEFAULT ''x''',\n"
                               "  `g` varbinary(9) GENERATED ALWAYS AS (concat('DEFAULT ', 'y')) VIRTUAL,\n"
                               "  `n` varbinary(5) DEFAULT NULL,\n"
                               "  `h` varbinary(5) DEFAULT _binary 'h',\n"
                               "  `x` varbinary(5) NOT NULL DEFAULT 0x4142,\n"
                               "  `e` blob NOT NULL DEFAULT '',\n"
                               "  PRIMARY KEY (`id`)\n"
                               ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
    EXPECT_EQ(sql_create_table_default(create, "b"), "\0\0\0\0"s);
    EXPECT_EQ(sql_create_table_default(create, "bb"), "\xFF'\\"s);
    EXPECT_EQ(sql_create_table_default(create, "a`b"), "q"s);
    EXPECT_EQ(sql_create_table_default(create, "c"), std::nullopt);
    EXPECT_EQ(sql_create_table_default(create, "g"), std::nullopt);
    EXPECT_EQ(sql_create_table_default(create, "n"), std::nullopt);
    EXPECT_EQ(sql_create_table_default(create, "h"), "h"s);
    EXPECT_EQ(sql_create_table_default(create, "x"), "AB"s);
    EXPECT_EQ(sql_create_table_default(create, "e"), ""s);
    EXPECT_EQ(sql_create_table_default(create, "id"), std::nullopt);
    EXPECT_EQ(sql_create_table_default(create, "missing"), std::nullopt);
    EXPECT_EQ(sql_create_table_default(create, "B"), std::nullopt);  // as the server names it
    // ANSI_QUOTES names columns in double quotes.
    EXPECT_EQ(sql_create_table_default("CREATE TABLE \"t\" (\n  \"a\"\"b\" binary(1) DEFAULT 'z'\n)", "a\"b"), "z"s);
}
