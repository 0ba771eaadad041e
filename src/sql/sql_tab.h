#pragma once
// Writing rows into one MySQL table: multi-row INSERT statements gathered
// into batches (or one statement a row), and UPDATE by the table's key.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sql/sql_sess.h"
#include "sql/sql_ver.h"
#include "tk/tk_exc.h"
#include "udb/udb_name.h"

class sql_database;
class udb_indexes;
class udb_record;
class udb_schema;
class udb_validator;
struct t_ftd;

// A record's fields under names a table's columns can be matched by: the
// field's own name, or its safe name where the server would refuse it.
class sql_field_finder {
public:
    sql_field_finder(const sql_dialect& dialect, const udb_record& record);
    ~sql_field_finder();
    // Position of the field of that name (exact), or -1.
    int get_field_idx(const std::wstring& name) const;
    const std::vector<std::wstring>& names() const { return m_names; }

private:
    std::unique_ptr<udb_validator> m_validator;
    std::vector<std::wstring> m_names;
};

// The writing state of one table. It pins the session's sql_mode to the one
// its literals need while it writes (sql_writing_mode) and puts it back in
// complete() or when it goes.
//
// Batches: rows are gathered into one INSERT of at most 1,000,000 bytes (less
// when the server's max_allowed_packet is smaller) and sent only when the
// next row would not fit, when the columns change, and in complete(). A batch
// the server refuses is sent again one row a statement, so only the rows the
// server refuses are lost; each of those is reported (the engine's value_reports)
// with "<table>, record #<n>". Rows go one a statement from the start where
// a refused batch may have left some of its rows behind (a table whose engine
// has no transactions) or when the engine's fast insert flag is off.
class sql_row_writer {
public:
    sql_row_writer(sql_database& db, const std::wstring& table_name, const udb_schema& schema,
                   const udb_indexes& indexes, int key_index);
    // Discards rows not sent, restores the session; never throws.
    ~sql_row_writer();
    sql_row_writer(const sql_row_writer&) = delete;
    sql_row_writer& operator=(const sql_row_writer&) = delete;

    // record_no: the record's number for reports (from 1). Throws for this row
    // only: tk_exception (level 0) for a record that does not fit the table, a
    // record its source refused (udb_record::refusal) or a value MySQL cannot
    // take; sql_exception for a refused single INSERT or a connection that
    // failed.
    void append(const udb_record& record, std::int64_t record_no);
    // Sends what is pending and restores the session; sql_exception when the
    // connection fails.
    void complete();
    // UPDATE of the row the record's key fields name; sql_exception (level 0)
    // when the server refuses it. Nothing is sent without key values or
    // without values to set.
    void update(const udb_record& record);

    // Rows refused (and reported) since construction.
    std::int64_t refused() const { return m_refused; }
    bool batches() const { return m_fast; }
    std::size_t batch_limit() const { return m_batch_limit; }

private:
    // Which field goes to which column, worked out once per shape of record.
    struct plan {
        std::vector<udb_name> field_names;  // the record's, kept alive for the shape test
        std::vector<int> field_of_column;   // record position per written column
        std::vector<const t_ftd*> columns;  // written columns, in statement order
        std::vector<std::string> defaults;  // stand-in literal for NULL (NOT NULL with default)
        std::string head;                   // INSERT INTO ... (columns) VALUES
        bool matches(const udb_record& record) const;
    };
    struct pending_row {
        std::size_t begin;
        std::size_t end;
        std::int64_t record_no;
    };

    void begin();
    plan make_plan(const udb_record& record) const;
    void build_row(const udb_record& record);
    void send_pending();
    void send_one(const std::string& head, std::string_view row, std::int64_t record_no);
    void report_refused(const tk_exception& error, std::int64_t record_no);

    sql_database& m_db;
    sql_dialect m_dialect;
    std::wstring m_table_name;
    std::string m_qualified;
    const udb_schema& m_schema;
    const udb_indexes& m_indexes;
    int m_key_index;
    sql_session_setting m_mode;
    bool m_pinned = false;
    bool m_fast = false;
    std::size_t m_batch_limit = 0;
    std::size_t m_packet_limit = 0;
    std::optional<plan> m_plan;
    std::string m_pending;  // head of the pending plan + rows joined by ", "
    std::vector<pending_row> m_rows;
    std::string m_row;        // the row being built
    std::string m_statement;  // a single-row INSERT
    std::int64_t m_refused = 0;
};
