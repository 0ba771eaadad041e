// The conversion run end to end on the private servers.
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "converter/conv_fix.h"
#include "support/bounded_wait.h"
#include "support/trace_capture.h"
#include "tk/tk_threa.h"

namespace {

using opt = std::optional<std::string>;

struct recording_hooks : cnv_run_hooks {
    std::vector<std::string> seen;
    bool select_all = false;
    std::function<void(const std::wstring&)> at_table;
    bool select_all_when_empty() override { return select_all; }
    void on_database(const std::wstring& src, std::uint32_t n) override {
        seen.push_back("db " + tk_to_utf8(src) + " " + std::to_string(n));
    }
    void on_missing_table(const std::wstring& name) override { seen.push_back("missing " + tk_to_utf8(name)); }
    void on_table(const std::wstring& name, std::int64_t n) override {
        seen.push_back("table " + tk_to_utf8(name) + " " + std::to_string(n));
        if (at_table) at_table(name);
    }
};

TEST_F(ConversionTest, creates_the_destination_and_copies_tables_queries_and_values) {
    my.exec("CREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(40), price DECIMAL(10,2), note TEXT)");
    my.exec(
        "INSERT INTO items VALUES (1,'tab\there','12.50','line\nfeed'),(2,'中文 é 😀','0.00',NULL),(3,'','-1.25','back\\\\slash')");
    my.exec("CREATE TABLE empty_one (id INT, d DATETIME)");
    conv->selected_queries[L"cheap"] = L"SELECT id, name FROM items WHERE price < 1";
    select({L"items", L"empty_one"});
    recording_hooks hooks;
    conv->set_run_hooks(&hooks);

    run();

    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_TRUE(conv->b_finished.load());
    EXPECT_EQ(handler.error_count(), 0u) << (handler.errors().empty() ? "" : handler.errors()[0]);
    EXPECT_EQ(pg_tables(dest_name), (std::vector<std::string>{"cheap", "empty_one", "items"}));
    EXPECT_EQ(dest("SELECT id, name, price, note FROM items ORDER BY id"),
              (rows{{opt("1"), opt("tab\there"), opt("12.50"), opt("line\nfeed")},
                    {opt("2"), opt("中文 é 😀"), opt("0.00"), std::nullopt},
                    {opt("3"), opt(""), opt("-1.25"), opt("back\\slash")}}));
    EXPECT_EQ(dest("SELECT id, name FROM cheap ORDER BY id"), (rows{{opt("2"), opt("中文 é 😀")}, {opt("3"), opt("")}}));
    EXPECT_TRUE(dest("SELECT * FROM empty_one").empty());
    // Name order; queries are not counted as tables.
    EXPECT_EQ(hooks.seen, (std::vector<std::string>{"db " + src_name + " 2", "table cheap 2", "table empty_one 0",
                                                    "table items 3"}));
    // Counters are back to 0 between runs; the run entered the tables among the queries.
    EXPECT_EQ(conv->n_tables.load(), 0u);
    EXPECT_EQ(conv->n_tables_done.load(), 0u);
    EXPECT_EQ(conv->selected_queries.at(L"items"), L"");
    EXPECT_EQ(conv->cur_table(), L"items");

    // A profile saved after the run lists the tables bare and the query with its text.
    const std::wstring path = tk_utf8_to_unicode("/tmp/" + src_name + ".vek");
    ASSERT_TRUE(conv->store_profile(path));
    udb_profile saved;
    ASSERT_TRUE(saved.load(path));
    std::remove(tk_to_utf8(path).c_str());
    const udb_profile::section_map want{
        {L"cheap", L"SELECT id, name FROM items WHERE price < 1"}, {L"empty_one", L""}, {L"items", L""}};
    EXPECT_EQ(saved.get_selected_tables(), want);
}

TEST_F(ConversionTest, a_query_wins_over_a_table_of_the_same_name) {
    my.exec("CREATE TABLE t (id INT, v INT)");
    my.exec("INSERT INTO t VALUES (1,10),(2,20),(3,30)");
    conv->selected_queries[L"t"] = L"SELECT v FROM t WHERE id = 2";
    select({L"t"});
    run();
    EXPECT_EQ(handler.error_count(), 0u);
    EXPECT_EQ(dest("SELECT * FROM t"), (rows{{opt("20")}}));
}

// A query is a source of its own: named like a table converted before, it
// gets a table of its own in every mode, and the table's copy keeps its rows.
TEST_F(ConversionTest, a_query_named_like_a_converted_table_gets_a_table_of_its_own) {
    for (const int mode : {1, 2, 3}) {
        const std::string t = "t" + std::to_string(mode);
        my.exec("CREATE TABLE " + t + " (id INT, v INT)");
        my.exec("INSERT INTO " + t + " VALUES (1,10),(2,20)");
        conv->selected_queries.clear();
        select({tk_utf8_to_unicode(t)});
        conv->set_mode(1);
        run();
        conv->selected_queries[tk_utf8_to_unicode(t)] = tk_utf8_to_unicode("SELECT id, v FROM " + t + " WHERE id = 2");
        conv->set_mode(mode);
        run();
        EXPECT_EQ(handler.error_count(), 0u) << mode << (handler.errors().empty() ? "" : handler.errors()[0]);
        EXPECT_EQ(dest("SELECT id, v FROM " + t + " ORDER BY id"), (rows{{opt("1"), opt("10")}, {opt("2"), opt("20")}}))
            << mode;
        EXPECT_EQ(dest("SELECT id, v FROM " + t + "00000"), (rows{{opt("2"), opt("20")}})) << mode;
    }
}

TEST_F(ConversionTest, tables_whose_names_differ_only_in_case_get_a_safe_name_for_the_second) {
    my.exec("CREATE TABLE Items (a INT)");
    my.exec("CREATE TABLE items (b INT)");
    my.exec("INSERT INTO Items VALUES (1)");
    my.exec("INSERT INTO items VALUES (2),(3)");
    select({L"items", L"Items"});
    run();
    EXPECT_EQ(handler.error_count(), 0u) << (handler.errors().empty() ? "" : handler.errors()[0]);
    EXPECT_EQ(pg_tables(dest_name), (std::vector<std::string>{"items", "items00000"}));
    EXPECT_EQ(dest("SELECT a FROM items"), (rows{{opt("1")}}));  // "Items" comes first in code-unit order
    EXPECT_EQ(dest("SELECT b FROM items00000 ORDER BY b"), (rows{{opt("2")}, {opt("3")}}));
}

TEST_F(ConversionTest, table_definitions_only_creates_tables_without_rows) {
    my.exec("CREATE TABLE t (id INT PRIMARY KEY, s VARCHAR(5) NOT NULL DEFAULT 'x')");
    my.exec("INSERT INTO t VALUES (1,'a'),(2,'b')");
    select({L"t"});
    conv->tab_def = true;
    recording_hooks hooks;
    conv->set_run_hooks(&hooks);
    run();
    EXPECT_EQ(handler.error_count(), 0u);
    EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"t"});
    EXPECT_TRUE(dest("SELECT * FROM t").empty());
    EXPECT_EQ(hooks.seen.back(), "table t 2");
}

