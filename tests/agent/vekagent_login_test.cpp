// End-to-end: where the built vekagent takes its passwords and TLS settings
// from when the command line gives none, as psql and the mysql client do:
// PGPASSWORD and ~/.pgpass for PostgreSQL, the [client] group of ~/.my.cnf
// for MySQL. Each test gives the agent a home folder of its own.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/own_servers.h"
#include "support/scoped_env.h"
#include "support/test_dir.h"
#include "support/test_servers.h"

namespace {

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

// The servers and databases, each password only when given.
std::vector<std::string> login_args(const std::string& src, const std::string& dest,
                                    const std::optional<std::string>& my_password,
                                    const std::optional<std::string>& pg_password) {
    const server_address my = mysql_test_server();
    const server_address pg = pg_test_server();
    std::vector<std::string> args = {
        "--src=" + src,        "--dest=" + dest,      "--mode=1",
        "--mysqlh=" + my.host, "--mysqlu=" + my.user, "--myport=" + std::to_string(my.port),
        "--posgsh=" + pg.host, "--posgsu=" + pg.user, "--pgport=" + std::to_string(pg.port)};
    if (my_password) args.push_back("--mysqlp=" + *my_password);
    if (pg_password) args.push_back("--posgsp=" + *pg_password);
    return args;
}

// A home folder for the agent: HOME points at it for the test's scope.
class agent_home {
public:
    agent_home() : m_home("HOME", m_dir.path()) {}
    const test_dir& dir() const { return m_dir; }
    std::string write(const std::string& name, const std::string& text, mode_t mode) const {
        const std::string path = m_dir.write(name, text);
        ::chmod(path.c_str(), mode);
        return path;
    }

private:
    test_dir m_dir{"vka_home"};
    scoped_env m_home;
};

void one_table_source(scratch_dbs& dbs) {
    dbs.my.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(20))");
    dbs.my.exec("INSERT INTO t VALUES (1, 'one'), (2, 'two')");
}

void expect_copied(const agent_result& r, const std::string& dest) {
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out, "Converting database " + dest + "(1 tables)\nConverting table t(2 records)\n") << show(r);
    EXPECT_EQ(pg_query(dest, "SELECT count(*) FROM t")[0][0], "2");
}

// Plain, or over a connection without TLS to a server that offers it (MariaDB
// 11.4 and later): either way it says so, and both name the password.
constexpr const char* access_denied = "Access denied";

TEST(VekagentLogin, PostgresPasswordFromPgpasswordOrPasswordFile) {
    const server_address pg = pg_test_server();
    const std::string pgpass_line =
        pg.host + ":" + std::to_string(pg.port) + ":*:" + pg.user + ":" + pg.password + "\n";
    struct source {
        const char* name;
        bool pgpassword;
        bool pgpass_file;
    };
    for (const source& s : {source{"PGPASSWORD", true, false}, source{"~/.pgpass", false, true}}) {
        SCOPED_TRACE(s.name);
        scratch_dbs dbs("vka_login_pg");
        one_table_source(dbs);
        const agent_home home;
        if (s.pgpass_file) home.write(".pgpass", pgpass_line, 0600);
        const scoped_env pgpassword("PGPASSWORD",
                                    s.pgpassword ? std::optional<std::string>(pg.password) : std::nullopt);
        expect_copied(run_agent(login_args(dbs.src(), dbs.dest(), mysql_test_server().password, std::nullopt)),
                      dbs.dest());

        // A given password wins over both.
        const agent_result wrong =
            run_agent(login_args(dbs.src(), dbs.dest(), mysql_test_server().password, std::string("wrong")));
        EXPECT_EQ(wrong.status, 255) << show(wrong);
        EXPECT_NE(wrong.out.find("password authentication failed"), std::string::npos) << show(wrong);
    }
}

TEST(VekagentLogin, MysqlPasswordFromClientGroupOfOptionFile) {
    scratch_dbs dbs("vka_login_my");
    one_table_source(dbs);
    const agent_home home;
    home.write(".my.cnf", "[client]\npassword=" + mysql_test_server().password + "\n", 0600);
    const std::string pg_password = pg_test_server().password;

    expect_copied(run_agent(login_args(dbs.src(), dbs.dest(), std::nullopt, pg_password)), dbs.dest());

    // A password on the command line wins over the file's, an empty one too.
    for (const std::string given : {"wrong", ""}) {
        SCOPED_TRACE("--mysqlp=" + given);
        const agent_result r = run_agent(login_args(dbs.src(), dbs.dest(), given, pg_password));
        EXPECT_EQ(r.status, 255) << show(r);
        EXPECT_NE(r.out.find(access_denied), std::string::npos) << show(r);
    }
}

TEST(VekagentLogin, ProfileWithoutPasswordsTakesThemFromTheClientFiles) {
    scratch_dbs dbs("vka_login_prof");
    one_table_source(dbs);
    const server_address my = mysql_test_server();
    const server_address pg = pg_test_server();
    const agent_home home;
    home.write(".my.cnf", "[client]\npassword=" + my.password + "\n", 0600);
    home.write(".pgpass", pg.host + ":" + std::to_string(pg.port) + ":*:" + pg.user + ":" + pg.password + "\n", 0600);
    const std::string profile = home.write("p.vek",
                                           "[Generic settings]\nsrc=" + dbs.src() + "\ndest=" + dbs.dest() +
                                               "\nmode=1\n\n[MySQL settings]\nhost=" + my.host + "\nuser=" + my.user +
                                               "\npassword=\nport=" + std::to_string(my.port) +
                                               "\n\n[pgs settings]\nhost=" + pg.host + "\nuser=" + pg.user + "\n",
                                           0600);
    // Profiles carry no PostgreSQL port.
    const scoped_env pgport("PGPORT", std::to_string(pg.port));
    expect_copied(run_agent({"--profile=" + profile}), dbs.dest());
}

