// Proves that the private test servers answer through the real client
// libraries, and that a missing address makes a test fail instead of skip.

#include "support/test_servers.h"

#include <gtest/gtest.h>
#include <mysql.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <pqxx/pqxx>
#include <stdexcept>
#include <string>

#include "sql/sql_res.h"

namespace {

struct mysql_closer {
    void operator()(MYSQL* db) const { mysql_close(db); }
};
using mysql_handle = std::unique_ptr<MYSQL, mysql_closer>;

// A client handle that will connect over TCP, not yet connected.
mysql_handle tcp_handle() {
    mysql_handle db(mysql_init(nullptr));
    unsigned int protocol = MYSQL_PROTOCOL_TCP;
    if (db) mysql_options(db.get(), MYSQL_OPT_PROTOCOL, &protocol);
    return db;
}

TEST(TestServers, MariaDbAnswersOverTcpWithPassword) {
    const server_address server = mysql_test_server();
    const mysql_handle db = tcp_handle();
    ASSERT_TRUE(db);
    ASSERT_TRUE(mysql_real_connect(db.get(), server.host.c_str(), server.user.c_str(), server.password.c_str(), nullptr,
                                   static_cast<unsigned int>(server.port), nullptr, 0))
        << mysql_error(db.get());

    ASSERT_EQ(mysql_query(db.get(), "SELECT VERSION(), @@character_set_server, @@max_allowed_packet"), 0)
        << mysql_error(db.get());
    const sql_result res(mysql_store_result(db.get()));
    ASSERT_TRUE(res) << mysql_error(db.get());
    MYSQL_ROW row = mysql_fetch_row(res.get());
    ASSERT_NE(row, nullptr);
    EXPECT_NE(std::string(row[0]).find("MariaDB"), std::string::npos) << row[0];
    EXPECT_STREQ(row[1], "utf8mb4");
    EXPECT_STREQ(row[2], "1073741824");
}

TEST(TestServers, MariaDbRefusesWrongPassword) {
    const server_address server = mysql_test_server();
    const mysql_handle db = tcp_handle();
    ASSERT_TRUE(db);
    const std::string wrong = server.password + "x";
    EXPECT_FALSE(mysql_real_connect(db.get(), server.host.c_str(), server.user.c_str(), wrong.c_str(), nullptr,
                                    static_cast<unsigned int>(server.port), nullptr, 0));
    EXPECT_EQ(mysql_errno(db.get()), 1045u) << mysql_error(db.get());  // access denied
}

// Every libpqxx exception is a std::exception; report its text as a failure.
std::optional<std::string> pg_query(const std::string& conninfo, const std::string& sql) {
    try {
        pqxx::connection conn(conninfo);
        pqxx::nontransaction tx(conn);
        const pqxx::result r = tx.exec(sql);
        return r.at(0).at(0).as<std::string>();
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
    return std::nullopt;
}

TEST(TestServers, PostgresAnswersOverTcpWithPassword) {
    const std::string conninfo = pg_connection_string(pg_test_server());
    EXPECT_EQ(pg_query(conninfo, "SELECT 1"), "1");
    EXPECT_EQ(pg_query(conninfo, "SHOW server_encoding"), "UTF8");
    const auto version = pg_query(conninfo, "SHOW server_version_num");
    ASSERT_TRUE(version);
    // The release's own server: 15 on Debian 12, 17 on Debian 13.
    const std::string bin = std::getenv("VEK_PG_BIN") ? std::getenv("VEK_PG_BIN") : "";
    EXPECT_NE(bin.find("/" + version->substr(0, 2) + "/"), std::string::npos) << *version << " from " << bin;
}

TEST(TestServers, PostgresRefusesWrongPassword) {
    server_address server = pg_test_server();
    server.password += "x";
    EXPECT_THROW(pqxx::connection{pg_connection_string(server)}, pqxx::broken_connection);
}

// Restores one environment variable when the test ends.
class saved_env {
public:
    explicit saved_env(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) value_ = v;
    }
    ~saved_env() {
        if (value_)
            setenv(name_, value_->c_str(), 1);
        else
            unsetenv(name_);
    }
    saved_env(const saved_env&) = delete;
    saved_env& operator=(const saved_env&) = delete;

private:
    const char* name_;
    std::optional<std::string> value_;
};

TEST(TestServers, MissingOrBadVariableThrows) {
    for (const char* name : {"VEK_MYSQL_HOST", "VEK_MYSQL_PORT", "VEK_MYSQL_USER", "VEK_MYSQL_PASSWORD"}) {
        saved_env keep(name);
        unsetenv(name);
        EXPECT_THROW(mysql_test_server(), std::runtime_error) << name;
    }
    for (const char* name : {"VEK_PG_HOST", "VEK_PG_PORT", "VEK_PG_USER", "VEK_PG_PASSWORD"}) {
        saved_env keep(name);
        unsetenv(name);
        EXPECT_THROW(pg_test_server(), std::runtime_error) << name;
    }
    for (const char* bad : {"", "54x", "0", "70000"}) {
        saved_env keep("VEK_PG_PORT");
        setenv("VEK_PG_PORT", bad, 1);
        EXPECT_THROW(pg_test_server(), std::runtime_error) << '"' << bad << '"';
    }
}

}  // namespace