TEST_F(ConversionTest, mode_0_drops_the_destination_only_after_the_source_opened) {
    my.exec("CREATE TABLE t (id INT)");
    my.exec("INSERT INTO t VALUES (7)");
    create_dest();
    pg_exec(dest_name, "CREATE TABLE old_one (x INT)");
    conv->set_mode(0);

    // A source that does not open leaves the destination as it was.
    const std::wstring good_src = conv->src;
    conv->src = L"no_such_source_db";
    EXPECT_THROW(conv->check_dest(), tk_exception);
    EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"old_one"});

    conv->src = good_src;
    conv->check_dest();
    EXPECT_FALSE(conv->is_db_exist(conv->dest));
    select({L"t"});
    run();
    EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"t"});
    EXPECT_EQ(dest("SELECT * FROM t"), (rows{{opt("7")}}));
}

TEST_F(ConversionTest, a_run_in_mode_0_drops_the_destination_itself_once_the_source_opened) {
    my.exec("CREATE TABLE t (id INT)");
    my.exec("INSERT INTO t VALUES (7)");
    create_dest();
    pg_exec(dest_name, "CREATE TABLE old_one (x INT)");
    conv->set_mode(0);
    select({L"t"});

    // A source that does not open ends the run with the destination as it was.
    const std::wstring good_src = conv->src;
    conv->src = L"no_such_source_db";
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::ended);
    EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"old_one"});

    conv->src = good_src;
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"t"});
    EXPECT_EQ(dest("SELECT * FROM t"), (rows{{opt("7")}}));

    // Other modes keep what is there.
    pg_exec(dest_name, "CREATE TABLE another (x INT)");
    conv->set_mode(1);
    run();
    EXPECT_EQ(pg_tables(dest_name), (std::vector<std::string>{"another", "t"}));
}

