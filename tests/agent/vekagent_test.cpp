// End-to-end: the built vekagent binary against the private test servers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "agent/agent_cmd.h"
#include "agent_test_util.h"
#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/test_db.h"
#include "support/test_dir.h"
#include "support/test_servers.h"

namespace {

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

// A source database of its own per test; the tests make the destination.
constexpr scratch_options no_dest{.create_dest = false};

std::vector<std::string> pg_tables(const std::string& db) {
    std::vector<std::string> names;
    for (const auto& row : pg_query(db, "SELECT table_name FROM information_schema.tables "
                                        "WHERE table_schema = 'public' ORDER BY 1"))
        names.push_back(*row[0]);
    return names;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The destination table of a source table: the same name, the name folded to
// lower case, or the safe name (blanks, dashes... as underscores).
std::string dest_table(const std::string& db, const std::string& source) {
    const std::vector<std::string> have = pg_tables(db);
    std::string safe = source;
    for (char& c : safe)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#' || (c & 0x80))) c = '_';
    for (const std::string& candidate : {source, lower(source), lower(safe)})
        if (std::find(have.begin(), have.end(), candidate) != have.end()) return candidate;
    return "";
}

std::string pg_ident(const std::string& name) { return "\"" + name + "\""; }

long long pg_count(const std::string& db, const std::string& table) {
    return std::stoll(*pg_query(db, "SELECT count(*) FROM " + pg_ident(table))[0][0]);
}

// ---------------------------------------------------------------- the fixture

// The first n characters of UTF-8 text.
std::string utf8_prefix(const std::string& s, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t chars = 0; i < s.size() && chars < n; ++chars) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return s.substr(0, i);
}

void load_fixture(mysql_admin& my) {
    my.exec("CREATE TABLE numbers (id INT PRIMARY KEY, ti TINYINT, tiu TINYINT UNSIGNED, si SMALLINT, "
            "siu SMALLINT UNSIGNED, mi MEDIUMINT, miu MEDIUMINT UNSIGNED, i INT, iu INT UNSIGNED, bi BIGINT, "
            "biu BIGINT UNSIGNED, d DECIMAL(20,4), d2 DECIMAL(10,2), f FLOAT, dbl DOUBLE, yr YEAR, bt BIT(1))");
    my.exec("INSERT INTO numbers VALUES "
            "(1,-128,0,-32768,0,-8388608,0,-2147483648,0,-9223372036854775808,0,"
            "-9999999999999999.9999,-99999999.99,-3.40282e38,-1.7976931348623157e308,1901,b'0'),"
            "(2,127,255,32767,65535,8388607,16777215,2147483647,4294967295,9223372036854775807,"
            "18446744073709551615,9999999999999999.9999,99999999.99,3.40282e38,1.7976931348623157e308,2155,b'1'),"
            "(3,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2000,b'0'),"
            "(4,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
            "(5,-1,1,-1,1,-1,1,-1,1,-1,1,0.0001,-0.01,1.5e-38,2.2250738585072014e-308,1999,b'1')");

    my.exec("CREATE TABLE texts (id INT PRIMARY KEY, c CHAR(10), vc VARCHAR(300), t TEXT, mt MEDIUMTEXT, "
            "lt LONGTEXT, e ENUM('a','b c'), st SET('x','y'))");
    const std::vector<std::string> samples = {
        "",
        "tab\there",
        "line\nfeed\r\ncrlf",
        "back\\slash \\N \\\\",
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE6\x97\xA5\xE6\x9C\xAC \xD0\x96",
        "emoji \xF0\x9F\x98\x80\xF0\x9F\x91\x8D",
        "it's \"quoted\" ;, |",
        std::string(300, 'x'),
    };
    int id = 1;
    for (const std::string& s : samples) {
        const std::string e = "'" + my.escape(s) + "'";
        const std::string c = "'" + my.escape(utf8_prefix(s, 10)) + "'";
        my.exec("INSERT INTO texts VALUES (" + std::to_string(id) + "," + c + "," + e + "," + e + "," + e + "," + e +
                "," + (id % 2 ? "'a'" : "'b c'") + "," + (id % 2 ? "'x,y'" : "''") + ")");
        ++id;
    }
    my.exec("INSERT INTO texts VALUES (" + std::to_string(id) + ",NULL,NULL,NULL,NULL,NULL,NULL,NULL)");

    my.exec("CREATE TABLE dates (id INT PRIMARY KEY, dt DATE, dtm DATETIME, ts TIMESTAMP NULL, tm TIME)");
    my.exec("INSERT INTO dates VALUES "
            "(1,'1000-01-01','1000-01-01 00:00:00','1970-01-01 00:00:01','00:00:00'),"
            "(2,'9999-12-31','9999-12-31 23:59:59','2038-01-19 03:14:07','23:59:59'),"
            "(3,'2024-02-29','2024-02-29 12:34:56','2024-02-29 12:34:56','12:34:56'),"
            "(4,NULL,NULL,NULL,NULL)");

    my.exec("CREATE TABLE blobs (id INT PRIMARY KEY, b BLOB, vb VARBINARY(20), bn BINARY(4), lb LONGBLOB)");
    std::string all_bytes;
    for (int b = 0; b < 256; ++b) all_bytes += static_cast<char>(b);
    my.exec("INSERT INTO blobs VALUES (1, x'000102FF00', x'00FF00', x'00000001', x'" + std::string("00") + "5C0A0D09" +
            "')");
    my.exec("INSERT INTO blobs VALUES (2, '', '', x'41424344', '" + my.escape(all_bytes) + "')");
    my.exec("INSERT INTO blobs VALUES (3, NULL, NULL, NULL, NULL)");

    for (const char* name : {"order items", "my-table", "select", "MixedCase"}) {
        my.exec(std::string("CREATE TABLE `") + name + "` (id INT PRIMARY KEY, v VARCHAR(20))");
        my.exec(std::string("INSERT INTO `") + name + "` VALUES (1,'" + name + "'),(2,NULL)");
    }
    my.exec("CREATE TABLE empty_table (id INT)");
}

enum class kind { exact, real4, real8, bit, bytes };

struct column_rule {
    const char* name;
    kind k;
};

// Source value in canonical text: MySQL gives numbers, dates and text as text.
std::string src_expr(const column_rule& c) {
    const std::string n = std::string("`") + c.name + "`";
    switch (c.k) {
    case kind::bit: return n + "+0";
    case kind::bytes: return "HEX(" + n + ")";
    default: return n;
    }
}

std::string dest_expr(const std::string& db, const std::string& table, const column_rule& c) {
    const auto type = pg_query(db, "SELECT data_type FROM information_schema.columns WHERE table_schema='public' "
                                   "AND table_name='" +
                                       table + "' AND column_name='" + c.name + "'");
    if (type.empty()) return "";
    const std::string t = *type[0][0];
    const std::string n = pg_ident(c.name);
    if (c.k == kind::bytes)
        return t == "bytea" ? "upper(encode(" + n + ",'hex'))"
                            : "upper(encode(convert_to(" + n + "::text,'UTF8'),'hex'))";
    return n + "::text";
}

bool same_value(kind k, const db_cell& src, const db_cell& dst) {
    if (!src || !dst) return !src && !dst;
    switch (k) {
    case kind::real4:
    case kind::real8: {
        const double a = std::strtod(src->c_str(), nullptr), b = std::strtod(dst->c_str(), nullptr);
        const double tol = k == kind::real4 ? 1e-6 : 1e-15;
        return a == b || std::fabs(a - b) <= tol * std::max(std::fabs(a), std::fabs(b));
    }
    case kind::bit: {
        static const std::set<std::string> truths{"1", "t", "true", "-1"};
        static const std::set<std::string> falses{"0", "f", "false"};
        return (*src == "1" && truths.count(*dst)) || (*src == "0" && falses.count(*dst));
    }
    default: return *src == *dst;
    }
}

// Compares every row and column of a source table with its destination.
void expect_same_rows(mysql_admin& my, const std::string& db, const std::string& table,
                      const std::vector<column_rule>& cols) {
    SCOPED_TRACE("table " + table);
    const std::string dest = dest_table(db, table);
    ASSERT_FALSE(dest.empty()) << "no destination table";
    std::string src_sql = "SELECT ", dst_sql = "SELECT ";
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const std::string d = dest_expr(db, dest, cols[i]);
        ASSERT_FALSE(d.empty()) << "no destination column " << cols[i].name;
        src_sql += (i ? "," : "") + src_expr(cols[i]);
        dst_sql += (i ? "," : "") + d;
    }
    const db_rows src = my.query(src_sql + " FROM `" + table + "` ORDER BY id");
    const db_rows dst = pg_query(db, dst_sql + " FROM " + pg_ident(dest) + " ORDER BY id");
    ASSERT_EQ(src.size(), dst.size()) << "row count";
    for (std::size_t r = 0; r < src.size(); ++r)
        for (std::size_t c = 0; c < cols.size(); ++c)
            EXPECT_TRUE(same_value(cols[c].k, src[r][c], dst[r][c]))
                << "row " << r + 1 << " column " << cols[c].name << ": source "
                << (src[r][c] ? "'" + *src[r][c] + "'" : "NULL") << ", destination "
                << (dst[r][c] ? "'" + *dst[r][c] + "'" : "NULL");
}

