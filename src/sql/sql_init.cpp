#include "sql/sql_init.h"

#include "platform/pf_vtype.h"
#include "sql/sql_util.h"
#include "sql/sql_vali.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_rule.h"
#include "udb/udb_text.h"

namespace {

constexpr std::size_t max_index_fields = 16;

bool is_long_text_or_binary(const t_ftd& col) {
    return col.vartype == VT_BLOB || col.vartype == VT_BLOB_OBJECT ||
           (col.vartype == VT_BSTR && (col.size == 0 || col.size > 255));
}

}  // namespace

std::wstring sql_quote_wname(const sql_dialect& d, const std::wstring& name) {
    if (!d.quotes_names()) return name;
    std::wstring out;
    out.reserve(name.size() + 2);
    out += L'`';
    for (wchar_t c : name) {
        if (c == L'`') out += L'`';
        out += c;
    }
    out += L'`';
    return out;
}

// ---- columns ------------------------------------------------------------------------------

sql_schema_initializer::sql_schema_initializer(const sql_dialect& dialect, const std::wstring& table_name,
                                               const udb_schema& source, const udb_indexes& indexes,
                                               std::wstring& auto_name)
    : m_dialect(dialect),
      m_table_name(table_name),
      m_auto_name(auto_name),
      m_indexes(indexes),
      m_validator(sql_create_fn_validator(dialect, source)),
      m_source(source) {
    tk_trace(2, "sql_schema_initializer::ctor");
    for (const t_ftd* src : source.columns()) {
        const std::wstring& src_name = src->name.str();
        const bool acceptable = m_validator->is_acceptable(src_name);
        const std::wstring name = acceptable ? src_name : m_validator->get_safe_name(src_name);
        t_ftd* col = m_schema.add(std::make_unique<t_ftd>(src->size, udb_name(name), src->vartype, src->b_not_null != 0,
                                                          src->b_auto_increment != 0, src->def_value, src->reserved));
        col->b_default_now = src->b_default_now;
        tk_trace_w(2, L"GOT FIELD: name=%s, type=%d, flags=%d", name.c_str(), static_cast<int>(src->vartype),
                   static_cast<int>(src->reserved));
        if (!acceptable) {
            tk_trace_w(2, L"Store generated column name '%s'", name.c_str());
            m_validator->add_existing_name(name);
            m_validator->add_mapped_pair(src_name, name);
        }
        // A later column of the same name (ignoring case) gets a generated one.
        m_validator->add_restricted_name(name);
    }
}

bool sql_schema_initializer::can_have_auto_num(const t_ftd& col) {
    tk_trace(1, "sql_schema_initializer::can_have_auto_num");
    return pf_is_integer_type(col.vartype);
}

bool sql_schema_initializer::can_have_def_value(const t_ftd& col) {
    tk_trace(1, "sql_schema_initializer::can_have_def_value");
    if (col.b_auto_increment) {
        tk_trace(2, "WARNING: auto_increment columns cannot have default value!");
        return false;
    }
    return !is_long_text_or_binary(col);
}

void sql_schema_initializer::get_init_chunks(std::vector<std::wstring>& out) {
    tk_trace(2, "sql_schema_initializer::get_init_chunks(n_columns=%d)", static_cast<int>(m_schema.size()));
    m_auto_name.clear();
    for (std::size_t i = 0; i < m_schema.size(); ++i) {
        const t_ftd& col = *m_schema[i];
        const std::wstring& src_name = m_source[i]->name.str();
        tk_trace_w(1, L"Processing field '%s'", col.name.c_str());
        std::wstring clause = sql_quote_wname(m_dialect, col.name.str()) + L" ";
        if (udb_custom_conversion::is_acceptable1(col)) {
            clause += udb_custom_conversion::handle1(col);
        } else {
            try {
                clause += get_native_type(m_dialect, col.vartype, col.size, col.reserved);
            } catch (const tk_mail_assertion&) {
                throw;
            } catch (const tk_exception& e) {
                throw tk_exception(L"Column '" + col.name.str() + L"': " + tk_utf8_to_unicode(e.message()), 0);
            }
        }
        if (col.vartype == VT_BSTR && m_dialect.quotes_names())
            clause += L" CHARACTER SET " + tk_utf8_to_unicode(m_dialect.charset()) + L" COLLATE " +
                      tk_utf8_to_unicode(m_dialect.text_collation()) + L" ";
        const bool any_index_not_null =
            m_dialect.version < sql_version_number(3, 23, 2) && m_indexes.is_idx_field(src_name, false);
        if (col.b_not_null || col.b_auto_increment || m_indexes.is_idx_field(src_name, true) || any_index_not_null)
            clause += L" NOT NULL";
        if (can_have_def_value(col)) {
            const std::wstring def = make_mysql_def_val(col, &m_dialect);
            tk_trace_w(1, L"got def value: %s", def.c_str());
            if (!def.empty()) clause += L" DEFAULT " + def;
        }
        if (col.b_auto_increment && can_have_auto_num(col)) {
            if (!m_auto_name.empty()) throw tk_mail_assertion("sql_init", 114);
            m_auto_name = col.name.str();
            clause += L" AUTO_INCREMENT";
        }
        out.push_back(std::move(clause));
    }
}