// The wizard's run drops the destination itself: everything selected must be
// there to read first, or nothing is dropped and the error names the entry.
TEST_F(ConversionTest, a_run_in_mode_0_keeps_the_destination_when_a_selected_entry_cannot_be_read) {
    my.exec("CREATE TABLE t (id INT)");
    my.exec("INSERT INTO t VALUES (7)");
    my.exec("CREATE VIEW gone AS SELECT id FROM t");
    my.exec("DROP VIEW gone");  // chosen on the views page, dropped since
    create_dest();
    pg_exec(dest_name, "CREATE TABLE old_one (x INT)");
    conv->set_mode(0);
    const std::string kept = ": the destination database " + dest_name + " is left as it is.";
    const struct {
        const char* what;
        std::vector<std::wstring> tables;
        cnv_query_map queries;
        udb_queries views;
        std::string shown;  // starts with
    } cases[] = {
        {"missing table", {L"t", L"tx"}, {}, {}, "error: Table tx not exists" + kept},
        {"missing table from a profile", {}, {{L"t", L""}, {L"ty", L""}}, {}, "error: Table ty not exists" + kept},
        {"refused query", {L"t"}, {{L"q", L"SELECT nope FROM t"}}, {}, "error: Query q cannot be read ("},
        {"not a query", {L"t"}, {{L"q", L"DROP TABLE t"}}, {}, "error: Query q cannot be read ("},
        {"view that has gone", {L"t"}, {}, {{L"gone", L"select id from t"}}, "error: Query gone cannot be read ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dlg.shown.clear();
        conv->selected_tables = c.tables;
        conv->selected_queries = c.queries;
        conv->views = c.views;
        run();
        EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::ended);
        ASSERT_EQ(dlg.shown.size(), 1u);
        EXPECT_EQ(dlg.shown[0].rfind(c.shown, 0), 0u) << dlg.shown[0];
        EXPECT_TRUE(dlg.shown[0].ends_with(kept)) << dlg.shown[0];
        EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"old_one"});
    }
    EXPECT_EQ(my.query("SELECT id FROM t"), (rows{{opt("7")}}));

    // A table selected under a query's name is the query: nothing of that name need be a table.
    conv->selected_tables = {L"t", L"q"};
    conv->selected_queries = {{L"q", L"SELECT id + 1 AS n FROM t"}};
    conv->views.clear();
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_EQ(pg_tables(dest_name), (std::vector<std::string>{"q", "t"}));
    EXPECT_EQ(dest("SELECT n FROM q"), (rows{{opt("8")}}));
}

TEST_F(ConversionTest, selected_views_become_tables_of_the_rows_they_show) {
    my.exec("CREATE TABLE items (id INT, price DECIMAL(6,2))");
    my.exec("INSERT INTO items VALUES (1, 4.50), (2, 12.00), (3, 9.99)");
    my.exec("CREATE VIEW cheap AS SELECT id, price * 2 AS twice FROM items WHERE price < 10 ORDER BY id");
    my.exec("CREATE VIEW twin AS SELECT id FROM items");
    my.exec("CREATE VIEW unused AS SELECT id FROM items");
    my.exec("CREATE VIEW again AS SELECT id FROM items WHERE id = 3");
    // What the views page keeps is the definition; the rows come from the view.
    conv->views[L"cheap"] = L"select definition text";
    conv->views[L"twin"] = L"select id from items";
    conv->views[L"again"] = L"select id from items where id = 3";
    // A query named exactly like a view takes the table: the view is reported.
    conv->selected_queries[L"twin"] = L"SELECT id FROM items WHERE id = 2";
    // Unless it is the view's own query (a profile keeps a view so): once, no error.
    conv->selected_queries[L"again"] = L"SELECT * FROM `again`";
    select({L"items"});
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_EQ(handler.errors(),
              std::vector<std::string>{"twin: The view is not converted: a query of the same name is."});
    EXPECT_EQ(pg_tables(dest_name), (std::vector<std::string>{"again", "cheap", "items", "twin"}));
    EXPECT_EQ(dest("SELECT id FROM again"), (rows{{opt("3")}}));
    EXPECT_EQ(dest("SELECT id, twice FROM cheap ORDER BY id"),
              (rows{{opt("1"), opt("9.00")}, {opt("3"), opt("19.98")}}));
    EXPECT_EQ(dest("SELECT id FROM twin"), (rows{{opt("2")}}));
    // The run does not enter the views among the queries.
    EXPECT_EQ(conv->selected_queries.count(L"cheap"), 0u);
    EXPECT_EQ(conv->selected_queries.at(L"twin"), L"SELECT id FROM items WHERE id = 2");

    // A saved profile lists each view as the query that reads it, so a run
    // from it converts the same; the query named like a view keeps its place.
    const std::wstring path = tk_utf8_to_unicode("/tmp/" + src_name + "_views.vek");
    ASSERT_TRUE(conv->store_profile(path));
    udb_profile saved;
    ASSERT_TRUE(saved.load(path));
    std::remove(tk_to_utf8(path).c_str());
    const udb_profile::section_map want{{L"again", L"SELECT * FROM `again`"},
                                        {L"cheap", L"SELECT * FROM `cheap`"},
                                        {L"items", L""},
                                        {L"twin", L"SELECT id FROM items WHERE id = 2"}};
    EXPECT_EQ(saved.get_selected_tables(), want);
}

