#include "postgres/pgs_exc.h"

#include "postgres/pgs_edge.h"
#include "tk/tk_log.h"

pgs_exception::pgs_exception(const std::string& text, int) : tk_exception(text, 0) {
    m_code = 0;
    tk_trace(2, "pgs_exception::ctor");
}

pgs_exception::pgs_exception(const char* text, int) : tk_exception(text ? text : "", 0) {
    m_code = 0;
    tk_trace(2, "pgs_exception::ctor");
}

pgs_exception::pgs_exception(const std::wstring& text, int) : tk_exception(text, 0) {
    m_code = 0;
    tk_trace(2, "pgs_exception::ctor");
}

pgs_exception::pgs_exception(const std::string& text, pgs_cause cause)
    : tk_exception(text, 0), m_cause(std::move(cause)) {
    m_code = 0;
    tk_trace(2, "pgs_exception::ctor");
}

pgs_cause pgs_cause_of(const std::exception& e, const pgs_any_connection* connection) {
    pgs_cause cause;
    if (const auto* sql = dynamic_cast<const pqxx::sql_error*>(&e)) {
        cause.sqlstate = sql->sqlstate();
        cause.statement = sql->query();
        if (!cause.statement.empty()) tk_trace_failed_query(pgs_error_text(e), cause.statement);
    }
    cause.connection_lost = dynamic_cast<const pqxx::broken_connection*>(&e) != nullptr ||
                            (connection != nullptr && !connection->is_open());
    return cause;
}

pgs_exception pgs_exception_from(const std::exception& e, std::string_view prefix,
                                 const pgs_any_connection* connection) {
    return pgs_exception(std::string(prefix) + pgs_error_text(e), pgs_cause_of(e, connection));
}

void pgs_exception::set_statement(std::string statement) {
    m_cause.statement = std::move(statement);
    tk_trace_failed_query(m_message, m_cause.statement);
}

pgs_load_failure pgs_load_failure_from(const std::exception& e, const pgs_any_connection& connection) {
    return pgs_load_failure(pgs_error_text(e), pgs_cause_of(e, &connection));
}

pgs_load_failure::pgs_load_failure(const std::string& text, pgs_cause cause)
    : tk_exception(text, 0), m_cause(std::move(cause)) {}
