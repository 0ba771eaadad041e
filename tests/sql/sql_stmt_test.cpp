// The binary reader against the text reader: the same statement over a table
// of every MySQL type, read both ways with the same column plans, must give
// the same values, the same refused rows and the same reports, cell by cell.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sql/sql_exc.h"
#include "sql/sql_stmt.h"
#include "support/sql_fixture.h"
#include "tk/tk_utils.h"

namespace {

using SqlBinaryRowsTest = sql_server_test;
using query = sql_database::sql_limited_query;

struct read_out {
    std::vector<sql_record> rows;
    std::vector<std::string> reports;
};

struct report_list : sql_value_reporter {
    std::vector<std::string>* out;
    void report(const tk_exception& e, const std::wstring& context) override {
        out->push_back(tk_to_utf8(context) + ": " + e.message());
    }
};

// Every row of the statement, read with one protocol; FLOAT columns (`*1e0`
// in the statement) read exactly and the NOT NULL ones marked, as a table's are.
read_out read_all(sql_database& d, sql_engine& engine, const std::string& sql, query::protocol how,
                  const std::vector<unsigned>& floats, const std::vector<unsigned>& not_null) {
    read_out out;
    report_list rep;
    rep.out = &out.reports;
    engine.value_reports().install(&rep);
    {
        query q(d, sql, how);
        for (unsigned i : floats) q.read_float_exact(i);
        for (unsigned i : not_null) q.set_not_null(i, true);
        query::window win;
        const std::wstring source = L"every_type";
        while (!q.at_end()) {
            const std::size_t n = q.store_to(&win, source, static_cast<std::int64_t>(out.rows.size()) + 1);
            for (std::size_t i = 0; i < n; ++i) out.rows.push_back(*win[i]);
        }
    }
    engine.value_reports().install(nullptr);
    return out;
}

std::string bits_of(const ole_variant& v) {
    std::string s;
    if (v.vartype() == VT_R8) s.assign(reinterpret_cast<const char*>(&v.get_var().r8), 8);
    if (v.vartype() == VT_R4) s.assign(reinterpret_cast<const char*>(&v.get_var().r4), 4);
    return s;
}

}  // namespace

