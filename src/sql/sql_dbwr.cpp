// The writing side of the MySQL database: tables, their foreign keys, views
// and single statements.
#include <mysql.h>

#include "sql/sql_db.h"
#include "sql/sql_engi.h"
#include "sql/sql_exc.h"
#include "sql/sql_init.h"
#include "sql/sql_recs.h"
#include "sql/sql_rpt.h"
#include "sql/sql_sess.h"
#include "sql/sql_view.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_vali.h"

namespace {

const char* const service_address = "support@quorvane.example";

std::string join_quoted(const sql_dialect& d, const std::vector<std::wstring>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out += ", ";
        out += d.quote(names[i]);
    }
    return out;
}

// The level-0 report of one foreign key or view that could not be created;
// the cause follows the message on its own line.
void report_item(const sql_value_reports& reports, const std::string& what, const tk_exception& cause,
                 const std::wstring& context) {
    std::string message = "Can't create " + what + ". Contact to " + service_address + " for the solution.";
    if (!cause.message().empty()) message += "\n" + cause.message();
    reports.report(tk_exception(message, 0), context);
}

// The names of the foreign keys this database holds; none where the server
// cannot list them.
std::vector<std::wstring> foreign_key_names(sql_database& db) {
    std::vector<std::wstring> names;
    try {
        const auto rs = db.query_tmp(
            "SELECT CONSTRAINT_NAME FROM information_schema.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = '" +
            db.escape(tk_to_utf8(db.name())) + "' AND CONSTRAINT_TYPE = 'FOREIGN KEY'");
        if (rs)
            for (rs->reset(); !rs->is_eof(); rs->next()) names.push_back((*rs->get_item())[0].to_wstring());
    } catch (const tk_exception& e) {
        tk_trace(2, "Cannot read the foreign keys' names: %s", e.what());
    }
    return names;
}

}  // namespace

std::string sql_database::qualified(const std::wstring& name) const {
    const sql_dialect d = m_engine.dialect();
    return d.quote(m_name) + "." + d.quote(name);
}

void sql_database::use() {
    const std::string name = tk_to_utf8(m_name);
    if (mysql_select_db(connection(), name.c_str()) != 0)
        throw sql_exception(connection(), "USE " + m_engine.dialect().quote(name));
}

void sql_database::query_append(const std::string& utf8_sql) {
    tk_trace(2, "sql_database::query_append( q_len=%d)", static_cast<int>(utf8_sql.size()));
    tk_trace(2, "(%s)", utf8_sql.c_str());
    tk_trace(1, "sql_database::do_query1(%s)", utf8_sql.c_str());
    sql_run(connection(), utf8_sql);
}

std::wstring sql_database::refine_view_in(const std::wstring& text) const {
    return sql_refine_view_in(text, m_names_map);
}

// ---- tables -----------------------------------------------------------------------------

std::unique_ptr<udb_recordset> sql_database::create_table(const std::wstring& name, const udb_schema& schema,
                                                          const udb_indexes& indexes) {
    tk_trace_w(2, L"sql_database::create_table(%s)", name.c_str());
    if (m_mode & 1) throw tk_mail_assertion("sql_db", 346);
    const bool exists = is_table_exist(name);
    if ((m_mode & append_mode) && exists) {
        use();
        return get_table(name, append_mode);
    }
    if (exists) throw tk_mail_assertion("sql_db", 352);

    const sql_dialect d = m_engine.dialect();
    std::wstring auto_name;
    sql_schema_initializer columns(d, name, schema, indexes, auto_name);
    std::vector<std::wstring> chunks;
    columns.get_init_chunks(chunks);
    if (!indexes.empty() || !auto_name.empty()) {
        sql_indexes_initializer keys(d, columns.schema(), indexes, auto_name, columns.names_map());
        keys.get_init_chunks(chunks);
    }
    std::wstring body;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (i) body += L", ";
        body += chunks[i];
    }
    std::string statement = "CREATE TABLE " + qualified(name) + " (" + tk_to_utf8(body) + ")";
    statement += d.version > sql_version_number(4, 0, 22) ? " ENGINE=" : " TYPE=";
    if (d.version <= sql_version_number(3, 23, 34))
        statement += "MyISAM";
    else
        statement += d.fk_support ? "InnoDB" : "MyISAM";
    tk_trace(2, "Run SQL query: %s\n", statement.c_str());
    {
        // DEFAULT literals are read under the writing side's own mode.
        sql_session_setting mode(connection(), "sql_mode", true);
        sql_use_writing_mode(mode, d.version);
        query_append(statement);
        mode.restore();
    }
    m_table_names.push_back(name);
    m_names_map.add_fn_map(name, columns.names_map().pairs());
    use();  // the table reads its catalogue in the current database
    return get_table(name, created_mode);
}

