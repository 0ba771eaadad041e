// Rows written into a MySQL table through the model's recordset: values byte
// for byte, batches, refused rows, the session's mode, UPDATE.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <limits>

#include "sql/sql_exc.h"
#include "support/own_servers.h"
#include "support/sql_fixture.h"
#include "tk/tk_utils.h"
#include "udb/udb_engi.h"

namespace {

using db_rows = std::vector<std::vector<std::optional<std::string>>>;

udb_record make_record(const std::vector<std::pair<const wchar_t*, ole_variant>>& fields) {
    udb_record r;
    for (const auto& [name, value] : fields) r.emplace(udb_name(name), 0, value, false, false);
    return r;
}

std::string hex(const std::string& bytes) {
    return tk_bin_to_hex(bytes.size(), reinterpret_cast<const unsigned char*>(bytes.data()));
}

ole_variant date(const char* text) { return ole_variant::from_string(text, VT_DATE); }
ole_variant typed(const char* text, VARTYPE vt) { return ole_variant::from_string(text, vt); }

// The engine's row-writing choice for one test.
class fast_insert_scope {
public:
    fast_insert_scope(sql_engine& e, bool fast) : m_engine(e), m_old(e.fast_insert()) { e.set_fast_insert(fast); }
    ~fast_insert_scope() { m_engine.set_fast_insert(m_old); }

private:
    sql_engine& m_engine;
    bool m_old;
};

class SqlRowsTest : public sql_server_test {
protected:
    std::string session_value(sql_database& d, const std::string& what) {
        auto rs = d.query_tmp("SELECT " + what);
        return (*rs->get_item())[0].to_string();
    }
    std::int64_t inserts(sql_database& d) {
        auto rs = d.query_tmp("SHOW SESSION STATUS LIKE 'Com_insert'");
        return std::stoll((*rs->get_item())[1].to_string());
    }
};

// ---- every kind of value, in both ways of inserting and under hostile modes ------------------

struct mode_case {
    bool fast;
    const char* sql_mode;  // the session's own; empty keeps the server's
};

class SqlHostileValuesTest : public SqlRowsTest, public ::testing::WithParamInterface<mode_case> {};

TEST_P(SqlHostileValuesTest, ArriveByteForByte) {
    const mode_case param = GetParam();
    fast_insert_scope fast(*engine, param.fast);
    const auto schema = make_schema({
        {L"id", VT_I4, 11, 0, true, true},
        {L"txt", VT_BSTR, 255},
        {L"big", VT_BSTR, 0},
        {L"bin", VT_BLOB, 0},
        {L"i1", VT_I1},
        {L"u1", VT_UI1},
        {L"i2", VT_I2},
        {L"u2", VT_UI2},
        {L"i4", VT_I4},
        {L"u4", VT_UI4},
        {L"i8", VT_I8, 0, 1},
        {L"u8", VT_UI8, 0, 2},
        {L"r4", VT_R4},
        {L"r8", VT_R8},
        {L"dec", VT_DECIMAL, 0, (65 << 8) | 30},
        {L"cy", VT_CY},
        {L"dt", VT_DATE, 0, 1},
        {L"d", VT_DATE, 0, 2},
        {L"t", VT_DATE, 0, 3},
        {L"b", VT_BOOL},
    });
    udb_indexes keys;
    keys.add(udb_index(L"PRIMARY", true, true, {L"id"}));
    auto d = open();
    if (*param.sql_mode) engine->execute(std::string("SET SESSION sql_mode = '") + param.sql_mode + "'");
    const std::string mode_before = session_value(*d, "@@SESSION.sql_mode");
    udb_database& dest = *d;
    auto rs = dest.create_table(L"vals", *schema, keys);
    udb_recordset& out = *rs;

    const std::wstring txt = L"it's \\ \"q\" `b` ; -- \\' \U0001F600 \u00e9\t\r\n end";
    std::wstring big;
    for (int i = 0; i < 5000; ++i) big += L"\U0001F600'\\\"";
    std::vector<unsigned char> all_bytes(256);
    for (int i = 0; i < 256; ++i) all_bytes[i] = static_cast<unsigned char>(i);
    const std::string dec_max = "99999999999999999999999999999999999.999999999999999999999999999999";
    const std::string dec_min = "-" + dec_max;
    out.append_record(make_record({
        {L"id", ole_variant(0)},  // 0 is a key, not "the next number"
        {L"txt", ole_variant(txt)},
        {L"big", ole_variant(big)},
        {L"bin", ole_variant(all_bytes)},
        {L"i1", ole_variant(static_cast<signed char>(-128))},
        {L"u1", ole_variant(static_cast<unsigned char>(255))},
        {L"i2", ole_variant(static_cast<short>(SHRT_MIN))},
        {L"u2", ole_variant(static_cast<unsigned short>(USHRT_MAX))},
        {L"i4", ole_variant(INT_MIN)},
        {L"u4", ole_variant(UINT_MAX)},
        {L"i8", ole_variant(static_cast<long long>(LLONG_MIN))},
        {L"u8", ole_variant(static_cast<unsigned long long>(ULLONG_MAX))},
        {L"r4", ole_variant(FLT_MAX)},
        {L"r8", ole_variant(DBL_MAX)},
        {L"dec", typed(dec_max.c_str(), VT_DECIMAL)},
        {L"cy", typed("922337203685477.5807", VT_CY)},
        {L"dt", date("2021-02-03 04:05:06.123456")},
        {L"d", date("0001-01-01")},
        {L"t", date("-838:59:59")},
        {L"b", ole_variant(true)},
    }));
    out.append_record(make_record({
        {L"id", ole_variant(1)},
        {L"txt", ole_variant(std::wstring())},  // '' is not NULL
        {L"big", ole_variant()},
        {L"bin", ole_variant(std::vector<unsigned char>{})},
        {L"i1", ole_variant(static_cast<signed char>(127))},
        {L"u1", ole_variant(static_cast<unsigned char>(0))},
        {L"i2", ole_variant(static_cast<short>(SHRT_MAX))},
        {L"u2", ole_variant(static_cast<unsigned short>(0))},
        {L"i4", ole_variant(INT_MAX)},
        {L"u4", ole_variant(0u)},
        {L"i8", ole_variant(static_cast<long long>(LLONG_MAX))},
        {L"u8", ole_variant(0ull)},
        {L"r4", ole_variant(std::numeric_limits<float>::denorm_min())},
        {L"r8", ole_variant(-std::numeric_limits<double>::denorm_min())},
        {L"dec", typed(dec_min.c_str(), VT_DECIMAL)},
        {L"cy", typed("-922337203685477.5808", VT_CY)},
        {L"dt", date("9999-12-31 23:59:59.999999")},
        {L"d", date("9999-12-31")},
        {L"t", date("838:59:59")},
        {L"b", ole_variant(false)},
    }));
    out.append_record(make_record(
        {{L"id", ole_variant(2)}, {L"txt", ole_variant()}, {L"big", ole_variant()}, {L"bin", ole_variant()},
         {L"i1", ole_variant()},  {L"u1", ole_variant()},  {L"i2", ole_variant()},  {L"u2", ole_variant()},
         {L"i4", ole_variant()},  {L"u4", ole_variant()},  {L"i8", ole_variant()},  {L"u8", ole_variant()},
         {L"r4", ole_variant()},  {L"r8", ole_variant()},  {L"dec", ole_variant()}, {L"cy", ole_variant()},
         {L"dt", ole_variant()},  {L"d", ole_variant()},   {L"t", ole_variant()},   {L"b", ole_variant()}}));
    out.complete();
    EXPECT_EQ(out.rec_count(), 3);
    EXPECT_EQ(session_value(*d, "@@SESSION.sql_mode"), mode_before);

    const db_rows got =
        rows("SELECT id, HEX(txt), HEX(big), big IS NULL, HEX(bin), bin IS NULL, i1, u1, i2, u2, i4, u4, i8, u8, "
             "r4 * 1e0 = 3.4028234663852886e+38, r4 * 1e0 = 1.401298464324817e-45, r8 = 1.7976931348623157e308, "
             "r8 = -4.9406564584124654e-324, `dec`, cy, dt, d, t, b + 0 FROM vals ORDER BY id");
    std::string all_hex;
    for (unsigned char c : all_bytes) all_hex += hex(std::string(1, static_cast<char>(c)));
    const db_rows expected = {
        {"0",
         hex(tk_to_utf8(txt)),
         hex(tk_to_utf8(big)),
         "0",
         all_hex,
         "0",
         "-128",
         "255",
         "-32768",
         "65535",
         "-2147483648",
         "4294967295",
         "-9223372036854775808",
         "18446744073709551615",
         "1",
         "0",
         "1",
         "0",
         dec_max,
         "922337203685477.5807",
         "2021-02-03 04:05:06.123456",
         "0001-01-01",
         "-838:59:59.000000",
         "1"},
        {"1",
         "",
         std::nullopt,
         "1",
         "",
         "0",
         "127",
         "0",
         "32767",
         "0",
         "2147483647",
         "0",
         "9223372036854775807",
         "0",
         "0",
         "1",
         "0",
         "1",
         dec_min,
         "-922337203685477.5808",
         "9999-12-31 23:59:59.999999",
         "9999-12-31",
         "838:59:59.000000",
         "0"},
        {"2",          std::nullopt, std::nullopt, "1",          std::nullopt, "1",
         std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
         std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
         std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r)
        for (std::size_t c = 0; c < expected[r].size(); ++c)
            EXPECT_EQ(got[r][c], expected[r][c]) << "row " << r << " column " << c;
}

INSTANTIATE_TEST_SUITE_P(Modes, SqlHostileValuesTest,
                         ::testing::Values(mode_case{true, ""}, mode_case{false, ""},
                                           mode_case{true, "ANSI_QUOTES,NO_BACKSLASH_ESCAPES"},
                                           mode_case{false, "ANSI,NO_BACKSLASH_ESCAPES,EMPTY_STRING_IS_NULL"}),
                         [](const auto& param_info) {
                             return std::string(param_info.param.fast ? "fast" : "slow") +
                                    (*param_info.param.sql_mode ? "_hostile_mode" : "");
                         });

// ---- columns, structure, batches --------------------------------------------------------------

TEST_F(SqlRowsTest, FieldsLandInTheirColumnsWhateverTheRecordsOrder) {
    fast_insert_scope fast(*engine, true);
    const auto schema =
        make_schema({{L"a", VT_I4}, {L"b", VT_BSTR, 10}, {L"c", VT_I4, 0, 0, true, false, ole_variant(L"9")}});
    auto d = open();
    udb_database& dest = *d;
    auto rs = dest.create_table(L"t", *schema, udb_indexes());
    udb_recordset& out = *rs;
    out.append_record(make_record({{L"a", ole_variant(1)}, {L"b", ole_variant(L"one")}, {L"c", ole_variant(10)}}));
    out.append_record(make_record({{L"c", ole_variant(20)}, {L"a", ole_variant(2)}, {L"b", ole_variant(L"two")}}));
    out.append_record(make_record({{L"b", ole_variant(L"three")}, {L"c", ole_variant(30)}, {L"a", ole_variant(3)}}));
    // More fields than columns: the others are left out.
    out.append_record(make_record({{L"a", ole_variant(4)},
                                   {L"x", ole_variant(L"extra")},
                                   {L"b", ole_variant(L"four")},
                                   {L"c", ole_variant(40)}}));
    // Fewer: the rest take their defaults.
    out.append_record(make_record({{L"b", ole_variant(L"five")}}));
    // A NULL in a NOT NULL column with a default: the default stands in.
    out.append_record(make_record({{L"a", ole_variant(6)}, {L"b", ole_variant(L"six")}, {L"c", ole_variant()}}));
    // Names matched exactly: another case does not conform.
    try {
        out.append_record(make_record({{L"A", ole_variant(7)}, {L"b", ole_variant(L"x")}, {L"c", ole_variant(1)}}));
        FAIL();
    } catch (const sql_exception&) {
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.message().rfind("The structure of data source does not conform to the destination table.", 0), 0u);
    }
    EXPECT_THROW(out.append_record(make_record({{L"zz", ole_variant(1)}})), tk_exception);
    // A row its source could not read whole is refused, not stored changed.
    udb_record unreadable = make_record({{L"a", ole_variant(8)}, {L"b", ole_variant()}, {L"c", ole_variant(80)}});
    unreadable.refuse(L"The value of column 'b' cannot be read");
    try {
        out.append_record(unreadable);
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.message(), "The value of column 'b' cannot be read");
    }
    out.complete();
    EXPECT_EQ(out.rec_count(), 6);
    EXPECT_EQ(rows("SELECT a, b, c FROM t ORDER BY b"), (db_rows{{std::nullopt, "five", "9"},
                                                                 {"4", "four", "40"},
                                                                 {"1", "one", "10"},
                                                                 {"6", "six", "9"},
                                                                 {"3", "three", "30"},
                                                                 {"2", "two", "20"}}));
}

