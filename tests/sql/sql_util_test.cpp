// Column types and literals written into MySQL statements (no server).
#include "sql/sql_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sql/sql_ver.h"
#include "tk/tk_exc.h"
#include "udb/udb_fld.h"
#include "udb/udb_sche.h"
#include "variant/ole_var.h"

namespace {

sql_dialect mariadb_10_11() {
    sql_dialect d;
    d.version = sql_version_number(10, 11, 19);
    d.mariadb = true;
    d.fk_support = true;
    return d;
}

TEST(SqlNativeType, TextAndBinaryBandsFollowTheBytesTheColumnNeeds) {
    sql_dialect mb4 = mariadb_10_11();
    sql_dialect mb3 = mb4;
    mb3.utf8mb4 = false;
    sql_dialect old = mb4;
    old.version = sql_version_number(4, 0, 27);
    const struct {
        const sql_dialect& d;
        unsigned type;
        std::uint32_t size;
        const wchar_t* text;
    } cases[] = {
        {mb4, VT_BSTR, 1, L"VARCHAR(1)"},
        {mb4, VT_BSTR, 255, L"VARCHAR(255)"},
        {mb4, VT_BSTR, 256, L"TEXT"},
        {mb4, VT_BSTR, 16383, L"TEXT"},  // 65,532 bytes
        {mb4, VT_BSTR, 16384, L"MEDIUMTEXT"},
        {mb4, VT_BSTR, 20000, L"MEDIUMTEXT"},  // 20,000 emoji do not fit TEXT's 65,535 bytes
        {mb4, VT_BSTR, 65535, L"MEDIUMTEXT"},
        {mb4, VT_BSTR, 4194303, L"MEDIUMTEXT"},
        {mb4, VT_BSTR, 4194304, L"LONGTEXT"},
        {mb4, VT_BSTR, 0, L"LONGTEXT"},
        {mb3, VT_BSTR, 21845, L"TEXT"},
        {mb3, VT_BSTR, 21846, L"MEDIUMTEXT"},
        {old, VT_BSTR, 65535, L"TEXT"},  // no character sets: bytes are characters
        {old, VT_BSTR, 65536, L"MEDIUMTEXT"},
        {old, VT_BSTR, 16777215, L"MEDIUMTEXT"},
        {old, VT_BSTR, 16777216, L"LONGTEXT"},
        {mb4, VT_BLOB, 255, L"TINYBLOB"},
        {mb4, VT_BLOB, 256, L"BLOB"},
        {mb4, VT_BLOB, 65535, L"BLOB"},
        {mb4, VT_BLOB, 65536, L"MEDIUMBLOB"},
        {mb4, VT_BLOB, 16777215, L"MEDIUMBLOB"},
        {mb4, VT_BLOB, 16777216, L"LONGBLOB"},
        {mb4, VT_BLOB, 0, L"LONGBLOB"},
    };
    for (const auto& c : cases) EXPECT_EQ(get_native_type(c.d, c.type, c.size, 0), c.text) << c.type << " " << c.size;
    // Short text compares by bytes: through BINARY where columns have no
    // collation; later servers give every text column a binary collation.
    sql_dialect binary = old;
    binary.varchar_binary = true;
    EXPECT_EQ(get_native_type(binary, VT_BSTR, 40, 0), L"VARCHAR(40) BINARY");
    binary.version = sql_version_number(5, 5, 62);
    EXPECT_EQ(get_native_type(binary, VT_BSTR, 40, 0), L"VARCHAR(40)");
}

TEST(SqlNativeType, NumbersDatesAndDecimals) {
    const sql_dialect d = mariadb_10_11();
    sql_dialect mysql_5_5 = d;
    mysql_5_5.mariadb = false;
    mysql_5_5.version = sql_version_number(5, 5, 62);
    sql_dialect mysql_8 = mysql_5_5;
    mysql_8.version = sql_version_number(8, 0, 36);
    const struct {
        const sql_dialect& d;
        unsigned type;
        std::uint32_t subtype;
        const wchar_t* text;
    } cases[] = {
        {d, VT_I2, 0, L"SMALLINT"},
        {d, VT_I4, 0, L"INT"},
        {d, VT_INT, 0, L"INT"},
        {d, VT_R4, 0, L"FLOAT"},
        {d, VT_R8, 0, L"DOUBLE"},
        {d, VT_CY, 0, L"DECIMAL(19,4)"},
        {d, VT_BOOL, 0, L"BIT"},
        {d, VT_I1, 0, L"TINYINT"},
        {d, VT_UI1, 0, L"TINYINT UNSIGNED"},
        {d, VT_UI2, 0, L"SMALLINT UNSIGNED"},
        {d, VT_UI4, 0, L"INT UNSIGNED"},
        {d, VT_UINT, 0, L"INT UNSIGNED"},
        {d, VT_I8, 1, L"BIGINT"},
        {d, VT_UI8, 2, L"BIGINT UNSIGNED"},
        {d, VT_DECIMAL, 0x0A02, L"DECIMAL(10,2)"},
        {d, VT_DECIMAL, 0x0002, L"DOUBLE"},  // no precision known
        {d, VT_DECIMAL, (65 << 8) | 38, L"DECIMAL(65,38)"},
        {mysql_8, VT_DECIMAL, (65 << 8) | 30, L"DECIMAL(65,30)"},
        // Fractions of a second are kept where the server has them.
        {d, VT_DATE, 1, L"DATETIME(6)"},
        {d, VT_DATE, 2, L"DATE"},
        {d, VT_DATE, 3, L"TIME(6)"},
        {d, VT_DATE, 0, L"DATETIME(6)"},
        {mysql_5_5, VT_DATE, 1, L"DATETIME"},
        {mysql_5_5, VT_DATE, 3, L"TIME"},
        {mysql_8, VT_DATE, 3, L"TIME(6)"},
    };
    for (const auto& c : cases) EXPECT_EQ(get_native_type(c.d, c.type, 0, c.subtype), c.text) << c.type;

    // Decimals MySQL cannot hold are the column's error, not a statement that fails.
    for (const auto& [dialect, subtype] : {std::pair{d, (66u << 8) | 2}, std::pair{d, (65u << 8) | 39},
                                           std::pair{mysql_8, (65u << 8) | 31}, std::pair{d, (5u << 8) | 6},
                                           // beyond 255 digits: no wrap to DECIMAL(44,2) or DECIMAL(1,0)
                                           std::pair{d, (300u << 8) | 2}, std::pair{d, (257u << 8)}}) {
        try {
            get_native_type(dialect, VT_DECIMAL, 0, subtype);
            ADD_FAILURE() << subtype;
        } catch (const tk_mail_assertion&) {
            ADD_FAILURE() << "internal error for " << subtype;
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 0);
            EXPECT_NE(e.message().find("DECIMAL("), std::string::npos) << e.message();
        }
    }
    for (unsigned bad : {0u, 1u, 9u, 10u, 12u, 13u, 15u, 24u, 64u, 70u, 8209u}) {
        try {
            get_native_type(d, bad, 0, 0);
            ADD_FAILURE() << bad;
        } catch (const tk_mail_assertion& e) {
            EXPECT_EQ(e.message(), tk_assertion_text("sql_util", 378));
        }
    }
}

