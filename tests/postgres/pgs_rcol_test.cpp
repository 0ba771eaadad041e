// Column types and cell values of the PostgreSQL reader, without a server:
// the text forms the server sends (DateStyle ISO, TimeZone UTC, hex bytea).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "postgres/pgs_exc.h"
#include "postgres/pgs_rcol.h"

namespace {

pgs_read_column column_of(std::uint32_t oid, int typmod = -1, unsigned money_scale = 2) {
    pgs_read_column c;
    c.name = udb_name(L"col");
    pgs_describe_column(c, oid, typmod, money_scale);
    return c;
}

// numeric(p, s) as the server stores its modifier (PostgreSQL 15 form).
int numeric_typmod(int precision, int scale) { return ((precision << 16) | (scale & 0x7FF)) + 4; }

std::string fields_of(const ole_variant& v) {
    const plat_systemtime& t = v.get_time();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%06u", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.microsecond);
    return buf;
}

}  // namespace

TEST(PgsRcol, types_sizes_and_subtype_words) {
    struct expected {
        std::uint32_t oid;
        int typmod;
        VARTYPE vt;
        std::uint32_t size;
        std::uint32_t subtype;
    };
    const expected cases[] = {
        {pgs_oid::boolean, -1, VT_BOOL, 0, 0},
        {pgs_oid::int2, -1, VT_I2, 0, 0},
        {pgs_oid::int4, -1, VT_I4, 0, 0},
        {pgs_oid::int8, -1, VT_I8, 0, 1},
        {pgs_oid::float4, -1, VT_R4, 0, 0},
        {pgs_oid::float8, -1, VT_R8, 0, 0},
        {pgs_oid::numeric, numeric_typmod(10, 2), VT_DECIMAL, 0, 10u << 8 | 2},
        {pgs_oid::numeric, numeric_typmod(65, 30), VT_DECIMAL, 0, 65u << 8 | 30},
        {pgs_oid::numeric, -1, VT_DECIMAL, 0, 0},                              // any precision
        {pgs_oid::numeric, numeric_typmod(5, -2), VT_DECIMAL, 0, 7u << 8},     // integers of 7 digits
        {pgs_oid::numeric, numeric_typmod(3, 5), VT_DECIMAL, 0, 5u << 8 | 5},  // below 0.001
        {pgs_oid::numeric, numeric_typmod(1000, 300), VT_DECIMAL, 0, 0},       // scale beyond a byte
        {pgs_oid::money, -1, VT_DECIMAL, 0, 19u << 8 | 2},
        {pgs_oid::date, -1, VT_DATE, 0, 2},
        {pgs_oid::time, 6 + 0, VT_DATE, 0, 3},
        {pgs_oid::timestamp, -1, VT_DATE, 0, 1},
        {pgs_oid::timestamptz, 3, VT_DATE, 0, 1},
        {pgs_oid::bytea, -1, VT_BLOB, 0, 0},
        {pgs_oid::varchar, 14, VT_BSTR, 10, 0},
        {pgs_oid::varchar, -1, VT_BSTR, 0, 0},
        {pgs_oid::bpchar, 9, VT_BSTR, 5, 0},
        {pgs_oid::text, -1, VT_BSTR, 0, 0},
        {pgs_oid::name, -1, VT_BSTR, 63, 0},
        {2950 /* uuid */, -1, VT_BSTR, 0, 0},
        {1266 /* timetz */, -1, VT_BSTR, 0, 0},
    };
    for (const expected& e : cases) {
        const pgs_read_column c = column_of(e.oid, e.typmod);
        EXPECT_EQ(c.vt, e.vt) << e.oid << "/" << e.typmod;
        EXPECT_EQ(c.size, e.size) << e.oid << "/" << e.typmod;
        EXPECT_EQ(c.subtype, e.subtype) << e.oid << "/" << e.typmod;
        EXPECT_EQ(c.as_numeric, e.oid == pgs_oid::money);
    }
    EXPECT_EQ(column_of(pgs_oid::money, -1, 3).subtype, 19u << 8 | 3);
}

TEST(PgsRcol, dates_keep_every_field_and_their_kind) {
    struct date_case {
        std::uint32_t oid;
        const char* text;
        const char* fields;
    };
    const date_case cases[] = {
        {pgs_oid::date, "2021-03-04", "2021-03-04 00:00:00.000000"},
        {pgs_oid::date, "0001-01-01", "0001-01-01 00:00:00.000000"},
        {pgs_oid::date, "2000-02-29", "2000-02-29 00:00:00.000000"},
        {pgs_oid::timestamp, "2021-03-04 13:05:06", "2021-03-04 13:05:06.000000"},
        {pgs_oid::timestamp, "2021-03-04 13:05:06.5", "2021-03-04 13:05:06.500000"},
        {pgs_oid::timestamp, "9999-12-31 23:59:59.999999", "9999-12-31 23:59:59.999999"},
        {pgs_oid::timestamptz, "2021-03-04 07:35:06.000001+00", "2021-03-04 07:35:06.000001"},
        {pgs_oid::time, "13:05:06.123", "0000-00-00 13:05:06.123000"},
        {pgs_oid::time, "00:00:00", "0000-00-00 00:00:00.000000"},
        {pgs_oid::time, "24:00:00", "0000-00-00 24:00:00.000000"},
    };
    for (const date_case& d : cases) {
        const ole_variant v = pgs_cell_value(column_of(d.oid), d.text);
        ASSERT_EQ(v.vartype(), VT_DATE) << d.text;
        EXPECT_EQ(fields_of(v), d.fields) << d.text;
    }
    // A date stays a date and 13:05 stays 13:05 (no noon, no 12-hour clock).
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::date), "2021-03-04").to_string(), "2021-03-04");
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::timestamp), "2021-03-04 13:05:00").to_string(), "2021-03-04 13:05:00");
}

