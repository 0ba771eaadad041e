#include "postgres/pgs_sini.h"

#include <memory>

#include "platform/pf_vtype.h"
#include "postgres/pgs_edge.h"
#include "postgres/pgs_ident.h"
#include "postgres/pgs_util.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_rule.h"

pgs_schema_initializer::pgs_schema_initializer(const std::wstring& table_name, const udb_schema& source,
                                               const udb_indexes& indexes)
    : m_table_name(table_name), m_rules(source), m_indexes(indexes), m_source(source) {
    for (const t_ftd* src : m_source.columns()) {
        const std::wstring& src_name = src->name.str();
        std::wstring name = src_name;
        if (!m_rules.is_acceptable(name)) name = m_rules.get_safe_name(name);

        bool not_null = src->b_auto_increment || src->b_not_null;
        if (!not_null && m_indexes.is_idx_field(src_name, true)) {
            tk_trace(2, "Field is a part of Primary Key");
            not_null = true;
        }
        t_ftd* col = m_columns.add(
            std::make_unique<t_ftd>(src->size, udb_name(name), src->vartype, not_null, src->b_auto_increment != 0,
                                    src->b_auto_increment ? ole_variant() : src->def_value, src->reserved));
        col->b_default_now = src->b_default_now && !src->b_auto_increment;
        if (name != src_name) {
            tk_trace_w(2, L"Store generated column name '%s'", name.c_str());
            m_rules.add_existing_name(name);
            m_rules.add_mapped_pair(src_name, name);
        }
        m_rules.add_restricted_name(name);
    }
    tk_trace(1, "pgs_schema_initializer::ctor");
}

std::string pgs_schema_initializer::qualified_name() const {
    std::wstring schema = L"public";
    std::wstring table = m_table_name;
    const std::size_t dot = m_table_name.find(L'.');
    if (dot != std::wstring::npos) {
        schema = m_table_name.substr(0, dot);
        table = m_table_name.substr(dot + 1);
    }
    return pgs_qualified(pgs_fold_name(schema), pgs_fold_name(table));
}

std::string pgs_schema_initializer::statement() const {
    std::string text = "CREATE TABLE " + qualified_name() + " (";
    bool first = true;
    for (const t_ftd* col : m_columns.columns()) {
        if (!first) text += ", ";
        first = false;
        text += pgs_quote_ident(tk_to_utf8(col->name.str()));
        text += ' ';
        const std::wstring type =
            udb_custom_conversion::is_acceptable1(*col) ? udb_custom_conversion::handle1(*col) : get_pgs_type(*col);
        text += tk_to_utf8(type);
        const std::wstring def = make_pgs_def_val(col);
        tk_trace_w(1, L"got def value: %s", def.c_str());
        if (!def.empty()) text += " DEFAULT " + tk_to_utf8(def);
        if (col->b_not_null) text += " NOT NULL";
    }
    text += ")";
    return text;
}

void pgs_schema_initializer::run_in(pqxx::transaction_base& tx, const std::string& create) {
    pgs_guard([&] { tx.exec(create); }, "Cannot create table: " + create + ". ");
    if (m_comment.empty()) return;
    pgs_guard(
        [&] {
            // Quoted by the connection, which knows how its server reads a literal.
            tx.exec("COMMENT ON TABLE " + qualified_name() + " IS " + tx.quote(m_comment));
        },
        "Cannot record the source of table " + qualified_name() + ". ");
}

void pgs_schema_initializer::get_init_str(pqxx::connection& connection) {
    tk_trace(1, "pgs_schema_initializer::get_init_str(n_columns=%d)", static_cast<int>(m_columns.size()));
    const std::string text = statement();
    pgs_guard(
        [&] {
            pgs_read_committed_tx tx(connection, "build_schema");
            run_in(tx, text);
            tx.commit();
        },
        "Cannot create table: " + text + ". ");
}

void pgs_schema_initializer::get_init_str(pqxx::transaction_base& tx) {
    tk_trace(1, "pgs_schema_initializer::get_init_str(n_columns=%d)", static_cast<int>(m_columns.size()));
    run_in(tx, statement());
}
