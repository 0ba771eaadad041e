// Quick launch: dravik started with a profile converts at once on the
// progress page; a profile that cannot run is refused before anything is
// connected or dropped.
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "udb/udb_prof.h"
#include "wizard/pg_dbs.h"
#include "wizard/pg_tabs.h"
#include "wizard/vek_main.h"
#include "wz_run_fix.h"

namespace {

class QuickLaunchTest : public RunTest {
protected:
    // The program as its entry runs it, on this test's screen. Finish is
    // pressed once the finish page shows; `pages` gets every page seen.
    int run_program(const std::vector<std::string>& args, std::vector<int>* pages = nullptr) {
        QTimer watcher;
        bool timed_out = false;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            wizard_shell* sh = wizard_shell::find();
            if (!sh || !sh->current_page()) return;
            const int id = sh->current_page()->dialog_id();
            if (pages && (pages->empty() || pages->back() != id)) pages->push_back(id);
            if (id == vek_page::finish) {
                sh->press_finish();
            } else if (std::chrono::steady_clock::now() > end) {
                timed_out = true;
                sh->end_wizard(wizard_shell::end::cancelled);
            }
        });
        watcher.start(20);
        const int code = vek_run_program({gui.presenter, gui.carrier, gui.dispatcher, handler}, args);
        EXPECT_FALSE(timed_out) << "the run did not end";
        return code;
    }

    // The last session's settings: both servers, and `dest` as the last
    // destination (the mode is not remembered: a start is in mode 0).
    void remember_last_session(const std::string& src, const std::string& dest) {
        const server_address my = mysql_test_server();
        const server_address pg = pg_test_server();
        dravik_convertor last(handler, converter_form::wizard);
        last.store_mysql_settings(my.host, my.user, my.password, std::to_string(my.port));
        last.store_pgs_settings(pg.host, pg.user, pg.password, static_cast<unsigned>(pg.port));
        last.src = tk_utf8_to_unicode(src);
        last.dest = tk_utf8_to_unicode(dest);
    }  // written to the registry here

    std::string write_profile(const std::string& name, const std::string& text) {
        const std::filesystem::path dir = registry / "profiles";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    }

    // A profile naming both databases and the MySQL server (profiles carry no
    // PostgreSQL port: the remembered one serves).
    static std::string profile_text(const std::string& src, const std::string& dest, const std::string& mysql_password,
                                    const std::string& tables, char mode = '0') {
        const server_address my = mysql_test_server();
        const server_address pg = pg_test_server();
        return "[Generic settings]\r\nsrc=" + src + "\r\ndest=" + dest + "\r\nmode=" + std::string(1, mode) +
               "\r\n[MySQL settings]\r\nhost=" + my.host + "\r\nport=" + std::to_string(my.port) +
               "\r\nuser=" + my.user + "\r\npassword=" + mysql_password + "\r\n[pgs settings]\r\nhost=" + pg.host +
               "\r\nuser=" + pg.user + "\r\npassword=" + pg.password + "\r\n[Selected Tables]\r\n" + tables +
               "[Available Queries]\r\n";
    }
};

TEST_F(QuickLaunchTest, a_good_profile_converts_at_once_and_ends_with_0) {
    scratch_dbs dbs("wz_quick_ok", scratch_options{.unique = true});
    load_shop(dbs.my);
    pg_exec(dbs.dest(), "CREATE TABLE stale (id int)");
    remember_last_session("elsewhere", "elsewhere");
    const std::string path =
        write_profile("shop profile.vek", profile_text(dbs.src(), dbs.dest(), mysql_test_server().password,
                                                       "customers\r\norders\r\nrich=SELECT id, total FROM orders WHERE "
                                                       "total > 10\r\n"));
    std::vector<int> pages;
    // A path with a blank, given unquoted: the arguments make one path.
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    gui.presenter.box_answers = {g_button::yes};
    EXPECT_EQ(run_program({folder + "shop", "profile.vek"}, &pages), 0)
        << (box_texts().size() < 2 ? "" : box_texts()[1].toStdString());
    EXPECT_EQ(pages, (std::vector<int>{vek_page::progress, vek_page::finish}));
    // Mode 0 onto a destination that exists asked first.
    ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    EXPECT_EQ(gui.presenter.boxes[0].text.toStdString(),
              "The destination database '" + dbs.dest() +
                  "' already exists. It holds 1 table: stale.\n\nOverwrite the entire database? Everything in it "
                  "is dropped.");
    // Yes: mode 0 dropped the old destination before the run made it again.
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT table_name::text FROM information_schema.tables WHERE "
                                   "table_schema = 'public' ORDER BY 1"),
              (db_rows{{"customers"}, {"orders"}, {"rich"}}));
    EXPECT_EQ(diff_rows(dbs.my, dbs.src(), "customers", dbs.dest(), "customers", "id"), "");
    EXPECT_EQ(diff_rows(dbs.my, dbs.src(), "orders", dbs.dest(), "orders", "id"), "");
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id::text, total::text FROM rich ORDER BY id"),
              (db_rows{{"1", "32.40"}, {"4", "49.80"}}));
}