TEST_F(ConversionTest, check_dest_never_drops_in_the_other_modes) {
    create_dest();
    pg_exec(dest_name, "CREATE TABLE keep (x INT)");
    for (int mode : {1, 2, 3, 4}) {
        conv->set_mode(mode);
        conv->check_dest();
        EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"keep"}) << mode;
    }
}

class ExistingTableTest : public ConversionTest {
protected:
    // Source t has rows 1, 2; the destination already holds t with row 100.
    void SetUp() override {
        my.exec("CREATE TABLE t (id INT, s VARCHAR(10))");
        my.exec("INSERT INTO t VALUES (1,'one'),(2,'two')");
        my.exec("CREATE TABLE fresh (id INT)");
        my.exec("INSERT INTO fresh VALUES (5)");
        select({L"t"});
        run();  // mode 0 into a new database: t as the converter creates it
        ASSERT_EQ(handler.error_count(), 0u);
        pg_exec(dest_name, "DELETE FROM t");
        pg_exec(dest_name, "INSERT INTO t VALUES (100,'old')");
        conv->b_finished = false;
        select({L"t", L"fresh"});
    }
    rows ids() { return dest("SELECT id FROM t ORDER BY id"); }
};

TEST_F(ExistingTableTest, mode_1_drops_and_creates_the_existing_table) {
    conv->set_mode(1);
    run();
    EXPECT_EQ(handler.error_count(), 0u);
    EXPECT_EQ(ids(), (rows{{opt("1")}, {opt("2")}}));
    EXPECT_EQ(dest("SELECT * FROM fresh"), (rows{{opt("5")}}));
}

TEST_F(ExistingTableTest, mode_2_leaves_the_existing_table_without_touching_the_source_table) {
    // Any statement on the source table would wait for this lock and fail.
    mysql_admin locker;
    locker.exec("USE " + src_name);
    locker.exec("LOCK TABLES t WRITE");
    conv->mysql_converter_impl::engine.execute("SET SESSION lock_wait_timeout = 2");
    conv->set_mode(2);
    recording_hooks hooks;
    conv->set_run_hooks(&hooks);
    run();
    locker.exec("UNLOCK TABLES");
    EXPECT_EQ(handler.error_count(), 0u) << (handler.errors().empty() ? "" : handler.errors()[0]);
    EXPECT_EQ(ids(), (rows{{opt("100")}}));
    EXPECT_EQ(dest("SELECT * FROM fresh"), (rows{{opt("5")}}));
    EXPECT_EQ(hooks.seen, (std::vector<std::string>{"db " + src_name + " 2", "table fresh 1"}));
}

TEST_F(ExistingTableTest, mode_3_appends_to_a_conforming_table) {
    conv->set_mode(3);
    run();
    EXPECT_EQ(handler.error_count(), 0u) << (handler.errors().empty() ? "" : handler.errors()[0]);
    EXPECT_EQ(ids(), (rows{{opt("1")}, {opt("2")}, {opt("100")}}));
    EXPECT_EQ(dest("SELECT * FROM fresh"), (rows{{opt("5")}}));
}

