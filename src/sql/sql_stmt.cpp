#include "sql/sql_stmt.h"

#include <mysql.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/plat_date.h"
#include "sql/sql_exc.h"
#include "tk/tk_log.h"

// Per-cell code: every cell of every table row passes here.

namespace {

// Cells up to this size land in the column's own buffer; longer ones are
// fetched straight into their value.
constexpr unsigned long largest_buffer = 16 * 1024;
constexpr unsigned long smallest_buffer = 64;

bool is_integer_type(int t) {
    return t == MYSQL_TYPE_TINY || t == MYSQL_TYPE_SHORT || t == MYSQL_TYPE_LONG || t == MYSQL_TYPE_INT24 ||
           t == MYSQL_TYPE_LONGLONG || t == MYSQL_TYPE_YEAR;
}

bool is_temporal_type(int t) {
    return t == MYSQL_TYPE_DATE || t == MYSQL_TYPE_DATETIME || t == MYSQL_TYPE_TIMESTAMP || t == MYSQL_TYPE_TIME ||
           t == MYSQL_TYPE_NEWDATE;
}

char* put_digits(char* o, unsigned long v, int width) {
    char tmp[24];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = n; i < width; ++i) *o++ = '0';
    while (n > 0) *o++ = tmp[--n];
    return o;
}

// MySQL's own text of a date or time value, as the text protocol sends it.
std::size_t temporal_text(const MYSQL_TIME& t, int type, unsigned decimals, char* buf) {
    char* o = buf;
    if (type == MYSQL_TYPE_TIME) {
        if (t.neg) *o++ = '-';
        o = put_digits(o, static_cast<unsigned long>(t.day) * 24 + t.hour, 2);
    } else {
        o = put_digits(o, t.year, 4);
        *o++ = '-';
        o = put_digits(o, t.month, 2);
        *o++ = '-';
        o = put_digits(o, t.day, 2);
        if (type == MYSQL_TYPE_DATE || type == MYSQL_TYPE_NEWDATE) return static_cast<std::size_t>(o - buf);
        *o++ = ' ';
        o = put_digits(o, t.hour, 2);
    }
    *o++ = ':';
    o = put_digits(o, t.minute, 2);
    *o++ = ':';
    o = put_digits(o, t.second, 2);
    const unsigned digits = std::min(decimals, 6u);
    if (digits > 0) {
        char frac[8];
        put_digits(frac, t.second_part, 6);
        *o++ = '.';
        for (unsigned i = 0; i < digits; ++i) *o++ = frac[i];
    }
    return static_cast<std::size_t>(o - buf);
}

// The value the text reader gives a plain calendar date or time of day,
// made from its parts; false for anything else (the zero date, a part that
// is zero or out of range, a time beyond the day, years before 1000), which
// takes the text reader's own way through its text.
bool plain_temporal(const MYSQL_TIME& t, int type, plat_systemtime& out) {
    if (t.neg || t.second_part > 999999 || t.minute > 59 || t.second > 59) return false;
    out = plat_systemtime{};
    if (type == MYSQL_TYPE_TIME) {
        const unsigned long hours = static_cast<unsigned long>(t.day) * 24 + t.hour;
        if (hours > 24 || (hours == 24 && (t.minute || t.second || t.second_part))) return false;
        out.hour = static_cast<std::uint16_t>(hours);
    } else {
        if (t.year < 1000 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
            t.day > static_cast<unsigned>(plat_days_in_month(static_cast<int>(t.year), static_cast<int>(t.month))) ||
            t.hour > 23)
            return false;
        out.year = static_cast<std::uint16_t>(t.year);
        out.month = static_cast<std::uint16_t>(t.month);
        out.day = static_cast<std::uint16_t>(t.day);
        out.hour = static_cast<std::uint16_t>(t.hour);
    }
    out.minute = static_cast<std::uint16_t>(t.minute);
    out.second = static_cast<std::uint16_t>(t.second);
    out.microsecond = static_cast<std::uint32_t>(t.second_part);
    return true;
}

// An integer cell as the text reader types it; false for a type code it does
// not read as an integer.
bool set_integer(ole_variant& v, VARTYPE vt, long long s, unsigned long long u) {
    switch (vt) {
    case VT_I1: v.set(static_cast<signed char>(s)); return true;
    case VT_UI1: v.set(static_cast<unsigned char>(u)); return true;
    case VT_I2: v.set(static_cast<short>(s)); return true;
    case VT_UI2: v.set(static_cast<unsigned short>(u)); return true;
    case VT_I4: v.set(static_cast<int>(s)); return true;
    case VT_UI4: v.set(static_cast<unsigned int>(u)); return true;
    case VT_I8: v.set(s); return true;
    case VT_UI8: v.set(u); return true;
    default: return false;
    }
}

}  // namespace

