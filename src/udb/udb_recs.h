#pragma once
// A cursor over the rows of one table or query. Each server side derives
// its readers and writers from it.
#include <cstdint>
#include <optional>
#include <string>

#include "udb/udb_idx.h"
#include "udb/udb_sche.h"

class udb_record;

class udb_recordset {
public:
    udb_recordset(std::wstring table_name, bool owns_fields);
    udb_recordset(std::wstring table_name, std::wstring query_text, bool owns_fields);
    virtual ~udb_recordset();
    udb_recordset(const udb_recordset&) = delete;
    udb_recordset& operator=(const udb_recordset&) = delete;

    // Writes one row. A writer may buffer; complete() ends the load.
    virtual void append_record(const udb_record& record) = 0;
    virtual void update(const udb_record& record);
    // The current row, owned by the recordset and valid until the cursor
    // moves or the recordset is deleted; null when there is none.
    virtual udb_record* get_item();
    virtual bool is_eof();
    virtual bool is_query() const;
    virtual void next();
    virtual void prev();
    virtual void reset();
    // Ends whatever appending left open (a COPY, pending INSERT text) and
    // reports its failure by throwing. The owner calls it before deleting a
    // recordset it appended to; the destructor then only cleans up.
    virtual void complete();
    // The run ends in the middle of this recordset and reads no more of it:
    // a source may drop the rows it still has to send instead of reading them
    // to the end. Only deleting the recordset may follow.
    virtual void abandon() noexcept {}
    // A source may still be counting its records on another connection while
    // the records already flow. Whether the count has arrived (without
    // waiting), and the count (waiting for it; empty when it could not be had).
    virtual bool rec_count_arrived() { return true; }
    virtual std::optional<std::int64_t> wait_rec_count() { return m_rec_count; }

    // Keeps the first index of each name (ignoring case) and remembers the
    // position of the first primary or unique index.
    void add_index(const udb_index& index);

    const std::wstring& table_name() const { return m_table_name; }
    const std::wstring& query_text() const { return m_query_text; }
    udb_schema& schema() { return m_schema; }
    const udb_schema& schema() const { return m_schema; }
    udb_indexes& indexes() { return m_indexes; }
    const udb_indexes& indexes() const { return m_indexes; }
    // The record count, waiting for one still under way; -1 when it could not be had.
    std::int64_t rec_count() { return wait_rec_count().value_or(-1); }
    int key_index_pos() const { return m_key_index; }

protected:
    std::wstring m_query_text;
    std::wstring m_table_name;
    udb_schema m_schema;
    udb_indexes m_indexes;
    std::int64_t m_rec_count = 0;  // rows, stored by the derived class when it opens
    int m_key_index = -1;
};
