#pragma once

// Addresses of the private test servers that scripts/testservers starts and
// describes through VEK_MYSQL_* and VEK_PG_* environment variables.
// A missing variable throws std::runtime_error: a server test must fail, not
// skip, when it has no server.

#include <string>

struct server_address {
    std::string host;
    std::string user;
    std::string password;
    int port = 0;
};

// VEK_MYSQL_HOST, VEK_MYSQL_PORT, VEK_MYSQL_USER, VEK_MYSQL_PASSWORD
server_address mysql_test_server();

// VEK_PG_HOST, VEK_PG_PORT, VEK_PG_USER, VEK_PG_PASSWORD
server_address pg_test_server();

// A libpq connection string for the server ("host=... port=... ...",
// values quoted), for pqxx::connection.
std::string pg_connection_string(const server_address& server, const std::string& dbname = "postgres");
