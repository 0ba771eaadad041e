#include "sql/sql_cnt.h"

#include <mysql.h>
#include <poll.h>

#include <charconv>
#include <cstring>

#include "sql/sql_engi.h"
#include "tk/tk_log.h"

std::unique_ptr<sql_pending_count> sql_count_link::start(const std::string& utf8_count_sql) {
    if (m_busy || m_refused) return nullptr;
    // An idle connection the server has since dropped fails the send: one
    // fresh connection is tried before the count goes back to the caller.
    for (int attempt = 0; attempt < 2; ++attempt) {
        sql_connection connection = std::move(m_idle);
        const bool reused = connection != nullptr;
        if (!connection) connection = m_engine.open_side_connection();
        if (!connection) {
            m_refused = true;
            return nullptr;
        }
        if (mysql_send_query(connection.get(), utf8_count_sql.data(), utf8_count_sql.size()) == 0) {
            m_busy = true;
            return std::make_unique<sql_pending_count>(*this, std::move(connection), utf8_count_sql);
        }
        tk_trace(2, "Cannot send the count on the second connection: %s", mysql_error(connection.get()));
        if (!reused) return nullptr;
    }
    return nullptr;
}

sql_pending_count::sql_pending_count(sql_count_link& link, sql_connection connection, std::string statement)
    : m_link(link), m_connection(std::move(connection)), m_statement(std::move(statement)) {}

sql_pending_count::~sql_pending_count() {
    // An answer already on its way is read, and the connection kept.
    if (m_connection && arrived()) finish();
    if (m_connection) {
        // The server would go on reading the table for nobody.
        m_link.m_engine.kill_query(mysql_thread_id(m_connection.get()));
        m_connection.reset();
    }
    m_link.m_busy = false;
}

bool sql_pending_count::arrived() noexcept {
    if (!m_connection) return true;
    pollfd readable{};
    readable.fd = static_cast<int>(mysql_get_socket(m_connection.get()));
    readable.events = POLLIN;
    return poll(&readable, 1, 0) != 0;
}

std::optional<std::int64_t> sql_pending_count::wait() noexcept {
    finish();
    return m_count;
}

void sql_pending_count::finish() noexcept {
    if (!m_connection) return;
    MYSQL* m = m_connection.get();
    bool ok = false;
    if (mysql_read_query_result(m) == 0) {
        const sql_result result(mysql_store_result(m));
        MYSQL_ROW row = result ? mysql_fetch_row(result.get()) : nullptr;
        if (row && row[0]) {
            std::int64_t n = 0;
            const char* end = row[0] + std::strlen(row[0]);
            ok = std::from_chars(row[0], end, n).ptr == end;
            if (ok) m_count = n;
        }
    }
    if (ok) {
        m_link.m_idle = std::move(m_connection);
        return;
    }
    tk_trace(2, "The count failed: %s (%s)", mysql_error(m), m_statement.c_str());
    m_connection.reset();
}