TEST(PgsRcol, values_no_cell_can_hold_are_refused_with_column_and_text) {
    struct refused {
        std::uint32_t oid;
        std::string text;
        const char* why;
    };
    const refused cases[] = {
        {pgs_oid::date, "0044-03-15 BC", "BC"},
        {pgs_oid::timestamp, "0044-03-15 10:00:00 BC", "BC"},
        {pgs_oid::timestamptz, "0044-03-15 10:00:00+00 BC", "BC"},
        {pgs_oid::date, "infinity", "infinite"},
        {pgs_oid::timestamp, "-infinity", "infinite"},
        {pgs_oid::date, "10000-01-01", "9999"},
        {pgs_oid::timestamptz, "294276-12-31 23:59:59.999999+00", "9999"},
        {pgs_oid::numeric, "NaN", "not a number"},
        {pgs_oid::numeric, "Infinity", "not a number"},
        {pgs_oid::numeric, "-Infinity", "not a number"},
        {pgs_oid::numeric, "1" + std::string(80, '0'), "80 digits"},
        {pgs_oid::numeric, "0." + std::string(80, '0') + "1", "80 digits"},
        {pgs_oid::date, "04-03-2021", "not a value"},
        {pgs_oid::timestamptz, "2021-03-04 13:05:06+01", "not a value"},
        {pgs_oid::time, "24:00:01", "not a value"},
        {pgs_oid::date, "2021-02-30", "not a value"},
        {pgs_oid::boolean, "true", "boolean"},
        {pgs_oid::int2, "40000", "integer"},
        {pgs_oid::bytea, "0x00", "bytea"},
        {pgs_oid::bytea, "\\x0g", "bytea"},
    };
    for (const refused& r : cases) {
        try {
            pgs_cell_value(column_of(r.oid), r.text);
            ADD_FAILURE() << "accepted " << r.text;
        } catch (const pgs_exception& e) {
            const std::string m = e.what();
            EXPECT_NE(m.find(r.why), std::string::npos) << m;
            EXPECT_NE(m.find("'col'"), std::string::npos) << m;
            EXPECT_NE(m.find(r.text.substr(0, 20)), std::string::npos) << m;
            EXPECT_EQ(e.level(), 0);
        }
    }
}

TEST(PgsRcol, numbers_bytes_and_booleans_are_exact) {
    const std::string digits20 = "12345678901234567890.12";
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::numeric), digits20).to_string(), digits20);
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::numeric), "12.50").to_string(), "12.50");
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::money), "-92233720368547758.08").to_string(), "-92233720368547758.08");
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::int8), "-9223372036854775808").get_i8(), INT64_MIN);
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::float4), "1.1").get_var().r4, 1.1f);
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::float8), "0.1").get_var().r8, 0.1);
    // Floats hold NaN and the infinities themselves.
    EXPECT_TRUE(std::isnan(pgs_cell_value(column_of(pgs_oid::float8), "NaN").get_var().r8));
    EXPECT_TRUE(std::isinf(pgs_cell_value(column_of(pgs_oid::float4), "-Infinity").get_var().r4));
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::boolean), "t").to_string(), "1");
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::boolean), "f").to_string(), "0");

    const unsigned char* data = nullptr;
    const ole_variant empty = pgs_cell_value(column_of(pgs_oid::bytea), "\\x");
    EXPECT_EQ(empty.vartype(), VT_ARRAY_UI1);  // an empty bytea, not NULL and no zero byte
    EXPECT_EQ(empty.get_bytes(data), 0u);
    const ole_variant bytes = pgs_cell_value(column_of(pgs_oid::bytea), "\\x00ff10Ab");
    ASSERT_EQ(bytes.get_bytes(data), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 4), std::string("\x00\xff\x10\xab", 4));

    const ole_variant text = pgs_cell_value(column_of(pgs_oid::text), "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(text.to_wstring(), L"\u00e9t\u00e9 \U0001F600");
    EXPECT_EQ(pgs_cell_value(column_of(pgs_oid::text), "").vartype(), VT_BSTR);  // '' stays text
}
