// COPY's binary rows against its text lines: the same values loaded both ways
// into tables of every column type this system makes, and read back by
// another session as PostgreSQL's own text of each column. Whatever the text
// lines refuse as a row error, the binary rows refuse the same way.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "postgres/pgs_cbin.h"
#include "postgres/pgs_exc.h"
#include "postgres/pgs_fixture.h"
#include "postgres/pgs_recs.h"
#include "support/systemtime.h"
#include "tk/tk_exc.h"
#include "udb/udb_idx.h"
#include "variant/ole_var.h"

namespace {

plat_systemtime time_of(unsigned h, unsigned mi, unsigned s, unsigned us = 0) { return st(0, 0, 0, h, mi, s, us); }

ole_variant utf8(std::string_view s) {
    ole_variant v;
    v.attach_utf8(s);
    return v;
}

ole_variant dec(const char* text) { return ole_variant::from_string(text, VT_DECIMAL); }

ole_variant bytes_0_to_255() {
    std::vector<unsigned char> b(256);
    for (int i = 0; i < 256; ++i) b[std::size_t(i)] = static_cast<unsigned char>(i);
    return ole_variant(b);
}

}  // namespace

class PgsBinaryCopyTest : public pgs_db_test {
protected:
    // A new table named `name`, either as created here (loaded in binary) or
    // as an existing table opened for appending (loaded as text).
    std::unique_ptr<udb_recordset> open_for_loading(const std::wstring& name, const udb_schema& s, bool binary) {
        auto made = m_db->create_table(name, s, udb_indexes());
        if (binary) return made;
        made->complete();
        made.reset();
        return m_db->get_table(name, 0);
    }

    // Loads the rows into a new table named `name`, in binary or as text.
    void load(const std::wstring& name, const udb_schema& s, const std::vector<std::vector<ole_variant>>& rows,
              bool binary) {
        auto rs = open_for_loading(name, s, binary);
        for (const auto& values : rows) rs->append_record(record_of(rs->schema(), values));
        EXPECT_EQ(static_cast<pgs_recordset&>(*rs).copies_binary(), binary);
        rs->complete();
    }

    // Every column of the table as PostgreSQL prints it, row by row.
    std::vector<std::vector<std::string>> read_back(const std::string& table, std::size_t columns) {
        std::string select = "SELECT ";
        for (std::size_t i = 0; i < columns; ++i) select += (i ? ", c" : "c") + std::to_string(i) + "::text";
        const pqxx::result r = peer(select + " FROM " + table + " ORDER BY c0");
        std::vector<std::vector<std::string>> out;
        for (const auto& row : r) {
            std::vector<std::string> cells;
            for (const auto& f : row) cells.push_back(f.is_null() ? "<NULL>" : f.c_str());
            out.push_back(std::move(cells));
        }
        return out;
    }
};

