#include "support/row_diff.h"

#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

enum class rule { text, bytes, bit, real4, real8 };

rule rule_for(const std::string& mysql_type) {
    static const std::set<std::string> bytes{"binary", "varbinary", "tinyblob", "blob", "mediumblob", "longblob"};
    if (bytes.count(mysql_type)) return rule::bytes;
    if (mysql_type == "bit") return rule::bit;
    if (mysql_type == "float") return rule::real4;
    if (mysql_type == "double") return rule::real8;
    return rule::text;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string show(const db_cell& c) { return c ? "'" + *c + "'" : "NULL"; }

bool same(rule r, const db_cell& a, const db_cell& b) {
    if (!a || !b) return !a && !b;
    if (r == rule::real4 || r == rule::real8) {
        const double x = std::strtod(a->c_str(), nullptr), y = std::strtod(b->c_str(), nullptr);
        const double tol = r == rule::real4 ? 1e-6 : 1e-15;
        return x == y || std::fabs(x - y) <= tol * std::max(std::fabs(x), std::fabs(y));
    }
    return *a == *b;
}

}  // namespace

std::string diff_rows(mysql_admin& my, const std::string& my_db, const std::string& my_table, const std::string& pg_db,
                      const std::string& pg_table, const std::string& order_by) {
    const db_rows my_cols =
        my.query("SELECT column_name, data_type FROM information_schema.columns WHERE table_schema = '" +
                 my.escape(my_db) + "' AND table_name = '" + my.escape(my_table) + "' ORDER BY ordinal_position");
    if (my_cols.empty()) return "no source columns for " + my_table;
    const db_rows pg_cols = pg_query(pg_db, "SELECT column_name, data_type FROM information_schema.columns WHERE "
                                            "table_schema = 'public' AND table_name = '" +
                                                pg_table + "'");

    std::string my_sql = "SELECT ", pg_sql = "SELECT ";
    std::vector<rule> rules;
    for (std::size_t i = 0; i < my_cols.size(); ++i) {
        const std::string name = *my_cols[i][0];
        const rule r = rule_for(lower(*my_cols[i][1]));
        std::string pg_name, pg_type;
        for (const auto& c : pg_cols) {
            if (lower(*c[0]) != lower(name)) continue;
            pg_name = *c[0];
            pg_type = *c[1];
        }
        if (pg_name.empty()) return "no destination column " + name + " in " + pg_table;
        const std::string m = mysql_ident(name), p = pg_quote_ident(pg_name);
        const std::string sep = i ? "," : "";
        switch (r) {
        case rule::bytes:
            my_sql += sep + "HEX(" + m + ")";
            pg_sql += sep + (pg_type == "bytea" ? "upper(encode(" + p + ",'hex'))"
                                                : "upper(encode(convert_to(" + p + "::text,'UTF8'),'hex'))");
            break;
        case rule::bit:
            my_sql += sep + m + "+0";
            pg_sql += sep + (pg_type == "boolean" ? "CASE WHEN " + p + " THEN '1' ELSE '0' END" : p + "::text");
            break;
        default: my_sql += sep + m; pg_sql += sep + p + "::text";
        }
        rules.push_back(r);
    }
    const db_rows src =
        my.query(my_sql + " FROM " + mysql_ident(my_db) + "." + mysql_ident(my_table) + " ORDER BY " + order_by);
    const db_rows dst = pg_query(pg_db, pg_sql + " FROM " + pg_quote_ident(pg_table) + " ORDER BY " + order_by);
    if (src.size() != dst.size())
        return my_table + ": " + std::to_string(src.size()) + " source rows, " + std::to_string(dst.size()) +
               " destination rows";
    for (std::size_t r = 0; r < src.size(); ++r)
        for (std::size_t c = 0; c < rules.size(); ++c)
            if (!same(rules[c], src[r][c], dst[r][c]))
                return my_table + " row " + std::to_string(r + 1) + " column " + *my_cols[c][0] + ": source " +
                       show(src[r][c]) + ", destination " + show(dst[r][c]);
    return "";
}
