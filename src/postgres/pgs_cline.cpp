#include "postgres/pgs_cline.h"

#include <cstdint>

#include "platform/pf_num.h"
#include "platform/pf_utf8.h"
#include "platform/plat_date.h"
#include "postgres/pgs_exc.h"
#include "tk/tk_utils.h"
#include "variant/ole_date.h"
#include "variant/ole_var.h"

namespace {

[[noreturn]] void value_error(const std::string& what) { throw pgs_exception(what); }

char* put2(char* o, unsigned v) {
    o[0] = char('0' + v / 10);
    o[1] = char('0' + v % 10);
    return o + 2;
}

// What append_text would refuse, found without writing anything.
void check_wide_text(std::wstring_view text) {
    for (const wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c == 0) value_error("Text contains a NUL character, which PostgreSQL cannot store");
        if (c >= 0x80 && !pf_utf8::is_scalar(c)) {
            (void)tk_to_utf8(text);  // throws the conversion's own exception
            value_error("Cannot convert to UTF8 string");
        }
    }
}

// Encoders of large values, a slice at a time.
void escape_wide_slice(const void* e, std::size_t from, std::size_t to, std::string& out) {
    pgs_copy_buffer::append_text(std::wstring_view(static_cast<const wchar_t*>(e) + from, to - from), out);
}

void escape_utf8_slice(const void* e, std::size_t from, std::size_t to, std::string& out) {
    pgs_copy_buffer::append_utf8_text(std::string_view(static_cast<const char*>(e) + from, to - from), out);
}

void hex_slice(const void* e, std::size_t from, std::size_t to, std::string& out) {
    const std::size_t old = out.size();
    out.resize(old + 2 * (to - from));
    pf_hex_encode(static_cast<const unsigned char*>(e) + from, to - from, out.data() + old);
}

}  // namespace

pgs_copy_buffer::pgs_copy_buffer(std::size_t batch_size) : m_batch(batch_size) {
    // Room for a full batch plus the line that crosses its end.
    m_buf.reserve(batch_size + batch_size / 4);
}

void pgs_copy_buffer::add_null() {
    separate();
    m_buf.append("\\N", 2);
}

void pgs_copy_buffer::append_text(std::wstring_view text, std::string& out) {
    // Worst case 4 bytes per character; the escapes need only 2.
    const std::size_t old = out.size();
    out.resize(old + 4 * text.size());
    char* const begin = out.data() + old;
    char* o = begin;
    for (const wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x80) {
            switch (c) {
            case '\\':
                *o++ = '\\';
                *o++ = '\\';
                continue;
            case '\t':
                *o++ = '\\';
                *o++ = 't';
                continue;
            case '\n':
                *o++ = '\\';
                *o++ = 'n';
                continue;
            case '\r':
                *o++ = '\\';
                *o++ = 'r';
                continue;
            case 0: out.resize(old); value_error("Text contains a NUL character, which PostgreSQL cannot store");
            default: *o++ = char(c); continue;
            }
        }
        o = pf_utf8::put_multibyte_checked(o, c);
        if (!o) {
            out.resize(old);
            (void)tk_to_utf8(text);  // throws the conversion's own exception
            value_error("Cannot convert to UTF8 string");
        }
    }
    out.resize(old + static_cast<std::size_t>(o - begin));
}

void pgs_copy_buffer::append_utf8_text(std::string_view text, std::string& out) {
    // Only four ASCII bytes are escaped; every other byte passes as it is.
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* run = p;
    for (; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c > '\\') continue;
        char e;
        switch (c) {
        case '\\': e = '\\'; break;
        case '\t': e = 't'; break;
        case '\n': e = 'n'; break;
        case '\r': e = 'r'; break;
        default: continue;
        }
        out.append(run, static_cast<std::size_t>(p - run));
        const char esc[2] = {'\\', e};
        out.append(esc, 2);
        run = p + 1;
    }
    out.append(run, static_cast<std::size_t>(end - run));
}

void pgs_copy_buffer::add_text(const ole_variant& value) {
    if (value.holds_utf8()) {
        const std::string_view text = value.utf8_view();
        if (text.size() >= m_piece_size) {
            m_pieces.add(m_buf.size(), text.data(), text.size(), 1, escape_utf8_slice);
            return;
        }
        append_utf8_text(text, m_buf);
        return;
    }
    const std::wstring_view text = value.text_view();
    if (text.size() >= m_piece_size) {
        check_wide_text(text);
        m_pieces.add(m_buf.size(), text.data(), text.size(), sizeof(wchar_t), escape_wide_slice);
        return;
    }
    append_text(text, m_buf);
}