// ---------------------------------------------------------------- command line

TEST(VekagentCommandLine, NoArgumentsPrintsUsage) {
    const agent_result r = run_agent({});
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.err, agent_usage_text() + "\n");
    EXPECT_EQ(r.out, "");
}

TEST(VekagentCommandLine, TextsAndExitCodes) {
    struct tcase {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string usage = agent_usage_text() + "\n";
    const std::vector<tcase> cases = {
        {{"--silent", "--help"}, ""},
        {{"--help", "--silent"}, usage},
        {{"--src=a", "--dest=b", "--bogus"}, usage},
        {{"--DEST=b", "--src=a"}, usage},
        {{"--src=a", "--dest=b", "--mode=5"}, "Invalid merge/overwrite mode\n"},
        {{"--mode=04"}, "Invalid merge/overwrite mode\n"},
        {{"--dest=b"}, "You should enter source MySQL database name\n"},
        {{"--src=a"}, "You should enter destination PostgreSQL database name\n"},
        {{"--bogus", "--tab_file=/nonexistent/x"},
         "Table names file does not exist.\nPlease verify the correct path/name was given.\n"},
        {{"--silent", "--src=a"}, ""},
    };
    for (const tcase& c : cases) {
        const agent_result r = run_agent(c.args);
        EXPECT_EQ(r.status, 255) << show(r);
        EXPECT_EQ(r.err, c.err) << show(r);
        EXPECT_EQ(r.out, "") << show(r);
    }
    // The 21st unknown argument is an internal error, printed even when silent.
    std::vector<std::string> many{"--silent"};
    for (int i = 0; i < 21; ++i) many.push_back("x");
    const agent_result r = run_agent(many);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out.rfind("Internal error: ", 0), 0u) << show(r);
}

