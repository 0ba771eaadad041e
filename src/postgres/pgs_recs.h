#pragma once
// One PostgreSQL table as a recordset. On the destination side it reads back
// the table's columns and row count when opened and loads rows through one
// COPY in one transaction; complete() ends the COPY and commits.
#include <cstdint>
#include <memory>
#include <string>

#include "postgres/pgs_cline.h"
#include "udb/udb_recs.h"
#include "udb/udb_rel.h"

namespace pqxx {
class tablewriter;
class dbtransaction;
}  // namespace pqxx

class pgs_database;

class pgs_recordset : public udb_recordset {
public:
    // key: a table key of the database's table map ("schema.table").
    pgs_recordset(pgs_database& db, const std::wstring& key, udb_relationships& relationships, int mode);
    // Never throws: a load that was not completed is rolled back.
    ~pgs_recordset() override;

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
    // record was appended.
    void complete() override;

    const std::wstring& db_name() const noexcept { return m_db_name; }
    const std::wstring& schema_name() const noexcept { return m_schema_name; }
    const std::wstring& bare_table_name() const noexcept { return m_bare_name; }
    // "schema"."table" as sent in statements (UTF-8).
    const std::string& quoted_name() const noexcept { return m_quoted; }
    bool loading() const noexcept { return m_writer != nullptr; }

    void init_schema();
    std::int64_t get_rec_count();

private:
    void open_copy();
    void flush();
    void abandon() noexcept;
    void fail_if_broken() const;

    std::int32_t m_current_row = -1;
    std::wstring m_db_name;
    udb_relationships& m_relationships;
    bool m_eof = false;
    bool m_failed = false;  // the COPY broke: nothing more is loaded or committed
    std::wstring m_schema_name;
    std::wstring m_bare_name;
    std::string m_quoted;
    pgs_copy_buffer m_lines;
    std::unique_ptr<pqxx::dbtransaction> m_transaction;
    std::unique_ptr<pqxx::tablewriter> m_writer;
};