TEST_F(PgsBinaryCopyTest, every_column_type_reads_back_as_its_text_load_does) {
    // One column of each type the CREATE TABLE builder makes (c0 orders the rows).
    udb_schema s;
    const struct {
        std::uint16_t vt;
        std::uint32_t size, reserved;
    } columns[] = {
        {VT_I4, 0, 0},                      // c0 integer
        {VT_I1, 0, 0},                      // c1 smallint
        {VT_UI1, 0, 0},                     // c2 smallint
        {VT_I2, 0, 0},                      // c3 smallint
        {VT_UI2, 0, 0},                     // c4 integer
        {VT_UI4, 0, 0},                     // c5 bigint
        {VT_I8, 0, 0},                      // c6 bigint
        {VT_UI8, 0, 0},                     // c7 numeric(20)
        {VT_R4, 0, 0},                      // c8 FLOAT: double precision
        {VT_R8, 0, 0},                      // c9 double precision
        {VT_CY, 0, 0},                      // c10 numeric(19,4)
        {VT_DECIMAL, 0, (65u << 8) | 30u},  // c11 numeric(65,30)
        {VT_DECIMAL, 0, (10u << 8) | 2u},   // c12 numeric(10,2)
        {VT_DECIMAL, 0, 0},                 // c13 numeric
        {VT_DATE, 0, 1},                    // c14 timestamp
        {VT_DATE, 0, 2},                    // c15 date
        {VT_DATE, 0, 3},                    // c16 time
        {VT_BSTR, 5, 0},                    // c17 varchar(5)
        {VT_BSTR, 0, 0},                    // c18 text
        {VT_BOOL, 0, 0},                    // c19 char(1)
        {VT_BLOB, 0, 0},                    // c20 bytea
    };
    const std::size_t n = std::size(columns);
    for (std::size_t i = 0; i < n; ++i) {
        const std::wstring name = L"c" + std::to_wstring(i);
        s.add(column(name.c_str(), columns[i].vt, columns[i].size, false, columns[i].reserved));
    }
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const float fnan = std::numeric_limits<float>::quiet_NaN(), finf = std::numeric_limits<float>::infinity();
    const std::string max65 = std::string(35, '9') + "." + std::string(30, '9');
    using V = ole_variant;
    std::vector<std::vector<V>> rows = {
        {V(1),
         V(static_cast<signed char>(-128)),
         V(static_cast<unsigned char>(255)),
         V(short(-32768)),
         V(static_cast<unsigned short>(65535)),
         V(4294967295u),
         V(std::numeric_limits<long long>::min()),
         V(18446744073709551615ull),
         V(0.1f),
         V(0.1),
         V(pf_currency{-9223372036854775807LL - 1}),
         dec(("-" + max65).c_str()),
         dec("12.5"),
         dec("123456789012345678901234567890.123456789"),
         V(st(1, 1, 1, 0, 0, 0, 1)),
         V(st(1, 1, 1)),
         V(time_of(0, 0, 0)),
         V(L"abcde"),
         V(L""),
         V(true),
         V()},
        {V(2),
         V(static_cast<signed char>(127)),
         V(static_cast<unsigned char>(0)),
         V(short(32767)),
         V(static_cast<unsigned short>(0)),
         V(0u),
         V(std::numeric_limits<long long>::max()),
         V(0ull),
         V(-0.0f),
         V(-0.0),
         V(pf_currency{9223372036854775807LL}),
         dec(max65.c_str()),
         dec("1.005"),
         dec("0.0000001"),
         V(st(9999, 12, 31, 23, 59, 59, 999999)),
         V(st(9999, 12, 31)),
         V(time_of(23, 59, 59, 999999)),
         utf8("\xC3\xA9t\xC3\xA9!"),
         utf8("tab\there\\ line\nfeed\rcr"),
         V(false),
         V(std::vector<unsigned char>{})},
        {V(3),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(fnan),
         V(nan),
         V(pf_currency{125000}),
         dec(("0." + std::string(29, '0') + "1").c_str()),
         dec("-0.00"),
         dec("-5"),
         V(st(2000, 1, 1)),
         V(st(2000, 1, 1, 10, 11, 12)),
         V(time_of(24, 0, 0)),
         V(L"\u4e2d\U0001F600"),
         V(L"wide \u00e9 text"),
         V(),
         bytes_0_to_255()},
        {V(4),
         V(static_cast<signed char>(0)),
         V(static_cast<unsigned char>(1)),
         V(short(0)),
         V(static_cast<unsigned short>(1)),
         V(1u),
         V(0LL),
         V(1ull),
         V(finf),
         V(-inf),
         V(pf_currency{0}),
         dec("0"),
         dec("-99999999.99"),
         dec("1e-5"),
         V(st(1999, 12, 31, 23, 59, 59, 999999)),
         V(st(2024, 2, 29)),
         V(st(2021, 6, 30, 12, 34, 56, 500000)),
         V(),
         V(),
         V(true),
         V(std::vector<unsigned char>{0, 0, 0})},
        {V(5),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(-finf),
         V(inf),
         V(),
         dec("0.5"),
         dec("0.001"),
         V(1.2345e2),
         V(st(1970, 1, 1, 0, 0, 0, 0)),
         V(st(1900, 3, 1)),
         V(time_of(12, 0, 0, 1)),
         V(),
         V(),
         V(),
         V()},
        {V(6),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(FLT_MAX),
         V(DBL_MAX),
         V(),
         V(),
         dec("99999999.994"),
         V(2.5f),
         V(st(2000, 1, 1, 0, 0, 0, 0)),
         V(st(1999, 12, 31)),
         V(),
         V(),
         V(),
         V(),
         V()},
        {V(7),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(std::nextafter(0.0f, 1.0f)),
         V(std::nextafter(0.0, 1.0)),
         V(),
         V(),
         V(),
         V(18446744073709551615ull),
         V(),
         V(),
         V(),
         V(),
         V(),
         V(),
         V()},
        {V(8), V(), V(),     V(), V(), V(), V(), V(), V(1.2345678f), V(-DBL_MIN), V(),
         V(),  V(), V(-7LL), V(), V(), V(), V(), V(), V(),           V()},
    };
    load(L"by_text", s, rows, false);
    load(L"by_binary", s, rows, true);
    const auto text = read_back("by_text", n);
    const auto binary = read_back("by_binary", n);
    ASSERT_EQ(text.size(), rows.size());
    ASSERT_EQ(binary.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < n; ++c) EXPECT_EQ(binary[r][c], text[r][c]) << "row " << r + 1 << ", c" << c;
    // A few the server's text must show exactly.
    EXPECT_EQ(binary[0][7], "18446744073709551615");
    EXPECT_EQ(binary[1][12], "1.01");  // rounded to the column's scale by the server
    EXPECT_EQ(binary[2][16], "24:00:00");
    EXPECT_EQ(binary[2][9], "NaN");
    EXPECT_EQ(binary[1][9], "-0");
    EXPECT_EQ(binary[0][18], "");  // '' stays '', never NULL
    EXPECT_EQ(binary[0][20], "<NULL>");
    EXPECT_EQ(binary[1][20], "\\x");
    EXPECT_EQ(binary[2][20].size(), 2u + 512u);
}

