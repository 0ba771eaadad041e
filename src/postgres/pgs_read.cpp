#include "postgres/pgs_read.h"

#include <algorithm>

#include "postgres/pgs_edge.h"
#include "postgres/pgs_ident.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

// One cursor per connection at a time: a reader holds the connection's only
// transaction.
constexpr const char* cursor_name = "vek_rows";
// What a cell costs a window beyond its text (libpq's bookkeeping).
constexpr std::size_t field_overhead = 16;

bool is_mapped_type(std::uint32_t oid) {
    switch (oid) {
    case pgs_oid::boolean:
    case pgs_oid::bytea:
    case pgs_oid::name:
    case pgs_oid::int8:
    case pgs_oid::int2:
    case pgs_oid::int4:
    case pgs_oid::text:
    case pgs_oid::float4:
    case pgs_oid::float8:
    case pgs_oid::money:
    case pgs_oid::bpchar:
    case pgs_oid::varchar:
    case pgs_oid::date:
    case pgs_oid::time:
    case pgs_oid::timestamp:
    case pgs_oid::timestamptz:
    case pgs_oid::numeric: return true;
    default: return false;
    }
}

// The SELECT text without the blanks and semicolons that may end it.
std::string trimmed_query(std::string sql) {
    while (!sql.empty() &&
           (sql.back() == ';' || sql.back() == ' ' || sql.back() == '\t' || sql.back() == '\n' || sql.back() == '\r'))
        sql.pop_back();
    return sql;
}

std::string oid_array(const std::vector<std::uint32_t>& oids) {
    std::string a = "{";
    for (std::size_t i = 0; i < oids.size(); ++i) {
        if (i) a += ",";
        a += std::to_string(oids[i]);
    }
    return a + "}";
}

}  // namespace

pgs_row_reader::pgs_row_reader(pqxx::connection& connection) {
    pgs_guard([&] {
        m_server_version = connection.server_version();
        m_tx = std::make_unique<pgs_snapshot_tx>(connection, "read_rows");
    });
    // The text forms the cell reader expects, whatever the server's or the
    // role's settings; undone when the transaction ends.
    run("SELECT set_config('DateStyle', 'ISO, YMD', true), set_config('TimeZone', 'UTC', true), "
        "set_config('extra_float_digits', '3', true), set_config('bytea_output', 'hex', true)");
}

pgs_row_reader::~pgs_row_reader() {
    try {
        m_window.clear();
        m_tx.reset();  // rolls back; a broken connection has nothing to roll back
    } catch (...) {
        tk_trace(2, "pgs_row_reader::dtor: the transaction did not end cleanly");
    }
}

pqxx::result pgs_row_reader::run(const std::string& sql, const std::vector<std::string>& params) {
    try {
        return pgs_exec_params(*m_tx, sql, params);
    } catch (const tk_exception&) {
        throw;
    } catch (const std::exception& e) {
        pgs_exception x = pgs_exception_from(e);
        if (x.statement().empty()) x.set_statement(sql);
        throw x;
    }
}

std::unique_ptr<pgs_row_reader> pgs_row_reader::table(pqxx::connection& connection, const std::wstring& schema_name,
                                                      const std::wstring& table_name) {
    std::unique_ptr<pgs_row_reader> r(new pgs_row_reader(connection));
    r->read_table_columns(schema_name, table_name);
    const std::string from = pgs_qualified(tk_to_utf8(schema_name), tk_to_utf8(table_name));
    r->m_count = r->run("SELECT COUNT(*) FROM " + from)[0][0].as<std::int64_t>();
    // A table without columns still has rows: SELECT of nothing reads them.
    r->m_select = "SELECT " + pgs_select_list(r->m_columns) + " FROM " + from;
    r->declare_cursor();
    r->load_window();
    r->m_first_window = true;
    return r;
}

std::unique_ptr<pgs_row_reader> pgs_row_reader::query(pqxx::connection& connection, const std::wstring& sql) {
    std::unique_ptr<pgs_row_reader> r(new pgs_row_reader(connection));
    r->m_select = trimmed_query(tk_to_utf8(sql));
    r->m_count = r->run("SELECT COUNT(*) FROM (" + r->m_select + "\n) AS query")[0][0].as<std::int64_t>();
    r->declare_cursor();
    r->load_window();
    r->m_first_window = true;
    r->describe_result();
    return r;
}

