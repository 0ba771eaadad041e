// vekagent against MariaDB servers set up otherwise than the defaults: table
// names kept in lower case (lower_case_table_names=1), and a global sql_mode
// that pads CHAR values and changes how quotes and backslashes read. Each
// test starts a server pair of its own with those options.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/own_servers.h"
#include "support/test_servers.h"

namespace {

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

std::string write_tab_file(const std::string& label, const std::string& text) {
    const std::string file = "/tmp/fset_" + label + "_" + std::to_string(::getpid()) + ".txt";
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return file;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return file;
}

// The destination's tables with the source each records.
db_rows tables_and_sources(const std::string& db) {
    return pg_query(db, "SELECT c.relname::text, obj_description(c.oid, 'pg_class') FROM pg_class c JOIN "
                        "pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'public' AND c.relkind = 'r' "
                        "ORDER BY 1");
}

}  // namespace

// The server keeps and lists table names in lower case: a table listed as
// MixedCase and as MIXEDCASE is its one table mixedcase, copied once under
// that name and recorded as its source under it, so that a later run finds
// that copy rather than making a second one.
TEST(FaultsSettings, listed_names_are_the_servers_own_names) {
    own_servers servers("--lower-case-table-names=1");
    scratch_dbs dbs("fset_names");
    dbs.my.exec("CREATE TABLE MixedCase (id INT PRIMARY KEY, v VARCHAR(20))");
    dbs.my.exec("INSERT INTO MixedCase VALUES (1, 'one'), (2, 'two')");
    dbs.my.exec("CREATE TABLE other (id INT)");
    const std::string file = write_tab_file("names", "MixedCase\nMIXEDCASE\n");

    const db_rows want = {{"mixedcase", "vek source table: mixedcase"}};
    for (const char* mode : {"--mode=0", "--mode=3", "--mode=1"}) {
        SCOPED_TRACE(mode);
        const agent_result r = run_agent(dbs.agent_args({mode, "--tab_file=" + file}), 120);
        EXPECT_EQ(r.status, 0) << show(r);
        EXPECT_EQ(tables_and_sources(dbs.dest()), want) << show(r);
        // Merged in mode 3: the rows twice, in one table.
        EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*)::text FROM mixedcase")[0][0],
                  std::string(mode) == "--mode=3" ? "4" : "2");
    }
    std::remove(file.c_str());
}

// PAD_CHAR_TO_FULL_LENGTH in the server's sql_mode would hand every CHAR
// value and default padded with blanks to the column's length; ANSI_QUOTES
// and NO_BACKSLASH_ESCAPES change how the statements read. The values and
// defaults arrive as stored.
TEST(FaultsSettings, values_arrive_as_stored_whatever_the_servers_sql_mode) {
    own_servers servers("--sql-mode=PAD_CHAR_TO_FULL_LENGTH,ANSI_QUOTES,NO_BACKSLASH_ESCAPES");
    scratch_dbs dbs("fset_mode");
    ASSERT_NE(dbs.my.query("SELECT @@GLOBAL.sql_mode")[0][0]->find("PAD_CHAR_TO_FULL_LENGTH"), std::string::npos);
    dbs.my.exec("CREATE TABLE pads (id INT PRIMARY KEY, c CHAR(10) NOT NULL DEFAULT 'ab', e CHAR(4), "
                "q CHAR(12) DEFAULT 'it''s \\ \"x\"', v VARCHAR(10))");
    dbs.my.exec("INSERT INTO pads VALUES (1, 'x', '', 'a\\b''c\"d', 'y  '), (2, DEFAULT, NULL, DEFAULT, NULL)");
    const std::string file = write_tab_file("mode", "pads\n");

    const agent_result r = run_agent(dbs.agent_args({"--mode=0", "--tab_file=" + file}), 120);
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id::text, c::text, octet_length(c::text)::text, e::text, q::text, "
                                   "v::text FROM pads ORDER BY id"),
              (db_rows{{"1", "x", "1", "", "a\\b'c\"d", "y  "}, {"2", "ab", "2", std::nullopt, "it's \\ \"x\"", {}}}));
    const db_rows defaults = pg_query(dbs.dest(), "SELECT column_name::text, column_default::text FROM "
                                                  "information_schema.columns WHERE table_name = 'pads' AND "
                                                  "column_name IN ('c', 'q') ORDER BY 1");
    ASSERT_EQ(defaults.size(), 2u);
    EXPECT_EQ(defaults[0][1].value_or("").rfind("'ab'", 0), 0u) << defaults[0][1].value_or("NULL");
    EXPECT_EQ(defaults[1][1].value_or("").rfind("'it''s \\ \"x\"'", 0), 0u) << defaults[1][1].value_or("NULL");
    std::remove(file.c_str());
}
