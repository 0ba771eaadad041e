// The progress and finish pages: the run on its worker, followed by the
// timer; the finish page's report and Save Settings; Cancel in the middle.
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "wz_run_fix.h"

namespace {

TEST(ProgressPosition, counts_entries_and_the_current_entrys_records_in_64_bits) {
    const struct {
        std::uint64_t entries, done, records, records_done;
        int position;
    } cases[] = {
        {0, 0, 0, 0, 0},                     // nothing selected
        {3, 1, 7, 5, 56},                    // 33 + (71 / 3)
        {1, 0, 3, 2, 66},                    // each term truncated on its own
        {4, 4, 0, 0, 100},                   // every entry done
        {1, 0, 50'000'000, 45'000'000, 90},  // beyond what 32 bits hold
        {2, 1, 10, 15, 100},                 // a table that grew since it was counted
        {2, 3, 0, 0, 100},                   // counters read while the run moves on
        {1, 0, 1ull << 62, 1ull << 61, 50},  // no overflow anywhere
        {1, 0, UINT64_MAX, UINT64_MAX, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(progress_position(c.entries, c.done, c.records, c.records_done), c.position)
            << c.entries << " " << c.done << " " << c.records << " " << c.records_done;
}

std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(RunTest, a_run_follows_its_progress_and_ends_on_the_finish_page) {
    scratch_dbs dbs("wz_run_ok", scratch_options{.create_dest = false, .unique = true});
    load_shop(dbs.my);
    start_for(dbs, {L"customers", L"products", L"attachments"});
    conv->selected_queries[L"big_orders"] = L"SELECT id, total FROM orders WHERE total > 10";
    handler.note(coded_exception(0, "from a page before the run", 0));

    start_run();
    // The page's own timer runs before the run does, on this thread.
    EXPECT_TRUE(shell->timer_running());
    EXPECT_TRUE(shell->sheet().timer_active());
    EXPECT_EQ(shell->sheet().timer_period(), 200);
    EXPECT_EQ(shell->sheet().header_title(), "Step 6 of 6");
    EXPECT_EQ(shell->sheet().header_subtitle(), "Database conversion is in progress");
    const g_controls& b = shell->sheet().controls();
    EXPECT_FALSE(b.is_enabled(g_sheet_id::back));
    EXPECT_FALSE(b.is_enabled(g_sheet_id::next));
    EXPECT_TRUE(b.is_enabled(g_sheet_id::cancel));
    // The finish page reports this run alone.
    EXPECT_EQ(handler.error_count(), 0u);
    // Help opens the contents: the page has no topic of its own.
    shell->press_help();
    EXPECT_EQ(gui.presenter.help_files, std::vector<QString>{QString(VEK_HELP_DIR) + "/index.html"});

    wait_for_finish_page();
    EXPECT_FALSE(shell->timer_running());
    EXPECT_EQ(progress().controls().pos(progress_id::bar), 100);
    EXPECT_EQ(progress().controls().text(progress_id::status), "");
    g_controls& f = finish_controls();
    EXPECT_EQ(f.text(finish_id::title), "Conversion is Completed");
    EXPECT_EQ(f.text_w(finish_id::text), vek_success_text);
    EXPECT_FALSE(f.is_visible(finish_id::errors));
    EXPECT_TRUE(shell->sheet().watermark_visible());
    EXPECT_FALSE(b.is_enabled(g_sheet_id::cancel));
    EXPECT_FALSE(b.is_enabled(g_sheet_id::help));
    EXPECT_TRUE(b.is_enabled(g_sheet_id::finish));
    save_shot(shell->sheet(), "page_finish_success");
    {
        // Enter is Finish from the start.
        auto& finish_button = b.as<QPushButton>(g_sheet_id::finish);
        EXPECT_TRUE(finish_button.isDefault());
        EXPECT_EQ(shell->sheet().focusWidget(), &finish_button);
    }

    for (const char* table : {"customers", "products", "attachments"})
        EXPECT_EQ(
            diff_rows(dbs.my, dbs.src(), table, dbs.dest(), table, table == std::string("products") ? "sku" : "id"),
            "");
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id::text, total::text FROM big_orders ORDER BY id"),
              (db_rows{{"1", "32.40"}, {"4", "49.80"}}));

    // Save Settings: a cancelled dialog writes nothing.
    const std::filesystem::path dir = registry / "profiles";
    std::filesystem::create_directories(dir);
    auto save = [&](std::optional<QString> answer) {
        gui.presenter.file_answers.push_back(answer);
        f.as<QPushButton>(finish_id::save).click();
    };
    save(std::nullopt);
    ASSERT_EQ(gui.presenter.file_requests.size(), 1u);
    EXPECT_EQ(gui.presenter.file_requests[0].title, "Select Profile File");
    EXPECT_EQ(gui.presenter.file_requests[0].filters[0].pattern, "*.vek");
    EXPECT_TRUE(std::filesystem::is_empty(dir));

    // A name without an extension gets ".vek"; the profile holds the run.
    save(QString::fromStdString((dir / "shop").string()));
    const std::filesystem::path saved = dir / "shop.vek";
    udb_profile p;
    ASSERT_TRUE(p.load(saved.wstring()));
    EXPECT_EQ(p.get_value(udb_profile::generic_settings, L"src"), conv->src);
    EXPECT_EQ(p.get_value(udb_profile::generic_settings, L"dest"), conv->dest);
    const udb_profile::section_map want{{L"attachments", L""},
                                        {L"big_orders", L"SELECT id, total FROM orders WHERE total > 10"},
                                        {L"customers", L""},
                                        {L"products", L""}};
    EXPECT_EQ(p.get_selected_tables(), want);
    EXPECT_TRUE(gui.presenter.boxes.empty());

    // An existing file is replaced only when the user says so.
    std::ofstream(saved, std::ios::binary) << "older";
    gui.presenter.box_answers = {g_button::no};
    save(QString::fromStdString(saved.string()));
    ASSERT_EQ(box_texts().size(), 1u);
    EXPECT_EQ(box_texts()[0].toStdString(),
              "The file '" + saved.string() + "' already exists.\nDo you want to replace it?");
    EXPECT_EQ(gui.presenter.boxes[0].default_button, g_button::no);
    EXPECT_EQ(read_file(saved), "older");
    gui.presenter.box_answers = {g_button::yes};
    save(QString::fromStdString(saved.string()));
    EXPECT_NE(read_file(saved).find("[Selected Tables]"), std::string::npos);

    // A save that fails says why.
    gui.presenter.boxes.clear();
    save(QString::fromStdString((dir / "missing" / "x.vek").string()));
    EXPECT_EQ(box_texts(),
              std::vector<QString>{"Profile cannot be saved: the file cannot be written (No such file or directory)."});

    shell->press_finish();
    EXPECT_TRUE(shell->ended());
    EXPECT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), 0);
}

