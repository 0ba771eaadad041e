#pragma once
// The rows of one SELECT read with MySQL's binary protocol: a prepared
// statement run without a cursor, its rows fetched one by one as the server
// streams them (nothing is stored). Integers, FLOAT and DOUBLE arrive as
// their binary values and dates as their parts, so the server formats no
// text and no number is parsed here; DECIMAL, strings and BIT arrive as their
// bytes and take the text reader's way. Each cell becomes exactly the value
// the text reader would give it (a FLOAT exactly, where the text has six
// digits), with the same checks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sql/sql_rec.h"
#include "sql/sql_res.h"

struct st_mysql;
struct st_mysql_stmt;
struct st_mysql_bind;
struct st_mysql_field;

class sql_binary_rows {
public:
    // Prepares and runs the statement on the connection. sql_exception
    // (naming the statement) when the server refuses it or it gives no rows.
    sql_binary_rows(st_mysql* connection, const std::string& statement);
    // Closes the statement; rows not fetched are read and dropped by the
    // client library. Never throws.
    ~sql_binary_rows();
    sql_binary_rows(const sql_binary_rows&) = delete;
    sql_binary_rows& operator=(const sql_binary_rows&) = delete;

    const st_mysql_field* fields() const noexcept { return m_fields; }
    unsigned field_count() const noexcept { return m_field_count; }

    // The next row into the record, as sql_record::fill would make it from
    // the row's text (bad cells refused or reported to the origin). false at
    // the end of the rows; sql_exception when the connection fails. bytes
    // grows by the row's cell bytes.
    bool fetch(sql_record& record, const sql_columns& columns, const sql_row_origin& origin, std::size_t& bytes);

private:
    // What a column is fetched as.
    enum class bound : std::uint8_t { integer, real4, real8, temporal, bytes };
    struct column_buffer {
        bound as = bound::bytes;
        unsigned long length = 0;
        char is_null = 0;
        char error = 0;
        std::vector<char> data;  // a small cell (bytes), or the number or MYSQL_TIME
    };

    void bind(const st_mysql_field* fields);
    [[noreturn]] void fail();
    // A cell longer than its buffer, fetched straight into its value.
    void fetch_long_cell(udb_field& field, const sql_column& column, unsigned index, bool& bad,
                         const sql_row_origin& origin, sql_record& record);

    st_mysql* m_mysql;
    sql_statement m_stmt;
    std::string m_statement;
    sql_result m_meta;  // freed before the statement is closed
    const st_mysql_field* m_fields = nullptr;
    unsigned m_field_count = 0;
    std::vector<column_buffer> m_columns;
    std::unique_ptr<st_mysql_bind[]> m_binds;
    std::string m_cell;  // a long cell of another kind, or a date's text
};