TEST(SqlLiterals, TextLiteralsByColumnType) {
    const struct {
        std::string text;
        unsigned type;
        std::string literal;
    } cases[] = {
        {"anything", VT_EMPTY, "NULL"},
        {"anything", VT_NULL, "NULL"},
        {"", VT_I4, "''"},  // single quotes: double quotes name columns under ANSI_QUOTES
        {"", VT_BSTR, "''"},
        {"12.5", VT_R8, "12.5"},
        {"-1.5e+300", VT_R8, "-1.5e+300"},
        {"it's", VT_BSTR, "'it\\'s'"},
        {"a\\b", VT_BSTR, "'a\\\\b'"},
        {"12", VT_BSTR, "'12'"},
        // Only a whole number goes bare: anything else is a quoted string.
        {"1, evil INT", VT_I4, "'1, evil INT'"},
        {"1); DROP TABLE t; --", VT_R8, "'1); DROP TABLE t; --'"},
        {"2001-02-03 04:05:06", VT_DATE, "'2001-02-03 04:05:06'"},
        {"2001-02-03", VT_DATE, "'2001-02-03'"},
        {"not a date", VT_DATE, "''"},
        // Binary columns: hexadecimal and decimal literals bare, other text as its bytes.
        {"0x00FF", VT_BLOB, "0x00FF"},
        {"12345", VT_BLOB, "12345"},
        {"0xZZ", VT_BLOB, "X'30785A5A'"},
        {"1x00", VT_BLOB, "X'31783030'"},
        {"abc", VT_BLOB, "X'616263'"},
        {"7", VT_BLOB, "X'37'"},
        {"0x", VT_BLOB, "X'3078'"},
        {"a'b\\c", VT_BLOB_OBJECT, "X'6127625C63'"},
    };
    for (const auto& c : cases) EXPECT_EQ(to_mysql_str(c.text, c.type), c.literal) << c.text << " " << c.type;

    const std::string guid = "some text with guid then {01234567-89AB-CDEF-0123-456789ABCDEF} end";
    EXPECT_EQ(to_mysql_str(guid, VT_BLOB), "0x0123456789ABCDEF0123456789ABCDEF");

    EXPECT_EQ(to_mysql_wstr(L"it's", VT_BSTR), L"'it\\'s'");
    EXPECT_EQ(to_mysql_wstr(L"", VT_BSTR), L"''");
    EXPECT_EQ(to_mysql_wstr(L"x", VT_NULL), L"NULL");
    EXPECT_EQ(to_mysql_wstr(L"5", VT_I4), L"5");
    EXPECT_EQ(to_mysql_wstr(L"5 OR 1", VT_I4), L"'5 OR 1'");
    for (unsigned binary : {VT_BLOB, VT_BLOB_OBJECT, VT_ARRAY_UI1})
        EXPECT_THROW(to_mysql_wstr(L"abc", binary), tk_mail_assertion);
}

