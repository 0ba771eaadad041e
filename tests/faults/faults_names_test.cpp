// vekagent with hostile and odd names: tables, columns and databases whose
// names carry quotes, backquotes, backslashes, blanks, dots, "#", "$",
// non-ASCII letters, leading digits, 64 characters, reserved words, names
// that differ only in case and statement text meant to be injected. Each
// converts under its own name or a safe one, every row arrives equal and in
// the right column, and nothing but the selected tables appears.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/test_servers.h"

namespace {

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

// A MySQL source database and a PostgreSQL destination of the given names,
// both made fresh and dropped at the end; each run writes a log file.
class name_dbs : public scratch_dbs {
public:
    name_dbs(const std::string& src, const std::string& dest) : scratch_dbs(src, dest) {}
    ~name_dbs() { std::remove(log_path().c_str()); }

    agent_result run(std::vector<std::string> extra) const {
        extra.insert(extra.begin(), "--logfile=" + log_path());
        return run_agent(agent_args(extra), 120);
    }

    static std::string log_path() { return "/tmp/fnam_" + std::to_string(::getpid()) + ".log"; }
};

// Every table of the destination outside the system schemas, "schema.table".
std::set<std::string> pg_all_tables(const std::string& db) {
    std::set<std::string> names;
    for (const auto& row : pg_query(db, "SELECT table_schema, table_name FROM information_schema.tables "
                                        "WHERE table_schema NOT IN ('pg_catalog', 'information_schema')"))
        names.insert(*row[0] + "." + *row[1]);
    return names;
}

// Columns of public.<table> in their order.
std::vector<std::string> pg_columns(const std::string& db, const std::string& table) {
    std::vector<std::string> names;
    for (const auto& row : pg_query(db, "SELECT column_name FROM information_schema.columns WHERE table_schema = "
                                        "'public' AND table_name = " +
                                            pg_literal(table) + " ORDER BY ordinal_position"))
        names.push_back(*row[0]);
    return names;
}

std::string rep(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::string l64(char fill, const std::string& tail) { return std::string(64 - tail.size(), fill) + tail; }

// A source table name and the name it must have in PostgreSQL (as the
// catalogue spells it).
struct name_case {
    std::string source;
    std::string dest;
};

const std::vector<name_case>& table_cases() {
    static const std::vector<name_case> cases = {
        {"it's", "it_s"},
        {"back`tick", "back_tick"},
        {"dq\"name", "dq_name"},
        {"back\\slash", "back_slash"},
        {"with blank", "with_blank"},
        {" lead", "a_lead"},
        {"dot.ted", "dot_ted"},
        {"hash#x", "hash#x"},
        {"dollar$", "dollar$"},
        {"\xE2\x9A\xA1zap", "a_zap"},  // U+26A1, a symbol
        {"\xD1\x82\xD0\xB0\xD0\xB1\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0",
         "\xD1\x82\xD0\xB0\xD0\xB1\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0"},
        {"\xC3\x9Cn\xC3\xAF"
         "C\xC3\xB6"
         "d\xC3\xA9",
         "\xC3\x9Cn\xC3\xAF"
         "c\xC3\xB6"
         "d\xC3\xA9"},
        {rep("\xD1\x8F", 40), rep("\xD1\x8F", 29)},          // 40 two-byte letters
        {rep("\xE8\xA1\xA8", 30), rep("\xE8\xA1\xA8", 21)},  // 90 bytes
        {"1st", "a1st00000"},
        {"A1st", "a1st"},
        {l64('q', "one"), std::string(29, 'q')},
        {l64('q', "two"), std::string(24, 'q') + "00000"},
        {"select", "select"},
        {"order", "order"},
        {"user", "user"},
        {"offset", "offset"},
        {"Mixed", "mixed"},
        {"mixed", "mixed00000"},
        {"a b", "a_b00000"},
        {"a_b", "a_b"},
        {"x\"; DROP TABLE victim; --", "x___drop_table_victim____"},
        {"x'; DROP TABLE victim; --", "x___drop_table_victim____00000"},
        {"x`; DROP TABLE victim; --", "x___drop_table_victim____00001"},
        {"x\\\"; DROP TABLE pg_victim; --", "x____drop_table_pg_victim____"},
        {"pct%s%n%x", "pct_s_n_x"},
        {"[x]", "a_x_"},
        {"tab\there", "tab_here"},
        {"new\nline", "new_line"},
        {"victim", "victim"},
    };
    return cases;
}

void make_table(mysql_admin& my, const std::string& name) {
    my.exec("CREATE TABLE " + mysql_ident(name) + " (id INT PRIMARY KEY, v VARCHAR(100)) CHARACTER SET utf8mb4");
    my.exec("INSERT INTO " + mysql_ident(name) + " VALUES (1, '" + my.escape(name) +
            "'), (2, NULL), (3, 'a\\tb\\\\c''d')");
}

void expect_rows_equal(name_dbs& dbs, const std::string& source, const std::string& dest) {
    const db_rows want = dbs.my.query("SELECT id, v FROM " + mysql_ident(source) + " ORDER BY id");
    const db_rows got = pg_query(dbs.dest(), "SELECT id, v FROM public." + pg_quote_ident(dest) + " ORDER BY id");
    EXPECT_EQ(want, got) << source << " -> " << dest;
    EXPECT_EQ(want.size(), 3u) << source;
}

}  // namespace

// Every table of a full run arrives under its own or its safe name with all
// its rows; the tables that the injected text names are untouched, and no
// other object appears.
TEST(FaultsNames, hostile_table_names_convert_under_safe_names) {
    name_dbs dbs("fnam_tables", "fnam_tables");
    for (const name_case& c : table_cases()) make_table(dbs.my, c.source);
    pg_exec(dbs.dest(), "CREATE TABLE pg_victim (k INT); INSERT INTO pg_victim VALUES (7)");

    // Overwrite existing tables only: the destination's own table stays.
    const agent_result r = dbs.run({"--mode=1"});
    ASSERT_EQ(r.status, 0) << show(r);

    std::set<std::string> want = {"public.pg_victim"};
    for (const name_case& c : table_cases()) {
        EXPECT_TRUE(want.insert("public." + c.dest).second) << "two tables meet on " << c.dest;
        // The console shows a tab or a line feed of a name escaped.
        std::string shown;
        for (const char ch : c.source) shown += ch == '\t' ? "\\t" : ch == '\n' ? "\\n" : std::string(1, ch);
        EXPECT_NE(r.out.find("Converting table " + shown + "(3 records)\n"), std::string::npos) << c.source;
    }
    EXPECT_EQ(pg_all_tables(dbs.dest()), want);
    for (const name_case& c : table_cases()) expect_rows_equal(dbs, c.source, c.dest);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT k FROM pg_victim"), (db_rows{{db_cell("7")}}));
    EXPECT_EQ(dbs.my.query("SELECT COUNT(*) FROM victim"), (db_rows{{db_cell("3")}}));

    // A second run over the same destination replaces what the first made.
    const agent_result again = dbs.run({"--mode=0"});
    ASSERT_EQ(again.status, 0) << show(again);
    want.erase("public.pg_victim");
    EXPECT_EQ(pg_all_tables(dbs.dest()), want);
    for (const name_case& c : table_cases()) expect_rows_equal(dbs, c.source, c.dest);
}

// Column names are quoted in CREATE TABLE, renamed where PostgreSQL would
// not take them, and COPY fills each in the source's order.
TEST(FaultsNames, hostile_column_names_keep_their_values) {
    name_dbs dbs("fnam_cols", "fnam_cols");
    const std::vector<name_case> cols = {
        {"id", "id"},
        {"it's", "it_s"},
        {"b`q", "b_q"},
        {"d\"q", "d_q"},
        {"b\\s", "b_s"},
        {"with blank", "with_blank00000"},
        {"with_blank", "with_blank"},
        {"dot.ted", "dot_ted"},
        {"h#", "h#"},
        {"d$", "d$"},
        {"\xE2\x9A\xA1", "A_"},
        {"\xC3\x9C"
         "ber",
         "\xC3\x9C"
         "ber"},
        {"1st", "A1st"},
        {l64('c', "1"), std::string(29, 'c')},
        {l64('c', "2"), std::string(24, 'c') + "00000"},
        {"select", "select"},
        {"user", "user"},
        {"Mixed", "Mixed"},
        {"x\"; DROP TABLE victim; --", "x___DROP_TABLE_victim____"},
        {"pct%s%n", "pct_s_n"},
    };
    std::string create = "CREATE TABLE `t` (";
    std::string row1 = "INSERT INTO `t` VALUES (", row2 = "(";
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const std::string sep = i ? ", " : "";
        create += sep + mysql_ident(cols[i].source) + (i ? " VARCHAR(20)" : " INT PRIMARY KEY");
        row1 += sep + (i ? "'r1c" + std::to_string(i) + "'" : "1");
        row2 += sep + (i ? (i % 3 ? "'r2c" + std::to_string(i) + "'" : "NULL") : "2");
    }
    dbs.my.exec(create + ")");
    dbs.my.exec(row1 + "), " + row2 + ")");
    dbs.my.exec("CREATE TABLE victim (k INT)");
    dbs.my.exec("INSERT INTO victim VALUES (1)");

