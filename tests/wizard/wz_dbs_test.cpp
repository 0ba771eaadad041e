// The databases page with its please-wait and overwrite dialogs, against the
// private test servers.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/over_dlg.h"
#include "support/agent_db.h"
#include "tk/tk_threa.h"
#include "tk/tk_utils.h"
#include "wizard/pg_dbs.h"
#include "wizard/wait_dlg.h"
#include "wz_fixture.h"

namespace {

// A job that runs until the test lets it end.
struct gated_job : tk_job {
    std::mutex lock;
    std::condition_variable opened;
    bool open = false;
    std::atomic<bool> finished{false};

    void operator()() override {
        std::unique_lock<std::mutex> g(lock);
        opened.wait(g, [this] { return open; });
        finished = true;
    }
    void release() {
        {
            std::lock_guard<std::mutex> g(lock);
            open = true;
        }
        opened.notify_all();
    }
};

struct quick_job : tk_job {
    std::atomic<bool> finished{false};
    void operator()() override { finished = true; }
};

TEST_F(WizardTest, the_please_wait_dialog_turns_its_icon_and_ends_only_with_its_job) {
    start();
    gated_job job;
    bool visible_after_escape = false, visible_after_close = false;
    int frames_seen = 0;
    gui.presenter.wait_script.push_back([&](QDialog& d) {
        auto& wait = dynamic_cast<please_wait_dlg&>(d);
        EXPECT_EQ(wait.period(), 500);
        EXPECT_FALSE(d.windowFlags() & Qt::WindowCloseButtonHint);
        // Escape and the close box while the job runs; then, once the icon
        // has moved on twice, the job may end.
        QTimer::singleShot(0, &d, [&] {
            QTest::keyClick(&d, Qt::Key_Escape);
            visible_after_escape = d.isVisible();
            d.close();
            visible_after_close = d.isVisible();
            save_shot(d, "dialog_please_wait");
        });
        auto* poll = new QTimer(&d);
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        QObject::connect(poll, &QTimer::timeout, &d, [&, poll, give_up] {
            if (wait.frame() > frames_seen) frames_seen = wait.frame();
            if (frames_seen >= 2 || std::chrono::steady_clock::now() > give_up) {
                poll->stop();
                job.release();
            }
        });
        poll->start(20);
        return d.exec();
    });
    run_behind_please_wait(*shell, job);
    EXPECT_TRUE(job.finished.load());  // the call returns only after the job ended
    EXPECT_TRUE(visible_after_escape);
    EXPECT_TRUE(visible_after_close);
    EXPECT_GE(frames_seen, 2);
    ASSERT_EQ(gui.presenter.waits.size(), 1u);
    EXPECT_EQ(gui.presenter.waits[0].dialog_id, wait_id::dialog);
    EXPECT_TRUE(gui.presenter.dialogs.empty());

    // The frames go round: after the last comes the first.
    please_wait_dlg alone(L"Tessaline 1.0", gui.dispatcher);
    for (int i = 0; i < please_wait_dlg::frame_count; ++i) alone.next_frame();
    EXPECT_EQ(alone.frame(), 0);
}

TEST_F(WizardTest, the_please_wait_dialog_ends_when_its_job_ended_before_it_appeared) {
    start();
    quick_job job;
    bool ended_before_shown = false;
    gui.presenter.wait_script.push_back([&](QDialog& d) {
        auto& wait = dynamic_cast<please_wait_dlg&>(d);
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!wait.wait_ended() && std::chrono::steady_clock::now() < give_up) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ended_before_shown = wait.wait_ended() && !d.isVisible();
        return d.exec();  // returns at once
    });
    run_behind_please_wait(*shell, job);
    EXPECT_TRUE(ended_before_shown);
    EXPECT_TRUE(job.finished.load());
}

class DatabasesPageTest : public WizardTest {
protected:
    // Shows the databases page with both servers connected.
    void open_page() {
        start();
        connect_servers();
        ASSERT_TRUE(shell->set_cur_sel_id(vek_page::databases));
        ASSERT_EQ(shell->current_index(), databases_index);
    }
    sel_file_page& dbs() { return static_cast<sel_file_page&>(page(databases_index)); }
    g_controls& c() { return controls(databases_index); }
    QComboBox& combo() { return c().as<QComboBox>(dbs_id::source); }
    std::vector<QString> items() {
        std::vector<QString> out;
        for (int i = 0; i < combo().count(); ++i) out.push_back(combo().itemText(i));
        return out;
    }
    // Opens and closes the drop-down as a user would.
    void drop_down() {
        combo().showPopup();
        combo().hidePopup();
    }
};

