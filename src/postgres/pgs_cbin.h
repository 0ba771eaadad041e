#pragma once
// COPY rows in PostgreSQL's binary format: each value encoded for the type of
// the column it goes to, so that the server stores it without parsing text.
// The checks of the text lines come first (a date that is not a calendar date,
// a time outside the day, NUL in text): such a value is an error of its row,
// never another value. Rows collect in one reused buffer; large text and byte
// values are sent from the value itself (pgs_copy_pieces).
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "postgres/pgs_copy.h"

class ole_variant;

// The binary forms this writer makes, one per PostgreSQL type it knows.
enum class pgs_binary_kind : std::uint8_t {
    int2,
    int4,
    int8,
    numeric,
    float4,
    float8,
    date,
    time,
    timestamp,
    text,  // text, character varying, character
    bytea,
    boolean,
};

// The kind for a type name as information_schema.columns gives it; nullopt
// for a type this writer does not encode (its table is loaded as text).
std::optional<pgs_binary_kind> pgs_binary_kind_of(std::string_view type_name);

class pgs_binary_rows {
public:
    static constexpr std::size_t default_batch = 64 * 1024;

    // columns: the kind of each field of a row, in row order.
    explicit pgs_binary_rows(std::vector<pgs_binary_kind> columns, std::size_t batch_size = default_batch);

    // A row: begin_row, add for each column in order, end_row. A value that
    // fails (pgs_exception, or the text conversion's exception for text
    // without a UTF-8 form) leaves the row to be taken back by drop_row.
    void begin_row();
    // SQL NULL for the empty value and VT_NULL; otherwise the value for the
    // column's kind. Throws pgs_exception for a value the column cannot take
    // as it is (out of range, a time for a date, a type that has no such form).
    void add(const ole_variant& value);
    void end_row() noexcept { ++m_rows; }
    void drop_row() noexcept;

    bool full() const noexcept { return m_size >= m_batch; }
    bool has_pieces() const noexcept { return !m_pieces.empty(); }
    std::size_t rows() const noexcept { return m_rows; }
    // The bytes collected (the header first), without the values kept out of
    // them.
    std::string_view bytes() const noexcept { return std::string_view(m_data.get(), m_size); }
    void set_piece_size(std::size_t n) noexcept { m_piece_size = n; }

    // Sends what was collected and forgets it (the header goes with the first
    // rows).
    void send_to(pgs_copy_stream& out);
    // Sends the rest and the end mark; nothing may follow.
    void finish_to(pgs_copy_stream& out);

private:
    char* room(std::size_t n) {
        if (m_capacity - m_size < n) grow(n);
        return m_data.get() + m_size;
    }
    void grow(std::size_t n);
    void put_bytes(const void* p, std::size_t n);
    void put_length(std::size_t n);
    void add_null();
    void add_integer(const ole_variant& value, pgs_binary_kind kind);
    void add_numeric(const ole_variant& value);
    void add_real(const ole_variant& value, pgs_binary_kind kind);
    void add_date(const ole_variant& value, pgs_binary_kind kind);
    void add_text(const ole_variant& value);
    void add_bytes(const ole_variant& value);
    void add_boolean(const ole_variant& value);
    void clear() noexcept;

    std::vector<pgs_binary_kind> m_columns;
    std::size_t m_column = 0;  // of the next value in the row
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    std::size_t m_batch;
    std::size_t m_row_start = 0;
    std::size_t m_rows = 0;
    pgs_copy_pieces m_pieces;
    std::size_t m_piece_size = std::numeric_limits<std::size_t>::max();
    std::string m_text;  // a value's text on its way to a text column
};
