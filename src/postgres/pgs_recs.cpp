#include "postgres/pgs_recs.h"

#include <limits>
#include <optional>

#include "postgres/pgs_db.h"
#include "postgres/pgs_edge.h"
#include "postgres/pgs_engi.h"
#include "postgres/pgs_ftd.h"
#include "postgres/pgs_ident.h"
#include "postgres/pgs_pqxx.h"
#include "postgres/pgs_read.h"
#include "postgres/pgs_util.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_rec.h"

pgs_recordset::pgs_recordset(pgs_database& db, const std::wstring& key, udb_relationships& relationships, int mode,
                             std::unique_ptr<pgs_work> work)
    : udb_recordset(key, true),
      m_engine(db.engine()),
      m_db_name(db.name()),
      m_relationships(relationships),
      m_transaction(std::move(work)) {
    tk_trace_w(2, L"pgs_recordset::pgs_recordset(%s)", key.c_str());
    if (const auto* entry = db.find_table(key)) {
        m_schema_name = entry->first;
        m_bare_name = entry->second;
    } else {
        const std::size_t dot = key.find(L'.');
        if (dot == std::wstring::npos) {
            m_bare_name = key;
        } else {
            m_schema_name = key.substr(0, dot);
            m_bare_name = key.substr(dot + 1);
        }
    }
    // The map holds the names as the server stores them: quoted, never refolded.
    m_quoted = pgs_qualified(tk_to_utf8(m_schema_name), tk_to_utf8(m_bare_name));
    if (mode == read_mode) {
        open_reader();
        return;
    }
    init_schema();
    if (!m_schema.empty()) {
        // Mode 1 (keys and foreign keys) belongs to the reading side.
        (void)mode;
        tk_trace(2, "Got %d records", static_cast<int>(m_rec_count));
    } else {
        tk_trace(2, "Empty table");
    }
    m_rec_count = get_rec_count();
    m_fields = m_schema.size();
}

pgs_recordset::~pgs_recordset() {
    if (m_copy || m_transaction) {
        tk_trace(2, "pgs_recordset::dtor: load not completed, rolled back");
        abandon();
    }
}

// Runs f with the recordset's own transaction, or with a read-only one of its
// own that ends without commit.
template <class F>
auto pgs_recordset::with_transaction(const char* tx_name, F&& f) {
    if (m_transaction) return f(static_cast<pqxx::transaction_base&>(m_transaction->tx()));
    pgs_read_committed_tx tx(m_engine.connection(), tx_name);
    return f(static_cast<pqxx::transaction_base&>(tx));
}

namespace {
std::optional<int> optional_int(const pqxx::field& f) {
    if (f.is_null()) return std::nullopt;
    return f.as<int>();
}
}  // namespace

void pgs_recordset::init_schema() {
    tk_trace(2, "pgs_recordset::init_schema");
    pgs_guard([&] {
        with_transaction("get_schema", [&](pqxx::transaction_base& tx) {
            const std::string statement =
                "SELECT ordinal_position, column_name,  data_type, character_maximum_length, column_default, "
                "is_nullable, numeric_precision, numeric_precision_radix, numeric_scale, datetime_precision "
                "FROM information_schema.columns  WHERE table_schema = " +
                pgs_quote_literal(tk_to_utf8(m_schema_name)) +
                " AND table_name = " + pgs_quote_literal(tk_to_utf8(m_bare_name)) +
                " order by table_name, ordinal_position ";
            const pqxx::result r = tx.exec(statement);
            for (const auto& row : r) {
                std::uint32_t size = 0;
                if (!row[3].is_null()) {
                    const long long n = row[3].as<long long>();
                    size = n < 0 ? 0 : n > std::numeric_limits<std::uint32_t>::max() ? 0 : std::uint32_t(n);
                }
                const std::string type = row[2].c_str();
                m_schema.add(
                    std::make_unique<pgs_ftd>(size, udb_name(tk_utf8_to_unicode(row[1].c_str())),
                                              get_vartype_by_pgs_type(type), std::string_view(row[5].c_str()) != "YES",
                                              type, optional_int(row[6]), optional_int(row[8]), optional_int(row[9])));
            }
        });
    });
}

std::int64_t pgs_recordset::get_rec_count() {
    tk_trace(2, "pgs_recordset::get_rec_count");
    return pgs_guard(
        [&] {
            return with_transaction("init_indexes", [&](pqxx::transaction_base& tx) {
                const pqxx::result r = tx.exec("SELECT COUNT(*) FROM " + m_quoted);
                return r[0][0].as<std::int64_t>();
            });
        },
        "Cannot get number of records (" + tk_to_ansi(m_table_name) + "): ");
}

void pgs_recordset::take_fields_of(const udb_schema& source) {
    const std::vector<std::size_t> pairs = source.pair_by_name(m_schema);
    m_copy_columns.clear();
    m_fields = m_schema.size();
    if (pairs.empty()) {
        tk_trace(2, "Columns paired by position");
        return;
    }
    tk_trace(2, "Columns paired by name");
    for (std::size_t dest : pairs) m_copy_columns.push_back(pgs_quote_ident(tk_to_utf8(m_schema[dest]->name.str())));
    m_fields = pairs.size();
}