void pgs_row_reader::read_table_columns(const std::wstring& schema_name, const std::wstring& table_name) {
    // By schema and name: a table of the same name elsewhere is another table.
    const pqxx::result t =
        run("SELECT c.oid FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname = $1 AND c.relname = $2",
            {tk_to_utf8(schema_name), tk_to_utf8(table_name)});
    if (t.empty()) throw pgs_exception(L"Table " + schema_name + L"." + table_name + L" does not exist");
    m_table_oid = t[0][0].as<std::uint32_t>();
    // By attribute number: dropped columns leave gaps, never shifts.
    const pqxx::result cols =
        run("SELECT a.attname, a.atttypid, a.atttypmod, a.attnotnull, pg_catalog.format_type(a.atttypid, a.atttypmod) "
            "FROM pg_catalog.pg_attribute a WHERE a.attrelid = $1 AND a.attnum > 0 AND NOT a.attisdropped "
            "ORDER BY a.attnum",
            {std::to_string(m_table_oid)});
    std::vector<std::uint32_t> types;
    std::vector<int> typmods;
    m_columns.resize(cols.size());
    for (pqxx::result::size_type i = 0; i < cols.size(); ++i) {
        pgs_read_column& c = m_columns[i];
        c.name = udb_name(tk_utf8_to_unicode(cols[i][0].c_str()));
        c.not_null = std::string_view(cols[i][3].c_str()) == "t";
        c.type_name = cols[i][4].c_str();
        types.push_back(cols[i][1].as<std::uint32_t>());
        typmods.push_back(cols[i][2].as<int>());
    }
    resolve_types(types, typmods);
}

void pgs_row_reader::describe_result() {
    const pqxx::row_size_type n = m_window.columns();
    std::vector<std::uint32_t> types(n);
    std::vector<int> typmods(n, -1);
    // A column taken straight from a table has that column's modifier
    // (varchar length, numeric precision); computed ones have none.
    std::vector<std::string> rels, nums;
    for (pqxx::row_size_type i = 0; i < n; ++i) {
        types[i] = m_window.column_type(i);
        const std::uint32_t rel = m_window.column_table(i);
        if (rel != 0) {
            rels.push_back(std::to_string(rel));
            nums.push_back(std::to_string(m_window.table_column(i) + 1));
        } else {
            rels.push_back("0");
            nums.push_back("0");
        }
    }
    m_columns.resize(n);
    for (pqxx::row_size_type i = 0; i < n; ++i)
        m_columns[i].name = udb_name(tk_utf8_to_unicode(m_window.column_name(i)));
    if (std::any_of(rels.begin(), rels.end(), [](const std::string& r) { return r != "0"; })) {
        std::string rel_array = "{", num_array = "{";
        for (std::size_t i = 0; i < rels.size(); ++i) {
            rel_array += (i ? "," : "") + rels[i];
            num_array += (i ? "," : "") + nums[i];
        }
        const pqxx::result mods =
            run("SELECT k.i, a.atttypmod FROM unnest($1::oid[], $2::int2[]) WITH ORDINALITY AS k(rel, num, i) "
                "JOIN pg_catalog.pg_attribute a ON a.attrelid = k.rel AND a.attnum = k.num",
                {rel_array + "}", num_array + "}"});
        for (const auto& row : mods) {
            const auto i = row[0].as<std::size_t>() - 1;
            if (i < static_cast<std::size_t>(n)) typmods[i] = row[1].as<int>();
        }
    }
    resolve_types(types, typmods);
    // A query's columns can hold NULL whatever their source column says.
    for (pgs_read_column& c : m_columns) c.not_null = false;
}

