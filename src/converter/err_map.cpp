#include "converter/err_map.h"

#include "sql/sql_exc.h"

const tk_error_row pgs_error_map[2] = {
    {-1032, "Cannot connect to pgs server. Check to verify that pgs server is launched and allows connection."},
    {-30082, "Incorrect username or password"},
};

namespace {
const char* const cannot_connect_text = "Can't connect to the MySQL server. Check to verify that MySQL server\n"
                                        "is launched and the correct host/port values were given.";
// %s: the library's own text, the reason.
const char* const connection_lost_text = "The connection to the MySQL server was lost: %s";
static_assert(sql_no_answer_exception::seconds == 10, "the text names the connect timeout");
const char* const no_answer_text =
    "The MySQL server did not answer within 10 seconds. Check to verify that MySQL server\n"
    "is not stopped or overloaded and the correct host/port values were given.";
const char* const auth_protocol_text = "The program does not support authentication protocol requested by server.\n"
                                       "See 'Troubleshooting' article of the product documentation.";
const char* const packet_too_big_text = "Transferred value is too big. Increase MySQL max packet size and try\n"
                                        "again. See 'Troubleshooting' article of the product documentation.";
}  // namespace

const tk_error_row mysql_error_map[mysql_error_rows] = {
    {mysql_error_base + 1044, "Access denied. Ask your system administrator to grant you\n"
                              "the necessary privileges to write into the database."},
    {mysql_error_base + 1045, "Access denied. Verify the user name and password are correct, and you have\n"
                              "the necessary privileges to connect to the target MySQL server."},
    {mysql_error_base + 1062, "Duplicate field values being used for an unique index were found.\n"
                              "See 'Troubleshooting' article of the product documentation\n"
                              "for solution."},
    {mysql_error_base + 1071, "Primary key in the original database is too long.\n"
                              "Restart the program with \"Skip converting indexes\"\n"
                              "checkbox selected in order to resolve the conflict.\n"},
    {mysql_error_base + 1011, "Failed to overwrite MySQL database. It is being used by\n"
                              "another application. Specify a different destination name."},
    {mysql_error_base + 1130, "You are not allowed to connect to the destination MySQL server.\n"
                              "Ask your system administrator to grant you necessary privileges\n"
                              "to create new databases on target MySQL server."},
    {mysql_error_base + 1051, "Failed to overwrite MySQL database. It is being used by\n"
                              "another application. Specify a different destination name."},
    {mysql_error_base + 2003, cannot_connect_text},
    {mysql_error_base + 2005, cannot_connect_text},
    {mysql_error_base + 2006, connection_lost_text},
    {mysql_error_base + sql_exception::select_reduced_number, auth_protocol_text},
    {mysql_error_base + sql_exception::table_name_not_allowed_number, auth_protocol_text},
    // MariaDB's client reports a refused connection as 2002, not 2003.
    {mysql_error_base + 2002, cannot_connect_text},
    {mysql_error_base + 2013, connection_lost_text},
    {mysql_error_base + 2055, connection_lost_text},
    {mysql_error_base + 1927, connection_lost_text},
    {mysql_error_base + 1053, connection_lost_text},
    // The packet size is the cause only where the server or the client says
    // so; a statement this system sends never exceeds the server's limit.
    {mysql_error_base + 1153, packet_too_big_text},
    {mysql_error_base + 2020, packet_too_big_text},
    {sql_insecure_transport_exception::required_code,
     "The MySQL server requires a secure connection (TLS). Give its TLS settings (ssl-ca, or ssl)\n"
     "in the [client] group of your option file ~/.my.cnf."},
    {sql_insecure_transport_exception::denied_without_tls_code,
     "Access denied over a connection without TLS. The MySQL server offers secure connections: if it\n"
     "requires them, give its TLS settings (ssl-ca, or ssl) in the [client] group of your option file\n"
     "~/.my.cnf; otherwise verify the user name and password are correct."},
    // The database exists, or may: it is the user's rights that are missing.
    {sql_database_denied_exception::denied_code, "Access denied. Ask your system administrator to grant you\n"
                                                 "the necessary privileges to read the database.\n"
                                                 "The server said: %s"},
    {sql_no_answer_exception::no_answer_code, no_answer_text},
};

std::string mapped_error_text(const tk_error_converter& map, const tk_exception& e) {
    std::string text = map.convert(e.code());
    if (text.empty()) return e.what();
    if (const std::size_t reason = text.find("%s"); reason != std::string::npos) text.replace(reason, 2, e.what());
    return text;
}
