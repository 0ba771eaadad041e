#pragma once
// Recordsets over MySQL tables and SELECT texts, read in windows of 256 rows
// from one streamed statement, and the in-memory recordset of short results.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sql/sql_db.h"
#include "sql/sql_rec.h"
#include "udb/udb_recs.h"
#include "udb/udb_rel.h"

class sql_engine;
class sql_row_writer;

// One read-only consistent snapshot (REPEATABLE READ) on the connection, so
// that a table's rows come from one moment on InnoDB. (Its count, taken on a
// second connection while the rows stream, is of the moment next to it.)
// Ended (COMMIT) by the destructor; failures are traced and otherwise ignored.
class sql_snapshot {
public:
    // On the database's connection, by its server's rules.
    explicit sql_snapshot(sql_database& db);
    ~sql_snapshot();
    sql_snapshot(const sql_snapshot&) = delete;
    sql_snapshot& operator=(const sql_snapshot&) = delete;
    bool active() const { return m_active; }

private:
    sql_engine& m_engine;
    bool m_active = false;
};

class sql_recordset : public udb_recordset {
public:
    static constexpr std::size_t window_size = sql_database::sql_limited_query::window_size;

    // A table (its name) or a query (its name and SELECT text). A query is
    // only prepared, and refused (sql_require_query), unless it is one
    // statement that returns rows. A query described only (sql_rows::none)
    // has its count and columns; none of its rows is made into a record.
    sql_recordset(sql_database& db, const std::wstring& table_name, udb_relationships& relationships);
    sql_recordset(sql_database& db, const std::wstring& name, const std::wstring& sql, udb_relationships& relationships,
                  sql_rows rows = sql_rows::on_opening);
    ~sql_recordset() override;

    void append_record(const udb_record& record) override;  // read only: sql_recs 172
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void prev() override;
    void reset() override;
    void abandon() noexcept override;
    bool rec_count_arrived() override;
    std::optional<std::int64_t> wait_rec_count() override;

    // SELECT COUNT(*) of the table or query.
    std::int64_t get_rec_count();
    // Empties the window (its records are kept for reuse).
    void clean();

    // Rows delivered so far by the stream (for checks against the count).
    std::int64_t rows_read() const { return m_rows_read; }

protected:
    struct deferred {};
    // For derived tables that read their catalogue first and then call initialize.
    sql_recordset(deferred, sql_database& db, const std::wstring& table_name, udb_relationships& relationships);
    // describe, then start_reading.
    void initialize();
    // The count, the stream and the column descriptors from its result.
    void describe();
    // The first window, once the descriptors are final: read now, or by
    // begin_rows on the first look at the rows (sql_rows::when_read).
    void start_reading();
    // Reads the first window when it is still to be read.
    void begin_rows();
    std::string source_sql() const;
    // Opens the statement of source_sql as the stream.
    void open_stream();
    // Tells the stream which columns cannot be left empty (from the schema).
    void mark_not_null_columns();
    // Reads the next window from the stream.
    void load_window();
    // Releases the records in the slots from `filled` on.
    void drop_rows_after(std::uint32_t filled) noexcept;
    // A table opened for writing, or only described, reads its columns from
    // a statement that returns no rows; a query only described drops its
    // result unread.
    bool m_catalogue_only = false;
    bool m_rows_when_read = false;  // sql_rows::when_read

    // A FLOAT column of a table read through its exact double, described as
    // the FLOAT it is (the expression's metadata says DOUBLE and drops flags).
    struct float_column {
        unsigned index;  // in the result
        bool not_null;
        bool auto_increment;
    };

    sql_database* m_db;
    udb_relationships* m_relationships;
    std::uint64_t m_abs_pos = 0;
    std::uint32_t m_win_pos = 0;
    sql_database::sql_limited_query::window m_window;
    std::uint32_t m_filled = 0;         // slots that hold a row
    std::uint32_t m_before_window = 0;  // prev steps taken back across the window's start
    bool m_first_window = false;        // the window holds the stream's first rows
    bool m_rows_pending = false;        // the stream stands before its first row: begin_rows reads it
    std::int64_t m_rows_read = 0;
    std::string m_select_sql;  // a table's columns by name; empty for SELECT *
    std::vector<float_column> m_float_columns;
    std::unique_ptr<sql_snapshot> m_snapshot;            // declared before the stream: ends after it
    std::unique_ptr<sql_pending_count> m_pending_count;  // a table's count on the side connection
    bool m_count_failed = false;                         // that count did not come
    std::unique_ptr<sql_database::sql_limited_query> m_stream;
};

// A base table: the result's columns refined by SHOW COLUMNS, its indexes
// from SHOW INDEX.
class sql_table : public sql_recordset {
public:
    // sql_rows::none: a table opened for writing (sql_database::opens_for_writing)
    // or only described (definitions_mode): its columns, indexes and count,
    // no rows, no snapshot.
    sql_table(sql_database& db, const std::wstring& table_name, udb_relationships& relationships,
              sql_rows rows = sql_rows::on_opening);
    ~sql_table() override;

    // Writing (sql_tab.cpp, through sql_row_writer).
    void append_record(const udb_record& record) override;
    void update(const udb_record& record) override;
    void complete() override;

private:
    // Names every column in the statement (invisible ones too), FLOAT columns
    // read at full precision.
    void plan_reads(sql_tmp_recordset& columns, const std::string& name, std::uint32_t version);
    // Defaults as information_schema gives them, by column name, where the
    // server quotes literal defaults there; empty elsewhere.
    using quoted_defaults = std::vector<std::pair<std::wstring, std::wstring>>;
    quoted_defaults read_quoted_defaults(sql_database& db, const std::string& name, std::uint32_t version);
    // The catalogue texts beside SHOW COLUMNS that a default is read from.
    struct default_sources {
        const quoted_defaults& quoted;
        const std::string& create_text;  // SHOW CREATE TABLE, as bytes; empty when not read
    };
    void refine_columns(sql_tmp_recordset& columns, const default_sources& sources);
    // The column's default from its catalogue texts; shown: SHOW COLUMNS's
    // Default as bytes, none for NULL.
    void refine_default(t_ftd& col, const std::optional<std::string>& shown, const std::string& extra,
                        const default_sources& sources);
    void read_indexes(sql_tmp_recordset& indexes);

    std::unique_ptr<sql_row_writer> m_writer;  // made by the first write
    std::int64_t m_appended = 0;               // append_record calls, for record numbers
};

// Every row of one result in memory (server lists, counts, SHOW statements).
class sql_tmp_recordset : public udb_recordset {
public:
    // Takes the result over and reads it whole; assertion (sql_recs, 293) for
    // none. A connection lost while reading is sql_exception. The engine is the
    // one whose connection gave the result.
    sql_tmp_recordset(sql_result result, const sql_engine& engine);
    ~sql_tmp_recordset() override;

    void append_record(const udb_record& record) override;  // sql_recs 286
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void prev() override;
    void reset() override;

    const sql_columns& columns() const { return m_columns; }
    std::size_t size() const { return m_rows.size(); }

private:
    void initialize(sql_result result, const sql_engine& engine);

    std::uint32_t m_pos = 0;
    sql_columns m_columns;
    std::vector<std::unique_ptr<sql_record>> m_rows;
};

// Foreign keys of a CREATE TABLE text. MySQL foreign keys are not carried
// over: do_parse adds nothing.
class sql_fk_parser {
public:
    sql_fk_parser(const std::wstring& table_name, const std::string& create_text);
    void do_parse(udb_relationships& relationships);

private:
    std::wstring m_table_name;
    std::vector<std::string> m_lines;
};