TEST(VekagentLogin, NoPasswordAnywhereIsRefused) {
    scratch_dbs dbs("vka_login_none");
    const agent_home home;
    const agent_result r = run_agent(login_args(dbs.src(), dbs.dest(), std::nullopt, pg_test_server().password));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(r.out.find(access_denied), std::string::npos) << show(r);
}

// A certificate authority and a server certificate for 127.0.0.1, readable by
// the server's own user.
class test_certificates {
public:
    test_certificates() {
        ::chmod(m_dir.path().c_str(), 0755);
        const std::string d = m_dir.path();
        const std::string quiet = " >" + d + "/openssl.log 2>&1";
        const std::string steps[] = {
            "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=vek test CA' -keyout " + d + "/ca.key -out " +
                ca() + quiet,
            "openssl req -newkey rsa:2048 -nodes -subj '/CN=127.0.0.1' -keyout " + key() + " -out " + d +
                "/server.csr" + quiet,
            "printf 'subjectAltName=IP:127.0.0.1\\n' >" + d + "/ext.cnf",
            "openssl x509 -req -in " + d + "/server.csr -CA " + ca() + " -CAkey " + d +
                "/ca.key -CAcreateserial -days 2 " + "-extfile " + d + "/ext.cnf -out " + cert() + quiet,
            "chmod 644 " + d + "/*"};
        for (const std::string& step : steps)
            if (std::system(step.c_str()) != 0)
                throw std::runtime_error("cannot make test certificates: " + test_dir::read(d + "/openssl.log"));
    }
    std::string ca() const { return m_dir.file("ca.pem"); }
    std::string cert() const { return m_dir.file("server.pem"); }
    std::string key() const { return m_dir.file("server.key"); }

private:
    test_dir m_dir{"vka_certs"};
};

// Statements to the MySQL server of a pair as root over its socket, which the
// server counts as secure.
void mysql_root_exec(const std::string& sql) {
    const std::string command = "mariadb --no-defaults --socket='" + std::string(std::getenv("VEK_MYSQL_SOCKET")) +
                                "' -uroot -e \"" + sql + "\"";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("statement failed: " + sql);
}

TEST(VekagentLogin, ServerTakingSecureConnectionsOnlyIsReachedWithClientTlsSettings) {
    const test_certificates certs;
    const own_servers servers("--ssl-ca=" + certs.ca() + " --ssl-cert=" + certs.cert() + " --ssl-key=" + certs.key() +
                                  " --require-secure-transport=ON",
                              "--ssl-ca=" + certs.ca());
    mysql_root_exec("CREATE DATABASE vka_tls; CREATE TABLE vka_tls.t (id INT PRIMARY KEY, v VARCHAR(20)); "
                    "INSERT INTO vka_tls.t VALUES (1, 'one'), (2, 'two')");
    pg_create_db("vka_tls");
    const auto args = login_args("vka_tls", "vka_tls", mysql_test_server().password, pg_test_server().password);

    {
        const agent_home home;
        const agent_result r = run_agent(args);
        EXPECT_EQ(r.status, 255) << show(r);
        // MariaDB answers "Access denied": the text names secure connections.
        // "Access denied" naming TLS (10.11), or "requires a secure connection"
        // (3159, MariaDB 11.8): both say where the TLS settings go.
        EXPECT_NE(r.out.find("TLS settings (ssl-ca, or ssl) in the [client] group of your option file ~/.my.cnf"),
                  std::string::npos)
            << show(r);
        EXPECT_TRUE(pg_tables("vka_tls").empty());
    }
    const agent_home home;
    home.write(".my.cnf", "[client]\nssl-ca=" + certs.ca() + "\n", 0600);
    expect_copied(run_agent(args), "vka_tls");
}

// TIMESTAMP values are read in the MySQL session's time zone and arrive as
// the wall-clock text of that zone. The [client] group's init-command sets
// the zone for the agent's connection, so a server that does not run in UTC
// can still be read in UTC.
TEST(VekagentLogin, ClientGroupInitCommandSetsTheZoneTimestampsAreReadIn) {
    scratch_dbs dbs("vka_login_tz");
    dbs.my.exec("SET time_zone = '+00:00'");
    dbs.my.exec("CREATE TABLE t (id INT PRIMARY KEY, at TIMESTAMP NULL)");
    dbs.my.exec("INSERT INTO t VALUES (1, '2024-10-27 00:30:00'), (2, '2024-10-27 01:30:00')");
    const std::string my_password = mysql_test_server().password;
    const std::string pg_password = pg_test_server().password;
    struct zone_case {
        const char* zone;
        db_rows read;
    };
    const zone_case cases[] = {
        {"+00:00", {{"2024-10-27 00:30:00"}, {"2024-10-27 01:30:00"}}},
        {"+05:00", {{"2024-10-27 05:30:00"}, {"2024-10-27 06:30:00"}}},
    };
    for (const zone_case& c : cases) {
        SCOPED_TRACE(c.zone);
        const agent_home home;
        home.write(".my.cnf", "[client]\npassword=" + my_password + "\ninit-command=SET time_zone='" + c.zone + "'\n",
                   0600);
        expect_copied(run_agent(login_args(dbs.src(), dbs.dest(), std::nullopt, pg_password)), dbs.dest());
        EXPECT_EQ(pg_query(dbs.dest(), "SELECT at::text FROM t ORDER BY id"), c.read);
        EXPECT_EQ(pg_query(dbs.dest(), "SELECT data_type FROM information_schema.columns WHERE table_name = 't' "
                                       "AND column_name = 'at'"),
                  (db_rows{{"timestamp without time zone"}}));
    }
}

}  // namespace