TEST_F(QuickLaunchTest, a_profile_that_cannot_run_is_refused_before_anything_is_connected_or_dropped) {
    scratch_dbs dbs("wz_quick_bad", scratch_options{.unique = true});
    dbs.my.exec("CREATE TABLE t (id INT)");
    pg_exec(dbs.dest(), "CREATE TABLE keep_me (id int)");
    pg_exec(dbs.dest(), "INSERT INTO keep_me VALUES (1)");
    // Left in force, the last session would convert into this destination in
    // mode 0, which drops it.
    remember_last_session(dbs.src(), dbs.dest());
    const std::string good_password = mysql_test_server().password;
    const mysql_user_without_rights user("vek_wzq_nr_" + std::to_string(getpid()));
    // The profile's MySQL login (the first user line) is that user's.
    std::string no_rights = profile_text(dbs.src(), dbs.dest(), user.password(), "t\r\n");
    const std::string login = "\r\nuser=" + mysql_test_server().user + "\r\n";
    no_rights.replace(no_rights.find(login), login.size(), "\r\nuser=" + user.name() + "\r\n");
    const struct {
        const char* name;
        std::string text;  // empty name: no file
        std::string shown;
    } cases[] = {
        {"", "", "Profile does not exist. Please verify the correct path/name was given."},
        {"empty.vek", "", profile_unloadable_text},
        {"bom.vek", "\xEF\xBB\xBF", profile_unloadable_text},
        {"no_sections.vek", "src=" + dbs.src() + "\r\ndest=" + dbs.dest() + "\r\n", profile_unloadable_text},
        {"no_source.vek", "[Generic settings]\r\ndest=" + dbs.dest() + "\r\n", quick_no_source_text},
        {"no_dest.vek", "[Generic settings]\r\nsrc=" + dbs.src() + "\r\n", quick_no_dest_text},
        {"bad_mode.vek", "[Generic settings]\r\nsrc=a\r\ndest=b\r\nmode=7\r\n", "Invalid merge/overwrite mode"},
        {"missing_source.vek", profile_text("wz_no_such_source", dbs.dest(), good_password, "t\r\n"),
         "Source database 'wz_no_such_source' does not exist"},
        {"no_rights.vek", no_rights,
         "Access denied. Ask your system administrator to grant you\nthe necessary privileges to read the "
         "database.\nThe server said: Access denied for user '" +
             user.name() + "'@'%' to database '" + dbs.src() + "'"},
        {"wrong_password.vek", profile_text(dbs.src(), dbs.dest(), good_password + "-wrong", "t\r\n"),
         tk_error_converter(mysql_error_map).convert(mysql_wrong_password_code())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gui.presenter.boxes.clear();
        const std::string path =
            *c.name ? write_profile(c.name, c.text) : (registry / "profiles" / "none.vek").string();
        std::vector<int> pages;
        EXPECT_EQ(run_program({path}, &pages), -1);
        EXPECT_TRUE(pages.empty()) << "the sheet opened";
        ASSERT_EQ(gui.presenter.boxes.size(), 1u);
        std::string shown = c.shown;
        std::replace(shown.begin(), shown.end(), '\n', ' ');  // shown on one line, as the run's errors are
        EXPECT_EQ(gui.presenter.boxes[0].text.toStdString(), shown);
        EXPECT_EQ(gui.presenter.boxes[0].caption, "Error");  // no wizard window
        EXPECT_EQ(gui.presenter.boxes[0].icon, g_icon::error);
        EXPECT_EQ(pg_query(dbs.dest(), "SELECT id::text FROM keep_me"), (db_rows{{"1"}}));
    }
}

TEST_F(QuickLaunchTest, mode_0_onto_a_destination_that_exists_asks_first_and_no_changes_nothing) {
    scratch_dbs dbs("wz_quick_ask", scratch_options{.unique = true});
    dbs.my.exec("CREATE TABLE t (id INT PRIMARY KEY)");
    dbs.my.exec("INSERT INTO t VALUES (1)");
    for (int i = 1; i <= 12; ++i) pg_exec(dbs.dest(), "CREATE TABLE added_" + std::to_string(100 + i) + " (id int)");
    pg_exec(dbs.dest(), "CREATE SCHEMA other");
    pg_exec(dbs.dest(), "CREATE TABLE other.kept (id int)");
    pg_exec(dbs.dest(), "INSERT INTO added_101 VALUES (7)");
    remember_last_session("elsewhere", "elsewhere");
    const std::string path =
        write_profile("ask.vek", profile_text(dbs.src(), dbs.dest(), mysql_test_server().password, "t\r\n"));
    std::vector<int> pages;
    EXPECT_EQ(run_program({path}, &pages), -1);  // the box's default: No
    EXPECT_TRUE(pages.empty()) << "the sheet opened";
    ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    const shown_box& box = gui.presenter.boxes[0];
    EXPECT_EQ(box.caption, "Question");
    EXPECT_EQ(box.icon, g_icon::question);
    EXPECT_EQ(box.buttons, g_buttons::yes_no);
    EXPECT_EQ(box.default_button, g_button::no);
    EXPECT_EQ(box.text.toStdString(),
              "The destination database '" + dbs.dest() +
                  "' already exists. It holds 13 tables: added_101, added_102, added_103, added_104, added_105, "
                  "added_106, added_107, added_108, added_109, added_110 and 3 more.\n\nOverwrite the entire "
                  "database? Everything in it is dropped.");
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT count(*)::text FROM information_schema.tables WHERE table_schema IN "
                                   "('public', 'other')"),
              (db_rows{{"13"}}));
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id::text FROM added_101"), (db_rows{{"7"}}));
}