TEST(VekagentCommandLine, RejectedLogfile) {
    const agent_result r = run_agent({"--logfile=/nonexistent-dir/x.log", "--src=a", "--dest=b"});
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out, "Error:\nLogfile path does not exist. Please verify the correct path was given.\n") << show(r);
}

// ---------------------------------------------------------------- connections

TEST(VekagentServers, MissingDestinationDatabase) {
    scratch_dbs dbs("vka_nodest", no_dest);
    const agent_result r = run_agent(agent_server_args({"--src=vka_nodest", "--dest=vka_nodest_missing"}));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.err, "Database 'vka_nodest_missing' does not exist\n") << show(r);
}

TEST(VekagentServers, WrongPasswordsFail) {
    scratch_dbs dbs("vka_pass", no_dest);
    pg_create_db(dbs.name());
    agent_result r = run_agent(agent_server_args({"--src=vka_pass", "--dest=vka_pass", "--mysqlp=wrong"}));
    EXPECT_EQ(r.status, 255) << show(r);
    if (mysql_wrong_password_code() == 0x400000 + 1045)
        EXPECT_EQ(r.out, "Error:\nAccess denied. Verify the user name and password are correct, and you have the "
                         "necessary privileges to connect to the target MySQL server.\n")
            << show(r);
    else
        EXPECT_EQ(r.out, "Error:\nAccess denied over a connection without TLS. The MySQL server offers secure "
                         "connections: if it requires them, give its TLS settings (ssl-ca, or ssl) in the [client] "
                         "group of your option file ~/.my.cnf; otherwise verify the user name and password are "
                         "correct.\n")
            << show(r);
    r = run_agent(agent_server_args({"--src=vka_pass", "--dest=vka_pass", "--posgsp=wrong"}));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out.rfind("Error:\n", 0), 0u) << show(r);
    r = run_agent(agent_server_args({"--src=vka_pass", "--dest=vka_pass", "--posgsp=wrong", "--silent"}));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out + r.err, "") << show(r);
}

