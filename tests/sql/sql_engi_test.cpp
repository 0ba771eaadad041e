// The server connection against the private test server.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <algorithm>
#include "sql/sql_exc.h"
#include "sql/sql_ver.h"
#include "support/sql_fixture.h"
#include "support/test_dir.h"
#include "support/test_ports.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

using SqlEngineTest = sql_server_test;

TEST_F(SqlEngineTest, ConnectLearnsVersionAndUsesUtf8mb4) {
    EXPECT_TRUE(engine->connected());
    EXPECT_GE(engine->server_version(), sql_version_number(10, 0, 0));
    EXPECT_TRUE(engine->fk_support());
    EXPECT_EQ(engine->charset(), "utf8mb4");
    EXPECT_EQ(engine->quote(std::wstring(L"order items")), "`order items`");
    auto rs = open(sql_database::no_views_mode)
                  ->query_tmp("SELECT @@character_set_client, @@character_set_results, @@foreign_key_checks");
    ASSERT_TRUE(rs);
    EXPECT_EQ((*rs->get_item())[0].to_string(), "utf8mb4");
    EXPECT_EQ((*rs->get_item())[1].to_string(), "utf8mb4");
    EXPECT_EQ((*rs->get_item())[2].to_string(), "0");
}

TEST_F(SqlEngineTest, ListsDatabasesAndTestsThem) {
    const auto names = engine->get_contents();
    EXPECT_NE(std::find(names.begin(), names.end(), wdb), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), L"information_schema"), names.end());
    EXPECT_TRUE(engine->is_db_exist(wdb));
    EXPECT_FALSE(engine->is_db_exist(wdb + L"_missing"));
    try {
        engine->open_db(wdb + L"_missing", 0);
        FAIL() << "open_db of a missing database";
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code(), 0x400000 + 1049);
        EXPECT_EQ(e.level(), 0);
        EXPECT_NE(e.message().find("Unknown database"), std::string::npos);
    }
}

TEST_F(SqlEngineTest, WrongPasswordIsSqlExceptionAndPasswordNeverTraced) {
    const test_dir tmp("vek_sql_trace");
    const std::string path = tmp.file("trace.log");
    const server_address s = mysql_test_server();
    {
        tk_log log(path.c_str(), true, 1, false);
        try {
            engine->connect(s.host, s.user, "Wr0ngSecret!", static_cast<unsigned>(s.port));
            FAIL() << "connected with a wrong password";
        } catch (const sql_exception& e) {
            // Plain, or naming TLS too where the server offers it (MariaDB 11.4 on).
            EXPECT_TRUE(e.code() == 0x400000 + 1045 ||
                        e.code() == sql_insecure_transport_exception::denied_without_tls_code)
                << e.code();
            EXPECT_EQ(e.level(), 0);
        }
        EXPECT_FALSE(engine->connected());
        // Reconnecting over a live connection closes it first.
        sql_test_connect(*engine);
        sql_test_connect(*engine);
        EXPECT_TRUE(engine->connected());
    }
    const std::string trace = test_dir::read(path);
    EXPECT_NE(trace.find("sql_engine::connect("), std::string::npos);
    EXPECT_NE(trace.find("Connection was established already - disconnecting..."), std::string::npos);
    EXPECT_EQ(trace.find("Wr0ngSecret!"), std::string::npos);
    EXPECT_EQ(trace.find(s.password), std::string::npos);
}

TEST_F(SqlEngineTest, ConnectionRefusedIsSqlException) {
    try {
        engine->connect("127.0.0.1", "vek", "x", 1);  // nothing listens on port 1
        FAIL();
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code() & 0xFF0000, 0x400000);
        EXPECT_NE(e.code(), 0x400000);
    }
    sql_test_connect(*engine);
}

// A server that takes the connection and never says a word is one that did
// not answer, not a connection that was lost: nothing was made.
TEST_F(SqlEngineTest, ServerThatNeverAnswersIsNoAnswer) {
    silent_port silent;
    try {
        engine->connect("127.0.0.1", "vek", "x", static_cast<unsigned>(silent.port()));
        FAIL() << "connected to a port that never answers";
    } catch (const sql_no_answer_exception& e) {
        EXPECT_EQ(e.code(), sql_no_answer_exception::no_answer_code);
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.error_number(), 2013u);
    }
    EXPECT_FALSE(engine->connected());
    sql_test_connect(*engine);
    EXPECT_TRUE(engine->connected());
}

// "Does not exist" only on the server's word: a database refused to the user,
// or a connection that broke, is said as the server said it.
TEST_F(SqlEngineTest, DatabaseIsMissingOnlyWhenTheServerSaysSo) {
    const std::string user = "vek_norights_" + std::to_string(getpid());
    const server_address s = mysql_test_server();
    auto run = [&](const std::string& sql) { ASSERT_EQ(mysql_query(second_connection(), sql.c_str()), 0) << sql; };
    run("CREATE USER '" + user + "'@'%' IDENTIFIED BY 'nr-secret'");
    engine->connect(s.host, user, std::string("nr-secret"), static_cast<unsigned>(s.port));
    for (const bool open_it : {false, true}) {
        try {
            if (open_it)
                engine->open_db(wdb, 0);
            else
                engine->is_db_exist(wdb);
            FAIL() << "a database refused to the user was made current";
        } catch (const sql_database_denied_exception& e) {
            EXPECT_EQ(e.code(), sql_database_denied_exception::denied_code);
            EXPECT_EQ(e.level(), 0);
            EXPECT_NE(e.message().find("Access denied for user '" + user + "'"), std::string::npos) << e.message();
        }
    }
    run("DROP USER '" + user + "'@'%'");

    sql_test_connect(*engine);
    EXPECT_FALSE(engine->is_db_exist(wdb + L"_missing"));
    EXPECT_FALSE(engine->is_db_exist(std::wstring(65, L'x')));  // longer than any database name
    run("KILL " + std::to_string(mysql_thread_id(engine->handle())));
    try {
        engine->is_db_exist(wdb);
        FAIL() << "a broken connection answered";
    } catch (const sql_exception& e) {
        EXPECT_TRUE(e.connection_lost()) << e.message();
    }
    sql_test_connect(*engine);
}

}  // namespace