TEST_F(SqlRowsTest, KeysKeepApartTextsThatDifferOnlyInCaseAccentsOrTrailingBlanks) {
    // The source's keys held these apart; a case- or pad-insensitive
    // collation would refuse all but one of them as duplicates.
    const auto schema = make_schema({{L"code", VT_BSTR, 10, 0, true}, {L"label", VT_BSTR, 300}});
    udb_indexes keys;
    keys.add(udb_index(L"PRIMARY", true, true, {L"code"}));
    auto d = open();
    udb_database& dest = *d;
    auto parent = dest.create_table(L"parent", *schema, keys);
    auto child = dest.create_table(L"child", *schema, udb_indexes());
    sql_reports reports(*engine);
    const wchar_t* codes[] = {L"a", L"A", L"a ", L"\u00e4", L"\u00c4"};
    for (const wchar_t* code : codes) {
        parent->append_record(make_record({{L"code", ole_variant(code)}, {L"label", ole_variant(code)}}));
        child->append_record(make_record({{L"code", ole_variant(code)}, {L"label", ole_variant(L"x")}}));
    }
    parent->complete();
    child->complete();
    EXPECT_TRUE(reports.entries.empty()) << reports.entries.front().message;
    EXPECT_EQ(value("SELECT GROUP_CONCAT(HEX(code) ORDER BY HEX(code)) FROM parent"), "41,61,6120,C384,C3A4");
    // A foreign key joins text columns of one collation.
    udb_relationships rels;
    udb_relationship fk;
    fk.constraint_name = L"fk_code";
    fk.child_table = L"child";
    fk.parent_table = L"parent";
    fk.child_fields = {L"code"};
    fk.parent_fields = {L"code"};
    rels.push_back(fk);
    dest.create_relationships(rels);
    EXPECT_TRUE(reports.entries.empty()) << reports.entries.front().message;
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = "
                    "DATABASE() AND CONSTRAINT_NAME = 'fk_code'"),
              "1");
    EXPECT_EQ(value("SELECT COUNT(*) FROM child c JOIN parent p ON c.code = p.code"), "5");
}

