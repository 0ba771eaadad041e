#include "postgres/pgs_copy.h"

#include <libpq-fe.h>

#include <algorithm>
#include <memory>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <pqxx/largeobject>
#pragma GCC diagnostic pop
#include <pqxx/transaction_base>

#include "postgres/pgs_edge.h"
#include "tk/tk_log.h"

namespace {

// libpqxx hands its libpq handle to large-object code only: a class of that
// family reaches it for the COPY, on the transaction's own connection.
struct handle_of_transaction : pqxx::largeobject {
    static PGconn* get(const pqxx::dbtransaction& tx) { return raw_connection(tx); }
};

struct result_free {
    void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using pq_result = std::unique_ptr<PGresult, result_free>;

std::string connection_error(PGconn* conn) {
    std::string text = PQerrorMessage(conn);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text.empty() ? std::string("The COPY data could not be sent") : text;
}

pgs_cause cause_of(PGconn* conn, const PGresult* result, const std::string& statement) {
    pgs_cause cause;
    if (result) {
        if (const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE)) cause.sqlstate = state;
    }
    cause.statement = statement;
    cause.connection_lost = PQstatus(conn) == CONNECTION_BAD;
    return cause;
}

}  // namespace

pgs_copy_stream::pgs_copy_stream(pqxx::dbtransaction& transaction, const std::string& statement)
    : m_conn(handle_of_transaction::get(transaction)), m_statement(statement) {
    try {
        // The transaction sends it, so that a refusal is its failure too.
        transaction.exec(statement);
    } catch (const std::exception& e) {
        throw pgs_load_failure_from(e, transaction.conn());
    }
    if (PQtransactionStatus(m_conn) != PQTRANS_ACTIVE)
        throw pgs_load_failure("The server did not start the COPY: " + statement, cause_of(m_conn, nullptr, statement));
    m_open = true;
}

pgs_copy_stream::~pgs_copy_stream() {
    if (m_open) end_failed("the load was abandoned");
}

void pgs_copy_stream::send(std::string_view data) {
    while (!data.empty()) {
        const std::size_t n = std::min(data.size(), max_message);
        if (PQputCopyData(m_conn, data.data(), static_cast<int>(n)) != 1) {
            pgs_load_failure failure(connection_error(m_conn), cause_of(m_conn, nullptr, m_statement));
            end_failed("the data could not be sent");
            throw failure;
        }
        data.remove_prefix(n);
    }
}

void pgs_copy_stream::finish() {
    if (!m_open) return;
    m_open = false;
    if (PQputCopyEnd(m_conn, nullptr) != 1) {
        pgs_exception failure(connection_error(m_conn), cause_of(m_conn, nullptr, m_statement));
        // Whatever the server still says about the COPY is read and dropped.
        while (pq_result r{PQgetResult(m_conn)}) {
            if (PQresultStatus(r.get()) == PGRES_COPY_IN) break;
        }
        throw failure;
    }
    std::string error;
    pgs_cause cause;
    while (pq_result r{PQgetResult(m_conn)}) {
        const ExecStatusType status = PQresultStatus(r.get());
        if (status == PGRES_COMMAND_OK || !error.empty()) continue;
        // The server's message, with what it says about where ("CONTEXT").
        error = PQresultErrorMessage(r.get());
        if (error.empty()) error = PQresStatus(status);
        cause = cause_of(m_conn, r.get(), m_statement);
        if (status == PGRES_COPY_IN) break;  // nothing more can come
    }
    if (!error.empty()) {
        tk_trace_failed_query(error, m_statement);
        throw pgs_exception(error, cause);
    }
}

void pgs_copy_stream::end_failed(const char* why) noexcept {
    m_open = false;
    // The server drops the COPY and answers with an error, read here so that
    // the connection can take the rollback.
    if (PQputCopyEnd(m_conn, why) != 1) tk_trace(2, "Cannot end the COPY: %s", PQerrorMessage(m_conn));
    for (int i = 0; i < 16; ++i) {
        pq_result r{PQgetResult(m_conn)};
        if (!r || PQresultStatus(r.get()) == PGRES_COPY_IN) break;
    }
}

// ---- large values -----------------------------------------------------------------------

void pgs_copy_pieces::add(std::size_t at, const void* elements, std::size_t count, std::size_t element_size,
                          encoder encode) {
    m_pieces.push_back(piece{at, elements, count, element_size, encode});
}

void pgs_copy_pieces::drop_from(std::size_t at) noexcept {
    while (!m_pieces.empty() && m_pieces.back().at >= at) m_pieces.pop_back();
}

void pgs_copy_pieces::clear() noexcept {
    m_pieces.clear();
    // The scratch buffer is kept: one slice, whatever the values' size.
}

void pgs_copy_pieces::send(std::string_view buffer, pgs_copy_stream& out) {
    std::size_t done = 0;
    for (const piece& p : m_pieces) {
        out.send(buffer.substr(done, p.at - done));
        done = p.at;
        if (!p.encode) {
            out.send(std::string_view(static_cast<const char*>(p.elements), p.count * p.element_size));
            continue;
        }
        for (std::size_t from = 0; from < p.count; from += slice) {
            const std::size_t to = std::min(p.count, from + slice);
            m_scratch.clear();
            p.encode(p.elements, from, to, m_scratch);
            out.send(m_scratch);
        }
    }
    out.send(buffer.substr(done));
    clear();
}