// ---- indexes ------------------------------------------------------------------------------

sql_indexes_initializer::sql_indexes_initializer(const sql_dialect& dialect, const udb_schema& schema,
                                                 const udb_indexes& indexes, const std::wstring& auto_name,
                                                 const t_names_map& names_map)
    : m_dialect(dialect), m_auto_name(auto_name), m_schema(schema), m_names_map(names_map) {
    tk_trace(1, "sql_indexes_initializer::ctor");
    const std::unique_ptr<udb_validator> validator = sql_create_in_validator(dialect, indexes);
    for (const udb_index& src : indexes) {
        const bool acceptable = validator->is_acceptable(src.name);
        const std::wstring name = acceptable ? src.name : validator->get_safe_name(src.name);
        std::vector<std::wstring> fields;
        fields.reserve(src.field_names.size());
        // Exactly: of two source columns "a" and "A" the second was renamed,
        // and an index on "a" stays on "a".
        for (const std::wstring& f : src.field_names) fields.push_back(m_names_map.get_mapped_name(f, true));
        m_indexes.add(udb_index(name, src.b_unique != 0, src.b_primary != 0, std::move(fields)));
        if (!acceptable) {
            tk_trace_w(2, L"Store generated index name '%s'", name.c_str());
            validator->add_existing_name(name);
        }
        validator->add_restricted_name(name);
    }
}

void sql_indexes_initializer::get_init_chunks(std::vector<std::wstring>& out) {
    tk_trace(1, "sql_indexes_initializer::get_init_chunks(n_indexes=%d)", static_cast<int>(m_indexes.size()));
    const bool new_server = m_dialect.quotes_names();
    const std::uint32_t max_total = new_server ? 500 : 256;
    const std::size_t max_indexes = new_server ? 31 : 15;
    bool auto_unindexed = !m_auto_name.empty();
    std::size_t considered = 0;
    for (const udb_index& idx : m_indexes) {
        if (considered >= max_indexes) break;
        tk_trace_w(2, L"Process index '%s'", idx.name.c_str());
        if (idx.field_names.size() > max_index_fields) {
            tk_trace(2, "Max number of indexes has been reached");
            continue;
        }
        std::wstring clause;
        if (idx.b_primary)
            clause = L"PRIMARY KEY";
        else
            clause = (idx.b_unique ? L"UNIQUE " : L"INDEX ") + sql_quote_wname(m_dialect, idx.name);
        clause += L" (";
        bool dropped = false;
        std::uint32_t total = 0;
        for (std::size_t f = 0; f < idx.field_names.size() && !dropped; ++f) {
            const std::wstring& field = idx.field_names[f];
            tk_trace_w(1, L"Process idx.field %s", field.c_str());
            if (f) clause += L", ";
            clause += sql_quote_wname(m_dialect, field);
            const t_ftd& col = m_schema.get_field(field);
            if (is_long_text_or_binary(col)) {
                tk_trace(2, "Indexes on BLOBs are not allowed");
                dropped = true;
            } else if ((total += col.size) > max_total) {
                tk_trace(2, "Index is too big");
                dropped = true;
            }
        }
        ++considered;
        if (dropped) continue;
        clause += L")";
        // The AUTO_INCREMENT column must lead an index that is built.
        if (auto_unindexed && !idx.field_names.empty() && udb_eq_nocase(idx.field_names[0], m_auto_name)) {
            tk_trace(2, "Got index for auto_increment field");
            auto_unindexed = false;
        }
        out.push_back(std::move(clause));
    }
    if (auto_unindexed) {
        tk_trace(2, "Creating index for auto-field");
        const std::unique_ptr<udb_validator> validator = sql_create_in_validator(m_dialect, m_indexes);
        const std::wstring name = validator->is_acceptable(m_auto_name) && !validator->is_duplicated(m_auto_name)
                                      ? m_auto_name
                                      : validator->get_safe_name(m_auto_name);
        out.push_back(L"INDEX " + sql_quote_wname(m_dialect, name) + L" (" + sql_quote_wname(m_dialect, m_auto_name) +
                      L")");
    }
}
