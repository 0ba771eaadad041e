#include "support/test_servers.h"

#include <charconv>
#include <cstdlib>
#include <stdexcept>

#include "support/sql_quote.h"

namespace {

std::string required_env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string("test server variable ") + name +
                                 " is not set; run the tests through scripts/test or source the env file "
                                 "that scripts/testservers start writes");
    }
    return value;
}

int required_port(const char* name) {
    const std::string text = required_env(name);
    int port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (ec != std::errc() || end != text.data() + text.size() || port <= 0 || port > 65535) {
        throw std::runtime_error(std::string("test server variable ") + name + " is not a port: " + text);
    }
    return port;
}

server_address read_server(const char* host, const char* port, const char* user, const char* password) {
    server_address server;
    server.host = required_env(host);
    server.port = required_port(port);
    server.user = required_env(user);
    server.password = required_env(password);
    return server;
}

}  // namespace

server_address mysql_test_server() {
    return read_server("VEK_MYSQL_HOST", "VEK_MYSQL_PORT", "VEK_MYSQL_USER", "VEK_MYSQL_PASSWORD");
}

server_address pg_test_server() { return read_server("VEK_PG_HOST", "VEK_PG_PORT", "VEK_PG_USER", "VEK_PG_PASSWORD"); }

std::string pg_connection_string(const server_address& server, const std::string& dbname) {
    return "host=" + pg_conn_value(server.host) + " port=" + std::to_string(server.port) +
           " user=" + pg_conn_value(server.user) + " password=" + pg_conn_value(server.password) +
           " dbname=" + pg_conn_value(dbname);
}
