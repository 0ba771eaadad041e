#pragma once
// One open MySQL database: its base tables and its views (as stored queries),
// and the recordsets over its tables and SELECT texts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sql/sql_rec.h"
#include "udb/udb_db.h"

struct st_mysql;
struct st_mysql_res;
class sql_tmp_recordset;

class sql_database : public udb_database {
public:
    // Bit 7 of the mode's low byte: open without reading the views.
    static constexpr int no_views_mode = 0x80;

    // Reads the table list (sql_exception leaves) and, unless no_views_mode,
    // the views (a failure there opens the database without views).
    sql_database(const std::wstring& name, st_mysql* connection, int mode);
    ~sql_database() override;

    std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    // A sql_table; assertion (sql_db, 120) for a name not in the table list.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int mode) override;
    // A sql_recordset over any SELECT text.
    std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql,
                                             int mode) override;
    // Runs the statement, discards its rows; true when the server accepted it.
    bool query(const std::wstring& sql) override;
    // A sql_tmp_recordset with every row of the result; null for a statement
    // without result set; sql_exception when the server reports an error.
    std::unique_ptr<udb_recordset> query_rs(const std::wstring& sql) override;
    std::unique_ptr<sql_tmp_recordset> query_tmp(const std::string& utf8_sql);

    // The streamed result of the statement (null when it failed or has no rows).
    st_mysql_res* do_query2(const std::string& utf8_sql);

    // A view text as the server stores it, made portable.
    std::wstring refine_view_out(const std::wstring& text) const;

    st_mysql* connection() const { return m_mysql; }
    // mysql_real_escape_string for a literal between single quotes (UTF-8).
    std::string escape(const std::string& utf8) const;

    // One streamed statement, read into windows of at most window_size rows
    // in turn: a table or query is read once, front to back.
    class sql_limited_query {
    public:
        static constexpr std::size_t window_size = 256;
        using window = std::array<std::unique_ptr<sql_record>, window_size>;

        // sql_exception when the server rejects the statement.
        sql_limited_query(sql_database& db, const std::string& utf8_sql);
        // Frees the result; rows not fetched yet are read and discarded.
        ~sql_limited_query();
        sql_limited_query(const sql_limited_query&) = delete;
        sql_limited_query& operator=(const sql_limited_query&) = delete;

        const sql_columns& columns() const { return m_columns; }
        // Column i is a FLOAT read through its exact double (sql_select_columns_stmt).
        void read_float_exact(unsigned i) { m_columns.at(i).how = sql_column::path::float_exact; }
        // Column i cannot be left empty (sql_column::not_null).
        void set_not_null(unsigned i, bool not_null) { m_columns.at(i).not_null = not_null; }
        const struct st_mysql_field* fields() const { return m_fields; }
        unsigned field_count() const { return m_field_count; }
        // Fills slots 0.. with the next rows (reusing the slots' records) and
        // returns how many; fewer than window_size only at the end of the
        // result. A lost connection is sql_exception, never the end.
        // first_record: number (from 1) of the first row, for value reports.
        std::size_t store_to(window* win, const std::wstring& source, std::int64_t first_record);
        bool at_end() const { return m_result == nullptr; }

    private:
        void finish() noexcept;

        st_mysql* m_mysql;
        st_mysql_res* m_result = nullptr;
        const struct st_mysql_field* m_fields = nullptr;
        unsigned m_field_count = 0;
        sql_columns m_columns;
    };

private:
    void init_tables();
    void init_views();

    st_mysql* m_mysql;  // the engine's, not owned
};