    const agent_result r = dbs.run({"--mode=0"});
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_all_tables(dbs.dest()), (std::set<std::string>{"public.t", "public.victim"}));

    std::vector<std::string> want_names;
    for (const name_case& c : cols) want_names.push_back(c.dest);
    EXPECT_EQ(pg_columns(dbs.dest(), "t"), want_names);

    // Column by column, by position: each value in the column it came from.
    std::string select;
    for (const name_case& c : cols) select += (select.empty() ? "" : ", ") + pg_quote_ident(c.dest);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT " + select + " FROM t ORDER BY 1"),
              dbs.my.query("SELECT * FROM `t` ORDER BY 1"));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT k FROM victim"), (db_rows{{db_cell("1")}}));
}

// The table-list file names hostile tables exactly (UTF-8 with its mark):
// those and only those arrive, each in the table a run over the whole source
// gives it; a name that differs only in case from a source table, or names
// none, is reported and the run fails.
TEST(FaultsNames, tab_file_with_hostile_names) {
    name_dbs dbs("fnam_tabf", "fnam_tabf");
    for (const name_case& c : table_cases())
        if (c.source.find('\n') == std::string::npos) make_table(dbs.my, c.source);

    const std::vector<name_case> picked = {
        {"x\"; DROP TABLE victim; --", "x___drop_table_victim____"},
        {"mixed", "mixed00000"},  // "Mixed" comes first
        {" lead", "a_lead"},
        {"tab\there", "tab_here"},
        {"it's", "it_s"},
        {"[x]", "a_x_"},
        {"\xC3\x9Cn\xC3\xAF"
         "C\xC3\xB6"
         "d\xC3\xA9",
         "\xC3\x9Cn\xC3\xAF"
         "c\xC3\xB6"
         "d\xC3\xA9"},
        {l64('q', "two"), std::string(24, 'q') + "00000"},  // the cut name is the first one's
    };
    const std::string file = "/tmp/fnam_tabf_" + std::to_string(::getpid()) + ".txt";
    {
        std::string text = "\xEF\xBB\xBF";
        for (const name_case& c : picked) text += c.source + "\r\n";
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    const agent_result r = dbs.run({"--mode=0", "--tab_file=" + file});
    ASSERT_EQ(r.status, 0) << show(r);
    std::set<std::string> want;
    for (const name_case& c : picked) want.insert("public." + c.dest);
    EXPECT_EQ(pg_all_tables(dbs.dest()), want);
    for (const name_case& c : picked) expect_rows_equal(dbs, c.source, c.dest);

    // Names that are not source tables as written.
    for (const std::string& wrong : {std::string("MIXED"), std::string("VICTIM"), std::string("it''s")}) {
        {
            FILE* f = std::fopen(file.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            const std::string text = "victim\n" + wrong + "\n";
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
        const agent_result bad = dbs.run({"--mode=0", "--tab_file=" + file});
        EXPECT_EQ(bad.status, 255) << wrong << "\n" << show(bad);
        // Where the source's names matched ignoring case, a name that
        // differs only in case would reach the server, which refuses it;
        // either way mode 0 finds it before it drops anything.
        const bool reported = bad.out.find("Error:\nTable " + wrong + " not exists: the destination database " +
                                           dbs.dest() + " is left as it is.\n") != std::string::npos ||
                              bad.out.find("Error:\n" + wrong + ": Table '" + dbs.src() + "." + wrong +
                                           "' doesn't exist") != std::string::npos;
        EXPECT_TRUE(reported) << wrong << "\n" << show(bad);
        EXPECT_EQ(pg_all_tables(dbs.dest()), want) << wrong;
        for (const name_case& c : picked) expect_rows_equal(dbs, c.source, c.dest);
    }
    std::remove(file.c_str());
}

// Database names with quotes, backslashes, blanks and text meant for the
// connection string. The destination is named folded to lower case (as an
// unquoted name); mode 0 drops and makes it again under that name only.
TEST(FaultsNames, hostile_database_names) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"fnam Src \"q' b\\s`x", "fnam dst \"q' b\\s"},
        {"fnam_inj' dbname='postgres", "fnam_inj' dbname='postgres"},
        {"FnamMixed", "fnammixed"},
    };
    for (const auto& [src, dest] : pairs) {
        name_dbs dbs(src, dest);
        make_table(dbs.my, "t");
        make_table(dbs.my, "with blank");
        for (const char* mode : {"--mode=0", "--mode=1"}) {
            const agent_result r = dbs.run({mode});
            ASSERT_EQ(r.status, 0) << src << " " << mode << "\n" << show(r);
            EXPECT_NE(r.out.find("Converting database " + src + "(2 tables)"), std::string::npos) << show(r);
            EXPECT_EQ(pg_all_tables(dest), (std::set<std::string>{"public.t", "public.with_blank"})) << src;
            expect_rows_equal(dbs, "t", "t");
            expect_rows_equal(dbs, "with blank", "with_blank");
        }
        EXPECT_TRUE(pg_all_tables("postgres").empty()) << src;
    }
}

