#include "support/pgs_scratch.h"

#include <unistd.h>
#include <atomic>

#include <pqxx/nontransaction>

#include "postgres/pgs_engi.h"

namespace pgs_scratch {

std::unique_ptr<pqxx::connection> admin(const std::string& dbname) {
    return std::make_unique<pqxx::connection>(pg_connection_string(pg_test_server(), dbname));
}

std::string unique_name(const std::string& prefix) {
    static std::atomic<int> counter{0};
    return prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
}

void connect(pgs_engine& engine, const std::string& dbname) {
    const server_address s = pg_test_server();
    engine.connect(s.host, s.user, s.password, dbname, s.port);
}

void drop(const std::string& dbname) noexcept {
    try {
        auto conn = admin();
        pqxx::nontransaction w(*conn);
        w.exec("DROP DATABASE IF EXISTS " + w.quote_name(dbname) + " WITH (FORCE)");
    } catch (...) {}
}

database::database(const std::string& prefix) : m_name(unique_name(prefix)) {
    auto conn = admin();
    pqxx::nontransaction w(*conn);
    w.exec("CREATE DATABASE " + w.quote_name(m_name));
}

}  // namespace pgs_scratch
