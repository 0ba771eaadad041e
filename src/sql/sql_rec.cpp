#include "sql/sql_rec.h"

#include <mysql.h>

#include <charconv>
#include <cstring>
#include <string_view>

#include "platform/pf_num.h"
#include "platform/pf_utf8.h"
#include "sql/sql_rpt.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

VARTYPE get_vartype_by_mysql_type(int mysql_type, unsigned flags, bool blob_as_text) {
    const bool is_unsigned = (flags & sql_mysql::unsigned_flag) != 0;
    switch (mysql_type) {
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL: return VT_DECIMAL;
    case MYSQL_TYPE_TINY: return is_unsigned ? VT_UI1 : VT_I1;
    case MYSQL_TYPE_SHORT: return is_unsigned ? VT_UI2 : VT_I2;
    case MYSQL_TYPE_LONG: return is_unsigned ? VT_UI4 : VT_I4;
    case MYSQL_TYPE_FLOAT: return VT_R4;
    case MYSQL_TYPE_DOUBLE: return VT_R8;
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_DATETIME: return VT_DATE;
    case MYSQL_TYPE_LONGLONG: return is_unsigned ? VT_UI8 : VT_I8;
    case MYSQL_TYPE_INT24: return VT_I4;
    case MYSQL_TYPE_YEAR: return VT_UI2;
    case MYSQL_TYPE_BIT: return VT_BOOL;
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB: return blob_as_text ? VT_BSTR : VT_BLOB;
    default: return VT_BSTR;
    }
}

namespace {

bool is_blob_type(int t) { return t >= MYSQL_TYPE_TINY_BLOB && t <= MYSQL_TYPE_BLOB; }

// Types whose cells are character or byte strings, by their character set.
bool is_string_type(int t) {
    return is_blob_type(t) || t == MYSQL_TYPE_VAR_STRING || t == MYSQL_TYPE_STRING || t == MYSQL_TYPE_VARCHAR ||
           t == MYSQL_TYPE_GEOMETRY;
}

// TIME in the text protocol: [-]H+:MM:SS[.ffffff]. Only a time of day, the
// end of the day 24:00:00 included, fits a PostgreSQL time as it is.
bool is_time_of_day(std::string_view s) {
    if (s.empty() || s[0] == '-') return false;
    unsigned hours = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), hours);
    if (ec != std::errc() || p == s.data() + s.size() || *p != ':') return false;
    if (hours < 24) return true;
    if (hours > 24) return false;
    const std::string_view rest = s.substr(static_cast<std::size_t>(p - s.data()));
    if (rest.substr(0, 6) != ":00:00") return false;
    if (rest.size() == 6) return true;
    return rest[6] == '.' && rest.find_first_not_of('0', 7) == std::string_view::npos;
}

// MySQL's zero date ("0000-00-00", "0000-00-00 00:00:00[.000000]") stands for
// no date and arrives as NULL; a partly zero one ("2021-02-00") does not.
bool is_zero_date(std::string_view s) {
    for (const char c : s)
        if (c != '0' && c != '-' && c != ':' && c != ' ' && c != '.') return false;
    return !s.empty();
}

}  // namespace

sql_column sql_column::from_field(const MYSQL_FIELD& f, bool blob_as_text) {
    sql_column c;
    c.name = udb_name(tk_utf8_to_unicode(std::string_view(f.name ? f.name : "", f.name ? f.name_length : 0)));
    c.mysql_type = f.type;
    c.flags = f.flags;
    c.length = f.length;
    c.decimals = f.decimals;
    c.charset = f.charsetnr;
    c.vt = get_vartype_by_mysql_type(f.type, f.flags, blob_as_text);
    if (is_string_type(f.type)) {
        const bool binary = f.charsetnr == sql_mysql::binary_charset && !(blob_as_text && is_blob_type(f.type));
        c.how = binary ? path::bytes : path::text;
        c.vt = binary ? VT_BLOB : VT_BSTR;
    } else if (f.type == MYSQL_TYPE_BIT) {
        if (f.length <= 1) {
            c.how = path::bit1;
        } else {
            c.how = path::bits;
            // 64 bits need the unsigned type to keep every value.
            c.vt = f.length >= 64 ? VT_UI8 : VT_I8;
        }
    } else if (f.type == MYSQL_TYPE_TIME) {
        c.how = path::time;
    } else if (c.vt == VT_DATE) {
        c.how = path::date;
    } else if (c.vt == VT_BSTR) {
        c.how = path::text;  // ENUM, SET, JSON, NULL and types not listed
    } else {
        c.how = path::parse;
    }
    return c;
}

sql_columns sql_read_columns(const MYSQL_FIELD* fields, unsigned count, bool blob_as_text) {
    sql_columns cols;
    cols.reserve(count);
    for (unsigned i = 0; i < count; ++i) cols.push_back(sql_column::from_field(fields[i], blob_as_text));
    return cols;
}

