#pragma once
// COPY text lines (text format: tab between fields, \N for SQL NULL, backslash
// escapes for backslash, tab, line feed and carriage return, every other byte
// raw UTF-8), built straight into one reused buffer that collects several lines
// until they are sent together.
#include <cstddef>
#include <string>
#include <string_view>

class ole_variant;

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
    void drop_row() noexcept { m_buf.resize(m_row_start); }

    // True when the collected lines should be sent.
    bool full() const noexcept { return m_buf.size() >= m_batch; }
    bool empty() const noexcept { return m_buf.empty(); }
    std::size_t rows() const noexcept { return m_rows; }
    // The collected lines, each ended by a line feed.
    const std::string& text() const noexcept { return m_buf; }
    // Forgets the lines; keeps the memory of a batch, not that of a huge row.
    void clear() noexcept {
        if (m_buf.capacity() > 4 * m_batch + 4096) std::string().swap(m_buf);
        m_buf.clear();
        m_rows = 0;
        m_row_start = 0;
    }

    // Escaped UTF-8 of wide text into out (no NUL allowed; see add).
    static void append_text(std::wstring_view text, std::string& out);

private:
    void separate() {
        if (!m_first) m_buf.push_back('\t');
        m_first = false;
    }
    void add_date(const ole_variant& value);
    void add_bytes(const ole_variant& value);

    std::string m_buf;
    std::size_t m_batch;
    std::size_t m_row_start = 0;
    std::size_t m_rows = 0;
    bool m_first = true;
};
