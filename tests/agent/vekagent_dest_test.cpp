// End-to-end: vekagent and a destination that already holds tables: merging
// into them, the names tables get whatever is selected, two runs into one
// destination at once, a table another session holds, a destination that
// mode 0 could not create again, and a server without the postgres database.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <pqxx/pqxx>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/own_servers.h"
#include "support/test_servers.h"

namespace {

using clock_type = std::chrono::steady_clock;

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

const std::string not_conforming = "The structure of data source does not conform to the destination table.";

db_cell cell(const char* text) { return text ? db_cell(text) : db_cell(); }

bool pg_has_table(const std::string& db, const std::string& table) {
    return !pg_query(db, "SELECT 1 FROM pg_tables WHERE schemaname = 'public' AND tablename = '" + table + "'").empty();
}

long long pg_count(const std::string& db, const std::string& table) {
    return std::stoll(*pg_query(db, "SELECT count(*) FROM " + pg_quote_ident(table))[0][0]);
}

// A table-list file of these names, removed with the object.
class table_list {
public:
    explicit table_list(const std::vector<std::string>& names)
        : m_path("/tmp/vkd_tables_" + std::to_string(getpid()) + "_" + std::to_string(++s_count) + ".txt") {
        FILE* f = std::fopen(m_path.c_str(), "wb");
        for (const std::string& n : names) std::fprintf(f, "%s\n", n.c_str());
        std::fclose(f);
    }
    ~table_list() { std::remove(m_path.c_str()); }
    std::string option() const { return "--tab_file=" + m_path; }

private:
    static inline int s_count = 0;
    std::string m_path;
};

// A source table of two rows, each naming the table.
void make_named_rows(mysql_admin& my, const std::string& table) {
    my.exec("CREATE TABLE " + mysql_ident(table) + " (id INT PRIMARY KEY, src VARCHAR(100)) CHARACTER SET utf8mb4");
    const std::string name = "'" + my.escape(table) + "'";
    my.exec("INSERT INTO " + mysql_ident(table) + " VALUES (1, " + name + "), (2, " + name + ")");
}

// What make_named_rows put in a table, `copies` times over.
db_rows named_rows(const std::string& table, int copies = 1) {
    db_rows rows;
    for (const char* id : {"1", "2"})
        for (int i = 0; i < copies; ++i) rows.push_back({db_cell(id), db_cell(table)});
    return rows;
}

db_rows dest_rows(const std::string& db, const std::string& table) {
    return pg_query(db, "SELECT id, src FROM " + pg_quote_ident(table) + " ORDER BY id, src");
}

std::set<std::string> dest_tables(const std::string& db) {
    const std::vector<std::string> names = pg_tables(db);
    return {names.begin(), names.end()};
}

// The comment of public.<table>, empty when it has none.
std::string table_comment(const std::string& db, const std::string& table) {
    const db_rows r = pg_query(
        db, "SELECT obj_description(format('%I.%I', 'public', " + pg_literal(table) + ")::regclass, 'pg_class')");
    return r[0][0].value_or("");
}

// True when reading the table waits for another session's transaction.
bool reading_waits(const std::string& db, const std::string& table) {
    try {
        pg_query(db, "SET lock_timeout = '300ms'; SELECT count(*) FROM " + pg_quote_ident(table));
        return false;
    } catch (const std::exception& e) {
        return std::string(e.what()).find("lock timeout") != std::string::npos;
    }
}

// True when the run comes to wait for a lock in the database before it ends.
bool waits_for_lock(const agent_process& run, const std::string& db) {
    const bool waited = wait_until(
        [&] {
            return run.finished() || !pg_query("postgres", "SELECT 1 FROM pg_stat_activity WHERE datname = '" + db +
                                                               "' AND wait_event_type = 'Lock'")
                                          .empty();
        },
        std::chrono::seconds(60));
    return waited && !run.finished();
}

// ---------------------------------------------------------------- merging

// The destination has the source's columns in another order (one spelled in
// capitals): each value lands in the column of its name. Mode 4 pairs by name
// too, so there a destination column the source lacks gets its default.
TEST(VekagentDest, merge_pairs_columns_by_name) {
    scratch_dbs dbs("vkd_merge_names");
    dbs.my.exec("CREATE TABLE t (id INT PRIMARY KEY, a VARCHAR(10), b VARCHAR(10))");
    dbs.my.exec("INSERT INTO t VALUES (1,'a1','b1'),(2,'a2',NULL)");
    pg_exec(dbs.dest(), "CREATE TABLE t (id integer, b varchar(10), \"A\" varchar(10))");
    const db_rows want = {{cell("1"), cell("a1"), cell("b1")}, {cell("2"), cell("a2"), cell(nullptr)}};

    agent_result r = run_agent(dbs.agent_args({"--mode=3"}));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, \"A\", b FROM t ORDER BY id"), want);

    pg_exec(dbs.dest(), "DELETE FROM t; ALTER TABLE t ADD COLUMN note text DEFAULT 'kept'");
    r = run_agent(dbs.agent_args({"--mode=4"}));
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, \"A\", b FROM t ORDER BY id"), want);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT DISTINCT note FROM t"), (db_rows{{cell("kept")}}));
}