// Cells larger than a batch are sent from the value itself in slices: they
// arrive whole and the same in both formats, the rows around them too.
TEST_F(PgsBinaryCopyTest, large_cells_arrive_whole_in_both_formats) {
    udb_schema s;
    s.add(column(L"c0", VT_I4));
    s.add(column(L"c1", VT_BSTR));
    s.add(column(L"c2", VT_BSTR));
    s.add(column(L"c3", VT_BLOB));
    std::string text;
    while (text.size() < 300000) text += "r\xC3\xA9sum\xC3\xA9\t\\n\n\r \xF0\x9F\x98\x80|";
    std::wstring wide;
    while (wide.size() < 200000) wide += L"wide \u00e9\t\\ \U0001F600\n";
    std::vector<unsigned char> bytes(700001);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 256);
    const std::vector<std::vector<ole_variant>> rows = {
        {ole_variant(1), ole_variant(L"small"), ole_variant(), ole_variant()},
        {ole_variant(2), utf8(text), ole_variant(wide), ole_variant(bytes)},
        {ole_variant(3), ole_variant(L"after"), utf8("x"), ole_variant(std::vector<unsigned char>{1})},
    };
    load(L"big_text", s, rows, false);
    load(L"big_binary", s, rows, true);
    const std::string q = "SELECT c0, md5(c1), length(c1), md5(c2), length(c2), md5(c3), length(c3) FROM ";
    const auto a = peer(q + "big_text ORDER BY c0");
    const auto b = peer(q + "big_binary ORDER BY c0");
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 3u);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(std::string(a[r][c].is_null() ? "<NULL>" : a[r][c].c_str()),
                      std::string(b[r][c].is_null() ? "<NULL>" : b[r][c].c_str()))
                << r << "," << c;
    EXPECT_EQ(b[1][6].as<std::size_t>(), bytes.size());
    EXPECT_EQ(b[1][4].as<std::size_t>(), wide.size());
    EXPECT_EQ(peer("SELECT c1 = " + std::string("convert_from(decode('") +
                   [&] {
                       std::string hex;
                       for (unsigned char c : text) {
                           const char* d = "0123456789abcdef";
                           hex += d[c >> 4];
                           hex += d[c & 15];
                       }
                       return hex;
                   }() +
                   "', 'hex'), 'UTF8') FROM big_binary WHERE c0 = 2")[0][0]
                  .c_str(),
              std::string("t"));
}

