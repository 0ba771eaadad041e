// The server connection against the private PostgreSQL server: connecting,
// database existence, creation and removal, read back through a connection
// of the test's own.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <pqxx/pqxx>

#include "postgres/pgs_db.h"
#include "postgres/pgs_engi.h"
#include "postgres/pgs_exc.h"
#include "support/own_servers.h"
#include "support/pgs_scratch.h"
#include "support/scoped_env.h"
#include "support/test_dir.h"
#include "tk/tk_exc.h"

namespace {

bool server_has_db(const std::string& name) {
    auto conn = pgs_scratch::admin();
    pqxx::nontransaction w(*conn);
    return !pgs_exec_params(w, "SELECT 1 FROM pg_database WHERE datname = $1", name).empty();
}

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(PgsEngine, ConnectionStringQuotesEveryValue) {
    EXPECT_EQ(pgs_engine::connection_string("", "u", "", "", 0), "user='u'");
    EXPECT_EQ(pgs_engine::connection_string("h", "u", "", "d b", 5432), "user='u' host='h' dbname='d b' port='5432'");
    EXPECT_EQ(pgs_engine::connection_string("", "u", "a b'c\\", "", 0), "user='u' password='a b\\'c\\\\'");
}

// Where libpq looks for a password when the engine is given none: the
// environment and the password file, as for psql. A given password wins.
class PgsEnginePasswordSources : public ::testing::Test {
protected:
    void connect(const std::string& password) {
        engine.connect(s.host, s.user, password, "postgres", s.port);
        pqxx::nontransaction w(engine.connection());
        EXPECT_EQ(w.exec("SELECT current_user")[0][0].as<std::string>(), s.user);
    }
    std::string pgpass_file(const std::string& password, int mode) {
        const std::string path =
            dir.write("pgpass", s.host + ":" + std::to_string(s.port) + ":*:" + s.user + ":" + password + "\n");
        ::chmod(path.c_str(), mode);
        return path;
    }

    const server_address s = pg_test_server();
    test_dir dir{"pgs_pass"};
    // Nothing of the developer's own: no password file unless the test names one.
    scoped_env no_pgpassword{"PGPASSWORD", std::nullopt};
    scoped_env no_pgpassfile{"PGPASSFILE", dir.file("none")};
    pgs_engine engine;
};

TEST_F(PgsEnginePasswordSources, PgpasswordAloneConnects) {
    const scoped_env pgpassword("PGPASSWORD", s.password);
    connect("");
    EXPECT_EQ(engine.password(), "");
}

TEST_F(PgsEnginePasswordSources, PasswordFileAloneConnects) {
    const scoped_env file("PGPASSFILE", pgpass_file(s.password, 0600));
    connect("");
    // Reconnecting to another database finds it again.
    pgs_scratch::database db("pgsa_pgpass");
    engine.open_db(widen(db.name()));
    EXPECT_EQ(engine.connection().dbname(), db.name());
}

TEST_F(PgsEnginePasswordSources, GivenPasswordWinsOverEnvironmentAndFile) {
    const scoped_env pgpassword("PGPASSWORD", s.password);
    const scoped_env file("PGPASSFILE", pgpass_file(s.password, 0600));
    EXPECT_THROW(engine.connect(s.host, s.user, "wrong password", "postgres", s.port), pgs_exception);
    connect(s.password);
}

TEST_F(PgsEnginePasswordSources, NoPasswordAnywhereIsRefused) {
    // A password file others may read is passed over by libpq.
    const scoped_env file("PGPASSFILE", pgpass_file(s.password, 0644));
    try {
        engine.connect(s.host, s.user, "", "postgres", s.port);
        FAIL() << "connected without a password";
    } catch (const pgs_exception& e) {
        EXPECT_NE(std::string(e.what()).find("password"), std::string::npos) << e.what();
    }
}

TEST(PgsEngine, PasswordWithBlanksAndQuotesConnects) {
    const std::string role = pgs_scratch::unique_name("pgsa_role");
    const std::string password = "pa ss'wo\\rd host=nowhere";
    {
        auto conn = pgs_scratch::admin();
        pqxx::nontransaction w(*conn);
        w.exec("CREATE ROLE " + w.quote_name(role) + " LOGIN PASSWORD " + w.quote(password));
    }
    const server_address s = pg_test_server();
    {
        pgs_engine engine;
        engine.connect(s.host, role, password, "postgres", s.port);
        pqxx::nontransaction w(engine.connection());
        EXPECT_EQ(w.exec("SELECT current_user")[0][0].as<std::string>(), role);
    }
    auto conn = pgs_scratch::admin();
    pqxx::nontransaction w(*conn);
    w.exec("DROP ROLE " + w.quote_name(role));
}

TEST(PgsEngine, FailedConnectIsLevelZeroAndKeepsTheConnection) {
    pgs_engine engine;
    EXPECT_THROW(engine.connection(), pgs_exception);
    EXPECT_THROW(engine.is_db_exist(L"postgres"), pgs_exception);

    pgs_scratch::connect(engine, "postgres");
    pgs_connection* before = &engine.connection();
    const server_address s = pg_test_server();
    try {
        engine.connect(s.host, s.user, "wrong password", "postgres", s.port);
        FAIL() << "connected with a wrong password";
    } catch (const pgs_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.code(), 0);
        EXPECT_NE(std::string(e.what()).find("password authentication failed"), std::string::npos) << e.what();
    }
    EXPECT_EQ(&engine.connection(), before);
    EXPECT_TRUE(engine.is_db_exist(L"postgres"));
    EXPECT_EQ(engine.password(), s.password);
}

