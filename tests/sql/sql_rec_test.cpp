// Column plans and cell values built from hand-made column descriptions.
#include "sql/sql_rec.h"

#include <mysql.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "sql/sql_rpt.h"
#include "tk/tk_utils.h"

namespace {

MYSQL_FIELD field(enum_field_types type, unsigned flags = 0, unsigned charset = 63, unsigned long length = 10,
                  const char* name = "c") {
    MYSQL_FIELD f;
    std::memset(&f, 0, sizeof f);
    f.name = const_cast<char*>(name);
    f.name_length = static_cast<unsigned>(std::strlen(name));
    f.type = type;
    f.flags = flags;
    f.charsetnr = charset;
    f.length = length;
    return f;
}

ole_variant value(const MYSQL_FIELD& f, const std::string& cell, bool* bad = nullptr) {
    return sql_cell_value(sql_column::from_field(f), cell.data(), cell.size(), bad);
}

std::vector<unsigned char> bytes_of(const ole_variant& v) {
    const unsigned char* p = nullptr;
    const std::size_t n = v.get_bytes(p);
    return std::vector<unsigned char>(p, p + n);
}

TEST(SqlTypeMap, MySqlTypesToTypeCodes) {
    const unsigned U = sql_mysql::unsigned_flag;
    const struct {
        int type;
        unsigned flags;
        VARTYPE vt;
    } cases[] = {
        {MYSQL_TYPE_DECIMAL, 0, VT_DECIMAL}, {MYSQL_TYPE_NEWDECIMAL, U, VT_DECIMAL},
        {MYSQL_TYPE_TINY, 0, VT_I1},         {MYSQL_TYPE_TINY, U, VT_UI1},
        {MYSQL_TYPE_SHORT, 0, VT_I2},        {MYSQL_TYPE_SHORT, U, VT_UI2},
        {MYSQL_TYPE_LONG, 0, VT_I4},         {MYSQL_TYPE_LONG, U, VT_UI4},
        {MYSQL_TYPE_INT24, U, VT_I4},        {MYSQL_TYPE_LONGLONG, 0, VT_I8},
        {MYSQL_TYPE_LONGLONG, U, VT_UI8},    {MYSQL_TYPE_FLOAT, 0, VT_R4},
        {MYSQL_TYPE_DOUBLE, 0, VT_R8},       {MYSQL_TYPE_TIMESTAMP, 0, VT_DATE},
        {MYSQL_TYPE_DATE, 0, VT_DATE},       {MYSQL_TYPE_TIME, 0, VT_DATE},
        {MYSQL_TYPE_DATETIME, 0, VT_DATE},   {MYSQL_TYPE_YEAR, U, VT_UI2},
        {MYSQL_TYPE_BIT, U, VT_BOOL},        {MYSQL_TYPE_BLOB, 0x80, VT_BLOB},
        {MYSQL_TYPE_LONG_BLOB, 0, VT_BLOB},  {MYSQL_TYPE_VAR_STRING, 0, VT_BSTR},
        {MYSQL_TYPE_STRING, 0, VT_BSTR},     {MYSQL_TYPE_ENUM, 0, VT_BSTR},
        {MYSQL_TYPE_NULL, 0, VT_BSTR},       {MYSQL_TYPE_JSON, 0, VT_BSTR},
        {MYSQL_TYPE_GEOMETRY, 0, VT_BSTR},   {200, 0, VT_BSTR},
    };
    for (const auto& c : cases) EXPECT_EQ(get_vartype_by_mysql_type(c.type, c.flags), c.vt) << c.type;
    EXPECT_EQ(get_vartype_by_mysql_type(MYSQL_TYPE_BLOB, 0x80, true), VT_BSTR);
}

TEST(SqlColumnPlan, BinaryMeansCharset63) {
    const unsigned B = sql_mysql::binary_flag;
    // _bin collations and JSON carry the BINARY flag but are text.
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_BLOB, B | 0x10, 45)).vt, VT_BSTR);
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_VAR_STRING, B, 46)).vt, VT_BSTR);
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_BLOB, B | 0x10, 63)).vt, VT_BLOB);
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_STRING, B, 63)).vt, VT_BLOB);      // BINARY
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_VAR_STRING, B, 63)).vt, VT_BLOB);  // VARBINARY
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_GEOMETRY, B, 63)).vt, VT_BLOB);
    // Numbers report charset 63 too and stay numbers.
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_LONG, 0, 63)).vt, VT_I4);
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_BIT, 0, 63, 1)).vt, VT_BOOL);
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_BIT, 0, 63, 16)).vt, VT_I8);
    EXPECT_EQ(sql_column::from_field(field(MYSQL_TYPE_BIT, 0, 63, 64)).vt, VT_UI8);
}