TEST(VekagentServers, ModeZeroKeepsDestinationWhenSourceIsMissing) {
    scratch_dbs dbs("vka_nosrc", no_dest);
    pg_create_db(dbs.name());
    pg_exec(dbs.name(), "CREATE TABLE keep_me (id int)");
    const agent_result r = run_agent(agent_server_args({"--src=vka_nosrc_typo", "--dest=vka_nosrc", "--mode=0"}));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(r.out + r.err, "") << show(r);
    ASSERT_TRUE(pg_db_exists(dbs.name()));
    EXPECT_EQ(pg_tables(dbs.name()), std::vector<std::string>{"keep_me"});
}

// ---------------------------------------------------------------- conversion

TEST(VekagentConversion, FixtureDatabaseRowByRow) {
    scratch_dbs dbs("vka_full", no_dest);
    load_fixture(dbs.my);
    pg_create_db(dbs.name());
    pg_exec(dbs.name(), "CREATE TABLE stale (id int)");
    const agent_result r = run_agent(agent_server_args({"--src=vka_full", "--dest=vka_full"}));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.err, "") << show(r);
    EXPECT_EQ(r.out, "Converting database vka_full(9 tables)\n"
                     "Converting table MixedCase(2 records)\n"
                     "Converting table blobs(3 records)\n"
                     "Converting table dates(4 records)\n"
                     "Converting table empty_table(0 records)\n"
                     "Converting table my-table(2 records)\n"
                     "Converting table numbers(5 records)\n"
                     "Converting table order items(2 records)\n"
                     "Converting table select(2 records)\n"
                     "Converting table texts(9 records)\n")
        << show(r);
    // Mode 0 dropped the old destination.
    const std::vector<std::string> tables = pg_tables(dbs.name());
    EXPECT_EQ(std::count(tables.begin(), tables.end(), "stale"), 0);

    expect_same_rows(dbs.my, dbs.name(), "numbers",
                     {{"id", kind::exact},
                      {"ti", kind::exact},
                      {"tiu", kind::exact},
                      {"si", kind::exact},
                      {"siu", kind::exact},
                      {"mi", kind::exact},
                      {"miu", kind::exact},
                      {"i", kind::exact},
                      {"iu", kind::exact},
                      {"bi", kind::exact},
                      {"biu", kind::exact},
                      {"d", kind::exact},
                      {"d2", kind::exact},
                      {"f", kind::real4},
                      {"dbl", kind::real8},
                      {"yr", kind::exact},
                      {"bt", kind::bit}});
    expect_same_rows(dbs.my, dbs.name(), "texts",
                     {{"id", kind::exact},
                      {"c", kind::exact},
                      {"vc", kind::exact},
                      {"t", kind::exact},
                      {"mt", kind::exact},
                      {"lt", kind::exact},
                      {"e", kind::exact},
                      {"st", kind::exact}});
    expect_same_rows(
        dbs.my, dbs.name(), "dates",
        {{"id", kind::exact}, {"dt", kind::exact}, {"dtm", kind::exact}, {"ts", kind::exact}, {"tm", kind::exact}});
    expect_same_rows(
        dbs.my, dbs.name(), "blobs",
        {{"id", kind::exact}, {"b", kind::bytes}, {"vb", kind::bytes}, {"bn", kind::bytes}, {"lb", kind::bytes}});
    for (const char* name : {"order items", "my-table", "select", "MixedCase"})
        expect_same_rows(dbs.my, dbs.name(), name, {{"id", kind::exact}, {"v", kind::exact}});
    const std::string empty = dest_table(dbs.name(), "empty_table");
    ASSERT_FALSE(empty.empty());
    EXPECT_EQ(pg_count(dbs.name(), empty), 0);
}

void small_source(scratch_dbs& dbs, const std::vector<std::string>& tables, int rows) {
    for (const std::string& t : tables) {
        dbs.my.exec("CREATE TABLE `" + t + "` (id INT PRIMARY KEY, v VARCHAR(20))");
        for (int i = 1; i <= rows; ++i)
            dbs.my.exec("INSERT INTO `" + t + "` VALUES (" + std::to_string(i) + ",'" + t + std::to_string(i) + "')");
    }
}