template <class Step>
void pgs_recordset::load_step(Step&& step) {
    try {
        step();
    } catch (const tk_exception&) {
        abandon();
        m_failed = true;
        throw;
    }
}

void pgs_recordset::open_copy() {
    load_step([this] {
        if (!m_transaction) {
            pqxx::connection& conn = m_engine.connection();
            try {
                m_transaction = std::make_unique<pgs_work>(conn, "insert records");
            } catch (const std::exception& e) {
                throw pgs_load_failure_from(e, conn);
            }
        }
        std::string statement = "COPY " + m_quoted;
        if (!m_copy_columns.empty()) {
            statement += " (";
            for (std::size_t i = 0; i < m_copy_columns.size(); ++i) {
                if (i) statement += ", ";
                statement += m_copy_columns[i];
            }
            statement += ")";
        }
        statement += " FROM STDIN";
        std::vector<pgs_binary_kind> kinds;
        if (m_prefer_binary && m_copy_columns.empty()) kinds = binary_columns();
        if (!kinds.empty()) {
            statement += " WITH (FORMAT binary)";
            tk_trace(2, "Rows are copied in the binary format");
        }
        m_copy = std::make_unique<pgs_copy_stream>(m_transaction->tx(), statement);
        // Large cells go from the value itself, never copied whole.
        if (!kinds.empty()) {
            m_binary = std::make_unique<pgs_binary_rows>(std::move(kinds));
            m_binary->set_piece_size(piece_size);
        }
        m_lines.set_piece_size(piece_size);
    });
}

std::vector<pgs_binary_kind> pgs_recordset::binary_columns() const {
    std::vector<pgs_binary_kind> kinds;
    for (std::size_t i = 0; i < m_fields && i < m_schema.size(); ++i) {
        const auto* col = dynamic_cast<const pgs_ftd*>(m_schema[i]);
        const std::optional<pgs_binary_kind> kind = col ? pgs_binary_kind_of(col->pgs_type) : std::nullopt;
        if (!kind) {
            tk_trace(2, "Column %d has no binary form (%s): rows are copied as text", static_cast<int>(i),
                     col ? col->pgs_type.c_str() : "?");
            return {};
        }
        kinds.push_back(*kind);
    }
    return kinds;
}

void pgs_recordset::flush() {
    load_step([this] {
        if (m_binary)
            m_binary->send_to(*m_copy);
        else
            m_lines.send_to(*m_copy);
    });
}

void pgs_recordset::append_record(const udb_record& record) {
    tk_trace(1, "pgs_recordset::append_record");
    const std::size_t n = m_fields;
    if (record.size() < n) {
        // Inventing NULLs for missing fields would store a different row.
        throw tk_exception("The record has " + std::to_string(record.size()) + " fields, the table " + m_quoted +
                               " has " + std::to_string(n) + " columns",
                           0);
    }
    fail_if_broken();
    // A row its source could not read whole: refused alone, before the COPY,
    // which would otherwise fail for every row of the table.
    if (record.refused()) throw pgs_exception(record.refusal());
    if (!m_copy) {
        if (m_reader || is_query())
            throw tk_exception("Table " + m_quoted + " is open for reading, not for appending", 0);
        open_copy();
    }
    if (m_binary) {
        m_binary->begin_row();
        try {
            for (std::size_t i = 0; i < n; ++i) m_binary->add(record[i]);
        } catch (...) {
            m_binary->drop_row();
            throw;
        }
        m_binary->end_row();
        // A large value is sent before the record can change.
        if (m_binary->full() || m_binary->has_pieces()) flush();
        return;
    }
    m_lines.begin_row();
    try {
        for (std::size_t i = 0; i < n; ++i) m_lines.add(record[i]);
    } catch (...) {
        m_lines.drop_row();
        throw;
    }
    m_lines.end_row();
    // A large value is sent before the record can change.
    if (m_lines.full() || m_lines.has_pieces()) flush();
}

void pgs_recordset::complete() {
    tk_trace(2, "pgs_recordset::complete");
    fail_if_broken();
    if (!m_transaction) return;  // nothing appended, nothing made: no transaction, no COPY
    load_step([this] {
        if (m_copy) {
            if (m_binary)
                m_binary->finish_to(*m_copy);
            else if (!m_lines.empty())
                m_lines.send_to(*m_copy);
            // The server reports a refused row when the COPY ends.
            m_copy->finish();
            m_copy.reset();
        }
        try {
            m_transaction->tx().commit();
        } catch (const std::exception& e) {
            throw pgs_exception_from(e, {}, &m_engine.connection());
        }
        m_transaction.reset();
    });
}

void pgs_recordset::abandon() noexcept {
    m_lines.clear();
    m_binary.reset();
    // The COPY ends as failed first, then the transaction rolls back.
    m_copy.reset();
    m_transaction.reset();
}

void pgs_recordset::fail_if_broken() const {
    // Rows after a lost COPY would be committed without the ones before it.
    if (m_failed) throw tk_exception("The load of table " + m_quoted + " failed earlier; its rows were not kept", 0);
}
