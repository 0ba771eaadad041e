#include "postgres/pgs_db.h"

#include "postgres/pgs_edge.h"
#include "postgres/pgs_engi.h"
#include "postgres/pgs_ident.h"
#include "postgres/pgs_pqxx.h"
#include "postgres/pgs_recs.h"
#include "postgres/pgs_sini.h"
#include "postgres/pgs_tsrc.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

// (schema, table) of a name: the text before the first "." is the schema.
std::pair<std::wstring, std::wstring> split_name(const std::wstring& name) {
    const std::size_t dot = name.find(L'.');
    if (dot == std::wstring::npos) return {L"public", name};
    return {name.substr(0, dot), name.substr(dot + 1)};
}

std::wstring folded(const std::wstring& part) { return tk_utf8_to_unicode(pgs_fold_name(part)); }

// The tables pg_tables lists, each with its comment (NULL when it has none).
constexpr const char* tables_with_comments =
    "SELECT n.nspname, c.relname, d.description FROM pg_class c "
    "JOIN pg_namespace n ON n.oid = c.relnamespace "
    "LEFT JOIN pg_description d ON d.objoid = c.oid AND d.classoid = 'pg_class'::regclass AND d.objsubid = 0 "
    "WHERE c.relkind IN ('r', 'p') ";

// First key of the advisory locks this system takes ("vek\0"); the second is
// a hash of the table's name.
constexpr const char* lock_class = "1986358016";

// SQLSTATE of a lock wait that lock_timeout ended.
constexpr const char* lock_not_available = "55P03";

}  // namespace

pgs_database::pgs_database(pgs_engine& engine, const std::wstring& name)
    : udb_database(name, 1, true), m_engine(engine) {
    tk_trace_w(2, L"pgs_database::ctor(%s)", name.c_str());
    init_tables();
}

pgs_database::~pgs_database() {
    end_table();
    m_tables.clear();
}

std::pair<std::wstring, std::wstring> pgs_database::parts_of(const std::wstring& key) const {
    if (const auto* entry = find_table(key)) return *entry;
    return split_name(key);
}

void pgs_database::begin_table(const std::wstring& name) {
    end_table();
    open_unit(qualify(name));
}

void pgs_database::open_unit(const std::wstring& key) {
    const auto [schema_name, table_name] = parts_of(key);
    const std::string schema = tk_to_utf8(schema_name);
    const std::string table = tk_to_utf8(table_name);
    tk_trace_w(2, L"pgs_database::begin_table(%s)", key.c_str());
    pqxx::connection& conn = m_engine.connection();
    pgs_guard([&] {
        auto work = std::make_unique<pgs_work>(conn, "insert records");
        pqxx::dbtransaction& tx = work->tx();
        const std::string lock_key = pgs_qualified(schema, table);
        if (!pgs_exec_params(tx, "SELECT pg_try_advisory_xact_lock(" + std::string(lock_class) + ", hashtext($1))",
                             lock_key)[0][0]
                 .as<bool>()) {
            tk_trace(2, "Waiting for another session working on table %s", lock_key.c_str());
            pgs_exec_params(tx, "SELECT pg_advisory_xact_lock(" + std::string(lock_class) + ", hashtext($1))",
                            lock_key);
        }
        // Another session may have made, dropped or remade it since the list
        // was read.
        const pqxx::result found = pgs_exec_params(
            tx, std::string(tables_with_comments) + "AND n.nspname = $1 AND c.relname = $2", schema, table);
        const bool exists = !found.empty();
        if (exists && !udb_database::is_table_exist(key)) register_table(schema_name, table_name);
        if (!exists && udb_database::is_table_exist(key)) udb_database::delete_tab(key);
        note_comment(key, exists && !found[0][2].is_null() ? found[0][2].c_str() : nullptr);
        m_work = std::move(work);
    });
}

void pgs_database::end_table() noexcept {
    if (!m_work) return;
    tk_trace(2, "pgs_database::end_table: rolling back");
    try {
        // A ROLLBACK that fails is not raised: it fails when the connection is
        // gone, and then the server has ended the transaction itself.
        m_work->tx().abort();
        if (m_engine.connection().is_open())
            tk_trace(2, "pgs_database::end_table: rolled back");
        else
            tk_trace(3, "pgs_database::end_table: the rollback was not sent: the connection to the server is lost "
                        "(the server rolls back what it had)");
    } catch (const std::exception& e) {
        tk_trace(3, "pgs_database::end_table: the rollback failed: %s", e.what());
    } catch (...) {
        tk_trace(3, "pgs_database::end_table: the rollback failed: unknown error");
    }
    m_work.reset();
}