// Rows that PostgreSQL cannot take (a date that is no calendar date, which
// MySQL keeps under ALLOW_INVALID_DATES): each is refused alone, and the run
// asks Continue or Abort on this thread while the worker waits.
void load_refused_rows(mysql_admin& my, int rows, int bad_from, int bad_count) {
    my.exec("CREATE TABLE a_first (id INT PRIMARY KEY, v VARCHAR(10))");
    my.exec("INSERT INTO a_first VALUES (1,'one'),(2,'two')");
    my.exec("CREATE TABLE dates (id INT PRIMARY KEY, d DATE)");
    my.exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'");
    my.exec("INSERT INTO dates SELECT seq, IF(seq >= " + std::to_string(bad_from) + " AND seq < " +
            std::to_string(bad_from + bad_count) + ", '2021-02-30', '2021-02-28') FROM seq_1_to_" +
            std::to_string(rows));
}

TEST_F(RunTest, a_refused_row_is_listed_on_the_finish_page_and_the_exit_code_is_minus_one) {
    scratch_dbs dbs("wz_run_refused", scratch_options{.create_dest = false, .unique = true});
    load_refused_rows(dbs.my, 3000, 1500, 1);
    start_for(dbs, {L"a_first", L"dates"});

    int shown_position = -1;
    QString shown_status;
    gui.presenter.dialog_script.push_back(click_in_dialog(g_err_id::continue_run, [&] {
        // The worker waits in the middle of the table: what the page shows now.
        progress().on_timer();
        shown_position = progress().controls().pos(progress_id::bar);
        shown_status = progress().controls().text(progress_id::status);
        save_shot(shell->sheet(), "page_progress");
    }));
    start_run();
    wait_for_finish_page();

    ASSERT_EQ(gui.presenter.dialogs.size(), 1u);
    EXPECT_EQ(gui.presenter.dialogs[0].thread, std::this_thread::get_id());
    EXPECT_EQ(gui.presenter.dialogs[0].dialog_id, g_err_id::continue_dialog);
    EXPECT_EQ(shown_status, "Processing table 'dates'");
    // One of two entries done, 1499 of 3000 records of the second: 50 + 24.
    EXPECT_EQ(shown_position, 74);

    g_controls& f = finish_controls();
    EXPECT_EQ(f.text(finish_id::title), "Conversion is Completed");
    EXPECT_EQ(f.text_w(finish_id::text), vek_errors_text);
    ASSERT_TRUE(f.is_visible(finish_id::errors));
    const QString list = f.text(finish_id::errors);
    EXPECT_TRUE(list.startsWith("dates, record #1500: ")) << list.toStdString();
    EXPECT_FALSE(list.contains('\n')) << "one error, no line break inside";
    EXPECT_TRUE(f.as<QPlainTextEdit>(finish_id::errors).isReadOnly());
    save_shot(shell->sheet(), "page_finish_errors");
    expect_enter_finishes();

    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*)::text FROM dates"), (db_rows{{"2999"}}));
    shell->press_finish();
    EXPECT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), -1);
}