TEST_F(ExistingTableTest, mode_3_reports_a_table_that_does_not_conform_and_goes_on) {
    pg_exec(dest_name, "ALTER TABLE t ADD COLUMN extra INT");
    conv->set_mode(3);
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    ASSERT_EQ(handler.errors().size(), 1u);
    EXPECT_EQ(handler.errors()[0], "t: The structure of data source does not conform to the destination table.");
    EXPECT_EQ(ids(), (rows{{opt("100")}}));
    EXPECT_EQ(dest("SELECT * FROM fresh"), (rows{{opt("5")}}));
}

TEST_F(ExistingTableTest, mode_4_appends_without_a_conformance_test) {
    conv->set_mode(4);
    run();
    EXPECT_EQ(handler.error_count(), 0u);
    EXPECT_EQ(ids(), (rows{{opt("1")}, {opt("2")}, {opt("100")}}));
}

TEST_F(ConversionTest, a_failed_table_or_a_missing_one_is_reported_and_the_next_is_converted) {
    my.exec("CREATE TABLE good (id INT)");
    my.exec("INSERT INTO good VALUES (1),(2)");
    conv->selected_queries[L"a_bad"] = L"SELECT nothing FROM nowhere";
    select({L"b_missing", L"good"});
    recording_hooks hooks;
    conv->set_run_hooks(&hooks);
    std::uint32_t done_before_good = 0, entries = 0;
    hooks.at_table = [&](const std::wstring&) {
        done_before_good = conv->n_tables_done.load();
        entries = conv->n_tables.load();
    };
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    // The progress total counts the query with the tables.
    EXPECT_EQ(entries, 3u);
    ASSERT_EQ(handler.errors().size(), 2u);
    EXPECT_EQ(handler.errors()[0].rfind("a_bad: ", 0), 0u) << handler.errors()[0];
    EXPECT_EQ(handler.errors()[1], "b_missing: Table b_missing not exists");
    EXPECT_EQ(done_before_good, 2u);
    EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"good"});
    EXPECT_EQ(dest("SELECT id FROM good ORDER BY id"), (rows{{opt("1")}, {opt("2")}}));
    EXPECT_EQ(hooks.seen.at(1), "missing b_missing");
}

TEST_F(ConversionTest, a_program_that_shows_missing_tables_itself_gets_them_counted_not_shown) {
    struct quiet_hooks : recording_hooks {
        bool reports_missing_tables() const override { return true; }
    } hooks;
    conv->set_run_hooks(&hooks);
    select({L"gone"});
    run();
    EXPECT_EQ(hooks.seen.at(1), "missing gone");
    EXPECT_TRUE(dlg.shown.empty());
    EXPECT_EQ(handler.error_count(), 1u);
    EXPECT_EQ(handler.errors(), std::vector<std::string>{"gone: Table gone not exists"});
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
}

TEST_F(ConversionTest, a_source_value_that_cannot_be_carried_over_is_a_record_error) {
    my.exec("CREATE TABLE t (id INT, d TIME)");
    my.exec("INSERT INTO t VALUES (1,'01:00:00'),(2,'838:59:59'),(3,'02:00:00')");
    select({L"t"});
    run();
    ASSERT_EQ(handler.errors().size(), 1u);
    EXPECT_EQ(handler.errors()[0].rfind("t, record #2: ", 0), 0u) << handler.errors()[0];
    EXPECT_EQ(dest("SELECT id, d FROM t ORDER BY id"),
              (rows{{opt("1"), opt("01:00:00")}, {opt("2"), std::nullopt}, {opt("3"), opt("02:00:00")}}));
}

TEST_F(ConversionTest, abort_in_the_dialog_ends_the_run_and_keeps_the_tables_done) {
    my.exec("CREATE TABLE a_first (id INT)");
    my.exec("INSERT INTO a_first VALUES (1)");
    my.exec("CREATE TABLE c_last (id INT)");
    conv->selected_queries[L"b_bad"] = L"SELECT broken";
    select({L"a_first", L"c_last"});
    dlg.script.push_back({error_dialogs::answer::abort_run, false});
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::ended);
    EXPECT_TRUE(conv->b_finished.load());
    EXPECT_EQ(pg_tables(dest_name), std::vector<std::string>{"a_first"});
    EXPECT_EQ(dest("SELECT * FROM a_first"), (rows{{opt("1")}}));
}

