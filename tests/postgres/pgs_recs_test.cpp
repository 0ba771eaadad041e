// The COPY writer against the real server: every value read back by another
// session, visibility at the end of the table, refused rows, rollback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "postgres/pgs_exc.h"
#include "postgres/pgs_fixture.h"
#include "postgres/pgs_recs.h"
#include "support/systemtime.h"
#include "tk/tk_exc.h"
#include "udb/udb_idx.h"
#include "variant/ole_var.h"

class PgsCopyTest : public pgs_db_test {
protected:
    std::string state_of_engine() {
        const int pid = m_engine->connection().backendpid();
        const auto r = peer("SELECT state, query FROM pg_stat_activity WHERE pid = " + std::to_string(pid));
        return r.empty() ? "?" : std::string(r[0][0].c_str()) + "|" + r[0][1].c_str();
    }
    // A two-column table t(id INTEGER, s TEXT NOT NULL).
    std::unique_ptr<udb_recordset> simple_table(const std::wstring& name, udb_schema& s) {
        s.add(column(L"id", VT_I4));
        s.add(column(L"s", VT_BSTR, 0, true));
        return m_db->create_table(name, s, udb_indexes());
    }
};

TEST_F(PgsCopyTest, every_value_arrives_unchanged) {
    udb_schema s;
    s.add(column(L"id", VT_I4, 0, true));
    s.add(column(L"txt_nn", VT_BSTR, 100, true));
    s.add(column(L"txt", VT_BSTR, 0));
    s.add(column(L"bin", 65));
    s.add(column(L"tm", VT_DATE, 0, false, 3));
    s.add(column(L"dt", VT_DATE, 0, false, 2));
    s.add(column(L"ts", VT_DATE, 0, false, 0));
    s.add(column(L"dbl", VT_R8));
    s.add(column(L"u8", VT_UI8));
    s.add(column(L"dec", VT_DECIMAL, 0, false, (65u << 8) | 30u));
    auto rs = m_db->create_table(L"RoundTrip", s, udb_indexes());
    const udb_schema& d = rs->schema();
    ASSERT_EQ(d.size(), 10u);

    const std::wstring texts[] = {L"a\tb",   L"a\nb",   L"a\rb",       L"a\\b", L"\\N",
                                  L"\u00e9", L"\u4e2d", L"\U0001F600", L"",     L"x\\\t\n\r\\Ny"};
    const std::string utf8[] = {
        "a\tb", "a\nb", "a\rb", "a\\b", "\\N", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "", "x\\\t\n\r\\Ny"};
    int id = 0;
    for (const auto& t : texts) {
        rs->append_record(record_of(d, {ole_variant(id++), ole_variant(t), ole_variant(t), ole_variant(), ole_variant(),
                                        ole_variant(), ole_variant(), ole_variant(), ole_variant(), ole_variant()}));
    }
    const std::string max_dec = std::string(35, '9') + "." + std::string(30, '9');
    const std::string min_dec = "-" + max_dec;
    const std::string tiny_dec = "0." + std::string(29, '0') + "1";
    plat_systemtime tm{};
    tm.hour = 13;
    tm.minute = 14;
    tm.second = 15;
    tm.microsecond = 250000;
    rs->append_record(
        record_of(d, {ole_variant(100), ole_variant(L""), ole_variant::make_null(),
                      ole_variant(std::vector<unsigned char>{0x00, 0x01, 0xFF, 0x00}), ole_variant(tm),
                      ole_variant(st(2024, 2, 29, 0, 0, 0)), ole_variant(st(1999, 12, 31, 23, 59, 59, 123456)),
                      ole_variant(1.2345678901234567e300), ole_variant(18446744073709551615ull),
                      ole_variant::from_string(max_dec, VT_DECIMAL)}));
    rs->append_record(
        record_of(d, {ole_variant(101), ole_variant(L"z"), ole_variant(), ole_variant(std::vector<unsigned char>{}),
                      ole_variant(st(0, 0, 0, 0, 0, 0)), ole_variant(st(1, 1, 1, 0, 0, 0)),
                      ole_variant(st(9999, 12, 31, 23, 59, 59, 999999)), ole_variant(-2.2250738585072014e-308),
                      ole_variant(0ull), ole_variant::from_string(min_dec, VT_DECIMAL)}));
    rs->append_record(
        record_of(d, {ole_variant(102), ole_variant(L"z"), ole_variant(), ole_variant(), ole_variant(), ole_variant(),
                      ole_variant(), ole_variant(), ole_variant(), ole_variant::from_string(tiny_dec, VT_DECIMAL)}));
    rs->complete();

    const auto r = peer("SELECT id, txt_nn, txt, encode(bin, 'hex'), tm::text, dt::text, ts::text, dbl::text, "
                        "u8::text, dec::text, bin IS NULL FROM roundtrip ORDER BY id");
    ASSERT_EQ(r.size(), 13u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(r[i][1].c_str(), utf8[i]) << i;
        ASSERT_FALSE(r[i][2].is_null()) << i;  // '' stays '', never NULL
        EXPECT_EQ(r[i][2].c_str(), utf8[i]) << i;
        for (int c = 3; c <= 9; ++c) EXPECT_TRUE(r[i][c].is_null()) << i << "," << c;
    }
    const auto& a = r[10];
    EXPECT_EQ(std::string(a[1].c_str()), "");
    EXPECT_TRUE(a[2].is_null());
    EXPECT_EQ(std::string(a[3].c_str()), "0001ff00");
    EXPECT_EQ(std::string(a[4].c_str()), "13:14:15.25");
    EXPECT_EQ(std::string(a[5].c_str()), "2024-02-29");
    EXPECT_EQ(std::string(a[6].c_str()), "1999-12-31 23:59:59.123456");
    EXPECT_EQ(std::string(a[7].c_str()), "1.2345678901234567e+300");
    EXPECT_EQ(std::string(a[8].c_str()), "18446744073709551615");
    EXPECT_EQ(std::string(a[9].c_str()), max_dec);
    const auto& b = r[11];
    EXPECT_EQ(std::string(b[3].c_str()), "");  // an empty bytea, not NULL
    EXPECT_EQ(std::string(b[10].c_str()), "f");
    EXPECT_EQ(std::string(b[4].c_str()), "00:00:00");
    EXPECT_EQ(std::string(b[5].c_str()), "0001-01-01");
    EXPECT_EQ(std::string(b[6].c_str()), "9999-12-31 23:59:59.999999");
    EXPECT_EQ(std::string(b[7].c_str()), "-2.2250738585072014e-308");
    EXPECT_EQ(std::string(b[8].c_str()), "0");
    EXPECT_EQ(std::string(b[9].c_str()), min_dec);
    EXPECT_EQ(std::string(r[12][9].c_str()), tiny_dec);
}

