#include "postgres/pgs_rkey.h"

#include <algorithm>

#include "postgres/pgs_read.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_idx.h"
#include "udb/udb_recs.h"

namespace {

std::wstring text_of(const pqxx::field& f) { return tk_utf8_to_unicode(f.c_str()); }
bool flag_of(const pqxx::field& f) { return std::string_view(f.c_str()) == "t"; }

void read_indexes(pgs_row_reader& reader, udb_recordset& rs) {
    // Key columns only: INCLUDE columns (PostgreSQL 11 on) follow them.
    const std::string key_columns = reader.server_version() >= 110000 ? "i.indnkeyatts" : "i.indnatts";
    const pqxx::result r = reader.run(
        "SELECT ic.relname, i.indisprimary, i.indisunique, i.indpred IS NOT NULL, a.attname "
        "FROM pg_catalog.pg_index i "
        "JOIN pg_catalog.pg_class ic ON ic.oid = i.indexrelid "
        "CROSS JOIN LATERAL unnest(i.indkey::int2[]) WITH ORDINALITY AS k(attnum, n) "
        "LEFT JOIN pg_catalog.pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum AND k.attnum > 0 "
        "WHERE i.indrelid = $1 AND i.indisvalid AND k.n <= " +
            key_columns +
            " "
            "ORDER BY i.indisprimary DESC, ic.relname, i.indexrelid, k.n",
        {std::to_string(reader.table_oid())});
    for (pqxx::result::size_type i = 0; i < r.size();) {
        const std::string name_utf8 = r[i][0].c_str();
        const std::wstring name = tk_utf8_to_unicode(name_utf8);
        const bool primary = flag_of(r[i][1]);
        const bool unique = flag_of(r[i][2]);
        const bool partial = flag_of(r[i][3]);
        std::vector<std::wstring> fields;
        bool expression = false;
        for (; i < r.size() && name_utf8 == r[i][0].c_str(); ++i) {
            if (r[i][4].is_null())
                expression = true;
            else
                fields.push_back(text_of(r[i][4]));
        }
        if (expression || partial) {
            tk_trace_w(2, L"Index '%s' is left out: it covers %s", name.c_str(),
                       expression ? L"an expression" : L"part of the table");
            continue;
        }
        tk_trace_w(2, L"Got index '%s' (primary=%d, unique=%d)", name.c_str(), int(primary), int(unique));
        rs.add_index(udb_index(name, unique || primary, primary, std::move(fields)));
    }
}

void read_foreign_keys(pgs_row_reader& reader, const std::wstring& child_table, udb_relationships& relationships) {
    // Child columns through this table, parent columns through the parent,
    // position by position.
    const pqxx::result r =
        reader.run("SELECT c.conname, pn.nspname, pc.relname, c.confdeltype, ca.attname, pa.attname "
                   "FROM pg_catalog.pg_constraint c "
                   "JOIN pg_catalog.pg_class pc ON pc.oid = c.confrelid "
                   "JOIN pg_catalog.pg_namespace pn ON pn.oid = pc.relnamespace "
                   "CROSS JOIN LATERAL unnest(c.conkey, c.confkey) WITH ORDINALITY AS k(child, parent, n) "
                   "JOIN pg_catalog.pg_attribute ca ON ca.attrelid = c.conrelid AND ca.attnum = k.child "
                   "JOIN pg_catalog.pg_attribute pa ON pa.attrelid = c.confrelid AND pa.attnum = k.parent "
                   "WHERE c.conrelid = $1 AND c.contype = 'f' "
                   "ORDER BY c.conname, c.oid, k.n",
                   {std::to_string(reader.table_oid())});
    for (pqxx::result::size_type i = 0; i < r.size();) {
        const std::string name_utf8 = r[i][0].c_str();
        const std::wstring name = tk_utf8_to_unicode(name_utf8);
        const std::wstring parent = text_of(r[i][1]) + L"." + text_of(r[i][2]);
        const std::wstring rule = get_delete_rule(r[i][3].c_str()[0]);
        std::vector<std::wstring> child_fields, parent_fields;
        for (; i < r.size() && name_utf8 == r[i][0].c_str(); ++i) {
            child_fields.push_back(text_of(r[i][4]));
            parent_fields.push_back(text_of(r[i][5]));
        }
        const bool known = std::any_of(relationships.begin(), relationships.end(), [&](const udb_relationship& x) {
            return x.constraint_name == name && x.child_table == child_table;
        });
        tk_trace_w(2, L"Got foreign key '%s' to %s%s", name.c_str(), parent.c_str(), known ? L" (listed)" : L"");
        if (!known)
            relationships.emplace_back(name, std::wstring(), child_table, parent, std::move(child_fields),
                                       std::move(parent_fields), rule);
    }
}

}  // namespace

std::wstring get_delete_rule(char code) {
    tk_trace(1, "::get_delete_rule");
    switch (code) {
    case 'c': return L"CASCADE";
    case 'd': return L"SET DEFAULT";
    case 'n': return L"SET NULL";
    case 'r': return L"RESTRICT";
    default: return std::wstring();
    }
}

void pgs_read_keys(pgs_row_reader& reader, udb_recordset& rs, const std::wstring& child_table,
                   udb_relationships& relationships) {
    read_indexes(reader, rs);
    read_foreign_keys(reader, child_table, relationships);
    tk_trace(2, "ora_table::init_indexes");
}