TEST_F(ConversionTest, a_row_refused_when_the_copy_ends_ends_the_run_with_earlier_tables_intact) {
    my.exec("CREATE TABLE b (id INT PRIMARY KEY, s VARCHAR(3))");
    my.exec("INSERT INTO b VALUES (1,'x'),(2,'y')");
    select({L"b"});
    run();
    ASSERT_EQ(handler.error_count(), 0u);

    // Merging the same rows again breaks the primary key of b.
    pg_exec(dest_name, "ALTER TABLE b ADD PRIMARY KEY (id)");
    my.exec("CREATE TABLE a (id INT)");
    my.exec("INSERT INTO a VALUES (10)");
    my.exec("CREATE TABLE c (id INT)");
    my.exec("INSERT INTO c VALUES (30)");
    conv->set_mode(3);
    select({L"a", L"b", L"c"});
    conv->selected_queries.clear();
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::ended);
    ASSERT_EQ(handler.errors().size(), 1u);
    EXPECT_EQ(handler.errors()[0].rfind("b: ", 0), 0u) << handler.errors()[0];
    EXPECT_NE(handler.errors()[0].find("duplicate key"), std::string::npos) << handler.errors()[0];
    EXPECT_EQ(dlg.shown.at(0).rfind("error: b: ", 0), 0u) << dlg.shown.at(0);
    EXPECT_EQ(dest("SELECT * FROM a"), (rows{{opt("10")}}));
    EXPECT_EQ(dest("SELECT id FROM b ORDER BY id"), (rows{{opt("1")}, {opt("2")}}));
    EXPECT_EQ(pg_tables(dest_name), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ConversionTest, a_stop_request_ends_the_run_before_the_next_record_and_rolls_the_table_back) {
    my.exec("CREATE TABLE a (id INT)");
    my.exec("INSERT INTO a VALUES (1),(2)");
    my.exec("CREATE TABLE b (id INT)");
    my.exec("INSERT INTO b VALUES (1),(2)");
    my.exec("CREATE TABLE c (id INT)");
    select({L"a", L"b", L"c"});
    recording_hooks hooks;
    hooks.at_table = [&](const std::wstring& name) {
        if (name == L"b") conv->request_stop();
    };
    conv->set_run_hooks(&hooks);
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::stopped);
    EXPECT_TRUE(conv->b_finished.load());
    EXPECT_EQ(handler.error_count(), 0u);
    // b was created in the transaction of its rows: it goes with them.
    EXPECT_EQ(pg_tables(dest_name), (std::vector<std::string>{"a"}));
    EXPECT_EQ(dest("SELECT count(*) FROM a"), (rows{{opt("2")}}));

    // The request stays until it is cleared.
    conv->b_finished = false;
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::stopped);
    conv->clear_stop();
}

// The worker is held in an error dialog in the middle of the table (as the
// wizard's worker is while its dialog is open) while another thread reads the
// progress and asks for the stop.
TEST_F(ConversionTest, another_thread_can_stop_a_running_conversion_and_read_its_progress) {
    struct held_dialogs : scripted_dialogs {
        std::promise<void> shown, released;
        answer ask_continue(const std::string& text, bool& dont_show_again) override {
            const answer a = scripted_dialogs::ask_continue(text, dont_show_again);
            shown.set_value();
            released.get_future().wait();
            return a;
        }
    } held;
    handler.set_dialogs(&held);
    my.exec("CREATE TABLE big (id INT, s VARCHAR(20), t TIME)");
    my.exec("INSERT INTO big SELECT seq, CONCAT('row ', seq), IF(seq = 1000, '838:59:59', '01:00:00') "
            "FROM seq_1_to_200000");
    select({L"big"});
    std::thread worker([&] { run(); });
    finish_within("the run reaching its error dialog", [&] { held.shown.get_future().wait(); });

    EXPECT_EQ(conv->cur_table(), L"big");
    EXPECT_EQ(conv->n_records.load(), 200000);
    const std::int64_t seen = conv->n_records_done.load();
    EXPECT_GT(seen, 0);
    EXPECT_LT(seen, 1000);
    EXPECT_FALSE(conv->b_finished.load());
    conv->request_stop();
    held.released.set_value();
    finish_within("the stopped run", [&] { worker.join(); });

    ASSERT_TRUE(conv->b_finished.load(std::memory_order_acquire));
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::stopped);
    EXPECT_LT(conv->n_records_done.load(), 1000);
    EXPECT_TRUE(pg_tables(dest_name).empty());  // nothing of big was committed
    conv->clear_stop();
}