void pgs_database::init_tables() {
    tk_trace_w(2, L"schema_pattern=%s, table_pattern=%s", m_name.c_str(), L"%");
    pqxx::connection& conn = m_engine.connection();
    pgs_guard([&] {
        pgs_read_committed_tx tx(conn, "get_tables");
        const pqxx::result r =
            tx.exec(std::string(tables_with_comments) + "AND n.nspname NOT IN ('pg_catalog', 'information_schema')");
        for (const auto& row : r) {
            const std::wstring schema_name = tk_utf8_to_unicode(row[0].c_str());
            const std::wstring table_name = tk_utf8_to_unicode(row[1].c_str());
            register_table(schema_name, table_name);
            note_comment(schema_name + L"." + table_name, row[2].is_null() ? nullptr : row[2].c_str());
        }
        // Read only: ended without commit.
    });
}

void pgs_database::register_table(const std::wstring& schema_name, const std::wstring& table_name) {
    const std::wstring key = schema_name.empty() ? table_name : schema_name + L"." + table_name;
    m_table_names.push_back(key);
    m_tables.emplace(key, std::make_pair(schema_name, table_name));
}

void pgs_database::note_comment(const std::wstring& key, const char* comment) {
    std::optional<udb_table_source> source;
    if (comment) source = pgs_parse_source_comment(comment);
    if (source)
        m_sources[key] = std::move(*source);
    else
        m_sources.erase(key);
}

std::optional<udb_table_source> pgs_database::table_source(const std::wstring& name) const {
    const auto it = m_sources.find(qualify(name));
    if (it == m_sources.end()) return std::nullopt;
    return it->second;
}

std::vector<udb_sourced_table> pgs_database::sourced_tables() const {
    std::vector<udb_sourced_table> tables;
    for (const auto& [key, source] : m_sources) {
        const auto [schema_name, table_name] = parts_of(key);
        // Only a bare name that leads back to the same table.
        if (schema_name != L"public" || qualify(table_name) != key) continue;
        tables.push_back({table_name, source});
    }
    return tables;
}

std::wstring pgs_database::qualify(const std::wstring& name) const {
    // A key as the server spells it wins; otherwise the name as the server
    // would store it unquoted.
    const std::wstring candidate = name.find(L'.') == std::wstring::npos ? L"public." + name : name;
    if (m_tables.count(candidate)) return candidate;
    const auto [schema, table] = split_name(name);
    return folded(schema) + L"." + folded(table);
}

const std::pair<std::wstring, std::wstring>* pgs_database::find_table(const std::wstring& key) const {
    const auto it = m_tables.find(key);
    return it == m_tables.end() ? nullptr : &it->second;
}

bool pgs_database::is_table_exist(const std::wstring& name) const {
    return udb_database::is_table_exist(qualify(name));
}

bool pgs_database::delete_tab(const std::wstring& name) {
    const std::wstring q = qualify(name);
    tk_trace_w(2, L"pgs_database::delete_tab(%s)", q.c_str());
    const auto parts = parts_of(q);
    const std::string statement = "DROP TABLE " + pgs_qualified(tk_to_utf8(parts.first), tk_to_utf8(parts.second));
    const std::string prefix = "Cannot drop table: " + tk_to_utf8(q) + ". ";
    if (!m_work) {
        pgs_guard(
            [&] {
                pgs_read_committed_tx tx(m_engine.connection(), "drop_table");
                tx.exec(statement);
                tx.commit();
            },
            prefix);
    } else {
        // Kept only when the table's new rows are committed with it. While the
        // drop waits for a session that holds the table, every new reader of
        // it waits behind the drop: the wait is bounded, and between tries
        // those readers go on.
        for (int attempt = 1;; ++attempt) {
            if (pgs_guard([&] { return drop_in_unit(statement); }, prefix)) break;
            if (attempt == lock_tries) {
                pgs_exception busy("Table " + tk_to_utf8(q) + " is in use by another session; it is left as it was");
                busy.set_statement(statement);
                throw busy;
            }
            tk_trace_w(2, L"Table %s is in use by another session: trying again", q.c_str());
            open_unit(q);
            if (!udb_database::is_table_exist(q)) return false;  // dropped meanwhile by another session
        }
    }
    m_sources.erase(q);
    if (!udb_database::is_table_exist(q)) return false;
    return udb_database::delete_tab(q);
}

