#pragma once
// COPY text lines (text format: tab between fields, \N for SQL NULL, backslash
// escapes for backslash, tab, line feed and carriage return, every other byte
// raw UTF-8), built straight into one reused buffer that collects several lines
// until they are sent together.
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "postgres/pgs_copy.h"

class ole_date;
class ole_variant;

// A date value (VT_DATE) as PostgreSQL can hold it, checked as both COPY
// formats check it: pgs_exception for an invalid date, a date that is not a
// calendar date, a time of day outside 00:00:00 to 24:00:00. Gives its
// ole_date (the kind says date, date and time, or time of day).
ole_date pgs_checked_date(const ole_variant& value);
// Its COPY text: "YYYY-MM-DD[ HH:MM:SS[.ffffff]]" or "HH:MM:SS[.ffffff]".
void pgs_append_date_text(const ole_variant& value, std::string& out);

class pgs_copy_buffer {
public:
    static constexpr std::size_t default_batch = 64 * 1024;

    explicit pgs_copy_buffer(std::size_t batch_size = default_batch);

    // Starts a line; a value that fails before end_row is taken back by drop_row.
    void begin_row() noexcept {
        m_row_start = m_buf.size();
        m_first = true;
    }
    // One field. SQL NULL (empty value, VT_NULL) gives \N; text, numbers, dates
    // and byte arrays (bytea hex form) their COPY text. Throws pgs_exception for
    // a value PostgreSQL cannot hold as it is (a time of day outside 00:00:00 to
    // 24:00:00, an invalid date, text with a NUL character, a value type without
    // a text form) and the text conversion's tk_exception_ex for text that has no
    // UTF-8 form.
    void add(const ole_variant& value);
    void add_null();
    void end_row() {
        m_buf.push_back('\n');
        ++m_rows;
    }
    void drop_row() noexcept {
        m_buf.resize(m_row_start);
        m_pieces.drop_from(m_row_start);
    }

    // True when the collected lines should be sent.
    bool full() const noexcept { return m_buf.size() >= m_batch; }
    bool empty() const noexcept { return m_buf.empty() && m_pieces.empty(); }
    bool has_pieces() const noexcept { return !m_pieces.empty(); }
    std::size_t rows() const noexcept { return m_rows; }
    // The collected lines, each ended by a line feed (without the values kept
    // out of them, see set_piece_size).
    const std::string& text() const noexcept { return m_buf; }
    // Forgets the lines; keeps the memory of a batch, not that of a huge row.
    void clear() noexcept {
        if (m_buf.capacity() > 4 * m_batch + 4096) std::string().swap(m_buf);
        m_buf.clear();
        m_pieces.clear();
        m_rows = 0;
        m_row_start = 0;
    }

    // Text and byte values of at least this many bytes (or characters) are
    // checked when added but encoded only when sent, from the value itself: a
    // large cell is never held twice. The values must then stay unchanged
    // until send_to. Default: none.
    void set_piece_size(std::size_t n) noexcept { m_piece_size = n; }
    // Sends the lines and forgets them.
    void send_to(pgs_copy_stream& out) {
        m_pieces.send(m_buf, out);
        clear();
    }

    // Escaped UTF-8 of wide text into out (no NUL allowed; see add).
    static void append_text(std::wstring_view text, std::string& out);
    // Escaped UTF-8 text (checked UTF-8 without NUL) into out.
    static void append_utf8_text(std::string_view text, std::string& out);

private:
    void separate() {
        if (!m_first) m_buf.push_back('\t');
        m_first = false;
    }
    void add_bytes(const ole_variant& value);

    void add_text(const ole_variant& value);

    std::string m_buf;
    pgs_copy_pieces m_pieces;
    std::size_t m_piece_size = std::numeric_limits<std::size_t>::max();
    std::size_t m_batch;
    std::size_t m_row_start = 0;
    std::size_t m_rows = 0;
    bool m_first = true;
};