TEST_F(PgsCopyTest, rows_show_only_when_the_table_is_complete) {
    udb_schema s;
    auto rs = simple_table(L"Order", s);  // a reserved word, folded and quoted
    // Opened, nothing appended: no transaction, no COPY.
    EXPECT_EQ(state_of_engine().substr(0, 5), "idle|");
    const std::wstring long_text(200, L'x');
    const int n = 2000;  // several batches
    for (int i = 0; i < n; ++i) rs->append_record(record_of(rs->schema(), {ole_variant(i), ole_variant(long_text)}));
    EXPECT_NE(state_of_engine().find("COPY"), std::string::npos);
    EXPECT_EQ(peer_count("\"order\""), 0);
    rs->complete();
    EXPECT_EQ(peer_count("\"order\""), n);
    EXPECT_EQ(state_of_engine().substr(0, 5), "idle|");
    rs.reset();
    EXPECT_EQ(peer_count("\"order\""), n);
}

TEST_F(PgsCopyTest, table_without_rows_opens_nothing) {
    udb_schema s;
    auto rs = simple_table(L"empty", s);
    const std::string before = state_of_engine();
    rs->complete();
    rs.reset();
    EXPECT_EQ(state_of_engine(), before);  // no COPY statement ran on the connection
    EXPECT_EQ(peer_count("empty"), 0);
}

TEST_F(PgsCopyTest, refused_row_fails_the_table_at_complete_and_keeps_none) {
    udb_schema s;
    auto rs = simple_table(L"refused", s);
    rs->append_record(record_of(rs->schema(), {ole_variant(1), ole_variant(L"ok")}));
    rs->append_record(record_of(rs->schema(), {ole_variant(2), ole_variant()}));  // NULL into NOT NULL
    rs->append_record(record_of(rs->schema(), {ole_variant(3), ole_variant(L"ok")}));
    try {
        rs->complete();
        FAIL() << "complete succeeded";
    } catch (const pgs_exception& e) {
        EXPECT_NE(std::string(e.what()).find("null value"), std::string::npos) << e.what();
        EXPECT_EQ(e.level(), 0);
    }
    // A broken load takes no further rows and never commits.
    EXPECT_THROW(rs->append_record(record_of(rs->schema(), {ole_variant(4), ole_variant(L"ok")})), tk_exception);
    EXPECT_THROW(rs->complete(), tk_exception);
    rs.reset();
    EXPECT_EQ(peer_count("refused"), 0);
    // The connection goes on with the next table.
    udb_schema s2;
    auto next = simple_table(L"after", s2);
    next->append_record(record_of(next->schema(), {ole_variant(1), ole_variant(L"ok")}));
    next->complete();
    EXPECT_EQ(peer_count("after"), 1);
}

