#include "sql/sql_engi.h"

#include <mysql.h>
#include <mysqld_error.h>

#include <string_view>

#include "sql/sql_db.h"
#include "sql/sql_exc.h"
#include "sql/sql_qchk.h"
#include "sql/sql_recs.h"
#include "sql/sql_res.h"
#include "sql/sql_sess.h"
#include "sql/sql_ver.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

// A handle with what every connection of the engine starts with: the option
// files' group, the connect timeout and the character set; null when the
// library cannot make one.
sql_connection new_handle(const char* charset) noexcept {
    sql_connection connection(mysql_init(nullptr));
    if (!connection) return connection;
    const unsigned int timeout = sql_no_answer_exception::seconds;
    mysql_options(connection.get(), MYSQL_READ_DEFAULT_GROUP, "Wexl MySQL Lib");
    mysql_options(connection.get(), MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    mysql_options(connection.get(), MYSQL_SET_CHARSET_NAME, charset);
    return connection;
}

}  // namespace

sql_engine::sql_engine() { initialize(); }

sql_engine::~sql_engine() {
    if (m_connected) try_statement("SET FOREIGN_KEY_CHECKS = 1", "Cannot turn ON foreign key check: %s");
    close();
}

void sql_engine::initialize() {
    tk_trace(1, "sql_engine::initialize");
    m_connection.reset();
    // Every text travels as UTF-8 with 4-byte characters; see set_charset.
    sql_connection connection = new_handle("utf8mb4");
    if (!connection) throw tk_exception("Cannot initialise the MySQL client library.", 1);
    // The log has always shown the handle's first two steps.
    tk_trace(1, "sql_engine::initialize - 1");
    tk_trace(1, "sql_engine::initialize - 2");
    // A row may carry a LONGBLOB of up to 1 GB: the largest packet MySQL sends.
    const unsigned long max_packet = 1024ul * 1024 * 1024;
    mysql_options(connection.get(), MYSQL_OPT_MAX_ALLOWED_PACKET, &max_packet);
    m_connection = std::move(connection);
    tk_trace(1, "sql_engine::initialize - END");
}

void sql_engine::close() noexcept {
    if (!m_connected) return;
    m_breaker.release();
    m_connection.reset();
    m_connected = 0;
    m_charset.clear();
}

namespace {

// No password given is a null pointer: the library then takes the option
// files' password, then MYSQL_PWD. Any text, the empty one too, is the
// password and wins over them.
const char* given_password(const std::optional<std::string>& password) {
    return password ? password->c_str() : nullptr;
}

const char* traced_password(const std::optional<std::string>& password) {
    if (!password) return "(none given)";
    return password->empty() ? "" : "********";
}

}  // namespace

void sql_engine::connect(const std::string& host, const std::string& user, const std::optional<std::string>& password,
                         unsigned port) {
    // The password stays out of the trace.
    tk_trace(2, "sql_engine::connect(%s,%s,%s)", host.c_str(), user.c_str(), traced_password(password));
    if (m_connected) {
        tk_trace(2, "Connection was established already - disconnecting...");
        close();
    }
    if (!m_connection) initialize();
    m_server_version = 0;
    m_mariadb = false;
    m_fk_support = 0;
    m_case_sensitive_names = false;
    tk_trace(3, "Connecting to MySQL server...");
    // Options read from the files apply when mysql_real_connect starts, over
    // those initialize set; what is passed here wins over the files.
    if (!mysql_real_connect(handle(), host.c_str(), user.c_str(), given_password(password), nullptr, port, nullptr,
                            0)) {
        // A handle whose connect failed is not reused: its error is read first.
        if (sql_insecure_transport_exception::applies(handle())) {
            const sql_insecure_transport_exception e(handle());
            initialize();
            throw e;
        }
        if (sql_no_answer_exception::applies(handle())) {
            const sql_no_answer_exception e(handle());
            initialize();
            throw e;
        }
        const sql_exception e(handle());
        initialize();
        throw e;
    }
    m_connected = 1;
    // Held before the session's first statements, which may wait as long as any other.
    m_breaker.hold(static_cast<int>(mysql_get_socket(handle())));
    m_host = host;
    m_user = user;
    m_password = password;
    m_port = port;
    set_charset();

    const char* info = mysql_get_server_info(handle());
    if (!info || !*info) return;
    tk_trace(2, "Got MySQL server version: %s", info);
    const auto version = sql_parse_version(info);
    if (!version) {
        tk_trace(3, "Invalid MySQL version: %s", info);
        throw tk_mail_assertion("sql_engi", 112);
    }
    m_server_version = *version;
    m_mariadb = std::string_view(info).find("MariaDB") != std::string_view::npos;
    tk_trace(1, "Hex version: %08X", m_server_version);
    if (sql_gate::has_fk_support(m_server_version)) m_fk_support = 1;
    // The password the library sent, whether given or taken from the files.
    const bool sent_password = handle()->passwd != nullptr && *handle()->passwd != '\0';
    if (sql_gate::refuses_password(m_server_version, sent_password)) throw sql_auth_not_supported_exception();
    try_statement("SET FOREIGN_KEY_CHECKS = 0", "Cannot turn off foreign key check: %s");
    // A table is read as one stream: the server must wait while the
    // destination (or a question to the user) holds the reader up.
    try_statement("SET SESSION net_write_timeout = 28800", "Cannot set the write timeout: %s");
    // Values as they are stored, whatever the server's global sql_mode.
    sql_use_reading_mode(handle(), m_server_version);
    read_name_rules();
}