TEST_F(RunTest, beyond_twenty_errors_the_finish_page_says_how_many_more) {
    scratch_dbs dbs("wz_run_many", scratch_options{.create_dest = false, .unique = true});
    load_refused_rows(dbs.my, 100, 10, 25);
    start_for(dbs, {L"dates"});
    handler.set_suppress(true);  // "Do not show this dialog box again"
    start_run();
    wait_for_finish_page();
    EXPECT_TRUE(gui.presenter.dialogs.empty());
    const QStringList lines = finish_controls().text(finish_id::errors).split("\n\n");
    ASSERT_EQ(lines.size(), 21);
    EXPECT_TRUE(lines[0].startsWith("dates, record #10: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[19].startsWith("dates, record #29: "));
    EXPECT_EQ(lines[20], "... and 5 more errors.");
}

// A table large enough that the run is still in its middle when Cancel is
// confirmed.
void load_large_table(mysql_admin& my) {
    my.exec("CREATE TABLE a_small (id INT PRIMARY KEY)");
    my.exec("INSERT INTO a_small VALUES (1),(2),(3)");
    my.exec("CREATE TABLE big (id INT PRIMARY KEY, s VARCHAR(40), t TIME NOT NULL)");
    my.exec("INSERT INTO big SELECT seq, CONCAT('row number ', seq), IF(seq = 5000, '838:59:59', '01:00:00') "
            "FROM seq_1_to_600000");
}

// Holds the worker at the run's first Continue/Abort question (away from the
// screen) until the test lets it continue; later questions go to the screen.
class holding_dialogs : public gui_error_dialogs {
public:
    using gui_error_dialogs::gui_error_dialogs;
    answer ask_continue(const std::string& text, bool& dont_show_again) override {
        if (m_asked.exchange(true)) return gui_error_dialogs::ask_continue(text, dont_show_again);
        held.set_value();
        m_release.get_future().wait();
        return answer::continue_run;
    }
    void release() {
        if (!m_released.exchange(true)) m_release.set_value();
    }

    std::promise<void> held;

private:
    std::atomic<bool> m_asked{false}, m_released{false};
    std::promise<void> m_release;
};

TEST_F(RunTest, cancel_in_the_middle_of_a_large_table_asks_stops_the_run_and_ends_with_minus_one) {
    scratch_dbs dbs("wz_run_cancel", scratch_options{.create_dest = false, .unique = true});
    load_large_table(dbs.my);
    start_for(dbs, {L"a_small", L"big"});
    holding_dialogs holding(gui.presenter, gui.carrier, gui.dispatcher);
    handler.set_dialogs(&holding);
    // However the test ends, the worker is let go and waited for first.
    const at_scope_end cleanup{[&] {
        holding.release();
        shell.reset();
        handler.set_dialogs(&screen_dialogs);
    }};
    std::future<void> held = holding.held.get_future();
    start_run();
    // The worker waits at the refused row 5000 of 600000, in the middle of big.
    ASSERT_TRUE(serve_until([&] { return held.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(conv->cur_table(), L"big");
    EXPECT_GT(conv->n_records_done.load(), 0);

    // No: the run goes on.
    gui.presenter.box_answers = {g_button::no};
    shell->press_cancel();
    ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    EXPECT_EQ(gui.presenter.boxes[0].caption, "Tessaline 1.0 Question");
    EXPECT_EQ(gui.presenter.boxes[0].default_button, g_button::no);
    EXPECT_FALSE(progress().stopping());
    EXPECT_FALSE(conv->stop_requested());

    // Yes: the run is asked to stop; nothing but waiting is left.
    gui.presenter.box_answers = {g_button::yes};
    shell->press_cancel();
    EXPECT_TRUE(progress().stopping());
    EXPECT_FALSE(shell->ended());  // the window stays until the worker has ended
    const g_controls& b = shell->sheet().controls();
    for (int id : {g_sheet_id::back, g_sheet_id::next, g_sheet_id::cancel, g_sheet_id::help})
        EXPECT_FALSE(b.is_enabled(id)) << id;
    shell->press_cancel();  // a disabled Cancel does nothing
    EXPECT_EQ(gui.presenter.boxes.size(), 2u);
    progress().on_timer();  // a tick while the run stops keeps the line
    EXPECT_EQ(progress().controls().text(progress_id::status), "Stopping the conversion...");
    EXPECT_GE(progress().controls().pos(progress_id::bar), 50);
    save_shot(shell->sheet(), "page_progress_stopping");

    // The worker goes on and stops before its next row.
    holding.release();
    ASSERT_TRUE(serve_until([&] { return shell->ended(); }, 60)) << "the run did not stop";
    EXPECT_EQ(shell->how_ended(), wizard_shell::end::cancelled);
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::stopped);
    EXPECT_LT(conv->n_records_done.load(), 10000);
    EXPECT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), -1);
    // As after Abort: the finished table stays, the one being copied is not kept.
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT table_name::text FROM information_schema.tables WHERE "
                                   "table_schema = 'public' ORDER BY 1"),
              (db_rows{{"a_small"}}));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*)::text FROM a_small"), (db_rows{{"3"}}));
}