struct domain_case {
    const char* label;
    const char* mysql_type;
    const char* value;
    const char* pg_type;
    bool refused;  // the values would change on the way
};

// Each source column merged into a destination column of a close type: where
// the destination would round or cut the value the table is refused and left
// as it was; the others are appended.
TEST(VekagentDest, merge_refuses_a_destination_that_would_change_values) {
    const domain_case cases[] = {
        {"dec_scale", "DECIMAL(10,2)", "'12.34'", "numeric(10,1)", true},
        {"dec_digits", "DECIMAL(10,2)", "'12345678.90'", "numeric(9,2)", true},
        {"dec_wider", "DECIMAL(10,2)", "'12345678.90'", "numeric(12,3)", false},
        {"dec_any", "DECIMAL(10,2)", "'12.34'", "numeric", false},
        {"int_numeric", "INT", "2000000000", "numeric(5)", true},
        {"double_real", "DOUBLE", "0.1", "real", true},
        {"bigint_double", "BIGINT", "9007199254740993", "double precision", true},
        {"float_double", "FLOAT", "0.5", "double precision", false},
        {"dt6_ts3", "DATETIME(6)", "'2021-01-02 03:04:05.123456'", "timestamp(3)", true},
        {"dt_ts0", "DATETIME", "'2021-01-02 03:04:05'", "timestamp(0)", false},
        {"dt_date", "DATETIME", "'2021-01-02 03:04:05'", "date", true},
        {"dt_time", "DATETIME", "'2021-01-02 03:04:05'", "time", true},
        {"time3_time0", "TIME(3)", "'10:00:00.125'", "time(0)", true},
        {"date_ts", "DATE", "'2021-01-02'", "timestamp", false},
    };
    scratch_dbs dbs("vkd_merge_domains");
    for (const domain_case& c : cases) {
        const std::string table = std::string("c_") + c.label;
        dbs.my.exec("CREATE TABLE " + table + " (id INT PRIMARY KEY, v " + c.mysql_type + ")");
        dbs.my.exec("INSERT INTO " + table + " VALUES (1, " + c.value + ")");
        pg_exec(dbs.dest(), "CREATE TABLE " + table + " (id integer, v " + c.pg_type + ")");
    }
    const agent_result r = run_agent(dbs.agent_args({"--mode=3"}));
    EXPECT_EQ(r.status, 255) << show(r);
    for (const domain_case& c : cases) {
        const std::string table = std::string("c_") + c.label;
        const bool reported = r.out.find("Error:\n" + table + ": " + not_conforming) != std::string::npos;
        EXPECT_EQ(reported, c.refused) << table << "\n" << show(r);
        EXPECT_EQ(pg_count(dbs.dest(), table), c.refused ? 0 : 1) << table;
    }
}

// ---------------------------------------------------------------- names