TEST(SqlCellValue, TextAndBytes) {
    const auto text = field(MYSQL_TYPE_VAR_STRING, 0, 45);
    EXPECT_EQ(value(text, "caf\xC3\xA9s").to_wstring(), L"caf\u00E9s");
    // PostgreSQL text cannot hold a NUL: the cell is flagged, never cut.
    for (const std::string& nul : {std::string("ab\0cd", 5), std::string("\0", 1), std::string("ab\0", 3),
                                   std::string(20, 'x') + std::string("\0tail", 5), std::string("\xFF\0", 2)}) {
        bool bad = false;
        EXPECT_TRUE(value(text, nul, &bad).is_empty());
        EXPECT_TRUE(bad);
    }
    EXPECT_TRUE(value(field(MYSQL_TYPE_BLOB, 0x10, 63), std::string("a\0b", 3)).is_empty() == false);
    EXPECT_EQ(value(text, "\xF0\x9F\x98\x80").to_wstring(), std::wstring(1, wchar_t(0x1F600)));

    const std::string raw("\x00\x01\x02\xFF\x00", 5);
    EXPECT_EQ(bytes_of(value(field(MYSQL_TYPE_BLOB, 0x90, 63), raw)),
              (std::vector<unsigned char>{0x00, 0x01, 0x02, 0xFF, 0x00}));
    EXPECT_EQ(value(field(MYSQL_TYPE_STRING, 0x80, 63), raw).vartype(), VT_ARRAY_UI1);
    EXPECT_EQ(bytes_of(value(field(MYSQL_TYPE_STRING, 0x80, 63), raw)).size(), 5u);

    EXPECT_TRUE(sql_cell_value(sql_column::from_field(text), nullptr, 0, nullptr).is_empty());
    EXPECT_TRUE(sql_cell_value(sql_column::from_field(field(MYSQL_TYPE_LONG)), nullptr, 0, nullptr).is_empty());
}

TEST(SqlCellValue, NumbersBitsAndDecimals) {
    EXPECT_EQ(value(field(MYSQL_TYPE_NEWDECIMAL), "12.50").to_string(), "12.50");
    EXPECT_EQ(value(field(MYSQL_TYPE_NEWDECIMAL), "12.50").vartype(), VT_DECIMAL);
    EXPECT_EQ(value(field(MYSQL_TYPE_LONGLONG, 0x20), "18446744073709551615").get_ui8(), 18446744073709551615ull);
    EXPECT_EQ(value(field(MYSQL_TYPE_LONGLONG), "-9223372036854775808").to_string(), "-9223372036854775808");

    const auto bit1 = field(MYSQL_TYPE_BIT, 0x20, 63, 1);
    EXPECT_EQ(value(bit1, std::string("\x01", 1)).to_string(), "1");
    EXPECT_EQ(value(bit1, std::string("\x00", 1)).to_string(), "0");
    EXPECT_EQ(value(field(MYSQL_TYPE_BIT, 0x20, 63, 16), std::string("\xA5\x0F", 2)).get_i8(), 0xA50F);
    EXPECT_EQ(value(field(MYSQL_TYPE_BIT, 0x20, 63, 64), std::string(8, '\xFF')).get_ui8(), ~0ull);
}

