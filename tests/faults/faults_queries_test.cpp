// vekagent given named queries that are no queries: a profile whose
// "Selected Tables" name statements that drop, empty, create or write in
// MySQL. None of them may run: each is reported under its name, the run
// ends with -1, and the tables and the good query still convert (mode 1);
// mode 0 names the first of them and drops nothing.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/test_dir.h"
#include "support/test_servers.h"

namespace {

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

TEST(FaultsQueries, StatementsThatAreNoQueriesAreReportedAndChangeNothing) {
    scratch_dbs dbs("fqry_statements");
    const std::string other = dbs.name() + "_other";
    mysql_admin& my = dbs.my;
    my.exec("DROP DATABASE IF EXISTS " + other);
    my.exec("CREATE DATABASE " + other);
    my.exec("CREATE TABLE " + other + ".keep (id INT PRIMARY KEY)");
    my.exec("INSERT INTO " + other + ".keep VALUES (1), (2), (3)");
    my.exec("CREATE TABLE victim (id INT PRIMARY KEY, v VARCHAR(10))");
    my.exec("INSERT INTO victim VALUES (1, 'one'), (2, 'two'), (3, 'three')");
    test_dir dir("faults_queries");
    // Where the server itself may write.
    const std::string outfile = "/tmp/" + dbs.name() + "_rows.txt";
    std::filesystem::remove(outfile);

    const std::vector<std::pair<std::string, std::string>> bad = {
        {"q_create", "CREATE TABLE made (a INT)"},
        {"q_drop_database", "DROP DATABASE " + other},
        {"q_drop_table", "DROP TABLE victim"},
        {"q_insert", "INSERT INTO victim VALUES (99, 'x')"},
        {"q_outfile", "SELECT * FROM victim INTO OUTFILE '" + outfile + "'"},
        {"q_parameter", "SELECT * FROM victim WHERE id = ?"},
        {"q_truncate", "TRUNCATE victim"},
        {"q_two_statements", "SELECT 1; DROP TABLE victim"},
    };
    const server_address m = mysql_test_server();
    const server_address p = pg_test_server();
    std::string profile = "[Generic settings]\r\ndest=" + dbs.dest() + "\r\nmode=1\r\nsrc=" + dbs.src() +
                          "\r\n\r\n[MySQL settings]\r\nhost=" + m.host + "\r\npassword=" + m.password +
                          "\r\nport=" + std::to_string(m.port) + "\r\nuser=" + m.user + "\r\n\r\n[Selected Tables]\r\n";
    for (const auto& [name, sql] : bad) profile += name + "=" + sql + "\r\n";
    profile += "q_good=SELECT id, v FROM victim WHERE id > 1\r\nvictim\r\n\r\n[pgs settings]\r\nhost=" + p.host +
               "\r\npassword=" + p.password + "\r\nuser=" + p.user + "\r\n";
    std::vector<std::string> args = dbs.agent_args();
    args.push_back("--profile=" + dir.write("p.vek", profile));
    std::vector<std::string> mode_0_args = dbs.agent_args();
    mode_0_args.push_back("--profile=" +
                          dir.write("p0.vek", std::string(profile).replace(profile.find("mode=1"), 6, "mode=0")));
    // A profile holds no PostgreSQL port: the client library's variable names it.
    ::setenv("PGPORT", std::to_string(p.port).c_str(), 1);

    const agent_result r = run_agent(args, 120);

    EXPECT_EQ(r.status, 255) << show(r);
    for (const auto& [name, sql] : bad) {
        EXPECT_NE(r.out.find("Error:\n" + name + ": "), std::string::npos) << name << "\n" << show(r);
    }
    // MySQL as it was.
    EXPECT_EQ(my.query("SELECT COUNT(*) FROM " + other + ".keep"), (db_rows{{"3"}}));
    EXPECT_EQ(my.query("SELECT COUNT(*) FROM victim"), (db_rows{{"3"}}));
    EXPECT_TRUE(my.query("SHOW TABLES LIKE 'made'").empty());
    EXPECT_FALSE(std::filesystem::exists(outfile));
    // The good query and the table arrived; nothing of the others.
    const std::vector<std::string> want = {"q_good", "victim"};
    EXPECT_EQ(pg_tables(dbs.dest()), want);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, v FROM q_good ORDER BY id"), (db_rows{{"2", "two"}, {"3", "three"}}));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*) FROM victim"), (db_rows{{"3"}}));

    // Mode 0 checks them before it drops: the first is named, nothing runs,
    // and the destination keeps what it holds.
    const agent_result r0 = run_agent(mode_0_args, 120);
    EXPECT_EQ(r0.status, 255) << show(r0);
    EXPECT_EQ(r0.out.rfind("Error:\nQuery q_create cannot be read (", 0), 0u) << show(r0);
    EXPECT_EQ(r0.out.find("Converting"), std::string::npos) << show(r0);
    EXPECT_EQ(my.query("SELECT COUNT(*) FROM " + other + ".keep"), (db_rows{{"3"}}));
    EXPECT_EQ(my.query("SELECT COUNT(*) FROM victim"), (db_rows{{"3"}}));
    EXPECT_TRUE(my.query("SHOW TABLES LIKE 'made'").empty());
    EXPECT_FALSE(std::filesystem::exists(outfile));
    EXPECT_EQ(pg_tables(dbs.dest()), want);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*) FROM victim"), (db_rows{{"3"}}));
    std::filesystem::remove(outfile);
    my.exec("DROP DATABASE " + other);
}

}  // namespace