TEST_F(DatabasesPageTest, the_first_drop_down_lists_behind_the_please_wait_dialog_and_the_next_does_not) {
    scratch_dbs s("wz_list_src", scratch_options{.create_dest = false, .unique = true});
    open_page();
    c().set_text(dbs_id::source, std::string("typed"));
    drop_down();
    ASSERT_EQ(gui.presenter.waits.size(), 1u);
    EXPECT_EQ(gui.presenter.waits[0].dialog_id, wait_id::dialog);
    EXPECT_TRUE(dbs().listed());
    const std::vector<QString> listed = items();
    for (const char* name : {"information_schema", "mysql"})
        EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << name;
    EXPECT_NE(std::find(listed.begin(), listed.end(), QString::fromStdString(s.src())), listed.end());
    EXPECT_EQ(c().text_a(dbs_id::source), "typed");  // a name that is no item stays as typed
    EXPECT_TRUE(box_texts().empty());

    // No second listing, also after leaving the page and coming back.
    drop_down();
    shell->press_back();
    ASSERT_TRUE(shell->set_cur_sel_id(vek_page::databases));
    drop_down();
    EXPECT_EQ(gui.presenter.waits.size(), 1u);
    EXPECT_EQ(items(), listed);
}

TEST_F(DatabasesPageTest, a_failed_listing_is_told_after_the_dialog_and_the_next_drop_down_lists_again) {
    start();
    ASSERT_TRUE(shell->set_cur_sel_id(vek_page::databases));
    // No MySQL connection yet: the listing fails.
    std::size_t boxes_while_waiting = 99;
    gui.presenter.wait_script.push_back([&](QDialog& d) {
        const int code = d.exec();
        boxes_while_waiting = gui.presenter.boxes.size();
        return code;
    });
    drop_down();
    EXPECT_EQ(boxes_while_waiting, 0u);
    ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    EXPECT_EQ(gui.presenter.boxes[0].icon, g_icon::error);
    EXPECT_EQ(gui.presenter.boxes[0].thread, std::this_thread::get_id());
    EXPECT_FALSE(box_texts()[0].isEmpty());
    EXPECT_FALSE(dbs().listed());
    EXPECT_EQ(combo().count(), 0);
    // Not an error of a run: the handler has nothing of it.
    EXPECT_TRUE(handler.errors().empty());
    EXPECT_TRUE(dialogs.shown.empty());

    connect_servers();
    drop_down();
    EXPECT_EQ(gui.presenter.waits.size(), 2u);
    EXPECT_TRUE(dbs().listed());
    EXPECT_GT(combo().count(), 0);
    EXPECT_EQ(gui.presenter.boxes.size(), 1u);
}

TEST_F(DatabasesPageTest, the_drop_down_selects_only_the_item_of_the_whole_name) {
    scratch_dbs s("wz_pick_shop_archive", scratch_options{.create_dest = false, .unique = true});
    const std::string archive = s.src();
    const std::string shop = archive.substr(0, archive.find("_archive"));  // wz_pick_shop
    open_page();
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {shop, shop},                                                        // begins an item's name: left alone
        {QString::fromStdString(archive).toUpper().toStdString(), archive},  // the same name in capitals
        {archive, archive},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.text);
        c().set_text(dbs_id::source, k.text);
        drop_down();
        EXPECT_EQ(c().text_a(dbs_id::source), k.shown);
    }
}

TEST_F(DatabasesPageTest, picking_a_database_fills_an_empty_destination_and_clears_choices_only_for_another) {
    scratch_dbs s("wz_pick_src", scratch_options{.create_dest = false, .unique = true});
    open_page();
    conv->src = tk_utf8_to_unicode(s.src());
    auto choose = [&] {
        conv->selected_tables = {L"t1"};
        conv->selected_queries = {{L"q", L"SELECT 1"}};
        conv->available_queries = {{L"a", L"SELECT 2"}};
        conv->views = {{L"v", L"select 3"}};
    };
    auto pick = [&](const std::string& name) {
        const int i = combo().findText(QString::fromStdString(name));
        ASSERT_GE(i, 0) << name;
        combo().setCurrentIndex(i);
        emit combo().activated(i);
    };
    choose();
    c().set_text(dbs_id::dest, std::string());
    drop_down();
    pick(s.src());  // the database the choices belong to
    EXPECT_EQ(c().text_a(dbs_id::dest), s.src());
    EXPECT_EQ(conv->selected_tables, std::vector<std::wstring>{L"t1"});
    EXPECT_EQ(conv->selected_queries.size(), 1u);
    EXPECT_EQ(conv->available_queries.size(), 1u);
    EXPECT_EQ(conv->views.size(), 1u);

    pick("mysql");                                 // another database: the choices are void
    EXPECT_EQ(c().text_a(dbs_id::dest), s.src());  // not empty: kept
    EXPECT_TRUE(conv->selected_tables.empty());
    EXPECT_TRUE(conv->selected_queries.empty());
    EXPECT_TRUE(conv->available_queries.empty());
    EXPECT_TRUE(conv->views.empty());
}