sql_binary_rows::sql_binary_rows(MYSQL* connection, const std::string& statement)
    : m_mysql(connection), m_statement(statement) {
    tk_trace(1, "sql_binary_rows::sql_binary_rows(%s)", statement.c_str());
    // Owned at once: a statement the server refuses is closed as the
    // exception leaves.
    m_stmt.reset(mysql_stmt_init(connection));
    if (!m_stmt) throw sql_exception(connection).set_statement(statement);
    if (mysql_stmt_prepare(m_stmt.get(), statement.data(), statement.size()) != 0) fail();
    if (mysql_stmt_field_count(m_stmt.get()) == 0)
        throw sql_exception("The statement returns no rows: " + statement, 0);
    // No cursor and no stored result: the rows stream as they are fetched.
    if (mysql_stmt_execute(m_stmt.get()) != 0) fail();
    m_meta.reset(mysql_stmt_result_metadata(m_stmt.get()));
    if (!m_meta) fail();
    m_field_count = mysql_num_fields(m_meta.get());
    m_fields = mysql_fetch_fields(m_meta.get());
    bind(m_fields);
}

sql_binary_rows::~sql_binary_rows() { tk_trace(1, "sql_binary_rows::~sql_binary_rows"); }

void sql_binary_rows::fail() { throw sql_statement_error(m_stmt.get(), m_mysql).set_statement(m_statement); }

void sql_binary_rows::bind(const MYSQL_FIELD* fields) {
    m_columns.resize(m_field_count);
    m_binds = std::make_unique<MYSQL_BIND[]>(m_field_count);
    for (unsigned i = 0; i < m_field_count; ++i) {
        const MYSQL_FIELD& f = fields[i];
        column_buffer& c = m_columns[i];
        MYSQL_BIND& b = m_binds[i];
        std::memset(&b, 0, sizeof b);
        if (is_integer_type(f.type)) {
            c.as = bound::integer;
            c.data.resize(sizeof(long long));
            b.buffer_type = MYSQL_TYPE_LONGLONG;
            b.is_unsigned = (f.flags & sql_mysql::unsigned_flag) != 0;
        } else if (f.type == MYSQL_TYPE_FLOAT) {
            c.as = bound::real4;
            c.data.resize(sizeof(float));
            b.buffer_type = MYSQL_TYPE_FLOAT;
        } else if (f.type == MYSQL_TYPE_DOUBLE) {
            c.as = bound::real8;
            c.data.resize(sizeof(double));
            b.buffer_type = MYSQL_TYPE_DOUBLE;
        } else if (is_temporal_type(f.type)) {
            c.as = bound::temporal;
            c.data.resize(sizeof(MYSQL_TIME));
            b.buffer_type = f.type == MYSQL_TYPE_NEWDATE ? MYSQL_TYPE_DATE : f.type;
        } else {
            // Strings, DECIMAL, BIT, ENUM, SET, JSON, GEOMETRY: their bytes.
            c.as = bound::bytes;
            c.data.resize(std::clamp<unsigned long>(f.length, smallest_buffer, largest_buffer));
            b.buffer_type = MYSQL_TYPE_BLOB;
        }
        b.buffer = c.data.data();
        b.buffer_length = static_cast<unsigned long>(c.data.size());
        b.length = &c.length;
        b.is_null = reinterpret_cast<my_bool*>(&c.is_null);
        b.error = reinterpret_cast<my_bool*>(&c.error);
    }
    if (mysql_stmt_bind_result(m_stmt.get(), m_binds.get()) != 0) fail();
}