TEST_F(SqlBinaryRowsTest, GivesTheTextReadersValuesForEveryType) {
    exec(std::string("USE `") + db + "`");
    exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'");
    exec("CREATE TABLE every_type ("
         " id INT NOT NULL PRIMARY KEY,"
         " ti TINYINT, tu TINYINT UNSIGNED, si SMALLINT, su SMALLINT UNSIGNED, mi MEDIUMINT, mu MEDIUMINT UNSIGNED,"
         " i INT, iu INT UNSIGNED, bi BIGINT, bu BIGINT UNSIGNED,"
         " d10 DECIMAL(10,2), d65 DECIMAL(65,30), du DECIMAL(10,2) UNSIGNED, d0 DECIMAL(10,0),"
         " f FLOAT, h FLOAT(7,4), db DOUBLE, b1 BIT(1), b16 BIT(16), b64 BIT(64),"
         " dt DATE, dtm DATETIME, dt6 DATETIME(6), ts TIMESTAMP(3) NULL, tm TIME, tm6 TIME(6), yr YEAR,"
         " ch CHAR(5), vc VARCHAR(50), tx TEXT, lt LONGTEXT, js JSON, tb TEXT COLLATE utf8mb4_bin,"
         " en ENUM('a','b c'), st SET('x','y'), bn BINARY(4), vb VARBINARY(10), bl BLOB, lb LONGBLOB, g POINT,"
         " nn_d DATE NOT NULL, nn_t TIME NOT NULL, nn_s VARCHAR(10) NOT NULL"
         ") CHARACTER SET utf8mb4");
    const std::string common = "'2021-01-01', '10:00:00', 'ok'";
    exec(
        "INSERT INTO every_type VALUES (1, -128, 255, -32768, 65535, -8388608, 16777215,"
        " -2147483648, 4294967295, -9223372036854775808, 18446744073709551615,"
        " -99999999.99, -99999999999999999999999999999999999.999999999999999999999999999999, 99999999.99, 12345,"
        " 3.4028234663852886e38, 123.4567, -1.7976931348623157e308, b'1', b'1010010100001111',"
        " b'1111111111111111111111111111111111111111111111111111111111111111',"
        " '9999-12-31', '1000-01-01 00:00:00', '9999-12-31 23:59:59.999999', '2038-01-19 03:14:07.999', '23:59:59',"
        " '24:00:00.000000', 2155, 'abc', 'caf\xC3\xA9 \xF0\x9F\x98\x80', 'long text', REPEAT('\xC3\xA9t\xC3\xA9 ', 30000),"
        " '{\"k\": [1, 2]}', 'Bin\xC3\xA4r', 'b c', 'x,y', X'00FF0000', X'000102', X'0001FF00',"
        " REPEAT(X'00FF7F80', 50000), POINT(1.5, -2), " +
        common + ")");
    exec("INSERT INTO every_type (id, nn_d, nn_t, nn_s) VALUES (2, '2021-01-01', '10:00:00', '')");
    exec("INSERT INTO every_type VALUES (3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.01, 0.000000000000000000000000000001, 0, 0,"
         " -0e0, -0.0001, 4.9406564584124654e-324, b'0', b'0', b'0',"
         " '0000-00-00', '0000-00-00 00:00:00', '0001-01-01 00:00:00.000001', '1970-01-01 00:00:01', '838:59:59',"
         " '-00:00:01.5', 0, '', '', CONCAT('a', CHAR(0), 'b'), CONCAT(REPEAT('x', 20000), CHAR(0)), 'null', '', 'a',"
         " '', X'00000000', X'', X'', X'', NULL, " +
         common + ")");
    exec("INSERT INTO every_type VALUES (4, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -0.00, 1, 1, -1,"
         " 0.1, 999.9999, 0.1, b'1', b'1', b'1',"
         " '2021-02-30', '2021-00-15 10:00:00', '2024-02-29 23:59:59.999999', NULL, '-838:59:59', '00:00:00.000001',"
         " 1901, 'x', 'tab\\there\\\\', '\\n\\r', 'z', '[]', 'x', 'a', 'x', X'01', X'01', X'01', X'01', POINT(0, 0),"
         " '2021-02-00', '25:00:00', CONCAT('n', CHAR(0)))");
    exec("INSERT INTO every_type VALUES (5, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,"
         " 16777216, 1, 1e300, b'1', b'1', b'1',"
         " '0999-12-31', '2021-12-31 00:00:00', '1000-01-01 00:00:00.5', NULL, '100:00:00', '-00:00:00',"
         " 1970, 'y', 'y', 'y', 'y', 'null', 'y', 'a', 'y', X'02', X'02', X'02', X'02', NULL,"
         " '0000-00-00', '10:00:00', 'ok')");
    exec("SET SESSION sql_mode = DEFAULT");

    auto d = open();
    const std::string sql = "SELECT `id`, `ti`, `tu`, `si`, `su`, `mi`, `mu`, `i`, `iu`, `bi`, `bu`, `d10`, `d65`, "
                            "`du`, `d0`, `f` * 1e0 AS `f`, `h`, `db`, `b1`, `b16`, `b64`, `dt`, `dtm`, `dt6`, `ts`, "
                            "`tm`, `tm6`, `yr`, `ch`, `vc`, `tx`, `lt`, `js`, `tb`, `en`, `st`, `bn`, `vb`, `bl`, "
                            "`lb`, `g`, `nn_d`, `nn_t`, `nn_s` FROM every_type ORDER BY id";
    const std::vector<unsigned> floats = {15}, not_null = {0, 41, 42, 43};
    const read_out text = read_all(*d, *engine, sql, query::protocol::text, floats, not_null);
    const read_out binary = read_all(*d, *engine, sql, query::protocol::binary, floats, not_null);

    ASSERT_EQ(text.rows.size(), 5u);
    ASSERT_EQ(binary.rows.size(), 5u);
    for (std::size_t r = 0; r < 5; ++r) {
        const sql_record& a = text.rows[r];
        const sql_record& b = binary.rows[r];
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(tk_to_utf8(a.refusal()), tk_to_utf8(b.refusal())) << "row " << r + 1;
        for (std::size_t c = 0; c < a.size(); ++c) {
            const std::string at = "row " + std::to_string(r + 1) + ", column " + tk_to_utf8(a[c].name.str());
            EXPECT_EQ(a[c].name.str(), b[c].name.str()) << at;
            EXPECT_EQ(a[c].vartype(), b[c].vartype()) << at;
            EXPECT_EQ(a[c].to_wstring(), b[c].to_wstring()) << at;
            EXPECT_EQ(bits_of(a[c]), bits_of(b[c])) << at;
            EXPECT_EQ(a[c].holds_utf8(), b[c].holds_utf8()) << at;
            if (a[c].vartype() == VT_BSTR || a[c].vartype() == VT_ARRAY_UI1) {
                EXPECT_EQ(a[c].size, b[c].size) << at;
            }
            if (a[c].vartype() == VT_DATE) {
                EXPECT_TRUE(a[c].get_time() == b[c].get_time()) << at;
            }
        }
    }
    EXPECT_EQ(text.reports, binary.reports);
    // The rows that say something: refused in NOT NULL columns, reported elsewhere.
    EXPECT_TRUE(binary.rows[0].refusal().empty());
    EXPECT_TRUE(binary.rows[2].refusal().empty());
    EXPECT_FALSE(binary.rows[3].refusal().empty());
    EXPECT_FALSE(binary.rows[4].refusal().empty());
    EXPECT_GE(binary.reports.size(), 6u);
    EXPECT_EQ(binary.rows[0][31].to_wstring().size(), 4u * 30000u);    // lt: past the column buffer
    EXPECT_EQ(binary.rows[0][39].get_safe_array_size(), 4u * 50000u);  // lb too
    EXPECT_EQ(binary.rows[0][15].to_string(), "3.4028234663852886e+38");
}

TEST_F(SqlBinaryRowsTest, AStatementTheServerRefusesKeepsItsTextAndNumber) {
    exec("CREATE TABLE `" + db + "`.t (a INT)");
    auto d = open();
    try {
        query q(*d, "SELECT nope FROM t", query::protocol::binary);
        FAIL() << "prepared";
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.error_number(), 1054u) << e.what();
        EXPECT_EQ(e.sqlstate(), "42S22");
        EXPECT_NE(e.statement().find("nope"), std::string::npos);
    }
    EXPECT_THROW(query(*d, "DO 1", query::protocol::binary), sql_exception);
    // The connection goes on.
    query q(*d, "SELECT a FROM t", query::protocol::binary);
    query::window win;
    EXPECT_EQ(q.store_to(&win, L"t", 1), 0u);
    EXPECT_TRUE(q.at_end());
}