bool sql_database::delete_tab(const std::wstring& name) {
    tk_trace_w(2, L"sql_database::delete_tab (%s)", name.c_str());
    if (m_mode & 1) throw tk_mail_assertion("sql_db", 430);
    if (!is_table_exist(name)) throw tk_mail_assertion("sql_db", 431);
    query_append("DROP TABLE " + qualified(name));
    return udb_database::delete_tab(name);
}

// ---- foreign keys -----------------------------------------------------------------------

void sql_database::create_fk_index_if(const std::wstring& table, const std::vector<std::wstring>& fields) {
    tk_trace_w(2, L"sql_database::create_fk_index_if(%s)", table.c_str());
    std::vector<std::wstring> mapped;
    mapped.reserve(fields.size());
    for (const std::wstring& f : fields) mapped.push_back(m_names_map.get_fn_mapped_name(table, f, true));
    {
        const std::unique_ptr<udb_recordset> rs = get_table(table, created_mode);  // its index list only
        if (!rs) throw tk_mail_assertion("sql_db", 306);
        tk_trace(1, "udb_indexes::has_index_on_fields");
        if (rs->indexes().has_index_on_fields(mapped)) {
            tk_trace_w(2, L"Child index for table '%s' exists", table.c_str());
            return;
        }
    }
    const std::string statement =
        "ALTER TABLE " + qualified(table) + " ADD INDEX (" + join_quoted(m_engine.dialect(), mapped) + ")";
    try {
        query_append(statement);
    } catch (const sql_exception& e) {
        tk_trace(2, "Error while creating index for FK:\n%s\n", e.what());
    }
}

void sql_database::create_relationship(const udb_relationship& rel, const std::wstring& constraint_name) {
    const std::wstring child = m_names_map.get_tn_mapped_name(rel.child_table, false);
    if (!is_table_exist(child)) throw tk_exception("Table '" + tk_to_utf8(child) + "' not exists", 0);
    const std::wstring parent = m_names_map.get_tn_mapped_name(rel.parent_table, false);
    if (!is_table_exist(parent)) throw tk_exception("Table '" + tk_to_utf8(parent) + "' not exists", 0);
    create_fk_index_if(child, rel.child_fields);
    create_fk_index_if(parent, rel.parent_fields);

    std::vector<std::wstring> child_fields, parent_fields;
    for (const std::wstring& f : rel.child_fields)
        child_fields.push_back(m_names_map.get_fn_mapped_name(child, f, true));
    for (const std::wstring& f : rel.parent_fields)
        parent_fields.push_back(m_names_map.get_fn_mapped_name(parent, f, true));
    const sql_dialect d = m_engine.dialect();
    std::string statement = "ALTER TABLE " + qualified(child) + " ADD ";
    // Without a name of its own the server names the constraint.
    if (!constraint_name.empty()) statement += "CONSTRAINT " + d.quote(constraint_name) + " ";
    statement += "FOREIGN KEY(" + join_quoted(d, child_fields) + ") REFERENCES " + qualified(parent) + "(" +
                 join_quoted(d, parent_fields) + ")";
    query_append(statement);
}

