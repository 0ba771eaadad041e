#pragma once
// The rows of one PostgreSQL table or SELECT, read in one snapshot: a
// read-only REPEATABLE READ transaction takes the catalogue, the row count and
// the rows, which stream through a cursor in windows of at most 256 rows (fewer
// when rows are large). The transaction keeps the connection until the reader
// is destroyed, so nothing else may run on that connection meanwhile.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "postgres/pgs_pqxx.h"
#include "postgres/pgs_rcol.h"
#include "udb/udb_rec.h"

class pgs_row_reader {
public:
    static constexpr std::size_t window_rows = 256;
    // Rows fetched at once are limited to about this many bytes of text; the
    // first window is small, later ones grow by the size of the rows seen.
    static constexpr std::size_t window_bytes = 4u << 20;
    static constexpr std::size_t first_window_rows = 4;

    // The table schema_name.table_name (as the server spells them): its
    // columns by attribute number, its count and a cursor over its rows.
    // pgs_exception when it does not exist or cannot be read.
    static std::unique_ptr<pgs_row_reader> table(pqxx::connection& connection, const std::wstring& schema_name,
                                                 const std::wstring& table_name);
    // One SELECT (or VALUES) text, run as written; a trailing ";" is dropped
    // and a second statement is refused.
    static std::unique_ptr<pgs_row_reader> query(pqxx::connection& connection, const std::wstring& sql);

    // Rolls the transaction back; never throws.
    ~pgs_row_reader();
    pgs_row_reader(const pgs_row_reader&) = delete;
    pgs_row_reader& operator=(const pgs_row_reader&) = delete;

    const std::vector<pgs_read_column>& columns() const noexcept { return m_columns; }
    std::int64_t count() const noexcept { return m_count; }
    // The table's oid; 0 for a query.
    std::uint32_t table_oid() const noexcept { return m_table_oid; }
    int server_version() const noexcept { return m_server_version; }
    // The snapshot, for further catalogue reads (the keys).
    pqxx::dbtransaction& transaction() noexcept { return *m_tx; }
    // Runs one statement in the snapshot with its parameters (so that text
    // holding a second statement is refused); failures are pgs_exception with
    // the statement kept.
    pqxx::result run(const std::string& sql, const std::vector<std::string>& params = {});

    // True when no current row remains: decided by the cursor, not the count.
    bool at_end() const noexcept { return m_pos >= m_window.size(); }
    // The current row as a record owned by the reader, valid until the cursor
    // moves; null at the end. pgs_exception for a value that cannot be carried
    // (the row stays current; next moves past it).
    udb_record* current();
    void next();
    // Back to the first row, in the same snapshot.
    void restart();
    // Rows fetched per window at present.
    std::size_t fetch_rows() const noexcept { return m_fetch_rows; }

private:
    explicit pgs_row_reader(pqxx::connection& connection);
    void read_table_columns(const std::wstring& schema_name, const std::wstring& table_name);
    void describe_result();
    void resolve_types(std::vector<std::uint32_t>& type_oids, std::vector<int>& typmods);
    unsigned money_scale();
    void declare_cursor();
    void load_window();

    std::unique_ptr<pqxx::dbtransaction> m_tx;
    int m_server_version = 0;
    std::vector<pgs_read_column> m_columns;
    std::int64_t m_count = 0;
    std::uint32_t m_table_oid = 0;
    std::string m_select;  // the statement behind the cursor
    pqxx::result m_window;
    pqxx::result::size_type m_pos = 0;
    std::size_t m_fetch_rows = first_window_rows;
    std::size_t m_rows_seen = 0;  // rows of the window turned into records, and their bytes
    std::size_t m_bytes_seen = 0;
    bool m_cursor_done = false;   // the last FETCH returned fewer rows than asked
    bool m_first_window = false;  // the window holds the first rows, the cursor right behind
    std::int64_t m_row = 0;       // number of the current row, from 0
    std::int64_t m_record_row = -1;
    udb_record m_record;
    int m_money_scale = -1;
};
