#pragma once
// A table's row count taken on a second connection while the first one
// streams the table's rows. InnoDB counts by reading the whole table, which
// on its own connection would hold up the start of every copy by as long.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "sql/sql_res.h"

class sql_engine;
class sql_pending_count;

// Keeps the side connection between counts, so that a run opens it once.
class sql_count_link {
public:
    explicit sql_count_link(const sql_engine& engine) : m_engine(engine) {}
    sql_count_link(const sql_count_link&) = delete;
    sql_count_link& operator=(const sql_count_link&) = delete;

    // The COUNT(*) statement sent on the side connection; null when no side
    // connection can be had or it is taken by another count (the caller then
    // counts on its own connection). Never throws but for memory.
    std::unique_ptr<sql_pending_count> start(const std::string& utf8_count_sql);

private:
    friend class sql_pending_count;
    const sql_engine& m_engine;
    sql_connection m_idle;   // between counts
    bool m_busy = false;     // a count holds the connection
    bool m_refused = false;  // the server refused a second connection: not asked again
};

// One count under way. Deleting it before its answer was read asks the
// server to stop counting and closes the connection.
class sql_pending_count {
public:
    sql_pending_count(sql_count_link& link, sql_connection connection, std::string statement);
    ~sql_pending_count();
    sql_pending_count(const sql_pending_count&) = delete;
    sql_pending_count& operator=(const sql_pending_count&) = delete;

    // The answer (or the failure) has come; does not wait.
    bool arrived() noexcept;
    // Waits for the answer; empty when the count failed (the reason traced).
    std::optional<std::int64_t> wait() noexcept;

private:
    void finish() noexcept;

    sql_count_link& m_link;
    sql_connection m_connection;  // null once the answer is read
    std::string m_statement;
    std::optional<std::int64_t> m_count;
};