TEST_F(RunTest, cancel_while_the_run_waits_for_continue_or_abort_answers_abort) {
    scratch_dbs dbs("wz_run_pending", scratch_options{.create_dest = false, .unique = true});
    load_large_table(dbs.my);
    start_for(dbs, {L"a_small", L"big"});
    start_run();
    // The worker has listed the refused row 5000 and now asks (or is about
    // to ask) this thread, which does not serve it: the question is pending.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (handler.errors().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(handler.errors().size(), 1u);

    gui.presenter.box_answers = {g_button::yes};
    shell->press_cancel();
    ASSERT_TRUE(serve_until([&] { return shell->ended(); }, 60)) << "the run did not end";
    // The Continue/Abort dialog never reached the screen: it was answered Abort.
    EXPECT_TRUE(gui.presenter.dialogs.empty());
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::ended);
    EXPECT_EQ(shell->how_ended(), wizard_shell::end::cancelled);
    EXPECT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), -1);
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT table_name::text FROM information_schema.tables WHERE "
                                   "table_schema = 'public' ORDER BY 1"),
              (db_rows{{"a_small"}}));
}

TEST_F(RunTest, a_run_with_nothing_selected_ends_on_the_finish_page_with_the_bar_at_100) {
    scratch_dbs dbs("wz_run_empty", scratch_options{.create_dest = false, .unique = true});
    start_for(dbs, {});
    start_run();
    wait_for_finish_page();
    EXPECT_EQ(progress().controls().pos(progress_id::bar), 100);
    EXPECT_EQ(finish_controls().text_w(finish_id::text), vek_success_text);
}

TEST_F(RunTest, a_source_that_does_not_open_ends_the_run_and_the_finish_page_says_it_did_not_complete) {
    scratch_dbs dbs("wz_run_nosrc", scratch_options{.create_dest = false, .unique = true});
    start_for(dbs, {L"t"});
    conv->src = L"wz_no_such_database";
    start_run();
    wait_for_finish_page();
    // The run's error came through the carrier, on this thread.
    ASSERT_EQ(gui.presenter.dialogs.size(), 1u);
    EXPECT_EQ(gui.presenter.dialogs[0].thread, std::this_thread::get_id());
    g_controls& f = finish_controls();
    EXPECT_EQ(f.text(finish_id::title), "Conversion is Not Completed");
    EXPECT_EQ(f.text_w(finish_id::text), vek_incomplete_text);
    EXPECT_TRUE(f.is_visible(finish_id::errors));
    save_shot(shell->sheet(), "page_finish_incomplete");
    expect_enter_finishes();
    EXPECT_FALSE(pg_db_exists(dbs.dest()));
    shell->press_finish();
    EXPECT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), -1);
}