TEST(VekagentConversion, ModesOnAnExistingDestination) {
    scratch_dbs dbs("vka_modes", no_dest);
    small_source(dbs, {"t"}, 3);
    pg_create_db(dbs.name());
    const auto args = [&](const char* mode) {
        return agent_server_args({"--src=vka_modes", "--dest=vka_modes", std::string("--mode=") + mode});
    };
    agent_result r = run_agent(args("0"));
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_count(dbs.name(), "t"), 3);

    // 3: merge appends to the conforming table the agent made.
    r = run_agent(args("3"));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out, "Converting database vka_modes(1 tables)\nConverting table t(3 records)\n") << show(r);
    EXPECT_EQ(pg_count(dbs.name(), "t"), 6);

    // 2: an existing table is left alone and prints no table line.
    r = run_agent(args("2"));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out, "Converting database vka_modes(1 tables)\n") << show(r);
    EXPECT_EQ(pg_count(dbs.name(), "t"), 6);

    // 1: the table is dropped and made again.
    pg_exec(dbs.name(), "CREATE TABLE other (id int)");
    r = run_agent(args("1"));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_count(dbs.name(), "t"), 3);
    EXPECT_EQ(pg_tables(dbs.name()), (std::vector<std::string>{"other", "t"}));

    // 3 against a table of another structure: a reported error, exit -1.
    pg_exec(dbs.name(), "DROP TABLE t");
    pg_exec(dbs.name(), "CREATE TABLE t (x date)");
    r = run_agent(args("3"));
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out, "Converting database vka_modes(1 tables)\nError:\n"
                     "t: The structure of data source does not conform to the destination table.\n")
        << show(r);

    // 0: the whole destination is made again.
    r = run_agent(args("0"));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_tables(dbs.name()), std::vector<std::string>{"t"});
    EXPECT_EQ(pg_count(dbs.name(), "t"), 3);

    // 4 on a fresh destination converts like any other mode.
    pg_drop_db(dbs.name());
    pg_create_db(dbs.name());
    r = run_agent(args("4"));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_count(dbs.name(), "t"), 3);
}

TEST(VekagentConversion, TableListWithMissingTableAndBom) {
    scratch_dbs dbs("vka_tabs", no_dest);
    small_source(dbs, {"t1", "t2", "caf\xC3\xA9", "unlisted"}, 2);
    pg_create_db(dbs.name());
    test_dir dir;
    const std::string list = dir.write("tables.txt", "\xEF\xBB\xBF"
                                                     "t2\r\nnosuch\r\n\r\ncaf\xC3\xA9\r\nt1\r\n");
    // Mode 1: mode 0 checks the list before it drops, and converts nothing
    // when a listed table is missing (ModeZeroChecksWhatItCopiesBeforeItDrops).
    const agent_result r =
        run_agent(agent_server_args({"--src=vka_tabs", "--dest=vka_tabs", "--mode=1", "--tab_file=" + list}));
    EXPECT_EQ(r.status, 255) << show(r);  // a listed table was missing
    EXPECT_EQ(r.err, "Table nosuch not exists\n") << show(r);
    EXPECT_EQ(r.out, "Converting database vka_tabs(4 tables)\n"
                     "Converting table caf\xC3\xA9(2 records)\n"
                     "Converting table t1(2 records)\n"
                     "Converting table t2(2 records)\n")
        << show(r);
    EXPECT_EQ(pg_tables(dbs.name()), (std::vector<std::string>{"caf\xC3\xA9", "t1", "t2"}));
}

TEST(VekagentConversion, DefinitionsOnlySkipIndexesSilentAndLog) {
    scratch_dbs dbs("vka_defs", no_dest);
    small_source(dbs, {"t"}, 3);
    pg_create_db(dbs.name());
    test_dir dir;
    const std::string log = dir.file("agent.log");
    agent_result r = run_agent(
        agent_server_args({"--src=vka_defs", "--dest=vka_defs", "--tab_def", "--skip_idx", "--logfile=" + log}));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out, "Converting database vka_defs(1 tables)\nConverting table t(3 records)\n") << show(r);
    EXPECT_EQ(pg_count(dbs.name(), "t"), 0);
    EXPECT_TRUE(pg_query(dbs.name(), "SELECT 1 FROM pg_indexes WHERE tablename = 't'").empty());
    const std::string text = test_dir::read(log);
    EXPECT_NE(text.find("Conversion started on "), std::string::npos) << text;
    EXPECT_NE(text.find("Converting database vka_defs (1 tables)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Converting table t (3 records)\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("parse_cmd_line"), std::string::npos) << "only level-3 lines";

    r = run_agent(agent_server_args({"--src=vka_defs", "--dest=vka_defs", "--silent"}));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out + r.err, "") << show(r);
    EXPECT_EQ(pg_count(dbs.name(), "t"), 3);
}