// Two source tables share their first 29 characters: the first in name order
// gets the cut name, the second a counter form, in a full run and when only
// the second is converted, so converting it alone never replaces the first.
TEST(VekagentDest, a_table_keeps_its_destination_name_whatever_else_is_selected) {
    scratch_dbs dbs("vkd_names_cut");
    const std::string first = "customer_order_line_item_hist_2023";
    const std::string second = "customer_order_line_item_hist_2024";
    for (const std::string& t : {first, second}) {
        dbs.my.exec("CREATE TABLE " + t + " (id INT PRIMARY KEY, src VARCHAR(40))");
        dbs.my.exec("INSERT INTO " + t + " VALUES (1, '" + t + "'), (2, '" + t + "')");
    }
    const std::string cut = "customer_order_line_item_hist";
    const std::string counted = "customer_order_line_item00000";

    agent_result r = run_agent(dbs.agent_args({"--mode=1"}));
    ASSERT_EQ(r.status, 0) << show(r);
    const db_rows first_rows = {{cell("1"), cell(first.c_str())}, {cell("2"), cell(first.c_str())}};
    const db_rows second_rows = {{cell("1"), cell(second.c_str())}, {cell("2"), cell(second.c_str())}};
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, src FROM " + cut + " ORDER BY id"), first_rows);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, src FROM " + counted + " ORDER BY id"), second_rows);

    const table_list only_second({second});
    r = run_agent(dbs.agent_args({"--mode=1", only_second.option()}));
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, src FROM " + cut + " ORDER BY id"), first_rows);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, src FROM " + counted + " ORDER BY id"), second_rows);
}

// order-items and order_items meet on one safe name; merging only order-items
// appends into its own copy, never into that of order_items.
TEST(VekagentDest, merging_one_table_appends_into_its_own_copy) {
    scratch_dbs dbs("vkd_names_merge");
    for (const char* t : {"order-items", "order_items"}) {
        dbs.my.exec(std::string("CREATE TABLE `") + t + "` (id INT PRIMARY KEY, src VARCHAR(20))");
        dbs.my.exec(std::string("INSERT INTO `") + t + "` VALUES (1, '" + t + "')");
    }
    agent_result r = run_agent(dbs.agent_args({"--mode=1"}));
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT src FROM order_items00000"), (db_rows{{cell("order-items")}}));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT src FROM order_items"), (db_rows{{cell("order_items")}}));

    dbs.my.exec("UPDATE `order-items` SET id = 2");
    const table_list only_dashed({"order-items"});
    r = run_agent(dbs.agent_args({"--mode=3", only_dashed.option()}));
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, src FROM order_items00000 ORDER BY id"),
              (db_rows{{cell("1"), cell("order-items")}, {cell("2"), cell("order-items")}}));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, src FROM order_items"), (db_rows{{cell("1"), cell("order_items")}}));
}

// Source tables added after a first run, each of which a fresh run would give
// the name of a table already converted: cut at 30 characters, cut at 63
// bytes, or the same name but for case. In modes 1, 2 and 3 each table
// converted first keeps its table and only its own rows land there; the added
// one's rows all arrive, in a table of their own.
TEST(VekagentDest, an_added_table_never_takes_the_table_of_another) {
    struct added_case {
        std::string kept;       // converted by the first run
        std::string added;      // added to the source before the second
        std::string kept_dest;  // where the first run puts `kept`
    };
    std::string han25, han21;  // a three-byte letter
    for (int i = 0; i < 25; ++i) han25 += "\xE8\xA1\xA8";
    for (int i = 0; i < 21; ++i) han21 += "\xE8\xA1\xA8";
    const std::vector<added_case> cases = {
        {"customer_order_history_archive_2023", "customer_order_history_archive_2022", "customer_order_history_archiv"},
        {han25 + "2023", han25 + "2022", han21},
        {"case", "CASE", "case"},
    };
    for (const char digit : {'1', '2', '3'}) {
        const std::string mode = std::string("--mode=") + digit;
        scratch_dbs dbs(std::string("vkd_names_added_") + digit);
        std::set<std::string> first_tables;
        for (const added_case& c : cases) {
            make_named_rows(dbs.my, c.kept);
            first_tables.insert(c.kept_dest);
        }
        agent_result r = run_agent(dbs.agent_args({mode}));
        ASSERT_EQ(r.status, 0) << mode << "\n" << show(r);
        ASSERT_EQ(dest_tables(dbs.dest()), first_tables) << mode;

        for (const added_case& c : cases) make_named_rows(dbs.my, c.added);
        r = run_agent(dbs.agent_args({mode}));
        EXPECT_EQ(r.status, 0) << mode << "\n" << show(r);
        const std::set<std::string> tables = dest_tables(dbs.dest());
        EXPECT_EQ(tables.size(), 2 * cases.size()) << mode;
        for (const added_case& c : cases) {
            // Merging appends the rows again, into the table's own copy.
            EXPECT_EQ(dest_rows(dbs.dest(), c.kept_dest), named_rows(c.kept, digit == '3' ? 2 : 1))
                << mode << " " << c.kept;
            EXPECT_EQ(table_comment(dbs.dest(), c.kept_dest), "vek source table: " + c.kept) << mode;
            int holders = 0;
            for (const std::string& t : tables)
                if (!first_tables.count(t) && dest_rows(dbs.dest(), t) == named_rows(c.added)) {
                    ++holders;
                    EXPECT_EQ(table_comment(dbs.dest(), t), "vek source table: " + c.added) << mode;
                }
            EXPECT_EQ(holders, 1) << mode << " " << c.added;
        }
    }
}