// Tables that copy without a question of the run: three rows, then many.
void load_plain_tables(mysql_admin& my) {
    my.exec("CREATE TABLE a_small (id INT PRIMARY KEY)");
    my.exec("INSERT INTO a_small VALUES (1),(2),(3)");
    my.exec("CREATE TABLE big (id INT PRIMARY KEY, s VARCHAR(40))");
    my.exec("INSERT INTO big SELECT seq, CONCAT('row number ', seq) FROM seq_1_to_600000");
}

class CancelQuestionTest : public RunTest {
protected:
    // The worker ends before the databases go.
    ~CancelQuestionTest() override { shell.reset(); }

    // Starts the run and presses Cancel once it copies the rows of big.
    // While the question is open, the test waits (not serving the screen)
    // until the worker waits on its hold or the run has ended, then runs
    // `then`; the question is answered `answer`.
    void cancel_in_big(g_button answer, std::function<void()> then = {}) {
        gui.presenter.while_box_open = [this, then](const g_box&) {
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (!conv->waiting_on_hold() && !conv->b_finished.load() && std::chrono::steady_clock::now() < give_up)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            held_at_question = conv->waiting_on_hold();
            rows_at_question = conv->n_records_done.load();
            if (then) then();
        };
        start_run();
        ASSERT_TRUE(serve_until([&] { return conv->cur_table() == L"big" && conv->n_records_done.load() > 0; }));
        gui.presenter.box_answers = {answer};
        shell->press_cancel();
        ASSERT_EQ(gui.presenter.boxes.size(), 1u);
        gui.presenter.while_box_open = nullptr;
    }
    db_rows dest_tables() {
        return pg_query(dbs.dest(), "SELECT table_name::text FROM information_schema.tables WHERE table_schema = "
                                    "'public' ORDER BY 1");
    }

    scratch_dbs dbs{"wz_run_hold", scratch_options{.unique = true}};
    bool held_at_question = false;
    std::int64_t rows_at_question = -1;
};

TEST_F(CancelQuestionTest, the_run_waits_while_the_question_is_open_and_yes_keeps_nothing_of_the_table_being_copied) {
    load_plain_tables(dbs.my);
    start_for(dbs, {L"a_small", L"big"});
    cancel_in_big(g_button::yes);
    EXPECT_TRUE(held_at_question) << "the run went on behind the question";
    EXPECT_LT(rows_at_question, 600000);
    ASSERT_TRUE(serve_until([&] { return shell->ended(); }, 60)) << "the run did not stop";
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::stopped);
    EXPECT_EQ(conv->n_records_done.load(), rows_at_question);  // not a row after the answer
    EXPECT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), -1);
    // As the question said: what was converted stays, the table being copied is not kept.
    EXPECT_EQ(dest_tables(), (db_rows{{"a_small"}}));
}

TEST_F(CancelQuestionTest, no_lets_a_run_held_past_the_servers_time_limits_go_on_to_its_end) {
    load_plain_tables(dbs.my);
    // Limits a server may set for its sessions; the held COPY must outlast them.
    const char* const limits[] = {"statement_timeout", "idle_in_transaction_session_timeout", "idle_session_timeout"};
    for (const char* limit : limits) pg_exec("postgres", "ALTER DATABASE " + dbs.dest() + " SET " + limit + " = '1s'");
    start_for(dbs, {L"a_small", L"big"});
    cancel_in_big(g_button::no, [] { std::this_thread::sleep_for(std::chrono::milliseconds(2500)); });
    EXPECT_TRUE(held_at_question);
    EXPECT_FALSE(progress().stopping());
    wait_for_finish_page();
    // The test's own statements are not held to them.
    for (const char* limit : limits) pg_exec("postgres", "ALTER DATABASE " + dbs.dest() + " RESET " + limit);
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_EQ(handler.error_count(), 0u) << (handler.errors().empty() ? "" : handler.errors()[0]);
    EXPECT_EQ(dest_tables(), (db_rows{{"a_small"}, {"big"}}));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*)::text, sum(id)::text FROM big"),
              (db_rows{{"600000", "180000300000"}}));
    shell->press_finish();
    EXPECT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), 0);
}

}  // namespace