TEST(SqlLiterals, ValueLiterals) {
    const auto date = [](const char* text) { return ole_variant::from_string(text, VT_DATE); };
    const struct {
        ole_variant value;
        std::string literal;
    } cases[] = {
        {ole_variant(), "NULL"},
        {ole_variant::make_null(), "NULL"},
        {ole_variant(std::wstring()), "''"},
        {ole_variant(L"it's \\ \U0001F600"), "'it\\'s \\\\ \xF0\x9F\x98\x80'"},
        {ole_variant(std::vector<unsigned char>{0, 39, 65}), "X'002741'"},
        {ole_variant(std::vector<unsigned char>{}), "X''"},
        {ole_variant(true), "1"},
        {ole_variant(false), "0"},
        {ole_variant(static_cast<long long>(std::numeric_limits<long long>::min())), "-9223372036854775808"},
        {ole_variant(std::numeric_limits<unsigned long long>::max()), "18446744073709551615"},
        // A float is written as its exact double: the server rounds that back
        // to the same float, where the float's shortest text may be out of range.
        {ole_variant(std::numeric_limits<float>::max()), "3.4028234663852886e+38"},
        {ole_variant(0.1f), "1.0000000149011612e-01"},
        {ole_variant(0.1), "1e-01"},
        {date("2001-02-03 04:05:06.000007"), "'2001-02-03 04:05:06.000007'"},
        {date("2001-02-03"), "'2001-02-03'"},
        {date("23:59:59.999999"), "'23:59:59.999999'"},
        {date("-838:59:59"), "'-838:59:59'"},
    };
    for (const auto& c : cases) EXPECT_EQ(to_mysql_str(c.value), c.literal) << c.literal;

    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        std::string out = "kept";
        try {
            sql_append_literal(out, ole_variant(bad));
            ADD_FAILURE() << bad;
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 0);
        }
        EXPECT_EQ(out, "kept");
        EXPECT_THROW(sql_append_literal(out, ole_variant(static_cast<float>(bad))), tk_exception);
    }
}