// A destination made before tables recorded their sources: under a name made
// for a table (cut or counted) another table's rows may lie, so skipping it or
// appending to it is refused and reported; a table of the source's own name
// is met as before.
TEST(VekagentDest, a_made_name_without_a_recorded_source_is_neither_skipped_nor_merged) {
    const std::string cut = "customer_order_history_archiv";
    const std::string first = "customer_order_history_archive_2023";
    const std::string added = "customer_order_history_archive_2022";
    for (const char digit : {'2', '3', '4'}) {
        const std::string mode = std::string("--mode=") + digit;
        scratch_dbs dbs(std::string("vkd_names_unrecorded_") + digit);
        make_named_rows(dbs.my, first);
        make_named_rows(dbs.my, "plain");
        agent_result r = run_agent(dbs.agent_args({"--mode=1"}));
        ASSERT_EQ(r.status, 0) << show(r);
        pg_exec(dbs.dest(), "COMMENT ON TABLE " + cut + " IS NULL; COMMENT ON TABLE plain IS NULL");

        make_named_rows(dbs.my, added);  // a fresh run would give it the cut name
        r = run_agent(dbs.agent_args({mode}));
        EXPECT_EQ(r.status, 255) << mode << "\n" << show(r);
        EXPECT_NE(r.out.find("Error:\n" + added + ": The destination table " + cut +
                             " has a generated name and records no source: whose rows it holds cannot be told, so "
                             "it is left as it is."),
                  std::string::npos)
            << mode << "\n"
            << show(r);
        EXPECT_EQ(dest_rows(dbs.dest(), cut), named_rows(first)) << mode;
        EXPECT_EQ(dest_rows(dbs.dest(), "plain"), named_rows("plain", digit == '2' ? 1 : 2)) << mode;
    }
}

// ---------------------------------------------------------------- two runs at once

// The first run is held (SIGSTOP) in the middle of its COPY: the table it
// replaces is still the one in the catalogue and a reader waits for the new
// one instead of seeing part of it; the table it has not reached does not
// exist. A second run started then waits for the first, and each table ends
// up holding its rows once.
TEST(VekagentDest, a_second_run_waits_for_the_first_and_nobody_sees_a_table_half_made) {
    scratch_dbs dbs("vkd_two_runs");
    const int big = 300000;
    dbs.my.exec("CREATE TABLE a_big (id INT PRIMARY KEY, s VARCHAR(40) NOT NULL)");
    dbs.my.exec("INSERT INTO a_big SELECT seq, CONCAT('row-', seq) FROM seq_1_to_" + std::to_string(big));
    dbs.my.exec("CREATE TABLE b_small (id INT PRIMARY KEY)");
    dbs.my.exec("INSERT INTO b_small SELECT seq FROM seq_1_to_10");
    pg_exec(dbs.dest(), "CREATE TABLE a_big (id integer, s varchar(40)); INSERT INTO a_big VALUES (-1, 'old')");
    const std::string oid_of_a_big = "SELECT 'a_big'::regclass::oid";
    const db_rows old_table = pg_query(dbs.dest(), oid_of_a_big);

    agent_process first(dbs.agent_args({"--mode=1"}), 300);
    ASSERT_TRUE(wait_until(
        [&] {
            return first.finished() ||
                   !pg_query("postgres",
                             "SELECT 1 FROM pg_stat_progress_copy p JOIN pg_stat_activity a ON a.pid = p.pid "
                             "WHERE p.datname = '" +
                                 dbs.dest() + "' AND a.query LIKE '%a_big%' AND p.tuples_processed > 0")
                        .empty();
        },
        std::chrono::seconds(60)));
    ASSERT_FALSE(first.finished()) << show(first.wait());
    kill(first.pid(), SIGSTOP);

    EXPECT_EQ(pg_query(dbs.dest(), oid_of_a_big), old_table);
    EXPECT_TRUE(reading_waits(dbs.dest(), "a_big"));
    EXPECT_FALSE(pg_has_table(dbs.dest(), "b_small"));

    agent_process second(dbs.agent_args({"--mode=1"}), 300);
    EXPECT_TRUE(waits_for_lock(second, dbs.dest())) << "the second run did not wait for the first";
    EXPECT_EQ(pg_query(dbs.dest(), oid_of_a_big), old_table);
    kill(first.pid(), SIGCONT);

    const agent_result r1 = first.wait();
    const agent_result r2 = second.wait();
    EXPECT_EQ(r1.status, 0) << show(r1);
    EXPECT_EQ(r2.status, 0) << show(r2);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*), count(DISTINCT id), min(id), max(id) FROM a_big"),
              (db_rows{{cell(std::to_string(big).c_str()), cell(std::to_string(big).c_str()), cell("1"),
                        cell(std::to_string(big).c_str())}}));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*), count(DISTINCT id) FROM b_small"),
              (db_rows{{cell("10"), cell("10")}}));
}

