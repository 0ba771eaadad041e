#pragma once
// Turns a source table's columns into a destination table: names PostgreSQL
// accepts, NOT NULL and DEFAULT for each column, one CREATE TABLE statement
// committed in its own transaction. No index, key or constraint is created.
#include <string>
#include <utility>

#include "postgres/pgs_vali.h"
#include "udb/udb_idx.h"
#include "udb/udb_nmap.h"
#include "udb/udb_sche.h"

#include "postgres/pgs_pqxx.h"

class pgs_schema_initializer {
public:
    // table_name: "schema.table" or a bare table name (schema "public").
    pgs_schema_initializer(const std::wstring& table_name, const udb_schema& source, const udb_indexes& indexes);
    pgs_schema_initializer(const pgs_schema_initializer&) = delete;
    pgs_schema_initializer& operator=(const pgs_schema_initializer&) = delete;

    // Runs the statement, and the table's comment when one is set, on the
    // connection in a transaction of its own; pgs_exception on failure.
    void get_init_str(pqxx::connection& connection);
    // The same inside a transaction the caller ends.
    void get_init_str(pqxx::transaction_base& tx);

    // A comment (UTF-8) the new table gets in the transaction that creates it.
    void set_comment(std::string comment) { m_comment = std::move(comment); }

    // The statement get_init_str sends (UTF-8).
    std::string statement() const;
    // Source column name -> generated column name, for the names map.
    const udb_name_pairs& mapped_pairs() const { return m_rules.mapped_pairs().pairs(); }
    const udb_schema& columns() const { return m_columns; }

private:
    // "schema"."table" as the statements name the table.
    std::string qualified_name() const;
    void run_in(pqxx::transaction_base& tx, const std::string& create);

    std::wstring m_table_name;
    std::string m_comment;
    udb_schema m_columns{true};
    pgs_fn_validator m_rules;
    const udb_indexes& m_indexes;
    const udb_schema& m_source;
};