TEST(SqlLiterals, DefaultsAreWholeValuesOfTheColumnsType) {
    const auto column = [](unsigned type, const ole_variant& def) {
        return t_ftd(0, udb_name(L"c"), static_cast<std::uint16_t>(type), false, false, def, 0);
    };
    const struct {
        unsigned type;
        const wchar_t* def;
        const wchar_t* literal;
    } cases[] = {
        {VT_I4, L"12", L"12"},
        {VT_I4, L"-5", L"-5"},
        {VT_I4, L"0", L"0"},
        {VT_I4, L"12.0", L""},
        {VT_I4, L"007", L""},
        {VT_I4, L"+5", L""},
        {VT_I4, L"5x", L""},
        {VT_I4, L" 5", L""},
        {VT_I4, L"1, evil INT", L""},
        {VT_I8, L"-9223372036854775808", L"-9223372036854775808"},
        {VT_UI8, L"18446744073709551615", L"18446744073709551615"},
        {VT_UI4, L"4294967295", L"4294967295"},
        {VT_R8, L"1.5e3", L"1.5e3"},
        {VT_R8, L"0.0", L"0.0"},
        {VT_R8, L"-0", L"-0"},
        {VT_R8, L"0,0", L""},
        {VT_R8, L"1, evil INT", L""},
        {VT_R8, L"abc", L""},
        {VT_R8, L"inf", L""},
        {VT_DECIMAL, L"12.50", L"12.50"},
        {VT_DATE, L"2001-02-03", L"'2001-02-03'"},
        {VT_DATE, L"2001-02-03 04:05:06", L"'2001-02-03 04:05:06'"},
        {VT_DATE, L"12:30:00", L"'12:30:00'"},
        {VT_DATE, L"not a date", L""},
        {VT_BSTR, L"it's", L"'it\\'s'"},
        {VT_BSTR, L"", L"''"},   // the empty text is a default, no value is none
        {VT_BLOB, L"abc", L""},  // a binary default is bytes, never text
    };
    for (const auto& c : cases)
        EXPECT_EQ(make_mysql_def_val(column(c.type, ole_variant(c.def))), c.literal) << c.def << " " << c.type;
    EXPECT_EQ(make_mysql_def_val(column(VT_R8, ole_variant(1.5))), L"1.5e+00");
    EXPECT_EQ(make_mysql_def_val(column(VT_I4, ole_variant())), L"");
    EXPECT_EQ(make_mysql_def_val(column(VT_BSTR, ole_variant())), L"");
    EXPECT_EQ(make_mysql_def_val(column(VT_BLOB, ole_variant())), L"");
    EXPECT_EQ(make_mysql_def_val(column(VT_BLOB, ole_variant(std::vector<unsigned char>{}))), L"X''");
    EXPECT_EQ(make_mysql_def_val(column(VT_BLOB, ole_variant(std::vector<unsigned char>{0xFF, '\'', 0, '\\'}))),
              L"X'FF27005C'");

    // The time of the insert, where the server has it for the column's kind.
    const sql_dialect mariadb = mariadb_10_11();
    sql_dialect mysql_5_6_4 = mariadb;
    mysql_5_6_4.mariadb = false;
    mysql_5_6_4.version = sql_version_number(5, 6, 4);
    sql_dialect mysql_5_6_5 = mysql_5_6_4;
    mysql_5_6_5.version = sql_version_number(5, 6, 5);
    const auto now = [](std::uint32_t kind) {
        t_ftd c(0, udb_name(L"c"), VT_DATE, true, false, ole_variant(), kind);
        c.b_default_now = true;
        return c;
    };
    EXPECT_EQ(make_mysql_def_val(now(1), &mariadb), L"CURRENT_TIMESTAMP(6)");
    EXPECT_EQ(make_mysql_def_val(now(0), &mysql_5_6_5), L"CURRENT_TIMESTAMP(6)");
    EXPECT_EQ(make_mysql_def_val(now(1), &mysql_5_6_4), L"");
    EXPECT_EQ(make_mysql_def_val(now(2), &mariadb), L"");
    EXPECT_EQ(make_mysql_def_val(now(3), &mariadb), L"");
    EXPECT_EQ(make_mysql_def_val(now(1)), L"");
}

TEST(SqlLiterals, NullStaysNullUnlessTheColumnsDefaultStandsIn) {
    const auto column = [](bool not_null, const ole_variant& def, unsigned type = VT_I4) {
        return t_ftd(0, udb_name(L"c"), static_cast<std::uint16_t>(type), not_null, false, def, 0);
    };
    const udb_field null_field(udb_name(L"c"), 0, ole_variant(), false, false);
    EXPECT_EQ(get_fld_append_str(null_field, column(true, ole_variant(L"5"))), "5");
    EXPECT_EQ(get_fld_append_str(null_field, column(false, ole_variant(L"5"))), "NULL");
    // Without a default the server decides (and refuses the row), never "".
    EXPECT_EQ(get_fld_append_str(null_field, column(true, ole_variant())), "NULL");
    EXPECT_EQ(get_fld_append_str(null_field, column(true, ole_variant(L"x"), VT_BSTR)), "'x'");
    const udb_field empty_text(udb_name(L"c"), 0, ole_variant(std::wstring()), false, false);
    EXPECT_EQ(get_fld_append_str(empty_text, column(true, ole_variant(L"x"), VT_BSTR)), "''");
    const udb_field number(udb_name(L"c"), 0, ole_variant(7), false, false);
    EXPECT_EQ(get_fld_append_str(number, column(true, ole_variant(L"5"))), "7");
}

TEST(SqlLiterals, NumberTexts) {
    for (const char* yes : {"0", "-1", "+1", "1.5", ".5", "5.", "1e10", "1.5E-3", "-0.0e+0"})
        EXPECT_TRUE(sql_is_number_text(yes)) << yes;
    for (const char* no : {"", "-", ".", "e5", "1e", "1e+", "1 ", " 1", "1,5", "0x10", "inf", "nan", "1e5x", "--1"})
        EXPECT_FALSE(sql_is_number_text(no)) << no;
}

}  // namespace