TEST_F(DatabasesPageTest, next_wants_both_names_and_an_existing_source) {
    scratch_dbs s("wz_next_src", scratch_options{.create_dest = false, .unique = true});
    open_page();
    const struct {
        std::string src, dest;
        const char* said;  // null: goes on
    } cases[] = {
        {"", "", "You should enter MySQL database name"},
        {"", "d", "You should enter MySQL database name"},
        {s.src(), "", "You should enter PostgreSQL database name"},
        {s.src() + "_none", s.dest(), "MySQL database does not exist"},
        {s.src(), s.dest(), nullptr},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.src + " -> " + k.dest);
        gui.presenter.boxes.clear();
        c().set_text(dbs_id::source, k.src);
        c().set_text(dbs_id::dest, k.dest);
        shell->press_next();
        if (k.said) {
            EXPECT_EQ(shell->current_index(), databases_index);
            ASSERT_EQ(box_texts(), std::vector<QString>{k.said});
            EXPECT_EQ(gui.presenter.boxes[0].icon, g_icon::information);
        } else {
            EXPECT_EQ(shell->current_index(), tables_index);
            EXPECT_TRUE(box_texts().empty());
        }
    }
    EXPECT_EQ(conv->src, tk_utf8_to_unicode(s.src()));
    EXPECT_EQ(conv->dest, tk_utf8_to_unicode(s.dest()));
}

// A user who may not use the source hears the server's refusal in the error
// box; only a database the server does not have "does not exist".
TEST_F(DatabasesPageTest, next_with_a_source_refused_to_the_user_shows_the_servers_refusal) {
    scratch_dbs s("wz_next_denied", scratch_options{.create_dest = false, .unique = true});
    const mysql_user_without_rights user("vek_wz_nr_" + std::to_string(getpid()));
    open_page();
    const server_address my = mysql_test_server();
    conv->store_mysql_settings(my.host, user.name(), user.password(), std::to_string(my.port));
    conv->connect_mysql_server();
    c().set_text(dbs_id::source, s.src());
    c().set_text(dbs_id::dest, s.dest());
    shell->press_next();
    EXPECT_EQ(shell->current_index(), databases_index);
    ASSERT_EQ(box_texts().size(), 1u);
    EXPECT_EQ(box_texts()[0].toStdString(),
              "Access denied. Ask your system administrator to grant you the necessary privileges to read the "
              "database. The server said: Access denied for user '" +
                  user.name() + "'@'%' to database '" + s.src() + "'");
    EXPECT_EQ(gui.presenter.boxes[0].icon, g_icon::error);
    EXPECT_FALSE(pg_db_exists(s.dest()));
}

TEST_F(DatabasesPageTest, shows_the_converter_names_and_options_and_stores_them_on_back) {
    start();
    conv->src = L"shop";
    conv->dest = L"";
    conv->tab_def = true;
    conv->skip_idx = false;
    ASSERT_TRUE(shell->set_cur_sel_id(vek_page::databases));
    EXPECT_EQ(c().text_a(dbs_id::source), "shop");
    EXPECT_EQ(c().text_a(dbs_id::dest), "shop");  // the source's name when none is set
    EXPECT_TRUE(c().is_checked(dbs_id::tab_def));
    EXPECT_FALSE(c().is_checked(dbs_id::skip_idx));
    EXPECT_EQ(shell->sheet().header_title(), "Step 3 of 6");
    EXPECT_EQ(shell->sheet().header_subtitle(), "Select databases");
    EXPECT_EQ(shell->sheet().focusWidget(), &c().at(dbs_id::source));

    c().as<QCheckBox>(dbs_id::tab_def).click();
    c().as<QCheckBox>(dbs_id::skip_idx).click();
    c().set_text(dbs_id::dest, std::string("shop_pg"));
    save_shot(shell->sheet(), "page_databases");
    shell->press_back();
    EXPECT_EQ(shell->current_index(), pgs_index);
    EXPECT_FALSE(conv->tab_def);
    EXPECT_TRUE(conv->skip_idx);
    EXPECT_EQ(conv->dest, L"shop_pg");

    gui.presenter.help_files.clear();
    ASSERT_TRUE(shell->set_cur_sel_id(vek_page::databases));
    shell->press_help();
    EXPECT_EQ(gui.presenter.help_files, std::vector<QString>{QString(VEK_HELP_DIR) + "/1016.html"});
}

