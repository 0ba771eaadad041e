// The welcome page and the two connection pages, driven as a user would,
// against the private test servers.
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <fstream>
#include <thread>

#include <QMessageBox>

#include "gui2/g_modal.h"
#include "gui2/g_qt_pres.h"
#include "sql/sql_engi.h"
#include "support/test_db.h"
#include "support/test_ports.h"
#include "support/test_servers.h"
#include "wizard/pg_util.h"
#include "wz_fixture.h"

namespace {

// The text in the program's own error box, captured for a person to read.
void show_in_a_real_box(const QString& text, const QString& shot) {
    g_qt_presenter presenter;
    g_box box;
    box.caption = "Tessaline 1.0 Error";
    box.text = text;
    box.icon = g_icon::error;
    when_shown<QMessageBox>([&](QMessageBox& mb) {
        save_shot(mb, shot);
        mb.defaultButton()->click();
    });
    presenter.show_box(box);
}

TEST_F(WizardTest, opens_on_the_welcome_page_with_the_watermark_and_next_only) {
    start();
    EXPECT_EQ(shell->current_index(), welcome_index);
    EXPECT_EQ(shell->sheet().windowTitle(), "Tessaline 1.0");
    EXPECT_TRUE(shell->sheet().watermark_visible());
    EXPECT_FALSE(shell->sheet().header_visible());
    const g_controls& b = shell->sheet().controls();
    EXPECT_FALSE(b.is_enabled(g_sheet_id::back));
    EXPECT_TRUE(b.is_enabled(g_sheet_id::next));
    EXPECT_TRUE(b.is_enabled(g_sheet_id::help));
    EXPECT_EQ(controls(welcome_index).text(welcome_id::title), "Welcome to the Database\nConversion Wizard\n");
    EXPECT_TRUE(controls(welcome_index).at(welcome_id::title).font().bold());
    EXPECT_EQ(controls(welcome_index).text(welcome_id::load_profile), "&Load profile");
    EXPECT_EQ(shell->sheet().focusWidget(), &shell->sheet().controls().at(g_sheet_id::next));
    save_shot(shell->sheet(), "page_welcome");
    // Enter goes on, also from the page's own button.
    QTest::keyClick(&controls(welcome_index).at(welcome_id::load_profile), Qt::Key_Return);
    EXPECT_EQ(shell->current_index(), mysql_index);
    EXPECT_TRUE(gui.presenter.file_requests.empty());
}

TEST_F(WizardTest, connection_pages_show_their_step_in_the_header) {
    start();
    const struct {
        int index;
        const char* title;
        const char* subtitle;
        const char* shot;
    } pages[] = {{mysql_index, "Step 1 of 6", "Connect to MySQL server", "page_mysql"},
                 {pgs_index, "Step 2 of 6", "Connect to PostgreSQL server", "page_pgs"}};
    for (const auto& p : pages) {
        go_to(p.index);
        fill(p.index, true, "db1.example.org", p.index == mysql_index ? "3306" : "5432", "converter", "secret");
        EXPECT_TRUE(shell->sheet().header_visible());
        EXPECT_FALSE(shell->sheet().watermark_visible());
        EXPECT_EQ(shell->sheet().header_title(), p.title);
        EXPECT_EQ(shell->sheet().header_subtitle(), p.subtitle);
        EXPECT_TRUE(shell->sheet().controls().is_enabled(g_sheet_id::back));
        EXPECT_EQ(controls(p.index).as<QLineEdit>(conn_id::password).echoMode(), QLineEdit::Password);
        save_shot(shell->sheet(), p.shot);
    }
}

TEST_F(WizardTest, local_and_remote_switch_the_host_and_port_boxes) {
    start();
    for (int index : {mysql_index, pgs_index}) {
        go_to(index);
        g_controls& c = controls(index);
        c.as<QRadioButton>(conn_id::remote).click();
        EXPECT_TRUE(c.is_enabled(conn_id::host));
        EXPECT_TRUE(c.is_enabled(conn_id::port));
        EXPECT_EQ(shell->sheet().focusWidget(), &c.at(conn_id::port)) << index;
        c.as<QRadioButton>(conn_id::local).click();
        EXPECT_FALSE(c.is_enabled(conn_id::host));
        EXPECT_FALSE(c.is_enabled(conn_id::port));
    }
}

TEST_F(WizardTest, a_connection_page_opens_on_its_checked_access_mode) {
    start();
    conv->mysql_converter_impl::host = "db1.example.org";
    conv->pgs_converter_impl::host = "db2.example.org";
    for (int index : {mysql_index, pgs_index}) {
        go_to(index);
        g_controls& c = controls(index);
        ASSERT_TRUE(c.as<QRadioButton>(conn_id::remote).isChecked()) << index;
        EXPECT_EQ(shell->sheet().focusWidget(), &c.at(conn_id::remote)) << index;
    }
}

TEST_F(WizardTest, the_tab_order_goes_down_the_page_then_to_the_buttons) {
    start();
    go_to(mysql_index);
    const int ids[] = {conn_id::local, conn_id::remote, conn_id::user, conn_id::password, conn_id::host, conn_id::port};
    g_controls& c = controls(mysql_index);
    std::vector<int> order;
    QWidget* w = &c.at(conn_id::local);
    for (int step = 0; step < 200 && order.size() < std::size(ids); ++step, w = w->nextInFocusChain())
        for (int id : ids)
            if (w == &c.at(id)) order.push_back(id);
    EXPECT_EQ(order, std::vector<int>(std::begin(ids), std::end(ids)));
    // After the port box the focus leaves the page for the sheet's buttons.
    QWidget* after = c.at(conn_id::port).nextInFocusChain();
    while (after && !(after->isVisible() && after->isEnabled() && (after->focusPolicy() & Qt::TabFocus)))
        after = after->nextInFocusChain();
    EXPECT_FALSE(page(mysql_index).isAncestorOf(after));
}

TEST_F(WizardTest, the_mysql_page_stores_what_local_and_remote_mean) {
    start();
    const struct {
        bool remote;
        const char* host;
        const char* port;
        const char* stored_host;
        const char* stored_port;
    } cases[] = {
        {false, "ignored.example", "1234", "", "3306"},
        {true, "db1.example.org", "", "db1.example.org", "3306"},
        {true, " db1 ", " 3307 ", "db1", "3307"},
    };
    for (const auto& c : cases) {
        go_to(mysql_index);
        fill(mysql_index, c.remote, c.host, c.port, " reader ", "pass word");
        shell->press_back();  // stores without connecting
        EXPECT_EQ(shell->current_index(), welcome_index);
        EXPECT_EQ(conv->mysql_converter_impl::host, c.stored_host);
        EXPECT_EQ(conv->mysql_converter_impl::port, c.stored_port);
        EXPECT_EQ(conv->mysql_converter_impl::user, "reader");
        EXPECT_EQ(conv->mysql_converter_impl::password, "pass word");
    }
}

TEST_F(WizardTest, the_postgresql_port_is_empty_for_the_default_or_1_to_65535) {
    start();
    const struct {
        const char* text;
        int stored;  // -1: refused
    } cases[] = {{"", 0},       {"  ", 0},     {"5433", 5433},     {" 5433 ", 5433}, {"65535", 65535},
                 {"1", 1},      {"abc", -1},   {"-1", -1},         {"0", -1},        {"65536", -1},
                 {"5432x", -1}, {"+5432", -1}, {"99999999999", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        go_to(pgs_index);
        conv->pgs_converter_impl::port = 7;
        gui.presenter.boxes.clear();
        fill(pgs_index, true, "db2.example.org", c.text, "loader", "pw");
        shell->press_back();
        if (c.stored >= 0) {
            EXPECT_EQ(shell->current_index(), mysql_index);
            EXPECT_EQ(conv->pgs_converter_impl::port, static_cast<unsigned>(c.stored));
            EXPECT_TRUE(gui.presenter.boxes.empty());
        } else {
            EXPECT_EQ(shell->current_index(), pgs_index);
            EXPECT_EQ(conv->pgs_converter_impl::port, 7u);  // nothing stored
            EXPECT_EQ(box_texts(), std::vector<QString>{invalid_pg_port_text});
            EXPECT_EQ(shell->sheet().focusWidget(), &controls(pgs_index).at(conn_id::port));
            // Next refuses it the same way, before any connection is tried.
            shell->press_next();
            EXPECT_EQ(shell->current_index(), pgs_index);
            EXPECT_EQ(box_texts().size(), 2u);
        }
    }
    // Local: no host, the default port, whatever the boxes hold.
    go_to(pgs_index);
    fill(pgs_index, false, "ignored.example", "abc", "loader", "pw");
    shell->press_back();
    EXPECT_EQ(conv->pgs_converter_impl::host, "");
    EXPECT_EQ(conv->pgs_converter_impl::port, 0u);
}

TEST_F(WizardTest, long_entries_reach_the_converter_whole) {
    start();
    const std::string host(300, 'h'), user(270, 'u'), password = std::string(400, 'p') + "\xc3\xa9";
    for (int index : {mysql_index, pgs_index}) {
        go_to(index);
        fill(index, true, host, "", user, password);
        shell->press_back();
    }
    EXPECT_EQ(conv->mysql_converter_impl::host, host);
    EXPECT_EQ(conv->mysql_converter_impl::user, user);
    EXPECT_EQ(conv->mysql_converter_impl::password, password);
    EXPECT_EQ(conv->pgs_converter_impl::host, host);
    EXPECT_EQ(conv->pgs_converter_impl::user, user);
    EXPECT_EQ(conv->pgs_converter_impl::password, password);
}

TEST_F(WizardTest, a_wrong_mysql_password_shows_the_mapped_text_and_keeps_the_page) {
    const server_address my = mysql_test_server();
    start();
    go_to(mysql_index);
    fill(mysql_index, true, my.host, std::to_string(my.port), my.user, my.password + "-wrong");
    shell->press_next();
    EXPECT_EQ(shell->current_index(), mysql_index);
    ASSERT_EQ(box_texts().size(), 1u);
    // The mapped text as one paragraph: the box wraps it, not the text's own breaks.
    EXPECT_EQ(box_texts()[0].toStdString(),
              vek_box_paragraph(tk_error_converter(mysql_error_map).convert(mysql_wrong_password_code())));
    EXPECT_FALSE(box_texts()[0].contains('\n'));
    show_in_a_real_box(box_texts()[0], "box_error_mysql_access_denied");
    EXPECT_EQ(gui.presenter.boxes[0].caption, "Tessaline 1.0 Error");
    EXPECT_TRUE(gui.presenter.help_files.empty());
    // The settings were stored before the attempt.
    EXPECT_EQ(conv->mysql_converter_impl::password, my.password + "-wrong");

    // A port that is no number is refused before connecting.
    fill(mysql_index, true, my.host, "abc", my.user, my.password);
    shell->press_next();
    EXPECT_EQ(shell->current_index(), mysql_index);
    EXPECT_EQ(box_texts().back(), "Invalid port number");

    fill(mysql_index, true, my.host, std::to_string(my.port), my.user, my.password);
    shell->press_next();
    EXPECT_EQ(shell->current_index(), pgs_index);
    EXPECT_EQ(box_texts().size(), 2u);
    EXPECT_TRUE(conv->mysql_converter_impl::engine.connected());
}

// A port that takes the connection and never answers (a hung server) is a
// server that did not answer within the timeout, not a lost connection.
TEST_F(WizardTest, a_mysql_server_that_never_answers_is_said_so_and_keeps_the_page) {
    const server_address my = mysql_test_server();
    silent_port silent;
    start();
    go_to(mysql_index);
    fill(mysql_index, true, "127.0.0.1", std::to_string(silent.port()), my.user, my.password);
    shell->press_next();
    EXPECT_EQ(shell->current_index(), mysql_index);
    ASSERT_EQ(box_texts().size(), 1u);
    EXPECT_EQ(box_texts()[0].toStdString(),
              "The MySQL server did not answer within 10 seconds. Check to verify that MySQL server is not stopped "
              "or overloaded and the correct host/port values were given.");
    EXPECT_FALSE(conv->mysql_converter_impl::engine.connected());
}

TEST_F(WizardTest, a_wrong_postgresql_password_shows_the_server_text_and_keeps_the_page) {
    const server_address pg = pg_test_server();
    start();
    go_to(pgs_index);
    fill(pgs_index, true, pg.host, std::to_string(pg.port), pg.user, pg.password + "-wrong");
    shell->press_next();
    EXPECT_EQ(shell->current_index(), pgs_index);
    ASSERT_EQ(box_texts().size(), 1u);
    EXPECT_NE(box_texts()[0].indexOf("password authentication failed"), -1) << box_texts()[0].toStdString();
    EXPECT_FALSE(conv->pgs_converter_impl::engine.is_connected());

    // libpq's text of a refused connection comes indented on lines of its
    // own; the box shows it as one trimmed paragraph.
    {
        const dead_port refusing;
        fill(pgs_index, true, pg.host, std::to_string(refusing.port()), pg.user, pg.password);
        shell->press_next();
    }
    ASSERT_EQ(box_texts().size(), 2u);
    const QString refused = box_texts()[1];
    EXPECT_NE(refused.indexOf("Connection refused"), -1) << refused.toStdString();
    EXPECT_EQ(refused, refused.simplified()) << refused.toStdString();
    show_in_a_real_box(refused, "box_error_pgs_refused");
    gui.presenter.boxes.clear();

    fill(pgs_index, true, pg.host, std::to_string(pg.port), pg.user, pg.password);
    shell->press_next();
    EXPECT_TRUE(box_texts().empty());
    EXPECT_TRUE(conv->pgs_converter_impl::engine.is_connected());
    EXPECT_EQ(conv->pgs_converter_impl::port, static_cast<unsigned>(pg.port));
}

TEST_F(WizardTest, f1_and_help_open_each_page_topic) {
    start();
    const struct {
        int index;
        int topic;
    } pages[] = {{welcome_index, vek_topic::welcome}, {mysql_index, vek_topic::mysql}, {pgs_index, vek_topic::pgs}};
    for (const auto& p : pages) {
        ASSERT_TRUE(shell->set_cur_sel_id(page(p.index).dialog_id()));
        gui.presenter.help_files.clear();
        shell->press_help();
        QTest::keyClick(&shell->sheet(), Qt::Key_F1);
        const QString topic = QString(VEK_HELP_DIR) + "/" + QString::number(p.topic) + ".html";
        EXPECT_EQ(gui.presenter.help_files, (std::vector<QString>{topic, topic}));
        EXPECT_TRUE(QFile::exists(topic)) << topic.toStdString();
    }
    EXPECT_TRUE(box_texts().empty());

    shell->set_help_dir("/nonexistent/dravik.help");
    shell->press_help();
    EXPECT_EQ(box_texts(), std::vector<QString>{"Help file does not exist. Reinstall the program."});
}

// A profile file with the given text.
std::string write_profile(const std::filesystem::path& dir, const std::string& text) {
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / "settings.vek";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

TEST_F(WizardTest, a_loaded_profile_fills_the_pages) {
    const server_address my = mysql_test_server();
    start();
    const std::string path =
        write_profile(registry / "profiles", "[Generic settings]\r\nsrc=shop\r\ndest=shop_pg\r\nmode=1\r\n"
                                             "[MySQL settings]\r\nhost=" +
                                                 my.host + "\r\nport=" + std::to_string(my.port) +
                                                 "\r\nuser=" + my.user + "\r\npassword=" + my.password +
                                                 "\r\n[pgs settings]\r\nhost=db2.example.org\r\nuser=loader\r\n"
                                                 "password=pg secret\r\n[Selected Tables]\r\n[Available Queries]\r\n");
    gui.presenter.file_answers.push_back(QString::fromStdString(path));
    controls(welcome_index).as<QPushButton>(welcome_id::load_profile).click();
    ASSERT_EQ(gui.presenter.file_requests.size(), 1u);
    EXPECT_EQ(gui.presenter.file_requests[0].title, "Select Profile File");
    EXPECT_EQ(gui.presenter.file_requests[0].filters[0].pattern, "*.vek");
    EXPECT_TRUE(box_texts().empty());
    EXPECT_EQ(conv->src, L"shop");
    EXPECT_EQ(conv->n_mode, 1);

    shell->press_next();
    ASSERT_EQ(shell->current_index(), mysql_index);
    g_controls& m = controls(mysql_index);
    EXPECT_TRUE(m.is_checked(conn_id::remote));
    EXPECT_EQ(m.text_a(conn_id::host), my.host);
    EXPECT_EQ(m.text_a(conn_id::port), std::to_string(my.port));
    EXPECT_EQ(m.text_a(conn_id::user), my.user);
    EXPECT_EQ(m.text_a(conn_id::password), my.password);

    shell->press_next();  // connects with the profile's settings
    ASSERT_EQ(shell->current_index(), pgs_index) << (box_texts().empty() ? "" : box_texts()[0].toStdString());
    g_controls& p = controls(pgs_index);
    EXPECT_TRUE(p.is_checked(conn_id::remote));
    EXPECT_EQ(p.text_a(conn_id::host), "db2.example.org");
    EXPECT_EQ(p.text_a(conn_id::port), "");  // profiles carry no port: the default
    EXPECT_EQ(p.text_a(conn_id::user), "loader");
    EXPECT_EQ(p.text_a(conn_id::password), "pg secret");
}

// Alt+L is the welcome page's Load profile, from wherever the focus is; on
// the MySQL page the same letter is Local, and no file is asked for there.
TEST_F(WizardTest, alt_l_loads_a_profile_on_the_welcome_page_only) {
    start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shell->sheet()));
    const std::string path = write_profile(registry / "profiles", "[Generic settings]\r\nsrc=shop\r\ndest=shop_pg\r\n");
    gui.presenter.file_answers.push_back(QString::fromStdString(path));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
    // A button's letter presses it as a click does, shown for a moment.
    ASSERT_TRUE(serve_until([&] { return !gui.presenter.file_requests.empty(); }, 10));
    ASSERT_EQ(gui.presenter.file_requests.size(), 1u);
    EXPECT_EQ(gui.presenter.file_requests[0].title, "Select Profile File");
    EXPECT_TRUE(box_texts().empty());
    EXPECT_EQ(conv->src, L"shop");
    EXPECT_EQ(shell->current_index(), welcome_index);

    go_to(mysql_index);
    controls(mysql_index).as<QRadioButton>(conn_id::remote).click();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
    // Local is clicked the same way: once it is checked, a press of the
    // welcome page's button would have come too.
    EXPECT_TRUE(serve_until([&] { return controls(mysql_index).is_checked(conn_id::local); }, 10));
    EXPECT_EQ(gui.presenter.file_requests.size(), 1u);
}

TEST_F(WizardTest, a_profile_that_does_not_load_says_why_and_changes_nothing) {
    start();
    conv->src = L"before";
    const struct {
        const char* text;  // null: no file
        std::string shown;
    } cases[] = {
        {"host=db1\r\n[MySQL settings]\r\n", profile_unloadable_text},
        {"", profile_unloadable_text},
        {"[Generic settings]\r\nsrc=x\r\nmode=7\r\n", "Invalid merge/overwrite mode"},
        {nullptr, "Profile does not exist. Please verify the correct path/name was given."},
    };
    for (const auto& c : cases) {
        gui.presenter.boxes.clear();
        const std::string path = c.text ? write_profile(registry / "bad", c.text) : (registry / "none.vek").string();
        gui.presenter.file_answers.push_back(QString::fromStdString(path));
        controls(welcome_index).as<QPushButton>(welcome_id::load_profile).click();
        EXPECT_EQ(box_texts(), std::vector<QString>{QString::fromStdString(c.shown)}) << (c.text ? c.text : "none");
        EXPECT_EQ(conv->src, L"before");
    }
    // Cancelling the dialog changes nothing and says nothing.
    gui.presenter.boxes.clear();
    controls(welcome_index).as<QPushButton>(welcome_id::load_profile).click();
    EXPECT_TRUE(box_texts().empty());
    EXPECT_EQ(conv->src, L"before");
    EXPECT_EQ(shell->current_index(), welcome_index);
}

TEST_F(WizardTest, the_pages_open_with_the_last_used_settings) {
    {
        dravik_convertor last(handler, converter_form::wizard);
        last.store_mysql_settings("db1.example.org", "reader", "my secret", "3307");
        last.store_pgs_settings("db2.example.org", "loader", "pg secret", 5433);
    }  // stored in the registry here
    start();
    go_to(mysql_index);
    g_controls& m = controls(mysql_index);
    EXPECT_TRUE(m.is_checked(conn_id::remote));
    EXPECT_EQ(m.text_a(conn_id::host), "db1.example.org");
    EXPECT_EQ(m.text_a(conn_id::port), "3307");
    EXPECT_EQ(m.text_a(conn_id::password), "my secret");
    go_to(pgs_index);
    g_controls& p = controls(pgs_index);
    EXPECT_EQ(p.text_a(conn_id::host), "db2.example.org");
    EXPECT_EQ(p.text_a(conn_id::port), "5433");
    EXPECT_EQ(p.text_a(conn_id::user), "loader");
}

TEST_F(WizardTest, a_first_start_shows_local_servers) {
    start();
    go_to(mysql_index);
    EXPECT_TRUE(controls(mysql_index).is_checked(conn_id::local));
    EXPECT_FALSE(controls(mysql_index).is_enabled(conn_id::host));
    go_to(pgs_index);
    EXPECT_TRUE(controls(pgs_index).is_checked(conn_id::local));
}

TEST(WizardExitCode, is_0_only_after_a_clean_finished_run) {
    error_handler eh(pgs_error_map);
    dravik_convertor conv(eh);
    EXPECT_EQ(vek_exit_code(wizard_shell::end::cancelled, conv, eh), -1);
    EXPECT_EQ(vek_exit_code(wizard_shell::end::finished, conv, eh), -1);  // nothing ran
}

TEST_F(WizardTest, the_quick_launch_opens_at_the_size_of_the_walk) {
    const QSize screens[] = {{1024, 768}, {1920, 1080}};
    start();
    std::vector<QSize> walk;
    for (const QSize& screen : screens) walk.push_back(shell->sheet().opening_size(screen));
    shell.reset();
    shell = std::make_unique<vek_shell>(gui.services());
    vek_add_run_pages(*shell, *conv, handler);
    for (std::size_t i = 0; i < std::size(screens); ++i)
        EXPECT_EQ(shell->sheet().opening_size(screens[i]), walk[i]) << screens[i].width();
}

}  // namespace