TEST(PgsEngine, IsASingleton) {
    pgs_engine engine;
    EXPECT_EQ(&pgs_engine::instance(), &engine);
    EXPECT_THROW(pgs_engine second, tk_mail_assertion);
    EXPECT_TRUE(pgs_name_validator::exists());
}

TEST(PgsEngine, ExistenceTest) {
    pgs_engine engine;
    pgs_scratch::connect(engine, "");
    EXPECT_TRUE(engine.is_db_exist(L"postgres"));
    EXPECT_TRUE(engine.is_db_exist(L"POSTGRES"));  // folded like an unquoted name
    EXPECT_FALSE(engine.is_db_exist(L"template1"));
    EXPECT_FALSE(engine.is_db_exist(L"template0"));
    EXPECT_FALSE(engine.is_db_exist(L"x' or '1'='1"));
    EXPECT_FALSE(engine.is_db_exist(L""));
}

// Mixed case, a reserved word, "#", a name longer than the server keeps:
// each is created, found, opened and dropped under the name it was given.
TEST(PgsEngine, DatabaseLifecycleUnderAwkwardNames) {
    const std::string tag = pgs_scratch::unique_name("");
    const struct {
        std::wstring name;
        std::string on_server;
    } cases[] = {
        {L"Mixed#Case" + widen(tag), "mixed#case" + tag},
        {L"analyse", "analyse"},
        {L"\u00c9t\u00e9" + widen(tag), "\xc3\x89t\xc3\xa9" + tag},
        {std::wstring(70, L'L') + widen(tag), std::string(63, 'l')},
    };
    pgs_engine engine;
    pgs_scratch::connect(engine, "postgres");
    for (const auto& c : cases) {
        pgs_scratch::drop(c.on_server);
        ASSERT_FALSE(engine.is_db_exist(c.name));
        std::unique_ptr<pgs_database> db = engine.create_db_exist(c.name);
        ASSERT_NE(db, nullptr);
        EXPECT_TRUE(server_has_db(c.on_server));
        EXPECT_TRUE(engine.is_db_exist(c.name));
        EXPECT_EQ(engine.connection().dbname(), c.on_server);
        db.reset();

        // Reopened under the same name, then dropped while connected to it.
        db = engine.open_db(c.name);
        EXPECT_EQ(engine.connection().dbname(), c.on_server);
        db.reset();
        engine.deletes_db(c.name);
        EXPECT_FALSE(server_has_db(c.on_server));
        EXPECT_FALSE(engine.is_db_exist(c.name));
        EXPECT_EQ(std::string(engine.connection().dbname()), "postgres");
        pgs_scratch::drop(c.on_server);
    }
}

TEST(PgsEngine, CreateFailureReportsTheServerAndKeepsTheConnection) {
    pgs_scratch::database existing("pgsa_dup");
    pgs_engine engine;
    pgs_scratch::connect(engine, "postgres");
    try {
        engine.create_db_exist(widen(existing.name()));
        FAIL() << "created a database twice";
    } catch (const pgs_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_NE(std::string(e.what()).find("already exists"), std::string::npos) << e.what();
    }
    EXPECT_EQ(std::string(engine.connection().dbname()), "postgres");
    EXPECT_THROW(engine.deletes_db(L"no_such_db_pgsa"), pgs_exception);
}