bool pgs_database::drop_in_unit(const std::string& statement) {
    try {
        pqxx::dbtransaction& tx = m_work->tx();
        tx.exec("SET LOCAL lock_timeout = " + std::to_string(lock_try_ms));
        tx.exec(statement);
        tx.exec("SET LOCAL lock_timeout TO DEFAULT");
        return true;
    } catch (const pqxx::sql_error& e) {
        if (e.sqlstate() != lock_not_available) throw;
        tk_trace(2, "%s: %s", statement.c_str(), pgs_error_text(e).c_str());
        end_table();
        return false;
    }
}

std::unique_ptr<udb_recordset> pgs_database::get_table(const std::wstring& name, int mode) {
    tk_trace_w(2, L"pgs_database::get_table(%s)", name.c_str());
    const std::wstring key = qualify(name);
    if (!udb_database::is_table_exist(key)) throw tk_mail_assertion("pgs_db", 122);
    return std::make_unique<pgs_recordset>(*this, key, relationships(), mode);
}

std::unique_ptr<udb_recordset> pgs_database::create_table(const std::wstring& name, const udb_schema& schema,
                                                          const udb_indexes& indexes) {
    tk_trace_w(2, L"pgs_database::create_table(%s)", name.c_str());
    return make_table(name, schema, indexes, nullptr);
}

std::unique_ptr<udb_recordset> pgs_database::create_table_from(const udb_table_source& source, const std::wstring& name,
                                                               const udb_schema& schema, const udb_indexes& indexes) {
    tk_trace_w(2, L"pgs_database::create_table_from(%s,%s)", source.name.c_str(), name.c_str());
    return make_table(name, schema, indexes, &source);
}

std::unique_ptr<udb_recordset> pgs_database::make_table(const std::wstring& name, const udb_schema& schema,
                                                        const udb_indexes& indexes, const udb_table_source* source) {
    std::wstring key;
    const bool existing = is_table_exist(name);
    if (existing) {
        // Merge: the existing table, opened for appending the source's fields.
        key = qualify(name);
    } else {
        const auto [schema_name, table_name] = split_name(name);
        const std::wstring s = folded(schema_name);
        const std::wstring t = folded(table_name);
        pgs_schema_initializer init(name, schema, indexes);
        if (source) init.set_comment(pgs_source_comment(*source));
        if (m_work)
            init.get_init_str(m_work->tx());
        else
            init.get_init_str(m_engine.connection());
        register_table(s, t);
        names_map().add_fn_map(name, init.mapped_pairs());
        key = s + L"." + t;
        if (source)
            m_sources[key] = *source;
        else
            m_sources.erase(key);
    }
    tk_trace_w(2, L"pgs_database::get_table(%s)", key.c_str());
    if (!udb_database::is_table_exist(key)) throw tk_mail_assertion("pgs_db", 122);
    auto rs = std::make_unique<pgs_recordset>(*this, key, relationships(), 2, std::move(m_work));
    // Its columns are the ones made for the source here: values go encoded
    // for them. An existing table's types may be others: the server reads text.
    if (existing)
        rs->take_fields_of(schema);
    else
        rs->prefer_binary_copy();
    return rs;
}

std::unique_ptr<udb_recordset> pgs_database::get_query(const std::wstring& name, const std::wstring& sql, int) {
    tk_trace_w(2, L"pgs_database::get_query(%s)", name.c_str());
    return std::make_unique<pgs_recordset>(*this, name, sql);
}

std::unique_ptr<udb_recordset> pgs_database::query_rs(const std::wstring&) { return nullptr; }

void pgs_database::create_relationships(const udb_relationships&) {
    tk_trace(2, "pgs_database::create_relationships");
    if (mode() == append_mode) tk_trace(2, "Foreign Keys are not converted in append mode");
}

bool pgs_database::query(const std::wstring& sql) {
    tk_trace_w(2, L"pgs_database::query(%s)", sql.c_str());
    // A statement test: run and rolled back, so it leaves no lasting change.
    try {
        const std::string statement = tk_to_utf8(sql);
        pgs_read_committed_tx tx(m_engine.connection(), "init_indexes");
        tx.exec(statement);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
