// Column type texts, catalogue type names and DEFAULT literals.
#include <gtest/gtest.h>

#include <string>

#include "postgres/pgs_util.h"
#include "tk/tk_exc.h"
#include "udb/udb_sche.h"
#include "variant/ole_var.h"

namespace {

t_ftd col(std::uint16_t vt, std::uint32_t size = 0, std::uint32_t reserved = 0, ole_variant def = {}) {
    return t_ftd(size, udb_name(L"c"), vt, false, false, def, reserved);
}

TEST(PgsUtil, TypeTexts) {
    const struct {
        std::uint16_t vt;
        std::uint32_t size, reserved;
        const wchar_t* text;
    } cases[] = {
        {2, 0, 0, L"SMALLINT"},
        {17, 0, 0, L"SMALLINT"},
        {16, 0, 0, L"SMALLINT"},
        {3, 0, 0, L"INTEGER"},
        {18, 0, 0, L"INTEGER"},
        {22, 0, 0, L"INTEGER"},
        {19, 0, 0, L"BIGINT"},
        {20, 0, 1, L"BIGINT"},
        {23, 0, 0, L"BIGINT"},
        {21, 0, 2, L"NUMERIC(20)"},
        {4, 0, 0, L"FLOAT"},
        {5, 0, 0, L"DOUBLE PRECISION"},
        {6, 0, 0, L"DECIMAL(19, 4)"},
        {7, 0, 0, L"TIMESTAMP"},
        {7, 0, 1, L"TIMESTAMP"},
        {7, 0, 2, L"DATE"},
        {7, 0, 3, L"TIME"},
        {8, 1, 0, L"VARCHAR(1) "},
        {8, 32672, 0, L"VARCHAR(32672) "},
        {8, 32673, 0, L"TEXT"},
        {8, 0, 0, L"TEXT"},
        {31, 10, 0, L"VARCHAR(10) "},
        {11, 0, 0, L"CHAR(1)"},
        {14, 0, 2562, L"DECIMAL(10,2)"},
        {14, 0, (65 << 8) | 30, L"DECIMAL(65,30)"},
        {14, 0, 0, L"NUMERIC"},
        {65, 0, 0, L"BYTEA"},
    };
    for (const auto& c : cases) EXPECT_EQ(get_pgs_type(col(c.vt, c.size, c.reserved)), c.text) << c.vt;

    for (std::uint16_t vt : {0, 1, 9, 10, 12, 13, 15, 24, 30, 32, 64, 66, 70})
        EXPECT_THROW(get_pgs_type(col(vt)), tk_mail_assertion) << vt;
}

TEST(PgsUtil, CatalogueTypeNames) {
    const struct {
        const char* name;
        std::uint16_t vt;
    } cases[] = {
        {"boolean", 11},
        {"bool", 11},
        {"timestamp without time zone", 7},
        {"date", 7},
        {"bigint", 20},
        {"integer", 3},
        {"smallint", 2},
        {"float4", 4},
        {"real", 5},
        {"numeric", 5},
        {"double precision", 5},
        {"bytea", 65},
        {"character varying", 8},
        {"text", 8},
        {"uuid", 8},
        {"Integer", 8},
        {"", 8},
    };
    for (const auto& c : cases) EXPECT_EQ(get_vartype_by_pgs_type(c.name), c.vt) << c.name;
}

TEST(PgsUtil, DefaultValues) {
    const struct {
        std::uint16_t vt;
        std::uint32_t size, reserved;
        ole_variant def;
        const wchar_t* text;
    } cases[] = {
        // Integers and booleans: a plain whole integer only.
        {3, 0, 0, ole_variant(L"12"), L"12"},
        {3, 0, 0, ole_variant(L"-5"), L"-5"},
        {3, 0, 0, ole_variant(L"0"), L"0"},
        {3, 0, 0, ole_variant(L"012"), L""},
        {3, 0, 0, ole_variant(L"+5"), L""},
        {3, 0, 0, ole_variant(L"5.0"), L""},
        {3, 0, 0, ole_variant(L"abc"), L""},
        {3, 0, 0, ole_variant(L"12abc"), L""},
        {19, 0, 0, ole_variant(L"4000000000"), L"4000000000"},
        {16, 0, 0, ole_variant(L"-5"), L"-5"},
        {11, 0, 0, ole_variant(true), L"1"},
        {3, 0, 0, ole_variant(42), L"42"},
        // Binaries take bytes alone, as a bytea literal that no setting of the
        // server reads otherwise; the empty string and zero bytes included.
        {65, 0, 0, ole_variant(L"7"), L""},
        {65, 0, 0, ole_variant(), L""},
        {65, 0, 0, ole_variant(std::vector<unsigned char>{}), L"E'\\\\x'::bytea"},
        {65, 4, 0, ole_variant(std::vector<unsigned char>{0, 0, 0, 0}), L"E'\\\\x00000000'::bytea"},
        {65, 0, 0, ole_variant(std::vector<unsigned char>{0xFF, '\'', 0x5C, 0x80}), L"E'\\\\xff275c80'::bytea"},
        // Reals and decimals: the whole text must be a number.
        {5, 0, 0, ole_variant(L"1.5"), L"1.5"},
        {5, 0, 0, ole_variant(L"0.000"), L"0.000"},
        {5, 0, 0, ole_variant(L"-1.5e+300"), L"-1.5e+300"},
        {5, 0, 0, ole_variant(1.5), L"1.5e+00"},
        {14, 0, 2562, ole_variant(L".5"), L".5"},
        {5, 0, 0, ole_variant(L"abc"), L""},
        {5, 0, 0, ole_variant(L"1.5abc"), L""},
        {5, 0, 0, ole_variant(L"0,0"), L""},
        {5, 0, 0, ole_variant(L"e"), L""},
        {5, 0, 0, ole_variant(L"1e"), L""},
        {6, 0, 0, ole_variant(L"-"), L""},
        // 64-bit integers keep their default too, up to the type's ends.
        {20, 0, 0, ole_variant(L"-9223372036854775808"), L"-9223372036854775808"},
        {21, 0, 0, ole_variant(L"18446744073709551615"), L"18446744073709551615"},
        {21, 0, 0, ole_variant(L"1.5"), L""},
        // Dates by the column's kind.
        {7, 0, 0, ole_variant(L"2020-01-02"), L"'2020-01-02 00:00:00'"},
        {7, 0, 1, ole_variant(L"2020-01-02 03:04:05"), L"'2020-01-02 03:04:05'"},
        {7, 0, 2, ole_variant(L"2020-01-02 03:04:05"), L"'2020-01-02'"},
        {7, 0, 3, ole_variant(L"10:30:00"), L"'10:30:00'"},
        {7, 0, 3, ole_variant(L"2020-01-02 10:30:00"), L"'10:30:00'"},
        {7, 0, 0, ole_variant(L"0000-00-00 00:00:00"), L""},
        {7, 0, 2, ole_variant(L"0000-00-00"), L""},
        {7, 0, 0, ole_variant(L"CURRENT_TIMESTAMP"), L""},
        {7, 0, 0, ole_variant(L"not a date"), L""},
        {7, 0, 1, ole_variant(L"10:30:00"), L""},   // a time alone is no timestamp
        {7, 0, 3, ole_variant(L"-10:30:00"), L""},  // outside what TIME holds
        {7, 0, 3, ole_variant(L"100:00:00"), L""},
        // Text: quotes doubled (backslashes too, in an escape string), cut to
        // the size of a bounded column; TEXT has none.
        {8, 10, 0, ole_variant(L"it's"), L"'it''s'"},
        {8, 3, 0, ole_variant(L"abcdef"), L"'abc'"},
        {8, 0, 0, ole_variant(L"abc"), L"'abc'"},
        {8, 40000, 0, ole_variant(L"abc"), L"'abc'"},
        {8, 10, 0, ole_variant(L"a\\b"), L"E'a\\\\b'"},  // the same under standard_conforming_strings=off
        {8, 10, 0, ole_variant(L"\u00e9\u4e2d"), L"'\u00e9\u4e2d'"},
        // No default of any type; the empty text is one (MySQL's DEFAULT '').
        {3, 0, 0, ole_variant(), L""},
        {8, 10, 0, ole_variant(), L""},
        {8, 10, 0, ole_variant(L""), L"''"},
        {8, 0, 0, ole_variant(L""), L"''"},
        {7, 0, 0, ole_variant(), L""},
    };
    for (const auto& c : cases) {
        const t_ftd column = col(c.vt, c.size, c.reserved, c.def);
        EXPECT_EQ(make_pgs_def_val(&column), c.text) << c.vt << " " << c.def.to_string();
    }
    EXPECT_THROW(make_pgs_def_val(nullptr), tk_mail_assertion);
}

// A default that is the time of the insert stays one, on date and time
// columns of every kind; other columns get none.
TEST(PgsUtil, CurrentTimeDefault) {
    for (std::uint32_t kind : {0u, 1u, 2u, 3u}) {
        t_ftd column = col(7, 0, kind);
        column.b_default_now = true;
        EXPECT_EQ(make_pgs_def_val(&column), L"CURRENT_TIMESTAMP") << kind;
    }
    t_ftd text = col(8, 30, 0, ole_variant(L"x"));
    text.b_default_now = true;
    EXPECT_EQ(make_pgs_def_val(&text), L"");
}

TEST(PgsUtil, TextNamingAGuidKeepsTheWholeText) {
    const std::wstring text = L"default guid value {12345678-1234-1234-1234-123456789012} here";
    const t_ftd column = col(8, 200, 0, ole_variant(text));
    EXPECT_EQ(make_pgs_def_val(&column), L"'" + text + L"'");
}

TEST(PgsUtil, LiteralOfEmptyText) {
    EXPECT_EQ(to_pgs_str(L"", 8, 1), L"''");
    EXPECT_EQ(to_pgs_str(L"", 7, 1), L"''");
    EXPECT_EQ(to_pgs_str(L"2020-06-15 23:59:59.6", 7, 1), L"'2020-06-15 23:59:59.600000'");
}

}  // namespace
