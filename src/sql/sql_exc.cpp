#include "sql/sql_exc.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/pf_utf8.h"
#include "tk/tk_log.h"

namespace {

// The library answers "00000" where there is no error: no SQLSTATE then.
std::string sqlstate_of(MYSQL* connection) {
    return connection && mysql_errno(connection) != 0 ? mysql_sqlstate(connection) : "";
}

// The first max bytes of UTF-8 text, cut before a character, not inside one.
std::string_view utf8_prefix(std::string_view text, std::size_t max) {
    return text.substr(0, pf_utf8::prefix_length(text, max));
}

constexpr std::size_t kept_statement = 64 * 1024;
constexpr std::size_t shown_statement = 1024;

}  // namespace

sql_exception::sql_exception(MYSQL* connection)
    : sql_exception(connection ? mysql_error(connection) : "", connection ? mysql_errno(connection) : 0,
                    sqlstate_of(connection)) {}

sql_exception::sql_exception(MYSQL* connection, std::string_view statement) : sql_exception(connection) {
    set_statement(statement);
    const std::string_view shown = utf8_prefix(statement, shown_statement);
    m_message += "\nStatement: ";
    m_message += shown;
    if (shown.size() < statement.size()) m_message += "...";
}

sql_exception& sql_exception::set_statement(std::string_view statement) {
    m_statement = utf8_prefix(statement, kept_statement);
    tk_trace_failed_query(m_server_text, m_statement);
    return *this;
}

sql_exception::sql_exception(const std::string& message, unsigned error_number, std::string sqlstate)
    : tk_exception(message, 0), m_error_number(error_number), m_sqlstate(std::move(sqlstate)), m_server_text(message) {
    // An empty library text must not become "Unknown exception" with another level.
    m_level = ends_connection(error_number) ? 1 : 0;
    m_code = code_base + static_cast<int>(error_number & 0xFFFFu);
    tk_trace(2, "sql_exception::sql_exception( msg=%s)", m_message.c_str());
    tk_trace(2, "Got MySQL error code=%u sqlstate=%s", error_number, m_sqlstate.c_str());
}

sql_exception sql_statement_error(MYSQL_STMT* statement, MYSQL* connection) {
    const unsigned number = statement ? mysql_stmt_errno(statement) : 0;
    if (number == 0) return sql_exception(connection);
    return sql_exception(mysql_stmt_error(statement), number, mysql_stmt_sqlstate(statement));
}

bool sql_exception::ends_connection(unsigned error_number) noexcept {
    switch (error_number) {
    case 1053:  // ER_SERVER_SHUTDOWN
    case 1153:  // ER_NET_PACKET_TOO_LARGE
    case 1927:  // ER_CONNECTION_KILLED
    case 2006:  // CR_SERVER_GONE_ERROR
    case 2013:  // CR_SERVER_LOST
    case 2020:  // CR_NET_PACKET_TOO_LARGE
    case 2055:  // CR_SERVER_LOST_EXTENDED
        return true;
    default: return false;
    }
}

sql_insecure_transport_exception::sql_insecure_transport_exception(MYSQL* connection) : sql_exception(connection) {
    if (error_number() != required_number) m_code = denied_without_tls_code;
}

bool sql_insecure_transport_exception::applies(MYSQL* connection) {
    const unsigned number = mysql_errno(connection);
    if (number == required_number) return true;
    // The handshake's flags outlive the failed connect: what the server offered
    // and what this client asked for.
    return number == ER_ACCESS_DENIED_ERROR && (connection->server_capabilities & CLIENT_SSL) != 0 &&
           (connection->client_flag & CLIENT_SSL) == 0;
}

sql_database_denied_exception::sql_database_denied_exception(MYSQL* connection) : sql_exception(connection) {
    m_code = denied_code;
}

sql_no_answer_exception::sql_no_answer_exception(MYSQL* connection) : sql_exception(connection) {
    m_code = no_answer_code;
    m_level = 0;
}

bool sql_no_answer_exception::applies(MYSQL* connection) {
    const unsigned number = mysql_errno(connection);
    if (number != CR_SERVER_LOST && number != CR_SERVER_LOST_EXTENDED) return false;
    // The library names the system's error only in its text ("Lost connection
    // to server at 'handshake: reading initial communication packet', system
    // error: 110"). A connection the server closed says another number, or none.
    const std::string_view text = mysql_error(connection);
    for (const int timed_out : {ETIMEDOUT, EAGAIN}) {
        const std::string tail = "system error: " + std::to_string(timed_out);
        if (text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail) return true;
    }
    return false;
}

sql_auth_not_supported_exception::sql_auth_not_supported_exception()
    : tk_exception("The program does not support authentication protocol requested by server. "
                   "See 'Troubleshooting' article of the product documentation.",
                   1) {}