ole_date pgs_checked_date(const ole_variant& value) {
    const plat_systemtime& t = value.get_time();
    const ole_date d(t);
    if (!d.is_valid()) value_error("Invalid date value");
    if (d.kind() != ole_date::kind_time) {
        // The source may hold what no calendar has (MySQL's ALLOW_INVALID_DATES
        // keeps 2021-02-30); the server would refuse it only when the COPY ends,
        // losing the whole table, so the row is refused here.
        const bool with_time = d.kind() != ole_date::kind_date;
        if (t.year < 1 || t.day < 1 || t.day > plat_days_in_month(t.year, t.month) ||
            (with_time && (t.hour > 23 || t.minute > 59 || t.second > 59 || t.microsecond > 999999))) {
            std::string shown;
            d.append_to(shown);
            value_error("Date value " + shown + " is not a calendar date");
        }
        return d;
    }
    // A time of day: PostgreSQL TIME holds 00:00:00 to 24:00:00. The source's
    // wider range (MySQL TIME is an interval) is refused, never folded.
    const bool no_rest = t.minute == 0 && t.second == 0 && t.microsecond == 0;
    const bool zero = t.hour == 0 && no_rest;
    const bool over = t.hour > 24 || (t.hour == 24 && !no_rest);
    if ((t.negative && !zero) || over || t.minute > 59 || t.second > 59 || t.microsecond > 999999) {
        std::string shown;
        d.append_to(shown);
        const std::string::size_type p = shown.find("0000-00-00 ");
        if (p == 0) shown.erase(0, 11);
        value_error("Time value " + shown + " is outside the range of PostgreSQL TIME (00:00:00 to 24:00:00)");
    }
    return d;
}

void pgs_append_date_text(const ole_variant& value, std::string& out) {
    const ole_date d = pgs_checked_date(value);
    if (d.kind() != ole_date::kind_time) {
        d.append_to(out);
        return;
    }
    const plat_systemtime& t = value.get_time();
    char buf[16];
    char* o = put2(buf, t.hour);
    *o++ = ':';
    o = put2(o, t.minute);
    *o++ = ':';
    o = put2(o, t.second);
    if (t.microsecond != 0) {
        *o++ = '.';
        std::uint32_t us = t.microsecond;
        for (int i = 5; i >= 0; --i) {
            o[i] = char('0' + us % 10);
            us /= 10;
        }
        o += 6;
    }
    out.append(buf, static_cast<std::size_t>(o - buf));
}

void pgs_copy_buffer::add_bytes(const ole_variant& value) {
    // bytea hex form "\x0102..."; its backslash is doubled for COPY.
    const pf_safearray* a = value.get_var().array;
    const std::size_t n = (a && a->dims == 1) ? a->count : 0;
    if (n >= m_piece_size) {
        m_buf.append("\\\\x", 3);
        m_pieces.add(m_buf.size(), a->data(), n, 1, hex_slice);
        return;
    }
    const std::size_t old = m_buf.size();
    m_buf.reserve(old + 4 + 2 * n);  // the line feed too: a huge value is not doubled by it
    m_buf.resize(old + 3 + 2 * n);
    char* o = m_buf.data() + old;
    o[0] = '\\';
    o[1] = '\\';
    o[2] = 'x';
    if (n) pf_hex_encode(a->data(), n, o + 3);
}

void pgs_copy_buffer::add(const ole_variant& value) {
    switch (value.vartype()) {
    case VT_EMPTY:
    case VT_NULL: add_null(); return;
    case VT_BSTR:
        separate();
        add_text(value);
        return;
    case VT_DATE:
        separate();
        pgs_append_date_text(value, m_buf);
        return;
    case VT_ARRAY_UI1:
        separate();
        add_bytes(value);
        return;
    default:
        if (!pf_is_number_type(value.vartype()))
            value_error("A value of type " + std::to_string(value.vartype()) + " cannot be written to PostgreSQL");
        // A number's text has nothing to escape.
        separate();
        value.append_utf8(m_buf);
    }
}
