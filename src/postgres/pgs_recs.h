#pragma once
// One PostgreSQL table as a recordset. On the destination side it reads back
// the table's columns and row count when opened and loads rows through one
// COPY in one transaction; complete() ends the COPY and commits. Opened for
// reading (or over a SELECT text) it walks the rows of one snapshot.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "postgres/pgs_cbin.h"
#include "postgres/pgs_cline.h"
#include "udb/udb_recs.h"
#include "udb/udb_rel.h"

class pgs_database;
class pgs_work;
class pgs_engine;
class pgs_row_reader;

class pgs_recordset : public udb_recordset {
public:
    // The mode that opens a table for reading.
    static constexpr int read_mode = 1;

    // key: a table key of the database's table map ("schema.table"). With
    // read_mode the table's columns, keys and count are read in the snapshot
    // its rows are then read in (see pgs_row_reader); the snapshot holds the
    // database's connection until the recordset is deleted. Any other mode
    // opens it for appending; with `work` (the transaction in which the table
    // was made ready: dropped, created) the columns and the count are read in
    // it, the COPY joins it and complete() commits it, so that other sessions
    // see the table only whole.
    pgs_recordset(pgs_database& db, const std::wstring& key, udb_relationships& relationships, int mode,
                  std::unique_ptr<pgs_work> work = nullptr);
    // The rows of a SELECT text (a query recordset), read the same way.
    pgs_recordset(pgs_database& db, const std::wstring& name, const std::wstring& sql);
    // Never throws: a load that was not completed is rolled back, a read ended.
    ~pgs_recordset() override;

    // Reading. The recordset is at its first row once opened. get_item gives
    // the current row (owned by the recordset, valid until the cursor moves),
    // null at the end; a value that cannot be carried unchanged (a date BC,
    // after 9999 or infinite, a decimal NaN or beyond 80 digits) throws
    // pgs_exception for that row, and next moves past it. next at the end stays
    // there; reset goes back to the first row. On a table opened for appending
    // reset and get_item throw pgs_exception and is_eof is true.
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void reset() override;
    bool reading() const noexcept { return m_reader != nullptr; }
    // Adds the table's indexes and foreign keys (run when opened for reading).
    void init_indexes();

    // One COPY line. The first record opens the transaction and the COPY.
    // Throws pgs_exception for a value that cannot be written or a record its
    // source refused (udb_record::refusal): the row is not sent, later rows
    // still are; and tk_exception (level 0) when the COPY
    // itself fails or the record is shorter than the table: then the load is
    // lost and the recordset should be deleted.
    void append_record(const udb_record& record) override;
    // Ends the COPY and commits; rows become visible to other sessions here. A
    // row the server refused shows up here as pgs_exception with the server's
    // text, and none of the table's rows are kept. Nothing happens when no
    // record was appended and the recordset holds no transaction.
    void complete() override;

    // Records will bring the fields of `source`, in its order. When the table
    // has a column of each of their names (udb_schema::pair_by_name), each
    // field goes to the column of its name (COPY with a column list);
    // otherwise field i goes to column i.
    void take_fields_of(const udb_schema& source);
    // The table was made here from its source's columns: rows go in COPY's
    // binary format, each value encoded for its column's type, when every
    // column has such a form (pgs_binary_kind_of); as text otherwise. Before
    // the first append_record.
    void prefer_binary_copy() noexcept { m_prefer_binary = true; }
    // Rows go in the binary format (known once the COPY has started).
    bool copies_binary() const noexcept { return m_binary != nullptr; }

    const std::wstring& db_name() const noexcept { return m_db_name; }
    const std::wstring& schema_name() const noexcept { return m_schema_name; }
    const std::wstring& bare_table_name() const noexcept { return m_bare_name; }
    // "schema"."table" as sent in statements (UTF-8).
    const std::string& quoted_name() const noexcept { return m_quoted; }
    bool loading() const noexcept { return m_copy != nullptr; }

    void init_schema();
    std::int64_t get_rec_count();

private:
    template <class F>
    auto with_transaction(const char* tx_name, F&& f);
    void open_reader();
    pgs_row_reader& reader();
    void open_copy();
    // The binary forms of the columns rows are copied to; empty when one has none.
    std::vector<pgs_binary_kind> binary_columns() const;
    void flush();
    // Runs a step of the load; when it fails the COPY and its transaction are
    // abandoned and the recordset refuses every later row.
    template <class Step>
    void load_step(Step&& step);
    void abandon() noexcept;
    void fail_if_broken() const;

    // Text and byte values from this size on are sent from the value itself.
    static constexpr std::size_t piece_size = 64 * 1024;

    pgs_engine& m_engine;  // the server connection of the database that opened it
    std::int32_t m_current_row = -1;
    std::wstring m_db_name;
    udb_relationships& m_relationships;
    bool m_eof = false;
    bool m_failed = false;  // the COPY broke: nothing more is loaded or committed
    std::wstring m_schema_name;
    std::wstring m_bare_name;
    std::string m_quoted;
    pgs_copy_buffer m_lines;
    bool m_prefer_binary = false;
    std::unique_ptr<pgs_binary_rows> m_binary;  // rows in the binary format, when chosen
    // The columns the COPY names, in record order (UTF-8, quoted); empty: all
    // of them in table order.
    std::vector<std::string> m_copy_columns;
    std::size_t m_fields = 0;  // fields taken from each record
    std::unique_ptr<pgs_work> m_transaction;
    // Declared after the transaction: a COPY still open ends before it.
    std::unique_ptr<pgs_copy_stream> m_copy;
    std::unique_ptr<pgs_row_reader> m_reader;
};