TEST(VekagentConversion, ProfileAndTableListReplacingItsTables) {
    scratch_dbs dbs("vka_prof", no_dest);
    small_source(dbs, {"a", "b", "c"}, 2);
    pg_create_db(dbs.name());
    const server_address my = mysql_test_server();
    const server_address pg = pg_test_server();
    test_dir dir;
    const std::string profile = dir.write(
        "p.vek",
        "[Generic settings]\r\nsrc=vka_prof\r\ndest=vka_prof\r\nmode=0\r\n\r\n[MySQL settings]\r\nhost=" + my.host +
            "\r\nuser=" + my.user + "\r\npassword=" + my.password + "\r\nport=" + std::to_string(my.port) +
            "\r\n\r\n[Selected Tables]\r\na\r\nb\r\n\r\n[pgs settings]\r\nhost=" + pg.host + "\r\nuser=" + pg.user +
            "\r\npassword=" + pg.password + "\r\n");
    // Profiles carry no PostgreSQL port: the client library takes PGPORT.
    setenv("PGPORT", std::to_string(pg.port).c_str(), 1);
    // Connection options after a loaded profile are ignored.
    agent_result r = run_agent({"--profile=" + profile, "--mysqlp=wrong"});
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out, "Converting database vka_prof(2 tables)\nConverting table a(2 records)\n"
                     "Converting table b(2 records)\n")
        << show(r);

    const std::string list = dir.write("list.txt", "c\n");
    for (bool list_first : {true, false}) {
        std::vector<std::string> args{"--profile=" + profile, "--tab_file=" + list};
        if (list_first) std::swap(args[0], args[1]);
        r = run_agent(args);
        EXPECT_EQ(r.status, 0) << show(r);
        EXPECT_EQ(r.out, "Converting database vka_prof(1 tables)\nConverting table c(2 records)\n") << show(r);
        EXPECT_EQ(pg_tables(dbs.name()), std::vector<std::string>{"c"});
    }
    unsetenv("PGPORT");

    r = run_agent({"--profile=" + dir.file("missing.vek")});
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out, "Error:\nProfile does not exist. Please verify the correct path/name was given.\n") << show(r);
}

// ---------------------------------------------------------------- definitions only, line order, mode 0 checks

// A profile for both test servers (its PostgreSQL port comes from PGPORT).
struct profile_spec {
    std::string src, dest;
    std::string generic;   // lines added to "Generic settings"
    std::string selected;  // "Selected Tables": bare table names, or name=SQL for a query
};

std::string write_profile(const test_dir& dir, const std::string& file, const profile_spec& p) {
    const server_address my = mysql_test_server();
    const server_address pg = pg_test_server();
    return dir.write(file, "[Generic settings]\r\nsrc=" + p.src + "\r\ndest=" + p.dest + "\r\n" + p.generic +
                               "\r\n[MySQL settings]\r\nhost=" + my.host + "\r\nuser=" + my.user +
                               "\r\npassword=" + my.password + "\r\nport=" + std::to_string(my.port) +
                               "\r\n\r\n[Selected Tables]\r\n" + p.selected + "\r\n[pgs settings]\r\nhost=" + pg.host +
                               "\r\nuser=" + pg.user + "\r\npassword=" + pg.password + "\r\n");
}

// Profiles carry no PostgreSQL port: the client library takes PGPORT.
class pgport_env {
public:
    pgport_env() { setenv("PGPORT", std::to_string(pg_test_server().port).c_str(), 1); }
    ~pgport_env() { unsetenv("PGPORT"); }
    pgport_env(const pgport_env&) = delete;
    pgport_env& operator=(const pgport_env&) = delete;
};

// Row 2 holds a NUL character, which a PostgreSQL text cannot: a run that
// reads the rows reports it.
void table_with_a_nul(mysql_admin& my) {
    my.exec("CREATE TABLE notes (id INT PRIMARY KEY, v VARCHAR(20))");
    my.exec("INSERT INTO notes VALUES (1, 'a'), (2, CONCAT('x', CHAR(0), 'y')), (3, 'c')");
}

constexpr const char* nul_query = "q=SELECT id, CONCAT(v, '!') AS w FROM notes";