TEST(SqlCellValue, TimeOutsideTheDayAndItsEndIsFlaggedAndLeftEmpty) {
    const auto time = field(MYSQL_TYPE_TIME);
    for (const char* ok : {"00:00:00", "23:59:59", "12:34:56.500000", "24:00:00", "24:00:00.000000"}) {
        bool bad = false;
        const ole_variant v = value(time, ok, &bad);
        EXPECT_FALSE(bad) << ok;
        EXPECT_EQ(v.vartype(), VT_DATE) << ok;
    }
    EXPECT_EQ(value(time, "23:59:59").to_string(), "0000-00-00 23:59:59");
    EXPECT_EQ(value(time, "24:00:00").to_string(), "0000-00-00 24:00:00");
    for (const char* out :
         {"24:00:01", "24:00:00.000001", "24:01:00", "25:00:00", "838:59:59", "-00:00:01", "-838:59:59", "-24:00:00"}) {
        bool bad = false;
        EXPECT_TRUE(value(time, out, &bad).is_empty()) << out;
        EXPECT_TRUE(bad) << out;
    }
}

TEST(SqlCellValue, ZeroDateIsEmptyAndAPartlyZeroDateIsFlagged) {
    for (const auto type : {MYSQL_TYPE_DATE, MYSQL_TYPE_DATETIME, MYSQL_TYPE_TIMESTAMP}) {
        const auto f = field(type);
        for (const char* zero : {"0000-00-00", "0000-00-00 00:00:00", "0000-00-00 00:00:00.000000"}) {
            bool bad = false;
            EXPECT_TRUE(value(f, zero, &bad).is_empty()) << zero;
            EXPECT_FALSE(bad) << zero;
        }
        for (const char* partly : {"2021-00-00", "2021-02-00", "2021-00-15 10:00:00", "0000-01-01"}) {
            bool bad = false;
            EXPECT_TRUE(value(f, partly, &bad).is_empty()) << partly;
            EXPECT_TRUE(bad) << partly;
        }
        bool bad = false;
        EXPECT_EQ(value(f, "2021-12-31 23:59:59.999999", &bad).vartype(), VT_DATE);
        EXPECT_FALSE(bad);
    }
}

struct capture_reporter : sql_value_reporter {
    std::vector<std::wstring> contexts;
    std::vector<int> levels;
    void report(const tk_exception& e, const std::wstring& context) override {
        contexts.push_back(context);
        levels.push_back(e.level());
    }
};

TEST(SqlRecord, FillsFieldsAndReportsBadTimeWithTableAndRecord) {
    MYSQL_FIELD f[2] = {field(MYSQL_TYPE_LONG, 0, 63, 11, "id"), field(MYSQL_TYPE_TIME, 0, 63, 10, "t")};
    const sql_columns cols = sql_read_columns(f, 2);
    char id[] = "7";
    char t[] = "100:00:00";
    char* row[2] = {id, t};
    unsigned long lengths[2] = {1, 9};
    capture_reporter rep;
    sql_value_reports reports;
    reports.install(&rep);
    const std::wstring table = L"shifts";
    sql_record rec(&cols, lengths, row, sql_row_origin{&table, 42, &reports});
    reports.install(nullptr);

    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[0].name.str(), L"id");
    EXPECT_EQ(rec[0].size, 1u);
    EXPECT_EQ(rec[0].to_string(), "7");
    EXPECT_TRUE(rec[1].is_empty());
    ASSERT_EQ(rep.contexts.size(), 1u);
    EXPECT_EQ(rep.contexts[0], L"shifts, record #42");
    EXPECT_EQ(rep.levels[0], 0);
    // Refilling reuses the record.
    char t2[] = "01:02:03";
    row[1] = t2;
    lengths[1] = 8;
    EXPECT_EQ(rec.fill(cols, lengths, row, {}), 0);
    EXPECT_EQ(rec[1].to_string(), "0000-00-00 01:02:03");
    EXPECT_THROW(sql_record(nullptr, lengths, row), tk_mail_assertion);
}