bool sql_binary_rows::fetch(sql_record& record, const sql_columns& cols, const sql_row_origin& origin,
                            std::size_t& bytes) {
    const int rc = mysql_stmt_fetch(m_stmt.get());
    if (rc == MYSQL_NO_DATA) return false;
    // A lost connection is an error, never the end of the rows.
    if (rc != 0 && rc != MYSQL_DATA_TRUNCATED) fail();
    record.take_shape(cols);
    const std::size_t n = std::min<std::size_t>(cols.size(), m_field_count);
    for (std::size_t i = 0; i < n; ++i) {
        const sql_column& col = cols[i];
        column_buffer& c = m_columns[i];
        udb_field& f = record[i];
        ole_variant& v = f;
        if (c.is_null) {
            f.size = 0;
            v.set_empty();
            continue;
        }
        bool bad = false;
        const char* text = nullptr;  // the cell's text, for a report
        unsigned long len = 0;
        switch (c.as) {
        case bound::integer: {
            long long s;
            std::memcpy(&s, c.data.data(), sizeof s);
            const auto u = static_cast<unsigned long long>(s);
            len = c.length;
            if (col.how == sql_column::path::parse && set_integer(f, col.vt, s, u)) break;
            // Any other plan reads the number's text.
            char buf[24];
            const int k = m_binds[i].is_unsigned ? std::snprintf(buf, sizeof buf, "%llu", u)
                                                 : std::snprintf(buf, sizeof buf, "%lld", s);
            m_cell.assign(buf, static_cast<std::size_t>(k));
            text = m_cell.data();
            len = static_cast<unsigned long>(k);
            sql_set_cell(f, col, text, len, &bad);
            break;
        }
        case bound::real4: {
            float x;
            std::memcpy(&x, c.data.data(), sizeof x);
            len = c.length;
            // Exactly the stored float (the text would have six digits).
            if (col.how == sql_column::path::float_exact)
                v.set(static_cast<double>(x));
            else
                v.set(x);
            break;
        }
        case bound::real8: {
            double x;
            std::memcpy(&x, c.data.data(), sizeof x);
            len = c.length;
            if (col.how == sql_column::path::float_exact)
                v.set(static_cast<double>(static_cast<float>(x)));
            else if (col.vt == VT_R4)
                v.set(static_cast<float>(x));
            else
                v.set(x);
            break;
        }
        case bound::temporal: {
            MYSQL_TIME t;
            std::memcpy(&t, c.data.data(), sizeof t);
            plat_systemtime st;
            if (plain_temporal(t, m_fields[i].type, st)) {
                v.set(st);
                len = c.length;
                break;
            }
            // The rest takes the text reader's way through MySQL's own text.
            char buf[64];
            len = static_cast<unsigned long>(temporal_text(t, m_fields[i].type, m_fields[i].decimals, buf));
            m_cell.assign(buf, len);
            text = m_cell.data();
            sql_set_cell(f, col, text, len, &bad);
            break;
        }
        case bound::bytes:
            len = c.length;
            if (len > c.data.size()) {
                fetch_long_cell(f, col, static_cast<unsigned>(i), bad, origin, record);
                f.size = static_cast<std::uint32_t>(len);
                bytes += len;
                continue;
            }
            text = c.data.data();
            sql_set_cell(f, col, text, len, &bad);
            break;
        }
        f.size = static_cast<std::uint32_t>(len);
        bytes += len;
        if (bad) record.bad_cell(col, text, len, origin);
    }
    return true;
}

void sql_binary_rows::fetch_long_cell(udb_field& field, const sql_column& col, unsigned index, bool& bad,
                                      const sql_row_origin& origin, sql_record& record) {
    const unsigned long len = m_columns[index].length;
    MYSQL_BIND b;
    std::memset(&b, 0, sizeof b);
    b.buffer_type = MYSQL_TYPE_BLOB;
    b.buffer_length = len;
    unsigned long got = 0;
    b.length = &got;
    switch (col.how) {
    case sql_column::path::text: {
        char* room = field.utf8_room(len);
        b.buffer = room;
        if (mysql_stmt_fetch_column(m_stmt.get(), &b, index, 0) != 0) fail();
        if (std::memchr(room, 0, len)) {
            // As sql_set_cell: never cut, reported or refused.
            bad = true;
            record.bad_cell(col, room, len, origin);
        }
        if (!field.commit_utf8_whole(len)) bad = true;
        return;
    }
    case sql_column::path::bytes:
        b.buffer = field.binary_room(len);
        if (mysql_stmt_fetch_column(m_stmt.get(), &b, index, 0) != 0) fail();
        return;
    default:
        m_cell.resize(len);
        b.buffer = m_cell.data();
        if (mysql_stmt_fetch_column(m_stmt.get(), &b, index, 0) != 0) fail();
        sql_set_cell(field, col, m_cell.data(), len, &bad);
        if (bad) record.bad_cell(col, m_cell.data(), len, origin);
        return;
    }
}