// Two runs from different sources whose tables meet on one name (Orders and
// orders): the second waits while the first makes the table, then finds it
// made from the other source and leaves it as it is.
TEST(VekagentDest, a_run_leaves_alone_a_table_another_run_made_meanwhile_from_another_source) {
    scratch_dbs other("vkd_meanwhile_b", "vkd_meanwhile", {.create_dest = false});
    scratch_dbs dbs("vkd_meanwhile_a", "vkd_meanwhile");
    const int big = 300000;
    dbs.my.exec("CREATE TABLE Orders (id INT PRIMARY KEY, src VARCHAR(100))");
    dbs.my.exec("INSERT INTO Orders SELECT seq, 'Orders' FROM seq_1_to_" + std::to_string(big));
    make_named_rows(other.my, "orders");

    agent_process first(dbs.agent_args({"--mode=3"}), 300);
    ASSERT_TRUE(wait_until(
        [&] {
            return first.finished() ||
                   !pg_query("postgres", "SELECT 1 FROM pg_stat_progress_copy p WHERE p.datname = '" + dbs.dest() +
                                             "' AND p.tuples_processed > 0")
                        .empty();
        },
        std::chrono::seconds(60)));
    ASSERT_FALSE(first.finished()) << show(first.wait());
    kill(first.pid(), SIGSTOP);

    agent_process second(other.agent_args({"--mode=3"}), 300);
    EXPECT_TRUE(waits_for_lock(second, dbs.dest())) << "the second run did not wait for the first";
    kill(first.pid(), SIGCONT);

    const agent_result r1 = first.wait();
    const agent_result r2 = second.wait();
    EXPECT_EQ(r1.status, 0) << show(r1);
    EXPECT_EQ(r2.status, 255) << show(r2);
    EXPECT_NE(r2.out.find("Error:\norders: The destination table orders was made from the source table Orders: it "
                          "is left as it is."),
              std::string::npos)
        << show(r2);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*), count(DISTINCT id), min(src), max(src) FROM orders"),
              (db_rows{{cell(std::to_string(big).c_str()), cell(std::to_string(big).c_str()), cell("Orders"),
                        cell("Orders")}}));
}

// ---------------------------------------------------------------- a table another session holds