// A record refilled from a row of the same columns keeps its fields: text
// stays in the UTF-8 it came in and in the room it had, names stay shared.
TEST(SqlRecord, RefillingKeepsTheFieldsAndTheirRoom) {
    MYSQL_FIELD f[2] = {field(MYSQL_TYPE_VAR_STRING, 0, 45, 40, "note"), field(MYSQL_TYPE_LONG, 0, 63, 11, "n")};
    const sql_columns cols = sql_read_columns(f, 2);
    std::string a = "caf\xC3\xA9 au lait", n = "1";
    char* row[2] = {a.data(), n.data()};
    unsigned long lengths[2] = {a.size(), n.size()};
    sql_record rec(&cols, lengths, row);
    ASSERT_TRUE(rec[0].holds_utf8());
    EXPECT_EQ(rec[0].to_wstring(), L"caf\u00E9 au lait");
    const char* room = rec[0].utf8_view().data();
    const udb_field* first = &rec[0];
    const long names = cols[0].name.use_count();

    a = "th\xC3\xA9 noir";
    n = "2";
    row[0] = a.data();
    row[1] = n.data();
    lengths[0] = a.size();
    EXPECT_EQ(rec.fill(cols, lengths, row, {}), 0);
    EXPECT_EQ(&rec[0], first);
    EXPECT_EQ(rec[0].utf8_view().data(), room);
    EXPECT_EQ(rec[0].to_wstring(), L"th\u00E9 noir");
    EXPECT_EQ(rec[0].size, a.size());
    EXPECT_EQ(rec[1].to_string(), "2");
    EXPECT_EQ(cols[0].name.use_count(), names);

    // Text that is not UTF-8 is the conversion's error, as before.
    a = "bad \xFF";
    row[0] = a.data();
    lengths[0] = a.size();
    EXPECT_THROW(rec.fill(cols, lengths, row, {}), tk_exception_ex);
}

// A row of large cells lets its values go before the next row is read in: a
// large value in a later column is not still held while the earlier columns
// take the next row's. Smaller rows keep theirs, to be refilled in place.
TEST(SqlRecord, ALargeRowLetsItsValuesGoBeforeTheNextIsRead) {
    MYSQL_FIELD f[2] = {field(MYSQL_TYPE_VAR_STRING, 0, 45, 40, "a"), field(MYSQL_TYPE_BLOB, 0x10, 63, 0, "b")};
    const sql_columns cols = sql_read_columns(f, 2);
    std::string small = "x", large(sql_record::large_row - 2, 'y');
    char* row[2] = {small.data(), large.data()};
    unsigned long lengths[2] = {small.size(), large.size()};
    sql_record rec(&cols, lengths, row);
    rec.take_shape(cols);
    EXPECT_FALSE(rec[0].is_empty());
    EXPECT_FALSE(rec[1].is_empty());

    large.push_back('y');
    row[1] = large.data();
    lengths[1] = large.size();
    EXPECT_EQ(rec.fill(cols, lengths, row, {}), 0);
    rec.take_shape(cols);
    EXPECT_TRUE(rec[0].is_empty());
    EXPECT_TRUE(rec[1].is_empty());
    EXPECT_EQ(rec.size(), 2u);
}

TEST(SqlRecord, ReportsTextWithNulAndLeavesItEmpty) {
    MYSQL_FIELD f[2] = {field(MYSQL_TYPE_VAR_STRING, 0, 45, 40, "note"), field(MYSQL_TYPE_VAR_STRING, 0, 45, 40, "n2")};
    const sql_columns cols = sql_read_columns(f, 2);
    char a[] = "x\0y";
    char b[] = "fine";
    char* row[2] = {a, b};
    unsigned long lengths[2] = {3, 4};
    capture_reporter rep;
    sql_value_reports reports;
    reports.install(&rep);
    const std::wstring table = L"notes";
    sql_record rec;
    const int bad = rec.fill(cols, lengths, row, sql_row_origin{&table, 3, &reports});
    reports.install(nullptr);
    EXPECT_EQ(bad, 1);
    EXPECT_TRUE(rec[0].is_empty());
    EXPECT_EQ(rec[1].to_string(), "fine");
    ASSERT_EQ(rep.contexts.size(), 1u);
    EXPECT_EQ(rep.contexts[0], L"notes, record #3");
    EXPECT_EQ(rep.levels[0], 0);
}