// A destination made under a mixed-case quoted name is not the name the
// agent uses: the run is refused before anything is touched.
TEST(FaultsNames, mixed_case_destination_is_refused) {
    name_dbs dbs("fnam_mixsrc", "Fnam Dest");
    make_table(dbs.my, "t");
    pg_exec("Fnam Dest", "CREATE TABLE keep (k INT); INSERT INTO keep VALUES (5)");
    pg_drop_db("fnam dest");

    const agent_result r = dbs.run({"--mode=0"});
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE((r.out + r.err).find("Database 'Fnam Dest' does not exist"), std::string::npos) << show(r);
    EXPECT_FALSE(pg_db_exists("fnam dest"));
    EXPECT_EQ(pg_query("Fnam Dest", "SELECT k FROM keep"), (db_rows{{db_cell("5")}}));
}

// Later runs find the tables under the same safe names: skipping leaves
// them alone, merging appends to them, and a table that no longer conforms
// is reported under its source name while the others merge.
TEST(FaultsNames, later_runs_meet_the_safe_names) {
    name_dbs dbs("fnam_rerun", "fnam_rerun");
    const std::vector<name_case> cases = {
        {"with blank", "with_blank"}, {"x\"; DROP TABLE victim; --", "x___drop_table_victim____"},
        {"pct%s%n", "pct_s_n"},       {"Mixed", "mixed"},
        {"mixed", "mixed00000"},      {"victim", "victim"},
    };
    for (const name_case& c : cases) make_table(dbs.my, c.source);
    std::set<std::string> want;
    for (const name_case& c : cases) want.insert("public." + c.dest);

    agent_result r = dbs.run({"--mode=0"});
    ASSERT_EQ(r.status, 0) << show(r);
    r = dbs.run({"--mode=2"});
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_all_tables(dbs.dest()), want);
    for (const name_case& c : cases) expect_rows_equal(dbs, c.source, c.dest);

    pg_exec(dbs.dest(), "ALTER TABLE pct_s_n DROP COLUMN v");
    r = dbs.run({"--mode=3"});
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(r.out.find("Error:\npct%s%n: The structure of data source does not conform to the destination table."),
              std::string::npos)
        << show(r);
    EXPECT_EQ(pg_all_tables(dbs.dest()), want);
    for (const name_case& c : cases) {
        const db_rows n = pg_query(dbs.dest(), "SELECT COUNT(*) FROM " + pg_quote_ident(c.dest));
        EXPECT_EQ(n, (db_rows{{db_cell(c.source == "pct%s%n" ? "3" : "6")}})) << c.source;
    }
}