TEST(VekagentConversion, DefinitionsOnlyReadsNoRowSoABadValueIsNoError) {
    scratch_dbs dbs("vka_defbad", no_dest);
    table_with_a_nul(dbs.my);
    small_source(dbs, {"t"}, 2);
    pg_create_db(dbs.name());
    test_dir dir;
    const pgport_env port;
    const std::string list = dir.write("list.txt", "notes\nt\n");
    const std::string profile = write_profile(
        dir, "defs.vek",
        {dbs.name(), dbs.name(), "only definitions=1\r\n", std::string("notes\r\nt\r\n") + nul_query + "\r\n"});
    const std::string log = dir.file("run.log");
    const struct {
        const char* how;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"--tab_def", agent_server_args({"--src=vka_defbad", "--dest=vka_defbad", "--tab_def", "--tab_file=" + list}),
         "Converting database vka_defbad(2 tables)\nConverting table notes(3 records)\n"
         "Converting table t(2 records)\n"},
        {"profile",
         {"--profile=" + profile, "--logfile=" + log},
         "Converting database vka_defbad(2 tables)\nConverting table notes(3 records)\n"
         "Converting table q(3 records)\nConverting table t(2 records)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        const agent_result r = run_agent(c.args);
        EXPECT_EQ(r.status, 0) << show(r);
        EXPECT_EQ(r.out, c.out) << show(r);
        EXPECT_EQ(r.err, "") << show(r);
        EXPECT_EQ(pg_count(dbs.name(), "notes"), 0);
        EXPECT_EQ(pg_count(dbs.name(), "t"), 0);
    }
    EXPECT_EQ(pg_tables(dbs.name()), (std::vector<std::string>{"notes", "q", "t"}));
    EXPECT_EQ(pg_count(dbs.name(), "q"), 0);
    EXPECT_EQ(test_dir::read(log).find("Error"), std::string::npos) << test_dir::read(log);
}

// The columns, defaults and indexes of the destination's tables, to compare
// two destinations.
db_rows pg_definitions(const std::string& db) {
    db_rows defs = pg_query(db, "SELECT table_name, ordinal_position::text, column_name, data_type, "
                                "character_maximum_length::text, numeric_precision::text, numeric_scale::text, "
                                "datetime_precision::text, is_nullable, column_default FROM information_schema.columns "
                                "WHERE table_schema = 'public' ORDER BY 1, 2");
    for (auto& row : pg_query(db, "SELECT tablename, indexname, indexdef FROM pg_indexes "
                                  "WHERE schemaname = 'public' ORDER BY 1, 2"))
        defs.push_back(row);
    return defs;
}

TEST(VekagentConversion, DefinitionsOnlyMakesTheTablesAFullRunMakes) {
    scratch_dbs full("vka_deffull", no_dest);
    load_fixture(full.my);
    full.my.exec("CREATE TABLE defaults (id INT AUTO_INCREMENT PRIMARY KEY, n INT NOT NULL DEFAULT 7, "
                 "s VARCHAR(9) DEFAULT 'x y', d DATETIME DEFAULT CURRENT_TIMESTAMP, fl FLOAT(7,4) NOT NULL, "
                 "UNIQUE KEY sn (s, n))");
    pg_create_db(full.name());
    const std::string defs_db = "vka_deffull_defs";
    pg_exec("postgres", "DROP DATABASE IF EXISTS " + defs_db);
    pg_create_db(defs_db);
    test_dir dir;
    const pgport_env port;
    const std::string query = "joined=SELECT n.id, n.d, n.f, x.vc, x.e FROM numbers n JOIN texts x ON x.id = n.id";
    std::string tables;
    for (const char* t : {"numbers", "texts", "dates", "blobs", "order items", "my-table", "select", "MixedCase",
                          "empty_table", "defaults"})
        tables += std::string(t) + "\r\n";
    agent_result r = run_agent(
        {"--profile=" + write_profile(dir, "rows.vek", {full.name(), full.name(), "", tables + query + "\r\n"})});
    ASSERT_EQ(r.status, 0) << show(r);
    r = run_agent(
        {"--profile=" +
         write_profile(dir, "defs.vek", {full.name(), defs_db, "only definitions=1\r\n", tables + query + "\r\n"})});
    EXPECT_EQ(r.status, 0) << show(r);
    const db_rows made_full = pg_definitions(full.name());
    EXPECT_GT(made_full.size(), 50u);
    EXPECT_EQ(pg_definitions(defs_db), made_full);
    EXPECT_EQ(pg_count(defs_db, "joined"), 0);
    EXPECT_EQ(pg_count(full.name(), "joined"), 5);
    pg_exec("postgres", "DROP DATABASE IF EXISTS " + defs_db);
}