void sql_engine::break_connection() noexcept {
    if (m_breaker.break_off()) tk_trace(2, "sql_engine::break_connection");
}

void sql_engine::reopen_if_broken() {
    if (!m_breaker.broken()) return;
    tk_trace(2, "The connection was broken off: connecting again");
    connect(m_host, m_user, m_password, m_port);
}

bool sql_engine::interrupt_statement() noexcept {
    if (!m_connected) return false;
    const unsigned long id = mysql_thread_id(handle());
    tk_trace(2, "sql_engine::interrupt_statement(%lu)", id);
    return kill_query(id);
}

sql_connection sql_engine::open_side_connection() const noexcept {
    if (!m_connected) return nullptr;
    sql_connection other = new_handle(m_charset.empty() ? "utf8mb4" : m_charset.c_str());
    if (!other) return nullptr;
    if (!mysql_real_connect(other.get(), m_host.c_str(), m_user.c_str(), given_password(m_password), nullptr, m_port,
                            nullptr, 0)) {
        tk_trace(2, "Cannot open a second connection: %s", mysql_error(other.get()));
        return nullptr;
    }
    // What it counts is what this connection reads: a condition on a CHAR
    // value must see the same value on both.
    try {
        sql_use_reading_mode(other.get(), m_server_version);
    } catch (const sql_exception& e) {
        tk_trace(2, "Cannot open a second connection: %s", e.what());
        return nullptr;
    }
    return other;
}

bool sql_engine::kill_query(unsigned long thread_id) const noexcept {
    const sql_connection other = open_side_connection();
    if (!other) return false;
    const std::string kill = "KILL QUERY " + std::to_string(thread_id);
    if (mysql_query(other.get(), kill.c_str()) == 0) return true;
    tk_trace(2, "Cannot interrupt the statement: %s", mysql_error(other.get()));
    return false;
}

void sql_engine::read_name_rules() {
    // 0: names are stored and compared as given; 1 and 2 compare them in
    // lower case. Servers that do not have the variable compare as given.
    try {
        const auto value = sql_read_value(handle(), "SELECT @@lower_case_table_names");
        m_case_sensitive_names = !value || *value == "0";
    } catch (const sql_exception& e) {
        tk_trace(2, "Cannot read lower_case_table_names: %s", e.what());
        m_case_sensitive_names = true;
    }
}

sql_dialect sql_engine::dialect() const {
    sql_dialect d;
    d.version = m_server_version;
    d.mariadb = m_mariadb;
    d.fk_support = m_fk_support == 1;
    d.varchar_binary = m_varchar_binary != 0;
    d.utf8mb4 = m_charset != "utf8";
    return d;
}

