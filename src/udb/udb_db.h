#pragma once
// One open database. Each server side derives its own.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "udb/udb_idx.h"
#include "udb/udb_nmap.h"
#include "udb/udb_recs.h"
#include "udb/udb_rel.h"
#include "udb/udb_sche.h"
#include "udb/udb_tsrc.h"

using udb_queries = std::map<std::wstring, std::wstring>;  // name -> SQL text

class udb_database {
public:
    // Open mode that the relationship writers skip.
    static constexpr int append_mode = 8;
    // Open mode of get_table and get_query for a run that copies table
    // definitions only: the columns, indexes and count of the source, and no
    // row of it, so that no value of a row can fail.
    static constexpr int definitions_mode = 16;
    // Open mode of get_table and get_query for a run that says what it reads
    // before anything is said of the rows: the first rows are read when they
    // are first looked at (get_item, is_eof, next, prev, reset), not when
    // the recordset opens. The source's connection carries nothing else
    // until then.
    static constexpr int rows_when_read_mode = 32;

    udb_database(std::wstring name, int mode, bool b_case_sensitive);
    virtual ~udb_database();
    udb_database(const udb_database&) = delete;
    udb_database& operator=(const udb_database&) = delete;

    // A new table opened for appending rows; owned by the caller.
    virtual std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                                        const udb_indexes& indexes) = 0;
    // create_table that also records on the new table, with its creation,
    // which source it is made from; an existing table is handed back as
    // create_table does, its record unchanged. By default nothing is recorded.
    virtual std::unique_ptr<udb_recordset> create_table_from(const udb_table_source& source, const std::wstring& name,
                                                             const udb_schema& schema, const udb_indexes& indexes);
    // The source a table records (tables made by create_table_from), as read
    // when the database opened or by the table's begin_table; none for a
    // table made otherwise. None by default.
    virtual std::optional<udb_table_source> table_source(const std::wstring& name) const;
    // Every table that records its source, under the name create_table takes
    // for it. Empty by default.
    virtual std::vector<udb_sourced_table> sourced_tables() const;
    // Removes the first matching name from the table list; an internal error
    // when it is not listed.
    virtual bool delete_tab(const std::wstring& name);
    virtual std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int mode) = 0;
    virtual std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql, int mode) = 0;
    // Executes a statement and tells whether it succeeded.
    virtual bool query(const std::wstring& sql) = 0;
    // A recordset over the statement's result (null when it has none).
    virtual std::unique_ptr<udb_recordset> query_rs(const std::wstring& sql);
    virtual void create_views(const udb_queries& views);
    virtual void create_relationships(const udb_relationships& relationships);
    // Searches the table list, exactly or ignoring case by b_case_sensitive.
    virtual bool is_table_exist(const std::wstring& name) const;
    // The table list's own spelling of a name is_table_exist finds (where
    // names compare ignoring case, a name given in another case); the name
    // unchanged when it is not listed.
    std::wstring listed_name(const std::wstring& name) const;

    // Work on one destination table as one unit: begin_table keeps other
    // sessions off that table until the unit ends and brings is_table_exist
    // up to date for it; delete_tab and create_table then belong to the unit,
    // the recordset create_table hands out carries it on, and its complete()
    // makes everything visible at once. end_table drops a unit that no
    // recordset took over (a skipped table, a failure before the table was
    // created): nothing of it is kept. Both do nothing by default.
    virtual void begin_table(const std::wstring& name);
    virtual void end_table() noexcept;

    const std::wstring& name() const { return m_name; }
    int mode() const { return m_mode; }
    bool case_sensitive() const { return m_case_sensitive != 0; }
    const udb_queries& queries() const { return m_queries; }
    const std::vector<std::wstring>& table_names() const { return m_table_names; }
    udb_names_map& names_map() { return m_names_map; }
    const udb_names_map& names_map() const { return m_names_map; }
    udb_relationships& relationships() { return m_relationships; }
    const udb_relationships& relationships() const { return m_relationships; }

protected:
    bool names_equal(const std::wstring& a, const std::wstring& b) const;

    int m_mode;
    std::wstring m_name;
    std::uint8_t m_case_sensitive;
    udb_queries m_queries;
    std::vector<std::wstring> m_table_names;  // in the server's order
    udb_names_map m_names_map;
    udb_relationships m_relationships;
};