// Whether the parts appear in the text one after the other, in the order given.
bool in_order(const std::string& text, const std::vector<std::string>& parts) {
    std::size_t at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos) return false;
        at += part.size();
    }
    return true;
}

TEST(VekagentConversion, TheTableLineComesBeforeWhatIsSaidOfItsRows) {
    scratch_dbs dbs("vka_order", no_dest);
    table_with_a_nul(dbs.my);
    pg_create_db(dbs.name());
    test_dir dir;
    const pgport_env port;
    const std::string log = dir.file("run.log");
    const std::string profile = write_profile(
        dir, "run.vek",
        {dbs.name(), dbs.name(), "logfile=" + log + "\r\n", std::string("notes\r\n") + nul_query + "\r\n"});
    const agent_result r = run_agent({"--profile=" + profile});
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_EQ(r.out.rfind("Converting database vka_order(1 tables)\n"
                          "Converting table notes(3 records)\n"
                          "Error:\nnotes, record #2: ",
                          0),
              0u)
        << show(r);
    EXPECT_TRUE(in_order(r.out, {"Converting table notes(3 records)\n", "Error:\nnotes, record #2: ",
                                 "Converting table q(3 records)\n", "Error:\nq, record #2: "}))
        << show(r);
    const std::string text = test_dir::read(log);
    EXPECT_TRUE(in_order(text, {"Converting table notes (3 records)\r\n", "Error:\nnotes, record #2: ",
                                "Converting table q (3 records)\r\n", "Error:\nq, record #2: "}))
        << text;
}

TEST(VekagentConversion, ModeZeroChecksWhatItCopiesBeforeItDrops) {
    scratch_dbs dbs("vka_m0chk", no_dest);
    small_source(dbs, {"t1", "t2"}, 3);
    pg_create_db(dbs.name());
    pg_exec(dbs.name(), "CREATE TABLE keep_me (id int)");
    pg_exec(dbs.name(), "INSERT INTO keep_me VALUES (1), (2)");
    test_dir dir;
    const pgport_env port;
    const std::string kept = ": the destination database vka_m0chk is left as it is.\n";
    const struct {
        const char* what;
        std::string list;      // the table-list file; none when empty
        std::string selected;  // the profile's selection
        std::string error;     // what the error starts with
    } cases[] = {
        {"a table the source lacks", "t1\nt1x\nt2\n", "", "Error:\nTable t1x not exists" + kept},
        {"a query the server refuses", "", "t1\r\nbad=SELECT nope FROM t1\r\n", "Error:\nQuery bad cannot be read ("},
        {"a statement that is not a query", "", "t1\r\ndel=DELETE FROM t1\r\n",
         "Error:\nQuery del cannot be read (The statement returns no rows.)" + kept},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args;
        if (!c.list.empty()) {
            args = agent_server_args(
                {"--src=vka_m0chk", "--dest=vka_m0chk", "--mode=0", "--tab_file=" + dir.write("list.txt", c.list)});
        } else {
            args = {"--profile=" + write_profile(dir, "run.vek", {dbs.name(), dbs.name(), "mode=0\r\n", c.selected})};
        }
        const agent_result r = run_agent(args);
        EXPECT_EQ(r.status, 255) << show(r);
        EXPECT_EQ(r.out.rfind(c.error, 0), 0u) << show(r);
        EXPECT_TRUE(r.out.ends_with(kept)) << show(r);
        EXPECT_EQ(r.out.find("Converting"), std::string::npos) << show(r);
        ASSERT_TRUE(pg_db_exists(dbs.name()));
        EXPECT_EQ(pg_tables(dbs.name()), std::vector<std::string>{"keep_me"});
        EXPECT_EQ(pg_count(dbs.name(), "keep_me"), 2);
    }
    // The statement that is not a query never ran.
    EXPECT_EQ(dbs.my.query("SELECT count(*) FROM t1"), (db_rows{{"3"}}));

    // With every entry there, mode 0 makes the destination again.
    const agent_result r = run_agent(
        {"--profile=" +
         write_profile(dir, "run.vek", {dbs.name(), dbs.name(), "mode=0\r\n", "t1\r\nok=SELECT id FROM t2\r\n"})});
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_tables(dbs.name()), (std::vector<std::string>{"ok", "t1"}));
    EXPECT_EQ(pg_count(dbs.name(), "ok"), 3);
}

}  // namespace