TEST_F(ConversionTest, the_agent_hooks_select_every_table_when_nothing_is_selected) {
    my.exec("CREATE TABLE x1 (id INT)");
    my.exec("CREATE TABLE x2 (id INT)");
    recording_hooks hooks;
    hooks.select_all = true;
    conv->set_run_hooks(&hooks);
    run();
    EXPECT_EQ(pg_tables(dest_name), (std::vector<std::string>{"x1", "x2"}));
    EXPECT_EQ(hooks.seen.at(0), "db " + src_name + " 2");
}

TEST_F(ConversionTest, an_empty_selection_opens_both_databases_and_finishes) {
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_TRUE(conv->b_finished.load());
    EXPECT_TRUE(conv->is_db_exist(conv->dest));
    EXPECT_TRUE(pg_tables(dest_name).empty());
}

TEST_F(ConversionTest, a_source_that_does_not_open_ends_the_run_with_its_error) {
    conv->src = L"no_such_source_db";
    select({L"t"});
    run();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::ended);
    EXPECT_TRUE(conv->b_finished.load());
    ASSERT_EQ(handler.errors().size(), 1u);
    EXPECT_NE(handler.errors()[0].find("no_such_source_db"), std::string::npos) << handler.errors()[0];
    EXPECT_FALSE(conv->is_db_exist(conv->dest));
}

TEST_F(ConversionTest, skip_idx_leaves_the_indexes_of_the_source_behind) {
    my.exec("CREATE TABLE t (id INT PRIMARY KEY, k INT, UNIQUE KEY uk (k))");
    my.exec("INSERT INTO t VALUES (1,1)");
    select({L"t"});
    conv->skip_idx = true;
    run();
    EXPECT_EQ(handler.error_count(), 0u);
    EXPECT_EQ(dest("SELECT count(*) FROM pg_indexes WHERE tablename='t'"), (rows{{opt("0")}}));
    EXPECT_EQ(dest("SELECT * FROM t"), (rows{{opt("1"), opt("1")}}));
}

// A program hook that fails at the start of a run does not stop the run; the
// trace says what failed.
TEST_F(ConversionTest, a_failing_start_hook_is_traced_and_the_run_goes_on) {
    struct failing_start : recording_hooks {
        void on_run_started() override { throw std::runtime_error("the timer would not start"); }
    } hooks;
    my.exec("CREATE TABLE t (id INT)");
    my.exec("INSERT INTO t VALUES (1)");
    select({L"t"});
    conv->set_run_hooks(&hooks);
    const trace_capture trace(3);
    run();
    conv->set_run_hooks(nullptr);
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_EQ(dest("SELECT count(*) FROM t"), (rows{{opt("1")}}));
    EXPECT_NE(trace.text().find("The run's start hook failed: the timer would not start\r\n"), std::string::npos)
        << trace.text();
}

// The wizard's error dialogs run on the GUI thread, and what they raise there
// is raised again in the worker, inside the run's own handling of an error.
// It must not leave the worker's thread (std::terminate, a crash): the run
// ends as an internal error, shown, and the program ends with -1.
class ConversionDeathTest : public ConversionTest {};

TEST_F(ConversionDeathTest, an_error_raised_by_the_dialogs_in_the_worker_ends_the_program_as_an_internal_error) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct screen_gone : scripted_dialogs {
        void show_internal_error(const std::string& text) override {
            std::fprintf(stderr, "shown as internal error: %s\n", text.c_str());
        }
        void show_error(const std::string&) override { throw std::runtime_error("the screen is gone"); }
        answer ask_continue(const std::string&, bool&) override { throw std::runtime_error("the screen is gone"); }
        [[noreturn]] void end_program(int code) override { error_dialogs::end_program(code); }
    } screen;
    // The source does not open: an error in the run's outermost scope.
    conv->src = L"no_such_source_db";
    handler.set_dialogs(&screen);
    EXPECT_EXIT(
        {
            tk_thread thread(*conv);
            thread.start();
            wait_until([&] { return !thread.is_running(); });
        },
        testing::ExitedWithCode(255), "shown as internal error: An error left the worker thread: the screen is gone");
    handler.set_dialogs(&dlg);
}

}  // namespace