// Column names PostgreSQL keeps for its system columns cannot be created:
// those columns get safe names and every value arrives in its column.
TEST(FaultsNames, system_column_names_get_safe_names) {
    name_dbs dbs("fnam_syscol", "fnam_syscol");
    dbs.my.exec("CREATE TABLE sys (id INT, xmin INT, xmax INT, cmin INT, cmax INT, ctid VARCHAR(5), "
                "tableoid INT, XMIN00000 INT)");
    dbs.my.exec("INSERT INTO sys VALUES (1, 2, 3, 4, 5, 'c', 6, 7), (2, NULL, -1, 0, 9, '', 10, 11)");
    make_table(dbs.my, "victim");

    const agent_result r = dbs.run({"--mode=0"});
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_columns(dbs.dest(), "sys"),
              (std::vector<std::string>{"id", "xmin00001", "xmax00000", "cmin00000", "cmax00000", "ctid00000",
                                        "tableoid00000", "XMIN00000"}));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, xmin00001, xmax00000, cmin00000, cmax00000, ctid00000, "
                                   "tableoid00000, \"XMIN00000\" FROM sys ORDER BY id"),
              dbs.my.query("SELECT * FROM sys ORDER BY id"));
    EXPECT_EQ(pg_all_tables(dbs.dest()), (std::set<std::string>{"public.sys", "public.victim"}));
    expect_rows_equal(dbs, "victim", "victim");
}