void sql_database::create_relationships(const udb_relationships& relationships) {
    tk_trace(2, "sql_database::create_relationships");
    tk_trace(3, "Converting foreign keys");
    if (m_engine.server_version() < sql_version_number(3, 23, 44)) {
        tk_trace(3, "This version of MySQL doesn't support Foreign Keys");
        return;
    }
    if (m_mode == append_mode) {
        tk_trace(3, "Foreign keys are not converted in append mode");
        return;
    }
    // The session gets back the checks it had, also when the run is abandoned.
    sql_session_setting checks(connection(), "FOREIGN_KEY_CHECKS", false);
    try {
        checks.change("0");
    } catch (const tk_exception& e) {
        tk_trace(2, "Cannot turn OFF foreign key check: %s", e.what());
    }
    // A foreign key's name is unique in its database here, while a source may
    // give one name to keys of several tables: a name taken gets a safe one.
    const std::unique_ptr<udb_validator> names = m_engine.create_in_validator(udb_indexes());
    for (const std::wstring& taken : foreign_key_names(*this)) names->add_existing_name(taken);
    for (const udb_relationship& rel : relationships) {
        tk_trace_w(3, L"Processing '%s'", rel.constraint_name.c_str());
        std::wstring name = rel.constraint_name;
        if (!name.empty() && (!names->is_acceptable(name) || names->is_duplicated(name))) {
            name = names->get_safe_name(name);
            tk_trace_w(2, L"Foreign key '%s' is created as '%s'", rel.constraint_name.c_str(), name.c_str());
        }
        try {
            use();
            create_relationship(rel, name);
            if (!name.empty()) names->add_existing_name(name);
        } catch (const tk_exception& e) {
            tk_trace(2, "Error while creating FK:\n%s\n", e.what());
            const std::wstring context =
                rel.constraint_name.empty() ? rel.child_table : L"Foreign key '" + rel.constraint_name + L"'";
            report_item(m_engine.value_reports(), "foreign key", e, context);
        }
    }
    try {
        checks.restore();
    } catch (const tk_exception& e) {
        tk_trace(2, "Cannot turn ON foreign key check: %s", e.what());
    }
}

// ---- views ------------------------------------------------------------------------------

void sql_database::create_view(const std::wstring& name, const std::wstring& sql, udb_validator& validator) {
    std::wstring dest = name;
    if (!validator.is_acceptable(name)) {
        dest = validator.get_safe_name(name);
        m_names_map.add_tn_mapping(name, dest);
        tk_trace_w(2, L"Store generated column name '%s'", dest.c_str());
        validator.add_existing_name(dest);
    }
    use();  // the view's own names resolve in the current database
    query_append("CREATE OR REPLACE VIEW " + qualified(dest) + " AS " + tk_to_utf8(refine_view_in(sql)));
}

void sql_database::create_views(const udb_queries& views) {
    tk_trace(2, "sql_database::create_views");
    std::vector<std::wstring> names;
    names.reserve(views.size());
    for (const auto& entry : views) names.push_back(entry.first);
    const std::unique_ptr<udb_validator> validator = m_engine.create_tn_validator(names, {});
    for (const auto& [name, sql] : views) {
        tk_trace_w(1, L"Processing '%s'", name.c_str());
        tk_trace_w(1, L"\t'%s'", sql.c_str());
        if (!udb_starts_with(sql, L"select", false)) {
            tk_trace(2, "Skip non-select query");
            continue;
        }
        try {
            create_view(name, sql, *validator);
        } catch (const tk_exception& e) {
            tk_trace(2, "Error while creating view:\n%s\n", e.what());
            report_item(m_engine.value_reports(), "view", e, L"View '" + name + L"'");
        }
    }
}
