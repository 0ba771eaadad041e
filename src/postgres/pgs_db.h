#pragma once
// The destination database of a run: the tables that exist, dropping and
// creating tables, and the recordsets that load their rows.
//
// Schema and table names are folded once the way the server folds an
// unquoted name (pgs_fold_name) and always sent quoted, so a table created
// under a name is found, opened and read back under that same name. The table
// key is the folded schema name, "." and the folded table name.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "udb/udb_db.h"

class pgs_engine;
// A table's load transaction (pgs_pqxx.h), complete only in src/postgres.
class pgs_work;

class pgs_database : public udb_database {
public:
    // Loads the tables that exist on the server the engine is connected to.
    pgs_database(pgs_engine& engine, const std::wstring& name);
    ~pgs_database() override;

    // A new table from the source columns (an existing one is handed back
    // opened for appending: merge mode).
    std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    // The new table's comment records its source (pgs_source_comment).
    std::unique_ptr<udb_recordset> create_table_from(const udb_table_source& source, const std::wstring& name,
                                                     const udb_schema& schema, const udb_indexes& indexes) override;
    std::optional<udb_table_source> table_source(const std::wstring& name) const override;
    // Those of the schema "public", by their bare names.
    std::vector<udb_sourced_table> sourced_tables() const override;
    bool delete_tab(const std::wstring& name) override;
    // Mode 1 (pgs_recordset::read_mode) opens the table for reading: its
    // columns, keys, foreign keys (into relationships()), count and rows in one
    // snapshot that lasts as long as the recordset. Any other mode opens it for
    // appending.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int mode) override;
    // The rows of a SELECT text, read like a table's (columns from its result).
    std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql, int mode) override;
    bool query(const std::wstring& sql) override;
    // No recordset over a statement's result: always null.
    std::unique_ptr<udb_recordset> query_rs(const std::wstring& sql) override;
    // Foreign keys are not created on this side.
    void create_relationships(const udb_relationships& relationships) override;
    bool is_table_exist(const std::wstring& name) const override;

    // A transaction for the table: a lock of this system's own, keyed on the
    // table's name, lets one session at a time make the table ready and load
    // it (a second one waits here until the first commits or rolls back);
    // then whether the table exists, and the source it records, is read
    // again. The drop, the CREATE TABLE and the COPY run in that transaction
    // and the recordset commits it.
    // Inside it, delete_tab waits for another session that holds the table
    // (lock_try_ms at a time, lock_tries times; the sessions queued behind the
    // drop go on between tries) and then throws pgs_exception "... is in use
    // by another session", the table untouched.
    void begin_table(const std::wstring& name) override;
    void end_table() noexcept override;

    // The table key for a name: "public." in front of a name without ".", both
    // parts folded.
    std::wstring qualify(const std::wstring& name) const;
    // The (schema, table) pair registered under a key, or null.
    const std::pair<std::wstring, std::wstring>* find_table(const std::wstring& key) const;

    void init_tables();
    void register_table(const std::wstring& schema_name, const std::wstring& table_name);
    // What a table's comment (null: none) tells of its source.
    void note_comment(const std::wstring& key, const char* comment);

    // The server connection this database belongs to.
    pgs_engine& engine() noexcept { return m_engine; }

    static constexpr int lock_try_ms = 2000;
    static constexpr int lock_tries = 3;

private:
    // Opens the table transaction for a key, under the table's lock.
    void open_unit(const std::wstring& key);
    // The drop inside the table transaction, waiting at most one try for the
    // table's lock; false when another session held it that long (the
    // transaction is then rolled back).
    bool drop_in_unit(const std::string& statement);

    // The (schema, table) pair a key stands for: the registered one, or the
    // key split at its first ".".
    std::pair<std::wstring, std::wstring> parts_of(const std::wstring& key) const;
    std::unique_ptr<udb_recordset> make_table(const std::wstring& name, const udb_schema& schema,
                                              const udb_indexes& indexes, const udb_table_source* source);

    pgs_engine& m_engine;
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> m_tables;
    // Table key -> the source its comment records.
    std::map<std::wstring, udb_table_source> m_sources;
    // The open table transaction until create_table hands it on.
    std::unique_ptr<pgs_work> m_work;
};