// A profile's selection names hostile tables the same way.
TEST(FaultsNames, profile_selection_with_hostile_names) {
    name_dbs dbs("fnam_prof", "fnam_prof");
    const std::vector<name_case> picked = {
        {"it's", "it_s"},
        {"with blank", "with_blank"},
        {"x\"; DROP TABLE victim; --", "x___drop_table_victim____"},
        {"\xC3\x9Cn\xC3\xAF"
         "C\xC3\xB6"
         "d\xC3\xA9",
         "\xC3\x9Cn\xC3\xAF"
         "c\xC3\xB6"
         "d\xC3\xA9"},
        {"pct%s%n", "pct_s_n"},
    };
    for (const name_case& c : picked) make_table(dbs.my, c.source);
    make_table(dbs.my, "victim");

    const server_address my = mysql_test_server();
    const server_address pg = pg_test_server();
    std::string text = "[Generic settings]\r\nsrc=" + dbs.src() + "\r\ndest=" + dbs.dest() +
                       "\r\nmode=0\r\n"
                       "[MySQL settings]\r\nhost=" +
                       my.host + "\r\nuser=" + my.user + "\r\npassword=" + my.password +
                       "\r\nport=" + std::to_string(my.port) + "\r\n[pgs settings]\r\nhost=" + pg.host +
                       "\r\nuser=" + pg.user + "\r\npassword=" + pg.password + "\r\n[Selected Tables]\r\n";
    for (const name_case& c : picked) text += c.source + "\r\n";
    const std::string file = "/tmp/fnam_prof_" + std::to_string(::getpid()) + ".vek";
    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);

    setenv("PGPORT", std::to_string(pg.port).c_str(), 1);
    const agent_result r = run_agent({"--profile=" + file}, 120);
    unsetenv("PGPORT");
    std::remove(file.c_str());
    ASSERT_EQ(r.status, 0) << show(r);
    std::set<std::string> want;
    for (const name_case& c : picked) want.insert("public." + c.dest);
    EXPECT_EQ(pg_all_tables(dbs.dest()), want);
    for (const name_case& c : picked) expect_rows_equal(dbs, c.source, c.dest);
}