// The rows the text lines refuse are refused alone in binary too, with the
// same words; the rows around them arrive.
TEST_F(PgsBinaryCopyTest, values_refused_as_text_are_refused_in_binary) {
    udb_schema s;
    s.add(column(L"c0", VT_I4));
    s.add(column(L"c1", VT_DATE, 0, false, 1));
    s.add(column(L"c2", VT_DATE, 0, false, 3));
    s.add(column(L"c3", VT_BSTR));
    const std::vector<ole_variant> bad[] = {
        {ole_variant(2), ole_variant(st(2021, 2, 30)), ole_variant(), ole_variant()},
        {ole_variant(3), ole_variant(), ole_variant(time_of(25, 0, 0)), ole_variant()},
        {ole_variant(4), ole_variant(st(2021, 1, 1, 24, 0, 0)), ole_variant(), ole_variant()},
        {ole_variant(5), ole_variant(), ole_variant(), ole_variant(std::wstring(1, wchar_t(0xD800)))},
        {ole_variant(6), ole_variant(time_of(10, 0, 0)), ole_variant(), ole_variant()},
        {ole_variant(7), ole_variant(), ole_variant(st(2021, 1, 1)), ole_variant()},
    };
    std::vector<std::string> said[2];
    for (int binary = 0; binary < 2; ++binary) {
        const std::wstring name = binary ? L"refused_bin" : L"refused_txt";
        auto rs = open_for_loading(name, s, binary);
        rs->append_record(record_of(rs->schema(), {ole_variant(1), ole_variant(), ole_variant(), ole_variant(L"ok")}));
        for (const auto& values : bad) {
            try {
                rs->append_record(record_of(rs->schema(), values));
                said[binary].push_back("accepted");
            } catch (const pgs_exception& e) {
                said[binary].push_back(e.what());
            } catch (const tk_exception& e) {
                said[binary].push_back(std::string("conversion: ") + e.what());
            }
        }
        rs->append_record(record_of(rs->schema(), {ole_variant(8), ole_variant(), ole_variant(), ole_variant(L"ok")}));
        if (binary) {
            rs->complete();
            EXPECT_EQ(peer("SELECT string_agg(c0::text, ',' ORDER BY c0) FROM refused_bin")[0][0].c_str(),
                      std::string("1,8"));
        }
        // The text lines send the last two to the server, which refuses them
        // at the end of the COPY: not loaded here.
    }
    ASSERT_EQ(said[1].size(), std::size(bad));
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(said[1][i], said[0][i]) << i;
    EXPECT_NE(said[1][0].find("Date value 2021-02-30 is not a calendar date"), std::string::npos);
    EXPECT_NE(said[1][1].find("outside the range of PostgreSQL TIME"), std::string::npos);
    EXPECT_NE(said[1][2].find("Date value 2021-01-01 24:00:00 is not a calendar date"), std::string::npos);
    EXPECT_NE(said[1][3].find("conversion: "), std::string::npos);  // no UTF-8 form
    // A time alone is no timestamp, a date alone no time: the server's words, for the row alone.
    EXPECT_EQ(said[1][4], "invalid input syntax for type timestamp without time zone: \"10:00:00\"");
    EXPECT_EQ(said[1][5], "invalid input syntax for type time without time zone: \"2021-01-01\"");
}