class SqlRefusedRowsTest : public SqlRowsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SqlRefusedRowsTest, CostOnlyThemselvesAndAreReportedWithTheirNumbers) {
    const bool batches = GetParam();
    fast_insert_scope fast(*engine, batches);
    const auto schema = make_schema({{L"id", VT_I4, 0, 0, true}, {L"name", VT_BSTR, 10, 0, true}});
    udb_indexes keys;
    keys.add(udb_index(L"PRIMARY", true, true, {L"id"}));
    auto d = open();
    udb_database& dest = *d;
    auto rs = dest.create_table(L"t", *schema, keys);
    udb_recordset& out = *rs;
    sql_reports reports(*engine);
    int thrown = 0;
    for (int i = 1; i <= 10; ++i) {
        ole_variant id = ole_variant(i == 7 ? 5 : i);                   // a second 5
        ole_variant name = i == 9 ? ole_variant() : ole_variant(L"n");  // NULL, no default
        if (i == 4) name = ole_variant(L"much too long");
        try {
            out.append_record(make_record({{L"id", id}, {L"name", name}}));
        } catch (const sql_exception& e) {
            EXPECT_FALSE(batches) << e.what();
            ++thrown;
        }
    }
    out.complete();
    EXPECT_EQ(value("SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "1,2,3,5,6,8,10");
    EXPECT_EQ(out.rec_count(), 7);
    if (!batches) {
        EXPECT_EQ(thrown, 3);
        EXPECT_TRUE(reports.entries.empty());
        return;
    }
    ASSERT_EQ(reports.entries.size(), 3u);
    const struct {
        const wchar_t* context;
        int error;
    } expected[] = {{L"t, record #4", 1406}, {L"t, record #7", 1062}, {L"t, record #9", 1048}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reports.entries[i].context, expected[i].context);
        EXPECT_EQ(reports.entries[i].code, sql_exception::code_base + expected[i].error) << reports.entries[i].message;
        EXPECT_EQ(reports.entries[i].level, 0);
        EXPECT_NE(reports.entries[i].message.find("Statement: INSERT INTO"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, SqlRefusedRowsTest, ::testing::Values(true, false),
                         [](const auto& param_info) { return std::string(param_info.param ? "batches" : "single"); });

TEST_F(SqlRowsTest, ATableWithoutTransactionsGetsOneStatementARow) {
    // A refused multi-row INSERT may leave its first rows in such a table:
    // sending them again would store them twice.
    fast_insert_scope fast(*engine, true);
    exec("CREATE TABLE `" + db + "`.m (id INT PRIMARY KEY) ENGINE=MyISAM");
    auto d = open(udb_database::append_mode);
    auto rs = d->create_table(L"m", udb_schema(), udb_indexes());
    sql_reports reports(*engine);
    const std::int64_t before = inserts(*d);
    for (int id : {1, 2, 2, 3}) {
        try {
            rs->append_record(make_record({{L"id", ole_variant(id)}}));
        } catch (const sql_exception& e) {
            EXPECT_EQ(e.error_number(), 1062u);
        }
    }
    rs->complete();
    EXPECT_EQ(inserts(*d) - before, 4);
    EXPECT_EQ(value("SELECT GROUP_CONCAT(id ORDER BY id) FROM m"), "1,2,3");
}

TEST_F(SqlRowsTest, BatchesStayWithinAMillionBytesAndABigRowGoesAlone) {
    fast_insert_scope fast(*engine, true);
    const auto schema = make_schema({{L"id", VT_I4}, {L"txt", VT_BSTR, 0}});
    auto d = open();
    auto rs = d->create_table(L"t", *schema, udb_indexes());
    const std::int64_t before = inserts(*d);
    const std::wstring row_text(300000, L'x');
    for (int i = 1; i <= 7; ++i)
        rs->append_record(make_record({{L"id", ole_variant(i)}, {L"txt", ole_variant(row_text)}}));
    // Three rows fill a batch; the fourth would cross 1,000,000 bytes.
    EXPECT_EQ(inserts(*d) - before, 2);
    rs->append_record(make_record({{L"id", ole_variant(8)}, {L"txt", ole_variant(std::wstring(1500000, L'y'))}}));
    EXPECT_EQ(inserts(*d) - before, 4);  // the pending row, then the big one on its own
    rs->append_record(make_record({{L"id", ole_variant(9)}, {L"txt", ole_variant(L"z")}}));
    EXPECT_EQ(inserts(*d) - before, 4);  // nothing is sent before it must be
    rs->complete();
    EXPECT_EQ(inserts(*d) - before, 5);
    EXPECT_EQ(rows("SELECT COUNT(*), SUM(LENGTH(txt)) FROM t"), (db_rows{{"9", "3600001"}}));
}

TEST_F(SqlRowsTest, RowsNotCompletedAreDiscardedAndTheSessionGetsItsModeBack) {
    fast_insert_scope fast(*engine, true);
    const auto schema = make_schema({{L"id", VT_I4}});
    auto d = open();
    engine->execute("SET SESSION sql_mode = 'ANSI_QUOTES'");
    {
        auto rs = d->create_table(L"t", *schema, udb_indexes());
        rs->append_record(make_record({{L"id", ole_variant(1)}}));
        EXPECT_NE(session_value(*d, "@@SESSION.sql_mode").find("NO_AUTO_VALUE_ON_ZERO"), std::string::npos);
    }  // deleted without complete(): nothing is sent, nothing thrown
    EXPECT_EQ(value("SELECT COUNT(*) FROM t"), "0");
    EXPECT_EQ(session_value(*d, "@@SESSION.sql_mode"), "ANSI_QUOTES");
}

TEST_F(SqlRowsTest, TextOfFourByteCharactersFillsItsBand) {
    const auto schema = make_schema({{L"txt", VT_BSTR, 20000}});
    auto d = open();
    auto rs = d->create_table(L"t", *schema, udb_indexes());
    std::wstring text;
    for (int i = 0; i < 20000; ++i) text += (i % 2) ? L'\U0001F600' : L'\u26A1';
    rs->append_record(make_record({{L"txt", ole_variant(text)}}));
    rs->complete();
    EXPECT_EQ(rows("SELECT CHAR_LENGTH(txt), HEX(txt) = " + std::string("'") + hex(tk_to_utf8(text)) + "' FROM t"),
              (db_rows{{"20000", "1"}}));
}

// ---- update ------------------------------------------------------------------------------------

TEST_F(SqlRowsTest, UpdateChangesTheRowItsKeyNames) {
    exec("CREATE TABLE `" + db + "`.t (id INT PRIMARY KEY, name VARCHAR(10), n INT, u INT UNIQUE)");
    exec("INSERT INTO `" + db + "`.t VALUES (1, 'a', 1, 1), (2, 'b', 2, 2)");
    exec("CREATE TABLE `" + db + "`.nk (k INT NULL UNIQUE, v INT)");
    exec("INSERT INTO `" + db + "`.nk VALUES (NULL, 1), (3, 3)");
    exec("CREATE TABLE `" + db + "`.nokey (v INT)");
    exec("INSERT INTO `" + db + "`.nokey VALUES (1)");
    auto d = open(udb_database::append_mode);
    udb_database& dest = *d;
    auto rs = dest.create_table(L"t", udb_schema(), udb_indexes());
    udb_recordset& t = *rs;
    t.update(make_record({{L"id", ole_variant(2)}, {L"name", ole_variant(L"it's")}, {L"other", ole_variant(5)}}));
    t.update(make_record({{L"id", ole_variant(1)}}));            // nothing to set: nothing sent
    t.update(make_record({{L"name", ole_variant(L"no key")}}));  // no key value: nothing sent
    try {
        t.update(make_record({{L"id", ole_variant(1)}, {L"u", ole_variant(2)}}));  // the server refuses
        FAIL();
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.error_number(), 1062u);
        EXPECT_EQ(e.level(), 0);
    }
    EXPECT_EQ(rows("SELECT id, name, n, u FROM t ORDER BY id"),
              (db_rows{{"1", "a", "1", "1"}, {"2", "it's", "2", "2"}}));

    auto nk = dest.create_table(L"nk", udb_schema(), udb_indexes());
    nk->update(make_record({{L"k", ole_variant()}, {L"v", ole_variant(5)}}));  // a NULL key matches NULL
    EXPECT_EQ(rows("SELECT k, v FROM nk ORDER BY v"), (db_rows{{"3", "3"}, {std::nullopt, "5"}}));

    auto nokey = dest.create_table(L"nokey", udb_schema(), udb_indexes());
    nokey->update(make_record({{L"v", ole_variant(9)}}));
    EXPECT_EQ(value("SELECT v FROM nokey"), "1");
}

// ---- a server that takes small statements only ----------------------------------------------------

TEST(SqlRowsSmallPackets, ARowLargerThanTheServerTakesIsItsOwnErrorAndTheOthersArrive) {
    sql_engine& e = sql_test_engine();
    // Back to the shared server once this test's own pair is gone.
    struct reconnect {
        sql_engine& e;
        ~reconnect() { sql_test_connect(e); }
    } back{e};
    own_servers servers("--max-allowed-packet=1M");
    sql_test_connect(e);
    fast_insert_scope fast(e, true);
    udb_engine& server = e;
    auto d = server.create_db(L"w");
    const auto schema = make_schema({{L"id", VT_I4}, {L"txt", VT_BSTR, 0}});
    auto rs = d->create_table(L"t", *schema, udb_indexes());
    sql_reports reports(e);
    rs->append_record(make_record({{L"id", ole_variant(1)}, {L"txt", ole_variant(L"a")}}));
    try {
        rs->append_record(make_record({{L"id", ole_variant(2)}, {L"txt", ole_variant(std::wstring(1100000, L'b'))}}));
        FAIL() << "a row beyond max_allowed_packet was taken";
    } catch (const sql_exception& ex) {
        FAIL() << ex.what();
    } catch (const tk_exception& ex) {
        EXPECT_EQ(ex.level(), 0);
        EXPECT_NE(ex.message().find("max_allowed_packet"), std::string::npos) << ex.message();
    }
    // Just below the server's limit: on its own.
    rs->append_record(make_record({{L"id", ole_variant(3)}, {L"txt", ole_variant(std::wstring(1046000, L'c'))}}));
    rs->append_record(make_record({{L"id", ole_variant(4)}, {L"txt", ole_variant(L"d")}}));
    rs->complete();
    EXPECT_TRUE(reports.entries.empty());
    EXPECT_EQ(rs->rec_count(), 3);
    auto check = d->query_rs(L"SELECT GROUP_CONCAT(id ORDER BY id), SUM(LENGTH(txt)) FROM t");
    EXPECT_EQ((*check->get_item())[0].to_string(), "1,3,4");
    EXPECT_EQ((*check->get_item())[1].to_string(), "1046002");
}

}  // namespace