TEST_F(DatabasesPageTest, tab_goes_down_the_page_and_enter_in_the_name_box_means_next) {
    scratch_dbs s("wz_keys_src", scratch_options{.create_dest = false, .unique = true});
    open_page();
    const int ids[] = {dbs_id::source, dbs_id::dest, dbs_id::tab_def, dbs_id::skip_idx};
    std::vector<int> order;
    QWidget* w = &c().at(dbs_id::source);
    for (int step = 0; step < 200 && order.size() < std::size(ids); ++step, w = w->nextInFocusChain())
        for (int id : ids)
            if (w == &c().at(id) || (id == dbs_id::source && w == combo().lineEdit())) {
                if (order.empty() || order.back() != id) order.push_back(id);
            }
    EXPECT_EQ(order, std::vector<int>(std::begin(ids), std::end(ids)));

    c().set_text(dbs_id::source, s.src());
    c().set_text(dbs_id::dest, s.dest());
    QTest::keyClick(combo().lineEdit(), Qt::Key_Return);
    EXPECT_EQ(shell->current_index(), tables_index);
    EXPECT_EQ(combo().count(), 0);  // Enter adds nothing to the list
}

class OverwriteTest : public DatabasesPageTest {
protected:
    void SetUp() override {
        pg_exec(s.dest(), "CREATE TABLE kept (x INT)");
        open_page();
        c().set_text(dbs_id::source, s.src());
        c().set_text(dbs_id::dest, s.dest());
    }
    bool dest_untouched() { return pg_db_exists(s.dest()) && pg_query(s.dest(), "SELECT * FROM kept").empty(); }

    scratch_dbs s{"wz_over", scratch_options{.create_dest = true, .unique = true}};
};

TEST_F(OverwriteTest, each_option_sets_the_mode_and_nothing_is_dropped) {
    const struct {
        int mode_before;
        int preselected;
        int clicked;  // 0: OK as it opens
        int mode_after;
    } cases[] = {
        {0, over_id::tables_only, over_id::entire_database, 0},
        {0, over_id::tables_only, 0, 1},
        {2, over_id::skip_existing, 0, 2},
        {3, over_id::merge, over_id::tables_only, 1},
        {4, over_id::tables_only, over_id::merge, 3},
        {1, over_id::tables_only, over_id::skip_existing, 2},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.mode_before);
        conv->set_mode(k.mode_before);
        int preselected = -1;
        gui.presenter.dialog_script.push_back([&](QDialog& d) {
            auto& dialog = dynamic_cast<overwrite_dlg2&>(d);
            preselected = dialog.controls().checked_radio(over_id::entire_database, over_id::merge);
            if (k.clicked) dialog.controls().as<QRadioButton>(k.clicked).click();
            dialog.controls().as<QPushButton>(over_id::ok).click();
            return d.result();
        });
        shell->press_next();
        EXPECT_EQ(preselected, k.preselected);
        EXPECT_EQ(conv->n_mode, k.mode_after);
        EXPECT_EQ(shell->current_index(), tables_index);
        EXPECT_TRUE(dest_untouched());
        shell->press_back();
        ASSERT_EQ(shell->current_index(), databases_index);
    }
    EXPECT_EQ(gui.presenter.dialogs.size(), std::size(cases));
    EXPECT_TRUE(box_texts().empty());
}

TEST_F(OverwriteTest, cancel_keeps_the_page_the_mode_and_the_database) {
    conv->set_mode(2);
    QString caption, text;
    bool help_shown = false;
    gui.presenter.dialog_script.push_back([&](QDialog& d) {
        auto& dialog = dynamic_cast<overwrite_dlg2&>(d);
        caption = d.windowTitle();
        text = dialog.controls().text(over_id::text);
        dialog.controls().as<QPushButton>(over_id::help).click();
        help_shown = !gui.presenter.help_files.empty();
        save_dialog_shot(d, "dialog_overwrite");
        QTest::keyClick(&d, Qt::Key_Escape);
        return d.result();
    });
    shell->press_next();
    EXPECT_EQ(shell->current_index(), databases_index);
    EXPECT_EQ(conv->n_mode, 2);
    EXPECT_TRUE(dest_untouched());
    EXPECT_EQ(caption, "Tessaline 1.0 Warning");
    EXPECT_EQ(text.toStdWString(), overwrite_question_text);
    EXPECT_TRUE(help_shown);
    EXPECT_EQ(gui.presenter.help_files.back(), QString(VEK_HELP_DIR) + "/1012.html");
    EXPECT_EQ(gui.presenter.beeps, 1);  // when it appeared
    ASSERT_EQ(gui.presenter.dialogs.size(), 1u);
    EXPECT_EQ(gui.presenter.dialogs[0].result, overwrite_dlg2::cancel);
}

}  // namespace