// Integers, reals and text into columns of another type go as the server
// would read their text: in range, or the row is refused with its words.
TEST(PgsBinaryRows, values_of_another_type_go_as_their_text_reads) {
    pgs_binary_rows rows({pgs_binary_kind::int2, pgs_binary_kind::float4, pgs_binary_kind::numeric,
                          pgs_binary_kind::boolean, pgs_binary_kind::text});
    const auto fails = [&](std::vector<ole_variant> values, const std::string& words) {
        rows.begin_row();
        try {
            for (const auto& v : values) rows.add(v);
            rows.end_row();
            ADD_FAILURE() << "accepted: " << words;
        } catch (const pgs_exception& e) {
            rows.drop_row();
            EXPECT_EQ(std::string(e.what()), words);
        }
    };
    const std::size_t header = rows.bytes().size();
    EXPECT_EQ(header, 19u);
    fails({ole_variant(40000)}, "value \"40000\" is out of range for type smallint");
    fails({ole_variant(1.5)}, "invalid input syntax for type smallint: \"1.5e+00\"");
    fails({ole_variant(7), ole_variant(1e39)}, "\"1e+39\" is out of range for type real");
    fails({ole_variant(7), ole_variant(1.5), ole_variant(L"x")}, "invalid input syntax for type numeric: \"x\"");
    fails({ole_variant(7), ole_variant(1.5), ole_variant(), ole_variant(2)},
          "invalid input syntax for type boolean: \"2\"");
    EXPECT_EQ(rows.bytes().size(), header);  // every refused row taken back

    rows.begin_row();
    for (const auto& v :
         {ole_variant(L" -7 "), ole_variant(0.5), ole_variant(7ull), ole_variant(true), ole_variant(42)})
        rows.add(v);
    rows.end_row();
    const std::string_view b = rows.bytes().substr(header);
    // count 5 | 2: -7 | 4: 0.5f | 10: numeric 7 | 1: true | 2: "42"
    const std::string want("\x00\x05"
                           "\x00\x00\x00\x02\xFF\xF9"
                           "\x00\x00\x00\x04\x3F\x00\x00\x00"
                           "\x00\x00\x00\x0A\x00\x01\x00\x00\x00\x00\x00\x00\x00\x07"
                           "\x00\x00\x00\x01\x01"
                           "\x00\x00\x00\x02"
                           "42",
                           2 + 6 + 8 + 14 + 5 + 6);
    EXPECT_EQ(std::string(b), want);
}

// The binary date and timestamp count days and microseconds from 2000-01-01,
// big-endian: the exact bytes, so that a shifted epoch shows without a server.
TEST(PgsBinaryRows, dates_and_timestamps_count_from_2000_01_01) {
    pgs_binary_rows rows({pgs_binary_kind::date, pgs_binary_kind::date, pgs_binary_kind::date, pgs_binary_kind::date,
                          pgs_binary_kind::timestamp, pgs_binary_kind::timestamp, pgs_binary_kind::timestamp});
    const std::size_t header = rows.bytes().size();
    rows.begin_row();
    for (const plat_systemtime& t :
         {st(2000, 1, 1), st(1999, 12, 31), st(1970, 1, 1), st(2024, 2, 29), st(2000, 1, 1, 0, 0, 0, 1),
          st(1999, 12, 31, 23, 59, 59, 500000), st(2024, 2, 29, 12, 34, 56, 789000)})
        rows.add(ole_variant(t));
    rows.end_row();
    // 2024-02-29: 24 years with 6 leap days, then 31 + 28 days: 8825 = 0x2279.
    // 1970-01-01: -10957 days. 2024-02-29 12:34:56.789: 8825 * 86400 s +
    // 45296 s = 762525296 s, and 789000 us: 762525296789000 = 0x2B58341728608.
    const std::string want("\x00\x07"
                           "\x00\x00\x00\x04\x00\x00\x00\x00"                  // 2000-01-01: day 0
                           "\x00\x00\x00\x04\xFF\xFF\xFF\xFF"                  // 1999-12-31: day -1
                           "\x00\x00\x00\x04\xFF\xFF\xD5\x33"                  // 1970-01-01
                           "\x00\x00\x00\x04\x00\x00\x22\x79"                  // 2024-02-29
                           "\x00\x00\x00\x08\x00\x00\x00\x00\x00\x00\x00\x01"  // one microsecond after
                           "\x00\x00\x00\x08\xFF\xFF\xFF\xFF\xFF\xF8\x5E\xE0"  // half a second before: -500000
                           "\x00\x00\x00\x08\x00\x02\xB5\x83\x41\x72\x86\x08",
                           2 + 4 * 8 + 3 * 12);
    EXPECT_EQ(std::string(rows.bytes().substr(header)), want);
}
