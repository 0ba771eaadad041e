#pragma once
// The body of a MySQL CREATE TABLE: one clause per column (names MySQL
// accepts, type, NOT NULL, DEFAULT, AUTO_INCREMENT) and one per index.
#include <memory>
#include <string>
#include <vector>

#include "sql/sql_ver.h"
#include "udb/udb_idx.h"
#include "udb/udb_nmap.h"
#include "udb/udb_sche.h"
#include "udb/udb_vali.h"

class sql_schema_initializer {
public:
    // Builds the destination columns: each source column under its safe name.
    // auto_name receives the AUTO_INCREMENT column's name in get_init_chunks.
    sql_schema_initializer(const sql_dialect& dialect, const std::wstring& table_name, const udb_schema& source,
                           const udb_indexes& indexes, std::wstring& auto_name);
    sql_schema_initializer(const sql_schema_initializer&) = delete;
    sql_schema_initializer& operator=(const sql_schema_initializer&) = delete;

    // Appends one clause per column. A column whose type MySQL cannot hold is
    // a tk_exception at level 0 naming it; a second AUTO_INCREMENT column an
    // internal error (sql_init 114).
    void get_init_chunks(std::vector<std::wstring>& out);

    static bool can_have_auto_num(const t_ftd& column);
    static bool can_have_def_value(const t_ftd& column);

    const udb_schema& schema() const { return m_schema; }
    // Source column name -> generated name.
    const t_names_map& names_map() const { return m_validator->mapped_pairs(); }

private:
    sql_dialect m_dialect;
    std::wstring m_table_name;
    udb_schema m_schema{true};
    std::wstring& m_auto_name;
    const udb_indexes& m_indexes;
    std::unique_ptr<udb_validator> m_validator;
    const udb_schema& m_source;
};

class sql_indexes_initializer {
public:
    // The source indexes under safe names, their fields under the column
    // builder's names.
    sql_indexes_initializer(const sql_dialect& dialect, const udb_schema& schema, const udb_indexes& indexes,
                            const std::wstring& auto_name, const t_names_map& names_map);
    sql_indexes_initializer(const sql_indexes_initializer&) = delete;
    sql_indexes_initializer& operator=(const sql_indexes_initializer&) = delete;

    // Appends the index clauses; an index MySQL cannot build (text or binary
    // fields, too long, too many fields, too many indexes) is left out. The
    // AUTO_INCREMENT column gets an index of its own unless an index that is
    // kept starts with it (InnoDB needs one).
    void get_init_chunks(std::vector<std::wstring>& out);

    const udb_indexes& indexes() const { return m_indexes; }

private:
    sql_dialect m_dialect;
    udb_indexes m_indexes;
    std::wstring m_auto_name;
    const udb_schema& m_schema;
    const t_names_map& m_names_map;
};

// A name in backquotes (inner backquotes doubled) from 4.1.0 on, bare before.
std::wstring sql_quote_wname(const sql_dialect& dialect, const std::wstring& name);