// In a column that cannot be left empty, a cell that cannot be carried
// refuses its row (one reason, no report of its own); elsewhere the cell is
// left empty and reported. Refilling the record forgets the refusal.
TEST(SqlRecord, BadCellInANotNullColumnRefusesTheRow) {
    MYSQL_FIELD f[4] = {field(MYSQL_TYPE_VAR_STRING, 0x1, 45, 40, "note"), field(MYSQL_TYPE_TIME, 0x1, 63, 10, "t"),
                        field(MYSQL_TYPE_DATE, 0x1, 63, 10, "d"), field(MYSQL_TYPE_DATE, 0, 63, 10, "nd")};
    sql_columns cols = sql_read_columns(f, 4);
    for (int i = 0; i < 3; ++i) cols[i].not_null = true;
    const std::wstring table = L"rows";
    capture_reporter rep;
    sql_value_reports reports;
    reports.install(&rep);
    sql_record rec;
    const auto fill = [&](std::string a, std::string b, std::string c, std::string d) {
        char* row[4] = {a.data(), b.data(), c.data(), d.data()};
        unsigned long lengths[4] = {a.size(), b.size(), c.size(), d.size()};
        return rec.fill(cols, lengths, row, sql_row_origin{&table, 9, &reports});
    };
    struct {
        std::string text, time, date, nullable_date;
        const wchar_t* refusal;  // start of it; null: not refused
        std::size_t reports;
    } cases[] = {
        {"ok", "24:00:00", "2021-02-03", "2021-00-15", nullptr, 1},
        {"ok", "10:00:00", "2021-02-03", "0000-00-00", nullptr, 0},
        {std::string("x\0y", 3), "10:00:00", "2021-02-03", "2021-02-03",
         L"The text of column 'note' holds a NUL character at byte 1, which a PostgreSQL text cannot hold; the "
         L"column is NOT NULL, so the row is not copied.",
         0},
        {"ok", "25:00:00", "2021-02-00", "2021-02-03",
         L"The TIME value '25:00:00' of column 't' is not a time of day (00:00:00 to 24:00:00); the column is NOT "
         L"NULL, so the row is not copied.",
         0},
        {"ok", "-00:00:01", "2021-02-03", "2021-02-03", L"The TIME value '-00:00:01'", 0},
        {"ok", "10:00:00", "2021-00-15", "2021-02-00",
         L"The date value '2021-00-15' of column 'd' is not a calendar date; the column is NOT NULL", 1},
        {"ok", "10:00:00", "0000-00-00", "2021-02-03",
         L"The date value '0000-00-00' of column 'd' is MySQL's zero date, which stands for no date; the column is NOT NULL, so the row is not copied.",
         0},
    };
    for (const auto& c : cases) {
        rep.contexts.clear();
        fill(c.text, c.time, c.date, c.nullable_date);
        ASSERT_EQ(rec.size(), 4u);
        if (c.refusal) {
            EXPECT_TRUE(rec.refused()) << c.time << " " << c.date;
            EXPECT_EQ(rec.refusal().substr(0, std::wcslen(c.refusal)), c.refusal);
        } else {
            EXPECT_FALSE(rec.refused()) << tk_to_utf8(rec.refusal());
        }
        EXPECT_EQ(rep.contexts.size(), c.reports) << c.time << " " << c.date;
    }
    reports.install(nullptr);
    EXPECT_EQ(fill("ok", "24:00:00", "2021-02-03", "2021-02-03"), 0);
    EXPECT_FALSE(rec.refused());
    EXPECT_EQ(rec[1].to_string(), "0000-00-00 24:00:00");
}

}  // namespace