void pgs_row_reader::resolve_types(std::vector<std::uint32_t>& types, std::vector<int>& typmods) {
    // Domains stand for their base type; the domain's modifier applies when
    // the column has none of its own.
    std::vector<std::uint32_t> others;
    for (std::uint32_t t : types)
        if (!is_mapped_type(t) && std::find(others.begin(), others.end(), t) == others.end()) others.push_back(t);
    if (!others.empty()) {
        const pqxx::result r =
            run("WITH RECURSIVE chain(start, oid, typmod) AS ("
                " SELECT t.oid, t.oid, -1 FROM pg_catalog.pg_type t WHERE t.oid = ANY($1::oid[])"
                " UNION ALL"
                " SELECT c.start, t.typbasetype, CASE WHEN c.typmod = -1 THEN t.typtypmod ELSE c.typmod END"
                " FROM chain c JOIN pg_catalog.pg_type t ON t.oid = c.oid WHERE t.typtype = 'd')"
                " SELECT c.start, c.oid, c.typmod FROM chain c JOIN pg_catalog.pg_type t ON t.oid = c.oid"
                " WHERE t.typtype <> 'd'",
                {oid_array(others)});
        for (const auto& row : r) {
            const auto start = row[0].as<std::uint32_t>();
            const auto base = row[1].as<std::uint32_t>();
            const int domain_mod = row[2].as<int>();
            for (std::size_t i = 0; i < types.size(); ++i)
                if (types[i] == start) {
                    types[i] = base;
                    if (typmods[i] == -1) typmods[i] = domain_mod;
                }
        }
    }
    const bool any_money = std::find(types.begin(), types.end(), pgs_oid::money) != types.end();
    const unsigned scale = any_money ? money_scale() : 0;
    for (std::size_t i = 0; i < types.size(); ++i) {
        pgs_describe_column(m_columns[i], types[i], typmods[i], scale);
        tk_trace_w(1, L"\tcolumn '%s': type %u/%d, vartype=%d, size=%u, reserved=%u", m_columns[i].name.c_str(),
                   types[i], typmods[i], static_cast<int>(m_columns[i].vt), m_columns[i].size, m_columns[i].subtype);
    }
}

unsigned pgs_row_reader::money_scale() {
    // Decimals of money follow the server's lc_monetary.
    if (m_money_scale < 0) m_money_scale = run("SELECT pg_catalog.scale('0'::money::numeric)")[0][0].as<int>();
    return static_cast<unsigned>(m_money_scale);
}

void pgs_row_reader::declare_cursor() {
    tk_trace(2, "Reading: %s", m_select.c_str());
    run(std::string("DECLARE ") + cursor_name + " NO SCROLL CURSOR FOR " + m_select);
    m_cursor_done = false;
    m_fetch_rows = first_window_rows;
}

void pgs_row_reader::load_window() {
    m_window.clear();
    m_pos = 0;
    m_first_window = false;
    if (m_cursor_done) return;
    // Size this window by the rows read from the last one: large rows, fewer
    // at once.
    if (m_rows_seen != 0) {
        const std::size_t row_bytes = std::max<std::size_t>(1, m_bytes_seen / m_rows_seen);
        const std::size_t fit = std::max<std::size_t>(1, window_bytes / row_bytes);
        m_fetch_rows = std::min({fit, 4 * m_fetch_rows, window_rows});
    }
    m_rows_seen = 0;
    m_bytes_seen = 0;
    m_window = run("FETCH FORWARD " + std::to_string(m_fetch_rows) + " FROM " + cursor_name);
    if (static_cast<std::size_t>(m_window.size()) < m_fetch_rows) m_cursor_done = true;
}

udb_record* pgs_row_reader::current() {
    if (at_end()) return nullptr;
    if (m_record_row == m_row) return &m_record;
    const pqxx::row row = m_window[m_pos];
    m_record.clear();
    m_record.reserve(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const pgs_read_column& c = m_columns[i];
        const pqxx::field f = row[static_cast<pqxx::row::size_type>(i)];
        const std::size_t n = f.size();
        m_bytes_seen += n + field_overhead;
        // SQL NULL travels as an empty value.
        ole_variant v = f.is_null() ? ole_variant() : pgs_cell_value(c, std::string_view(f.c_str(), n));
        m_record.emplace(c.name, c.size, std::move(v), c.not_null, false);
    }
    ++m_rows_seen;
    m_record_row = m_row;
    return &m_record;
}

void pgs_row_reader::next() {
    if (at_end()) return;
    ++m_row;
    // The last window stays when the cursor is done, so that a restart of a
    // table that fits in it needs no new read.
    if (++m_pos >= m_window.size() && !m_cursor_done) load_window();
}

void pgs_row_reader::restart() {
    m_row = 0;
    m_record_row = -1;
    if (m_first_window) {
        // The window still holds the first rows with the cursor right behind
        // them: that is exactly where a new read would stand.
        m_pos = 0;
        return;
    }
    run(std::string("CLOSE ") + cursor_name);
    declare_cursor();
    load_window();
    m_first_window = true;
}