// Another session has read a_held in a transaction it keeps open. The run in
// mode 1 waits for it only a bounded time, then reports the table and leaves
// it as it was, and converts the next table. A reader that comes while the run
// waits (and so queues behind the run's drop) gets through while the holder
// still holds the table.
TEST(VekagentDest, mode_1_leaves_a_table_another_session_holds_and_lets_its_readers_through) {
    scratch_dbs dbs("vkd_held");
    dbs.my.exec("CREATE TABLE a_held (id INT PRIMARY KEY, s VARCHAR(10))");
    dbs.my.exec("INSERT INTO a_held VALUES (1, 'new'), (2, 'new')");
    dbs.my.exec("CREATE TABLE b_free (id INT PRIMARY KEY)");
    dbs.my.exec("INSERT INTO b_free VALUES (1), (2), (3)");
    pg_exec(dbs.dest(), "CREATE TABLE a_held (id integer, s varchar(10)); INSERT INTO a_held VALUES (-1, 'old')");
    const std::string oid_of_a_held = "SELECT 'a_held'::regclass::oid";
    const db_rows old_table = pg_query(dbs.dest(), oid_of_a_held);

    auto holder = std::make_unique<pqxx::connection>(pg_connection_string(pg_test_server(), dbs.dest()));
    auto holding = std::make_unique<pqxx::work>(*holder);
    holding->exec("SELECT count(*) FROM a_held");

    agent_process run(dbs.agent_args({"--mode=1"}), 120);
    const std::string run_waits = "SELECT 1 FROM pg_stat_activity WHERE datname = '" + dbs.dest() +
                                  "' AND wait_event_type = 'Lock' AND query LIKE 'DROP TABLE%'";
    ASSERT_TRUE(wait_until([&] { return run.finished() || !pg_query("postgres", run_waits).empty(); },
                           std::chrono::seconds(60)));
    ASSERT_FALSE(run.finished()) << show(run.wait());

    std::future<db_rows> reader =
        std::async(std::launch::async, [&] { return pg_query(dbs.dest(), "SELECT id, s FROM a_held ORDER BY id"); });
    const bool reader_through =
        wait_until([&] { return reader.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                   std::chrono::seconds(60));
    EXPECT_TRUE(reader_through) << "the reader waited behind the run for the session that holds the table";
    // With the holder's transaction over nothing waits any more.
    if (!reader_through) holding.reset();
    const agent_result r = run.wait();
    EXPECT_EQ(reader.get(), (db_rows{{cell("-1"), cell("old")}}));

    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(r.out.find("Error:\na_held: "), std::string::npos) << show(r);
    EXPECT_NE(r.out.find("is in use by another session"), std::string::npos) << show(r);
    EXPECT_EQ(pg_query(dbs.dest(), oid_of_a_held), old_table);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id, s FROM a_held ORDER BY id"), (db_rows{{cell("-1"), cell("old")}}));
    EXPECT_EQ(pg_count(dbs.dest(), "b_free"), 3);
    holding.reset();
    holder.reset();
}

// ---------------------------------------------------------------- mode 0 and a destination it could not make again

// A login role of the test's own, dropped with the object (after the
// databases it owned).
class test_role {
public:
    test_role(const std::string& name, const std::string& options) : m_name(name + "_" + std::to_string(getpid())) {
        pg_exec("postgres", "DROP ROLE IF EXISTS " + m_name);
        pg_exec("postgres", "CREATE ROLE " + m_name + " LOGIN PASSWORD '" + password + "' " + options);
    }
    ~test_role() {
        try {
            pg_exec("postgres", "DROP ROLE IF EXISTS " + m_name);
        } catch (...) {}
    }
    test_role(const test_role&) = delete;
    test_role& operator=(const test_role&) = delete;

    const std::string& name() const { return m_name; }
    static constexpr const char* password = "role-secret";

private:
    std::string m_name;
};

struct keep_db_case {
    const char* label;
    const char* role_options;  // the user the run connects as; nullptr: the test servers' superuser
    bool role_owns_it;
    const char* other_session;  // a database another session is connected to ("": the destination), or nullptr
    const char* reason;         // what the error must say
};

void PrintTo(const keep_db_case& c, std::ostream* os) { *os << c.label; }

class VekagentKeepDest : public ::testing::TestWithParam<keep_db_case> {};

// Mode 0 drops a destination only when it can be dropped and created again:
// otherwise the run ends with an error and the database keeps its tables.
TEST_P(VekagentKeepDest, a_destination_that_could_not_be_made_again_is_not_dropped) {
    const keep_db_case& c = GetParam();
    // A session on template1 stops every CREATE DATABASE: not on the shared pair.
    std::optional<own_servers> servers;
    if (c.other_session && std::string(c.other_session) == "template1") servers.emplace();
    std::optional<test_role> role;
    if (c.role_options) role.emplace(std::string("vkd_role_") + c.label, c.role_options);
    scratch_dbs dbs(std::string("vkd_keep_") + c.label);
    dbs.my.exec("CREATE TABLE t (id INT PRIMARY KEY)");
    dbs.my.exec("INSERT INTO t VALUES (1)");
    pg_exec(dbs.dest(), "CREATE TABLE keep_me (id int); INSERT INTO keep_me VALUES (1)");
    std::vector<std::string> args = dbs.agent_args({"--mode=0"});
    if (role) {
        if (c.role_owns_it) pg_exec("postgres", "ALTER DATABASE " + dbs.dest() + " OWNER TO " + role->name());
        args.push_back("--posgsu=" + role->name());
        args.push_back(std::string("--posgsp=") + test_role::password);
    }
    std::optional<pqxx::connection> other;
    if (c.other_session)
        other.emplace(pg_connection_string(pg_test_server(), *c.other_session ? c.other_session : dbs.dest()));

    const agent_result r = run_agent(args, 120);
    other.reset();

    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(r.out.find("Database " + dbs.dest() + " is not dropped: "), std::string::npos) << show(r);
    EXPECT_NE(r.out.find(c.reason), std::string::npos) << show(r);
    EXPECT_EQ(r.out.find("Converting table"), std::string::npos) << show(r);
    ASSERT_TRUE(pg_db_exists(dbs.dest())) << show(r);
    EXPECT_EQ(pg_tables(dbs.dest()), std::vector<std::string>{"keep_me"});
    EXPECT_EQ(pg_count(dbs.dest(), "keep_me"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    VekagentDest, VekagentKeepDest,
    ::testing::Values(keep_db_case{"owner_without_createdb", "NOCREATEDB", true, nullptr, "may not create databases"},
                      keep_db_case{"createdb_not_owner", "CREATEDB", false, nullptr, "does not own it"},
                      keep_db_case{"in_use", nullptr, false, "", "1 other session(s) are connected to it"},
                      keep_db_case{"template1_in_use", nullptr, false, "template1",
                                   "1 other session(s) are connected to template1"}),
    [](const ::testing::TestParamInfo<keep_db_case>& i) { return std::string(i.param.label); });

// ---------------------------------------------------------------- a server without the postgres database

// The agent's first connection goes to the maintenance database "postgres";
// a server that has none (it was dropped) is reached through template1, as
// the PostgreSQL client tools do, so every mode works there. Mode 0 onto the
// maintenance database itself is refused before anything is dropped.
TEST(VekagentDest, a_server_without_the_postgres_database_is_used_through_template1) {
    own_servers servers;  // its postgres database is dropped
    scratch_dbs dbs("vkd_nopg");
    dbs.keep();  // the servers go away with the test
    make_named_rows(dbs.my, "t");
    pg_exec("postgres", "CREATE TABLE keep_me (id int); INSERT INTO keep_me VALUES (1)");

    agent_result r = run_agent(agent_server_args({"--src=" + dbs.src(), "--dest=postgres", "--mode=0"}), 120);
    EXPECT_EQ(r.status, 255) << show(r);
    EXPECT_NE(r.out.find("Database postgres is not dropped: it is the maintenance database"), std::string::npos)
        << show(r);
    EXPECT_EQ(r.out.find("Converting table"), std::string::npos) << show(r);
    EXPECT_EQ(pg_tables("postgres"), std::vector<std::string>{"keep_me"});
    EXPECT_EQ(pg_count("postgres", "keep_me"), 1);

    pg_exec("template1", "DROP DATABASE postgres WITH (FORCE)");
    ASSERT_TRUE(pg_query("template1", "SELECT 1 FROM pg_database WHERE datname = 'postgres'").empty());
    // Dropped and created again, twice, then loaded into as it is.
    for (const char* mode : {"--mode=0", "--mode=0", "--mode=1"}) {
        r = run_agent(dbs.agent_args({mode}), 120);
        EXPECT_EQ(r.status, 0) << mode << "\n" << show(r);
        EXPECT_EQ(r.out.find("Error"), std::string::npos) << mode << "\n" << show(r);
        EXPECT_EQ(dest_rows(dbs.dest(), "t"), named_rows("t")) << mode;
    }
}

}  // namespace