TEST_F(QuickLaunchTest, a_destination_that_does_not_exist_is_made_whatever_the_mode_without_a_question) {
    scratch_dbs dbs("wz_quick_new", scratch_options{.create_dest = false, .unique = true});
    dbs.my.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))");
    dbs.my.exec("INSERT INTO t VALUES (1, 'one'), (2, NULL)");
    remember_last_session("elsewhere", "elsewhere");
    for (char mode : {'0', '1', '2', '3', '4'}) {
        SCOPED_TRACE(mode);
        pg_drop_db(dbs.dest());
        gui.presenter.boxes.clear();
        const std::string path =
            write_profile("new.vek", profile_text(dbs.src(), dbs.dest(), mysql_test_server().password, "t\r\n", mode));
        EXPECT_EQ(run_program({path}), 0) << (box_texts().empty() ? "" : box_texts()[0].toStdString());
        EXPECT_TRUE(gui.presenter.boxes.empty());
        EXPECT_EQ(diff_rows(dbs.my, dbs.src(), "t", dbs.dest(), "t", "id"), "");
    }
}

// A walk into a destination that did not exist offers no mode; the profile
// saved after it must not drop that destination on a quick launch later.
TEST_F(QuickLaunchTest, a_profile_saved_after_a_walk_into_a_new_destination_keeps_it_on_a_quick_launch) {
    scratch_dbs dbs("wz_quick_walk", scratch_options{.create_dest = false, .unique = true});
    dbs.my.exec("CREATE TABLE t (id INT PRIMARY KEY)");
    dbs.my.exec("INSERT INTO t VALUES (1), (2)");
    start();
    connect_servers();
    ASSERT_TRUE(shell->set_cur_sel_id(vek_page::databases));
    controls(databases_index).set_text(dbs_id::source, dbs.src());
    controls(databases_index).set_text(dbs_id::dest, dbs.dest());
    shell->press_next();
    ASSERT_EQ(shell->current_index(), tables_index) << (box_texts().empty() ? "" : box_texts()[0].toStdString());
    EXPECT_TRUE(gui.presenter.dialogs.empty());  // nothing to overwrite, nothing asked
    controls(tables_index).as<QPushButton>(tabs_id::add_all).click();
    shell->press_next();
    wait_for_finish_page();
    const std::string path = (registry / "walk.vek").string();
    gui.presenter.file_answers.push_back(QString::fromStdString(path));
    finish_controls().as<QPushButton>(finish_id::save).click();
    shell->press_finish();
    ASSERT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), 0);
    udb_profile saved;
    ASSERT_TRUE(saved.load(tk_utf8_to_unicode(path)));
    EXPECT_EQ(saved.get_value(udb_profile::generic_settings, L"mode"), L"1");
    shell.reset();
    conv.reset();  // one converter at a time: the program makes its own

    // Since then the destination got a table of its own.
    pg_exec(dbs.dest(), "CREATE TABLE added_since (id int)");
    pg_exec(dbs.dest(), "INSERT INTO added_since VALUES (9)");
    dbs.my.exec("INSERT INTO t VALUES (3)");
    gui.presenter.boxes.clear();
    EXPECT_EQ(run_program({path}), 0) << (box_texts().empty() ? "" : box_texts()[0].toStdString());
    EXPECT_TRUE(gui.presenter.boxes.empty());
    EXPECT_EQ(pg_query(dbs.dest(), "SELECT id::text FROM added_since"), (db_rows{{"9"}}));
    EXPECT_EQ(diff_rows(dbs.my, dbs.src(), "t", dbs.dest(), "t", "id"), "");
}

}  // namespace