// A client that has just closed its connection leaves a backend that is
// still ending for a moment (about one check in twenty saw it), and one may
// close while the check looks: neither stops the drop, as the server itself
// waits for them. A session that stays does.
TEST(PgsEngine, SessionsLeavingTheDatabaseDoNotStopItsRecreation) {
    pgs_scratch::database db("pgsa_leave");
    const std::wstring name = widen(db.name());
    pgs_engine engine;
    pgs_scratch::connect(engine, "postgres");
    for (int i = 0; i < 40; ++i) {
        pgs_scratch::admin(db.name()).reset();
        EXPECT_NO_THROW(engine.check_recreatable(name)) << "after closed session " << i;
    }

    auto leaving = pgs_scratch::admin(db.name());
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        leaving.reset();
    });
    EXPECT_NO_THROW(engine.check_recreatable(name));
    closer.join();

    const auto staying = pgs_scratch::admin(db.name());
    try {
        engine.check_recreatable(name);
        FAIL() << "a session that stays was not counted";
    } catch (const pgs_exception& e) {
        EXPECT_NE(std::string(e.what()).find("1 other session(s) are connected to it"), std::string::npos) << e.what();
    }
}

TEST(PgsEngine, OpenWithoutHostKeepsLibpqDefaultHost) {
    pgs_scratch::database db("pgsa_nohost");
    const server_address s = pg_test_server();
    // libpq's default host comes from PGHOST when the string names none.
    ::setenv("PGHOST", s.host.c_str(), 1);
    {
        pgs_engine engine;
        engine.connect("", s.user, s.password, "postgres", s.port);
        EXPECT_EQ(engine.host(), "");
        auto opened = engine.open_db(std::wstring(db.name().begin(), db.name().end()));
        EXPECT_EQ(engine.connection().dbname(), db.name());
    }
    ::unsetenv("PGHOST");
}

// Every session reads literals as written, whatever the user's environment
// (PGOPTIONS) asks for: the defaults of a CREATE TABLE depend on it.
TEST(PgsEngine, EverySessionHasStandardConformingStrings) {
    const scoped_env pgoptions("PGOPTIONS", "-c standard_conforming_strings=off");
    pgs_scratch::database db("pgsa_scs");
    pgs_engine engine;
    pgs_scratch::connect(engine, "");
    const auto setting = [&] {
        pqxx::nontransaction w(engine.connection());
        return w.exec("SHOW standard_conforming_strings")[0][0].as<std::string>();
    };
    EXPECT_EQ(setting(), "on");
    engine.open_db(widen(db.name()));
    EXPECT_EQ(setting(), "on");
}

// On a server whose "postgres" database is gone the engine works from
// template1, as the client tools do: the first connection, and the one it
// moves to while the database it is on is dropped. When neither opens, the
// reason the first did not is reported.
TEST(PgsEngine, WithoutThePostgresDatabaseTemplate1IsTheMaintenanceDatabase) {
    own_servers servers;
    {
        auto conn = pgs_scratch::admin("template1");
        pqxx::nontransaction w(*conn);
        w.exec("DROP DATABASE postgres WITH (FORCE)");
        w.exec("CREATE DATABASE pgsa_admin");
    }

    pgs_engine engine;
    pgs_scratch::connect(engine, "");
    EXPECT_EQ(std::string(engine.connection().dbname()), "template1");
    EXPECT_FALSE(engine.is_db_exist(L"postgres"));
    std::unique_ptr<pgs_database> db = engine.create_db_exist(L"pgsa_nopg");
    EXPECT_EQ(std::string(engine.connection().dbname()), "pgsa_nopg");
    db.reset();
    engine.deletes_db(L"pgsa_nopg");
    EXPECT_TRUE(pqxx::nontransaction(*pgs_scratch::admin("template1"))
                    .exec("SELECT 1 FROM pg_database WHERE datname = 'pgsa_nopg'")
                    .empty());
    EXPECT_EQ(std::string(engine.connection().dbname()), "template1");

    // Closed from another database: a session cannot close its own.
    pqxx::nontransaction(*pgs_scratch::admin("pgsa_admin"))
        .exec("ALTER DATABASE template1 WITH ALLOW_CONNECTIONS false");
    try {
        pgs_scratch::connect(engine, "");
        FAIL() << "connected to " << engine.connection().dbname();
    } catch (const pgs_exception& e) {
        EXPECT_NE(std::string(e.what()).find("\"postgres\" does not exist"), std::string::npos) << e.what();
    }
}

}  // namespace