// A load that fails as a whole says why: the server's SQLSTATE and the
// statement, or the lost connection; and it is no row error.
TEST_F(PgsCopyTest, a_failed_load_keeps_its_cause) {
    udb_schema s;
    auto made = simple_table(L"gone", s);
    made->complete();
    made.reset();
    auto rs = m_db->get_table(L"gone", 0);
    peer("DROP TABLE gone");
    try {
        rs->append_record(record_of(rs->schema(), {ole_variant(1), ole_variant(L"a")}));
        FAIL() << "a COPY into a dropped table opened";
    } catch (const pgs_exception& e) {
        FAIL() << "a row error: " << e.what();
    } catch (const pgs_load_failure& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.cause().sqlstate, "42P01") << e.what();
        EXPECT_NE(e.cause().statement.find("COPY"), std::string::npos) << e.cause().statement;
        EXPECT_FALSE(e.cause().connection_lost);
    }
    rs.reset();

    udb_schema s2;
    auto load = simple_table(L"cut_off", s2);
    load->append_record(record_of(load->schema(), {ole_variant(1), ole_variant(L"a")}));
    peer("SELECT pg_terminate_backend(" + std::to_string(m_engine->connection().backendpid()) + ")");
    try {
        // Enough lines for several batches: one of them meets the closed connection.
        for (int i = 2; i < 20000; ++i)
            load->append_record(record_of(load->schema(), {ole_variant(i), ole_variant(std::wstring(40, L'x'))}));
        load->complete();
        FAIL() << "the load went on without its connection";
    } catch (const pgs_load_failure& e) {
        EXPECT_TRUE(e.cause().connection_lost || e.cause().sqlstate == "57P01") << e.what();
    } catch (const pgs_exception& e) {
        // The end of the COPY met the closed connection.
        EXPECT_TRUE(e.connection_lost() || e.sqlstate() == "57P01") << e.what();
    }
}

TEST_F(PgsCopyTest, delete_without_complete_rolls_back) {
    udb_schema s;
    auto rs = simple_table(L"dropped_load", s);
    for (int i = 0; i < 10; ++i) rs->append_record(record_of(rs->schema(), {ole_variant(i), ole_variant(L"v")}));
    EXPECT_NO_THROW(rs.reset());
    EXPECT_EQ(peer_count("dropped_load"), 0);
    EXPECT_EQ(state_of_engine().substr(0, 5), "idle|");
}

TEST_F(PgsCopyTest, record_shape_and_value_errors) {
    udb_schema s;
    auto rs = simple_table(L"shape", s);
    // Extra fields are ignored.
    rs->append_record(record_of(rs->schema(), {ole_variant(1), ole_variant(L"a"), ole_variant(L"extra")}));
    // A time PostgreSQL TIME cannot hold: this row is refused, the others go.
    plat_systemtime big{};
    big.hour = 100;
    EXPECT_THROW(rs->append_record(record_of(rs->schema(), {ole_variant(2), ole_variant(big)})), pgs_exception);
    rs->append_record(record_of(rs->schema(), {ole_variant(3), ole_variant(L"c")}));
    // A record its source refused: this row alone, with the source's reason,
    // before anything is sent (here the empty value would fail the NOT NULL).
    udb_record refused = record_of(rs->schema(), {ole_variant(5), ole_variant()});
    refused.refuse(L"The text of column 's' could not be read");
    try {
        rs->append_record(refused);
        FAIL();
    } catch (const pgs_exception& e) {
        EXPECT_EQ(e.message(), "The text of column 's' could not be read");
    }
    rs->append_record(record_of(rs->schema(), {ole_variant(6), ole_variant(L"f")}));
    // A record shorter than the table is no row of it.
    udb_record short_rec(1);
    short_rec.emplace(rs->schema()[0]->name, 0, ole_variant(4), false, false);
    try {
        rs->append_record(short_rec);
        FAIL();
    } catch (const pgs_exception&) {
        FAIL() << "must not be a per-row error";
    } catch (const tk_exception&) {}
    rs->complete();
    const auto r = peer("SELECT id, s FROM shape ORDER BY id");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(std::string(r[0][1].c_str()), "a");
    EXPECT_EQ(r[1][0].as<int>(), 3);
    EXPECT_EQ(r[2][0].as<int>(), 6);
}

TEST_F(PgsCopyTest, merge_appends_to_the_existing_table) {
    udb_schema s;
    {
        auto rs = simple_table(L"Merged", s);
        rs->append_record(record_of(rs->schema(), {ole_variant(1), ole_variant(L"first")}));
        rs->complete();
    }
    reopen();
    ASSERT_TRUE(m_db->is_table_exist(L"Merged"));
    udb_schema other;
    other.add(column(L"different", VT_I4));
    auto rs = m_db->create_table(L"Merged", other, udb_indexes());  // no CREATE: the existing table
    EXPECT_EQ(rs->rec_count(), 1);
    ASSERT_EQ(rs->schema().size(), 2u);
    EXPECT_EQ(rs->schema()[1]->name.str(), L"s");
    EXPECT_TRUE(rs->schema()[1]->b_not_null);
    rs->append_record(record_of(rs->schema(), {ole_variant(2), ole_variant(L"second")}));
    rs->complete();
    EXPECT_EQ(peer_count("merged"), 2);
}
