// Server-version gates and the statement texts older servers receive; none of
// these is sent anywhere.
#include "sql/sql_ver.h"

#include <gtest/gtest.h>

namespace {

TEST(SqlVersion, ParsesThreeNumbersAndIgnoresTheRest) {
    const struct {
        const char* text;
        std::uint32_t value;
    } cases[] = {
        {"5.0.45-community-nt", 0x05002D},
        {"4.0.27", 0x04001B},
        {"4.1.0", 0x040100},
        {"3.23.43-log", 0x03172B},
        {"10.11.19-MariaDB-0+deb12u1", 0x0A0B13},
        {"5.5.5-10.3.39-MariaDB", 0x0A0327},  // the replication prefix of MariaDB
        {"8.0.300", 0x0800FF},                // parts above 255 keep the order
    };
    for (const auto& c : cases) {
        const auto v = sql_parse_version(c.text);
        ASSERT_TRUE(v.has_value()) << c.text;
        EXPECT_EQ(*v, c.value) << c.text;
    }
    for (const char* bad : {"", "5", "5.0", "x.1.2", "5.0.x", "5..1"}) EXPECT_FALSE(sql_parse_version(bad)) << bad;
}

TEST(SqlVersion, GatesFollowTheVersionNumber) {
    const std::uint32_t v3_23_43 = sql_version_number(3, 23, 43), v3_23_44 = sql_version_number(3, 23, 44);
    EXPECT_FALSE(sql_gate::has_fk_support(v3_23_43));
    EXPECT_TRUE(sql_gate::has_fk_support(v3_23_44));
    EXPECT_FALSE(sql_gate::reads_create_table(v3_23_43));

    EXPECT_TRUE(sql_gate::refuses_password(0x040100, true));
    EXPECT_FALSE(sql_gate::refuses_password(0x040100, false));
    EXPECT_FALSE(sql_gate::refuses_password(0x040101, true));

    EXPECT_FALSE(sql_gate::quotes_names(0x04001B));
    EXPECT_TRUE(sql_gate::quotes_names(0x040100));
    EXPECT_FALSE(sql_gate::lists_full_tables(0x050000));
    EXPECT_TRUE(sql_gate::lists_full_tables(0x050001));
    EXPECT_TRUE(sql_gate::lists_full_tables(0x05002D));

    EXPECT_FALSE(sql_gate::quotes_literal_defaults(sql_version_number(10, 2, 6), true));
    EXPECT_TRUE(sql_gate::quotes_literal_defaults(sql_version_number(10, 2, 7), true));
    EXPECT_FALSE(sql_gate::quotes_literal_defaults(sql_version_number(10, 2, 7), false));
    EXPECT_FALSE(sql_gate::quotes_literal_defaults(sql_version_number(8, 0, 30), false));
}

TEST(SqlVersion, TextColumnsCompareByBytesWithoutPaddingWhereTheServerCan) {
    const struct {
        unsigned major, minor, patch;
        bool mariadb, utf8mb4;
        const char* collation;
    } cases[] = {
        {10, 11, 19, true, true, "utf8mb4_nopad_bin"}, {10, 2, 2, true, true, "utf8mb4_nopad_bin"},
        {10, 2, 1, true, true, "utf8mb4_bin"},         {10, 11, 19, true, false, "utf8_nopad_bin"},
        {8, 0, 17, false, true, "utf8mb4_0900_bin"},   {8, 0, 16, false, true, "utf8mb4_bin"},
        {8, 0, 36, false, false, "utf8_bin"},          {5, 1, 73, false, false, "utf8_bin"},
        {4, 1, 0, false, false, "utf8_bin"},           {4, 0, 27, false, false, ""},  // no collations yet
    };
    for (const auto& c : cases) {
        sql_dialect d;
        d.version = sql_version_number(c.major, c.minor, c.patch);
        d.mariadb = c.mariadb;
        d.utf8mb4 = c.utf8mb4;
        EXPECT_EQ(d.text_collation(), c.collation) << c.major << "." << c.minor << "." << c.patch;
    }
}

TEST(SqlStatements, NamesAreQuotedFrom410OnWithInnerBackquotesDoubled) {
    EXPECT_EQ(sql_quote_name("order items", 0x05002D), "`order items`");
    EXPECT_EQ(sql_quote_name("we`ird", 0x05002D), "`we``ird`");
    EXPECT_EQ(sql_quote_name("``", 0x040100), "``````");
    EXPECT_EQ(sql_quote_name("order items", 0x04001B), "order items");  // old servers: bare

    EXPECT_EQ(sql_select_table_stmt("my table", 0x05002D), "SELECT * FROM `my table`");
    EXPECT_EQ(sql_select_table_stmt("my table", 0x04001B), "SELECT * FROM my table");
    EXPECT_EQ(sql_count_table_stmt("t", 0x04001B), "SELECT COUNT(*) FROM t");
    EXPECT_EQ(sql_count_table_stmt("t`x", 0x0A0B13), "SELECT COUNT(*) FROM `t``x`");
    EXPECT_EQ(sql_show_columns_stmt("t", 0x04001B), "SHOW COLUMNS FROM t");
    EXPECT_EQ(sql_show_index_stmt("a b", 0x050000), "SHOW INDEX FROM `a b`");
    EXPECT_EQ(sql_show_create_stmt("t", 0x032C00), "SHOW CREATE TABLE t");
    EXPECT_EQ(sql_full_tables_stmt(), "show full tables where Table_type='BASE TABLE'");
    EXPECT_EQ(sql_views_stmt("sh\\'op"),
              "SELECT table_name, view_definition FROM information_schema.views WHERE table_schema='sh\\'op'");
}

TEST(SqlStatements, FloatColumnsAreReadAsTheirExactDoubleByName) {
    const std::vector<sql_read_column> cols = {{"id", false}, {"we`ird f", true}, {"n", false}};
    EXPECT_EQ(sql_select_columns_stmt("my`t", cols, 0x0A0B13),
              "SELECT `id`, `we``ird f` * 1e0 AS `we``ird f`, `n` FROM `my``t`");
    EXPECT_EQ(sql_select_columns_stmt("t", {{"f", true}}, 0x080011), "SELECT `f` * 1e0 AS `f` FROM `t`");
    // Before 4.1.0 names stand bare; the expression is the same on every server.
    EXPECT_EQ(sql_select_columns_stmt("t", {{"a", false}, {"f", true}}, 0x03172B), "SELECT a, f * 1e0 AS f FROM t");
}

TEST(SqlStatements, QueriesLoseTrailingSemicolonsOnly) {
    EXPECT_EQ(sql_trim_query("  select a from t order by a ;\n"), "select a from t order by a");
    EXPECT_EQ(sql_trim_query("select ';' ;;"), "select ';'");
    EXPECT_EQ(sql_count_query_stmt("select a, b from t;"), "SELECT COUNT(*) FROM (select a, b from t) as query");
}

TEST(SqlStatements, SnapshotFormsByServer) {
    EXPECT_EQ(sql_snapshot_stmt(0x0A0B13), "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
    EXPECT_EQ(sql_snapshot_stmt(sql_version_number(5, 6, 5)), "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
    EXPECT_EQ(sql_snapshot_stmt(sql_version_number(5, 6, 4)), "START TRANSACTION WITH CONSISTENT SNAPSHOT");
    EXPECT_EQ(sql_snapshot_stmt(sql_version_number(4, 1, 8)), "START TRANSACTION WITH CONSISTENT SNAPSHOT");
    EXPECT_EQ(sql_snapshot_stmt(sql_version_number(4, 1, 7)), "");
    EXPECT_EQ(sql_isolation_stmt(sql_version_number(4, 1, 7)), "");
    EXPECT_EQ(sql_isolation_stmt(0x05002D), "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
}

}  // namespace
