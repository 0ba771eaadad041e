#pragma once
// Scratch databases on the private PostgreSQL test server, made and dropped
// through a connection of the test's own (never through the code under test).
#include <memory>
#include <string>

#include "postgres/pgs_pqxx.h"

#include "support/test_servers.h"

class pgs_engine;

namespace pgs_scratch {

// A direct connection for checking what reached the server.
std::unique_ptr<pqxx::connection> admin(const std::string& dbname = "postgres");
// A database name unique to this process and call (lower case).
std::string unique_name(const std::string& prefix);
// engine.connect to the test server, to the given database ("" = libpq's default).
void connect(pgs_engine& engine, const std::string& dbname);
// DROP DATABASE IF EXISTS ... WITH (FORCE); never throws.
void drop(const std::string& dbname) noexcept;

// A fresh database for one test, dropped at the end.
class database {
public:
    explicit database(const std::string& prefix);
    ~database() { drop(m_name); }
    database(const database&) = delete;
    database& operator=(const database&) = delete;
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};

}  // namespace pgs_scratch