void sql_set_cell(ole_variant& v, const sql_column& col, const char* cell, unsigned long len, bool* bad) {
    if (!cell) {
        v.set_empty();
        return;
    }
    const std::string_view text(cell, len);
    switch (col.how) {
    case sql_column::path::text:
        // Kept as the UTF-8 it is: it leaves as UTF-8 too. PostgreSQL text
        // cannot hold a NUL character, and the value would end at it: such a
        // cell is reported, never cut.
        if (!v.attach_utf8_whole(text) && bad) *bad = true;
        return;
    case sql_column::path::text_or_bytes: {
        bool nul = false;
        if (pf_utf8::count_without_nul(text, nul) != std::string_view::npos) {
            v.attach_utf8_whole(text);
            return;
        }
        [[fallthrough]];
    }
    case sql_column::path::bytes:
        if (len)
            std::memcpy(v.binary_room(len), cell, len);
        else
            v.binary_room(0);
        return;
    case sql_column::path::parse: v = ole_variant::from_string(text, col.vt); return;
    case sql_column::path::time:
        if (!is_time_of_day(text)) {
            if (bad) *bad = true;
            v = ole_variant();
            return;
        }
        v = ole_variant::from_string(text, VT_DATE);
        return;
    case sql_column::path::date:
        v = ole_variant::from_string(text, VT_DATE);
        if (v.is_empty() && (col.not_null || !is_zero_date(text)) && bad) *bad = true;
        return;
    case sql_column::path::float_exact:
        if (text.empty())
            v = ole_variant();
        else
            v = ole_variant(static_cast<double>(pf_atof_r4(text)));
        return;
    case sql_column::path::bit1: v = ole_variant(len > 0 && cell[0] != 0); return;
    case sql_column::path::bits: {
        std::uint64_t bits = 0;
        for (unsigned long i = 0; i < len; ++i) bits = (bits << 8) | static_cast<unsigned char>(cell[i]);
        if (col.vt == VT_UI8)
            v = ole_variant(static_cast<unsigned long long>(bits));
        else
            v = ole_variant(static_cast<long long>(bits));
        return;
    }
    }
    v = ole_variant();
}

std::optional<std::string> sql_catalogue_bytes(const ole_variant& cell) {
    if (cell.is_empty_or_null()) return std::nullopt;
    if (cell.holds_utf8()) return std::string(cell.utf8_view());
    if (cell.vartype() == VT_ARRAY_UI1) {
        const unsigned char* data = nullptr;
        const std::size_t n = cell.get_bytes(data);
        return n ? std::string(reinterpret_cast<const char*>(data), n) : std::string();
    }
    return tk_to_utf8(cell.to_wstring());
}

ole_variant sql_cell_value(const sql_column& col, const char* cell, unsigned long len, bool* bad) {
    ole_variant v;
    sql_set_cell(v, col, cell, len, bad);
    return v;
}

namespace {

// What is wrong with a cell that cannot be carried.
std::wstring bad_cell_text(const sql_column& col, const char* cell, unsigned long len) {
    // Only a date's or time's text is shown (a text cell may be huge, and not UTF-8).
    const auto shown = [&] {
        return L"'" + tk_utf8_to_unicode(std::string_view(cell, len)) + L"' of column '" + col.name.str() + L"'";
    };
    if (col.how == sql_column::path::time)
        return L"The TIME value " + shown() + L" is not a time of day (00:00:00 to 24:00:00)";
    if (col.how == sql_column::path::date) {
        if (is_zero_date(std::string_view(cell, len)))
            return L"The date value " + shown() + L" is MySQL's zero date, which stands for no date";
        return L"The date value " + shown() + L" is not a calendar date";
    }
    return L"The text of column '" + col.name.str() + L"' holds a NUL character at byte " +
           std::to_wstring(static_cast<const char*>(std::memchr(cell, 0, len)) - cell) +
           L", which a PostgreSQL text cannot hold";
}

void report_bad_cell(const sql_column& col, const char* cell, unsigned long len, const sql_row_origin& origin) {
    std::wstring context = origin.table ? *origin.table : std::wstring();
    context += L", record #" + std::to_wstring(origin.record_number);
    const tk_exception error(bad_cell_text(col, cell, len) + L"; the cell is left empty.", 0);
    if (origin.reports)
        origin.reports->report(error, context);
    else
        sql_value_reports::trace(error, context);
}

}  // namespace

sql_record::sql_record(const sql_columns* columns, const unsigned long* lengths, char** row,
                       const sql_row_origin& origin) {
    if (!columns) throw tk_mail_assertion("sql_rec", 17);
    fill(*columns, lengths, row, origin);
}

void sql_record::take_shape(const sql_columns& cols) {
    if (size() == cols.size()) {
        forget_refusal();
        // The same columns read again: the fields stay and are refilled; a
        // name is only set when it belongs to another column list.
        std::size_t held = 0;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            udb_field& f = (*this)[i];
            if (&f.name.str() != &cols[i].name.str()) f.name = cols[i].name;
            held += f.size;
        }
        // A large row lets go of its values first: a later column's old value
        // would otherwise still be held while the earlier ones take the new
        // row's, two large rows at once.
        if (held >= large_row)
            for (std::size_t i = 0; i < cols.size(); ++i) (*this)[i].set_empty();
        return;
    }
    clear();
    reserve(cols.size());
    for (const sql_column& col : cols) emplace(col.name, 0u, ole_variant(), false, false);
}

void sql_record::bad_cell(const sql_column& col, const char* cell, unsigned long len, const sql_row_origin& origin) {
    // An empty cell would fail the whole table's load on the column's
    // constraint: the row alone is refused where it is stored.
    if (col.not_null)
        refuse(bad_cell_text(col, cell, len) + L"; the column is NOT NULL, so the row is not copied.");
    else
        report_bad_cell(col, cell, len, origin);
}

int sql_record::fill(const sql_columns& cols, const unsigned long* lengths, char** row, const sql_row_origin& origin) {
    tk_trace(1, "sql_record::ctor (n_fields=%d)", static_cast<int>(cols.size()));
    take_shape(cols);
    int bad_cells = 0;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const sql_column& col = cols[i];
        const char* cell = row[i];
        const unsigned long len = cell ? lengths[i] : 0;
        udb_field& f = (*this)[i];
        f.size = static_cast<std::uint32_t>(len);
        bool bad = false;
        sql_set_cell(f, col, cell, len, &bad);
        if (bad) {
            ++bad_cells;
            bad_cell(col, cell, len, origin);
        }
    }
    return bad_cells;
}
