#pragma once
// One open MySQL database: its base tables and its views (as stored queries),
// and the recordsets over its tables and SELECT texts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sql/sql_cnt.h"
#include "sql/sql_rec.h"
#include "sql/sql_res.h"
#include "udb/udb_db.h"

struct st_mysql;
class sql_binary_rows;
class sql_engine;
class sql_tmp_recordset;
class udb_validator;

// How a recordset reads its rows.
enum class sql_rows {
    on_opening,  // the first window is read when the recordset opens
    when_read,   // on the first look at the rows (udb_database::rows_when_read_mode)
    none,        // described only: its columns, indexes and count
};

class sql_database : public udb_database {
public:
    // Bit 7 of the mode's low byte: open without reading the views.
    static constexpr int no_views_mode = 0x80;

    // Open modes of get_table: a table just created (2) and one that receives
    // appended rows (append_mode, 8) are opened for writing: their columns,
    // indexes and count are read, no rows and no snapshot. Any other mode reads.
    static constexpr int created_mode = 2;
    static bool opens_for_writing(int mode) { return mode == created_mode || mode == append_mode; }
    // How a recordset opened in the mode reads its rows: not at all when
    // opened for writing or for a definitions-only run (definitions_mode).
    static sql_rows rows_of(int mode);

    // Reads the table list (sql_exception leaves) and, unless no_views_mode,
    // the views (a failure there opens the database without views). Table
    // names compare as the server compares them.
    sql_database(sql_engine& engine, const std::wstring& name, int mode);
    ~sql_database() override;

    // A sql_table; assertion (sql_db, 120) for a name not in the table list.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int mode) override;
    // A sql_recordset over a SELECT text; sql_exception, before anything of
    // it runs, unless it is one statement that returns rows (sql_check_query).
    // In definitions_mode it describes the result and reads no row.
    std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql, int mode) override;
    // Runs the statement, discards its rows; true when the server accepted it.
    bool query(const std::wstring& sql) override;
    // A sql_tmp_recordset with every row of the result; null for a statement
    // without result set; sql_exception when the server reports an error.
    std::unique_ptr<udb_recordset> query_rs(const std::wstring& sql) override;
    std::unique_ptr<sql_tmp_recordset> query_tmp(const std::string& utf8_sql);

    // ---- writing (sql_dbwr.cpp) ----
    // In append mode an existing table is handed back opened for appending;
    // otherwise it must not exist. sql_exception when the server refuses.
    std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    bool delete_tab(const std::wstring& name) override;
    // Each view and each foreign key on its own: one that fails is reported
    // (the engine's value_reports, level 0, with the item as context) and the
    // next follows.
    void create_views(const udb_queries& views) override;
    void create_relationships(const udb_relationships& relationships) override;
    // Adds an index that starts with the fields when the table has none.
    void create_fk_index_if(const std::wstring& table, const std::vector<std::wstring>& fields);
    // Runs one statement (sent whole, with its length) and discards any result.
    void query_append(const std::string& utf8_sql);
    // A portable view text in MySQL's form; names of the names map replaced.
    std::wstring refine_view_in(const std::wstring& text) const;
    // The name quoted for a statement, with this database in front:
    // `db`.`name`. Statements of the writing side name their tables so, so
    // that they do not depend on which database is current.
    std::string qualified(const std::wstring& name) const;
    // Makes this database the connection's current one.
    void use();

    // The table's COUNT(*) under way on a second connection, so that this
    // one can stream the rows meanwhile; null when the count cannot go there.
    std::unique_ptr<sql_pending_count> count_aside(const std::wstring& table);

    // The streamed result of the statement (null when it failed or has no rows).
    sql_result do_query2(const std::string& utf8_sql);

    // A view text as the server stores it, made portable.
    std::wstring refine_view_out(const std::wstring& text) const;

    // The engine's connection (a reconnect of the engine replaces it).
    st_mysql* connection() const;
    sql_engine& engine() const { return m_engine; }
    // mysql_real_escape_string for a literal between single quotes (UTF-8).
    std::string escape(const std::string& utf8) const;

    // One streamed statement, read into windows of at most window_size rows
    // in turn: a table or query is read once, front to back.
    class sql_limited_query {
    public:
        static constexpr std::size_t window_size = 256;
        // A window also ends once its rows hold this many bytes of cells, so
        // that large rows are held a few at a time (a row is never split).
        static constexpr std::size_t window_bytes = 4u << 20;
        using window = std::array<std::unique_ptr<sql_record>, window_size>;

        // How the rows travel: as text (any statement), or with the binary
        // protocol (sql_binary_rows: a single SELECT), whose values are the
        // same but exact for FLOAT and cost the server no text.
        enum class protocol { text, binary };

        // sql_exception when the server rejects the statement.
        sql_limited_query(sql_database& db, const std::string& utf8_sql, protocol how = protocol::text);
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
        // returns how many: window_size, fewer when they reach window_bytes,
        // or fewer (none) at the end of the result. A lost connection is
        // sql_exception, never the end.
        // first_record: number (from 1) of the first row, for value reports.
        std::size_t store_to(window* win, const std::wstring& source, std::int64_t first_record);
        bool at_end() const { return m_result == nullptr && m_binary == nullptr; }
        // Ends the statement without reading the rows not fetched yet: the
        // server is asked to stop sending them, and only what is already on
        // its way is read and dropped. The connection stays usable.
        void abandon() noexcept;

    private:
        sql_engine& m_engine;
        const sql_value_reports& m_reports;
        std::string m_statement;  // for the report of a failure while streaming
        sql_result m_result;
        std::unique_ptr<sql_binary_rows> m_binary;  // instead of m_result
        const struct st_mysql_field* m_fields = nullptr;
        unsigned m_field_count = 0;
        sql_columns m_columns;
    };

private:
    void init_tables();
    void init_views();
    // constraint_name: the name the key gets here (empty: the server names it).
    void create_relationship(const udb_relationship& rel, const std::wstring& constraint_name);
    void create_view(const std::wstring& name, const std::wstring& sql, udb_validator& validator);

    sql_engine& m_engine;
    sql_count_link m_count_link;
};