void sql_engine::set_charset() {
    tk_trace(3, "Setting UTF-8 collation...");
    // utf8mb4 first: "utf8" is the 3-byte set on current servers and turns
    // every 4-byte character into '?'. Old servers only know "utf8".
    if (mysql_set_character_set(handle(), "utf8mb4") == 0) {
        m_charset = "utf8mb4";
        return;
    }
    tk_trace(2, "Cannot set utf8mb4: %s", mysql_error(handle()));
    if (mysql_set_character_set(handle(), "utf8") == 0) {
        m_charset = "utf8";
        return;
    }
    tk_trace(3, "Failed");
    tk_trace(2, "Cannot set UTF-8 collation: %s", mysql_error(handle()));
}

bool sql_engine::try_statement(const char* sql, const char* failure_format) {
    if (mysql_query(handle(), sql) == 0) {
        const sql_result rows(mysql_use_result(handle()));  // read and discarded
        return true;
    }
    tk_trace(2, failure_format, mysql_error(handle()));
    return false;
}

void sql_engine::execute(const std::string& utf8_sql) {
    tk_trace(1, "sql_engine::execute(%s)", utf8_sql.c_str());
    sql_run(handle(), utf8_sql);
}

std::vector<std::wstring> sql_engine::get_contents() {
    tk_trace(2, "sql_engine::get_contents");
    tk_trace(2, "Step #1");
    sql_result res(mysql_list_dbs(handle(), nullptr));
    if (!res) throw sql_exception(handle());
    sql_tmp_recordset rs(std::move(res), *this);
    std::vector<std::wstring> names;
    for (rs.reset(); !rs.is_eof(); rs.next()) {
        std::wstring name = (*rs.get_item())[0].to_wstring();
        tk_trace_w(2, L"Got database %s", name.c_str());
        names.push_back(std::move(name));
    }
    return names;
}

namespace {

// Why mysql_select_db failed, as an exception: a database refused to this
// user is told apart from other errors.
[[noreturn]] void throw_select_failure(MYSQL* connection) {
    if (mysql_errno(connection) == sql_database_denied_exception::number)
        throw sql_database_denied_exception(connection);
    throw sql_exception(connection);
}

}  // namespace

bool sql_engine::is_db_exist(const std::wstring& name) {
    tk_trace_w(1, L"sql_engine::is_db_exist(%s)", name.c_str());
    if (!m_connected) return false;
    std::string utf8;
    if (!tk_w2a(name, utf8)) return false;
    if (mysql_select_db(handle(), utf8.c_str()) == 0) return true;
    // Only the server's own word makes a database missing: a name it has no
    // database of, or a name no database can have.
    const unsigned number = mysql_errno(handle());
    if (number == ER_BAD_DB_ERROR || number == ER_WRONG_DB_NAME) return false;
    throw_select_failure(handle());
}

bool sql_engine::prepares(const std::wstring& database, const std::wstring& sql, std::string* refusal) {
    tk_trace_w(2, L"sql_engine::prepares(%s)", sql.c_str());
    auto refuse = [&](std::string why) {
        if (refusal) *refusal = std::move(why);
        return false;
    };
    try {
        if (!is_db_exist(database)) return refuse("Database '" + tk_w2a_or_marks(database) + "' does not exist.");
    } catch (const sql_exception& e) {
        return refuse(e.what());
    }
    std::string utf8;
    if (!tk_w2a(sql, utf8)) return refuse("The statement is not text that can be sent.");
    // As a query recordset sends it: without the blanks and ";" around it.
    const sql_query_verdict verdict = sql_check_query(handle(), sql_trim_query(utf8));
    if (verdict.returns_rows()) return true;
    tk_trace(2, "Statement refused: %s", verdict.server_text.c_str());
    return refuse(sql_query_refusal(verdict));
}

std::unique_ptr<udb_database> sql_engine::open_db(const std::wstring& name, int mode) {
    tk_trace_w(2, L"sql_engine::open_db (%s)", name.c_str());
    tk_trace_w(3, L"Opening MySQL database '%s'", name.c_str());
    const std::string utf8 = tk_to_utf8(name);
    if (mysql_select_db(handle(), utf8.c_str()) != 0) throw_select_failure(handle());
    return std::make_unique<sql_database>(*this, name, mode);
}

std::string sql_engine::quote(const std::string& utf8_name) const {
    return sql_quote_name(utf8_name, m_server_version);
}

std::string sql_engine::quote(const std::wstring& name) const {
    return sql_quote_name(tk_to_utf8(name), m_server_version);
}
