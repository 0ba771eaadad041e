// Every question a page puts to a server is asked on a worker thread behind
// the please-wait dialog: while the server keeps the answer back, the window
// goes on serving its events (timers, paints), keys typed meanwhile go to the
// dialog and reach no page, Escape does not close it, and a failure is told
// once it has closed. The servers hold back by not answering at all: a port
// that takes connections and stays silent, or a private server held with
// SIGSTOP.
#include <signal.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "support/agent_db.h"
#include "support/own_servers.h"
#include "support/test_db.h"
#include "support/test_ports.h"
#include "wizard/pg_tabs.h"
#include "wizard/pg_util.h"
#include "wizard/qry_dlg.h"
#include "wizard/wait_dlg.h"
#include "wz_fixture.h"

namespace {

// Counts the paints a widget gets.
class paint_counter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// What the GUI thread did while a page waited for a server.
struct observed_wait {
    int ticks = 0;                 // of a timer of the GUI thread
    bool dialog_shown = false;     // the please-wait dialog was up
    QString text;                  // what it said
    int paints = 0;                // of the sheet, after it asked for one
    bool open_after_keys = false;  // Escape and typing did not end the wait
    std::size_t boxes_at_close = 99;
};

// True once every thread of the process is stopped. kill() only queues
// SIGSTOP: until the server's threads have taken it, one of them may still
// answer the question the test meant to hold back.
bool all_threads_stopped(pid_t pid) {
    std::error_code ec;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::ifstream stat(task.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // The state follows the command name's closing parenthesis.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos || close + 2 >= line.size()) continue;  // the thread has ended
        const char state = line[close + 2];
        if (state != 'T' && state != 't') return false;
    }
    return !ec;
}

// The processes whose parent is `parent` (a PostgreSQL server's backends).
std::vector<pid_t> children_of(pid_t parent) {
    std::vector<pid_t> out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        // After the parenthesis: the state, then the parent's id.
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t ppid = 0;
        if (rest >> state >> ppid && ppid == parent) out.push_back(std::stoi(name));
    }
    return out;
}

// A server held with SIGSTOP (its process, and a PostgreSQL server's
// backends with it) until resume(); should the test not get there, a
// watchdog lets it go on after a while, so a window that waits for it on its
// own thread ends the test with a failure instead of a hang.
class held_server {
public:
    explicit held_server(pid_t pid, bool with_children = false) : m_pids{pid} {
        if (with_children)
            for (pid_t child : children_of(pid)) m_pids.push_back(child);
        for (pid_t p : m_pids) kill(p, SIGSTOP);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!held() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m_watchdog = std::thread([this] {
            std::unique_lock<std::mutex> g(m_lock);
            m_changed.wait_for(g, std::chrono::seconds(40), [this] { return m_resumed; });
            for (pid_t p : m_pids) kill(p, SIGCONT);
        });
    }
    ~held_server() {
        resume();
        m_watchdog.join();
    }
    held_server(const held_server&) = delete;
    held_server& operator=(const held_server&) = delete;

    // Every thread of every held process is stopped.
    bool held() const {
        return std::all_of(m_pids.begin(), m_pids.end(), [](pid_t p) { return all_threads_stopped(p); });
    }
    void resume() {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_resumed = true;
        }
        m_changed.notify_all();
    }

private:
    std::vector<pid_t> m_pids;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_resumed = false;
    std::thread m_watchdog;
};

class WaitTest : public WizardTest {
protected:
    // Runs `action` while a timer of the GUI thread looks on. Once the
    // please-wait dialog is up, the timer types into the window, asks the
    // sheet for a paint and, when it came, calls `release` so that the server
    // answers (or fails).
    observed_wait observe(const std::function<void()>& action, const std::function<void()>& release,
                          const QString& shot) {
        observed_wait seen;
        paint_counter counter;
        shell->sheet().installEventFilter(&counter);
        bool acting = true, released = false;
        int paints_before = -1;
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (!acting) return;
            ++seen.ticks;
            auto* wait = dynamic_cast<please_wait_dlg*>(QApplication::activeModalWidget());
            if (released || !wait || !wait->isVisible()) return;
            if (!seen.dialog_shown) {
                seen.dialog_shown = true;
                seen.text = wait->controls().text(wait_id::text);
                save_shot(*wait, shot);
                // Keys go where the keyboard's focus is, as a user's would.
                QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Escape);
                QTest::keyClicks(static_cast<QWidget*>(nullptr), "zz");
                QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
                seen.open_after_keys = wait->isVisible() && !wait->wait_ended();
                paints_before = counter.paints;
                shell->sheet().update();
                return;
            }
            if (counter.paints == paints_before) return;
            seen.paints = counter.paints - paints_before;
            released = true;
            release();
        });
        gui.presenter.wait_script.push_back([&](QDialog& d) {
            const int code = d.exec();
            seen.boxes_at_close = gui.presenter.boxes.size();
            return code;
        });
        tick.start();
        action();
        acting = false;
        shell->sheet().removeEventFilter(&counter);
        // A wait that never came leaves its script entry behind.
        gui.presenter.wait_script.clear();
        return seen;
    }

    // Two tables and a view in the source; the wizard started on it with
    // both servers connected.
    void start_on_shop(scratch_dbs& s) {
        s.my.exec("CREATE TABLE items (id INT PRIMARY KEY, price DECIMAL(10,2))");
        s.my.exec("CREATE TABLE orders (id INT PRIMARY KEY)");
        s.my.exec("CREATE VIEW cheap_items AS SELECT id FROM items WHERE price < 10");
        start_on(s.src(), s.dest());
    }

    // The texts of every line edit of the page.
    std::map<int, QString> line_texts(int index) {
        std::map<int, QString> out;
        for (int id : {conn_id::user, conn_id::password, conn_id::host, conn_id::port})
            out[id] = controls(index).text(id);
        return out;
    }

    static void expect_served(const observed_wait& seen, const wchar_t* text) {
        EXPECT_GT(seen.ticks, 0) << "the GUI thread served no event while the server was asked";
        EXPECT_TRUE(seen.dialog_shown);
        EXPECT_EQ(seen.text.toStdWString(), text);
        EXPECT_TRUE(seen.open_after_keys);
        EXPECT_GT(seen.paints, 0);
        EXPECT_EQ(seen.boxes_at_close, 0u);
    }
};

TEST_F(WaitTest, next_on_a_connection_page_waits_for_a_silent_server_behind_the_please_wait_dialog) {
    start();
    const struct {
        int index;
        const wchar_t* text;
        const char* shot;
    } pages[] = {{mysql_index, wait_text::mysql.text, "dialog_please_wait_mysql"},
                 {pgs_index, wait_text::pgs.text, "dialog_please_wait_pgs"}};
    for (const auto& p : pages) {
        SCOPED_TRACE(p.index);
        silent_port port;
        go_to(p.index);
        fill(p.index, true, "127.0.0.1", std::to_string(port.port()), "someone", "secret");
        controls(p.index).focus(conn_id::user);
        const std::map<int, QString> typed = line_texts(p.index);
        gui.presenter.boxes.clear();
        gui.presenter.waits.clear();

        const observed_wait seen = observe([&] { shell->press_next(); },
                                           [&] {
                                               EXPECT_TRUE(port.called());
                                               port.hang_up();
                                           },
                                           p.shot);
        expect_served(seen, p.text);
        ASSERT_EQ(gui.presenter.waits.size(), 1u);
        EXPECT_EQ(gui.presenter.waits[0].dialog_id, wait_id::dialog);
        EXPECT_EQ(gui.presenter.waits[0].thread, std::this_thread::get_id());
        // The failure, once the dialog had closed; the user stays.
        ASSERT_EQ(gui.presenter.boxes.size(), 1u);
        EXPECT_EQ(gui.presenter.boxes[0].icon, g_icon::error);
        EXPECT_EQ(gui.presenter.boxes[0].thread, std::this_thread::get_id());
        EXPECT_EQ(shell->current_index(), p.index);
        // What was typed meanwhile reached no box of the page.
        EXPECT_EQ(line_texts(p.index), typed);
    }
}

// The databases' existence, the tables and views listings and Test Query,
// against a private pair whose MySQL server is held while each is asked.
TEST_F(WaitTest, the_databases_tables_views_and_test_query_wait_behind_the_please_wait_dialog) {
    own_servers servers;
    scratch_dbs s("wz_wait", scratch_options{.create_dest = false, .unique = true});
    start_on_shop(s);

    auto held = [&](const std::function<void()>& action, const QString& shot) {
        held_server hold(servers.mysql_pid());
        return observe(
            action, [&] { hold.resume(); }, shot);
    };

    // Next on the databases page asks both servers whether the databases
    // exist (the MySQL server is held), then the tables page lists the tables.
    ASSERT_TRUE(shell->set_cur_sel_id(vek_page::databases));
    expect_served(held([&] { shell->press_next(); }, "dialog_please_wait_databases"), wait_text::mysql_database.text);
    ASSERT_EQ(shell->current_index(), tables_index);
    EXPECT_EQ(gui.presenter.waits.size(), 3u);

    // The tables page lists the tables as it opens.
    shell->press_back();
    ASSERT_EQ(shell->current_index(), databases_index);
    gui.presenter.waits.clear();
    expect_served(held([&] { ASSERT_TRUE(shell->set_cur_sel_id(vek_page::tables)); }, "dialog_please_wait_tables"),
                  wait_text::tables.text);
    ASSERT_EQ(shell->current_index(), tables_index);
    EXPECT_EQ(controls(tables_index).list_count(tabs_id::available), 2);
    EXPECT_EQ(gui.presenter.waits.size(), 1u);

    // Next asks for the views, and the views page lists them as it opens.
    controls(tables_index).as<QPushButton>(tabs_id::add_all).click();
    expect_served(held([&] { shell->press_next(); }, "dialog_please_wait_views"), wait_text::views.text);
    ASSERT_EQ(shell->current_index(), views_index);
    EXPECT_EQ(controls(views_index).list_item(tabs_id::available, 0), "cheap_items");
    EXPECT_EQ(gui.presenter.waits.size(), 3u);

    // Test Query, from the query dialog.
    set_query_dlg query(*shell, *conv, L"q", L"");
    query.controls().set_text(query_id::query, std::string("SELECT id FROM items"));
    expect_served(held([&] { query.controls().as<QPushButton>(query_id::test).click(); }, "dialog_please_wait_query"),
                  wait_text::query.text);
    EXPECT_EQ(box_texts(), std::vector<QString>{"The query is correct."});
    EXPECT_EQ(gui.presenter.waits.size(), 4u);
    EXPECT_TRUE(gui.presenter.dialogs.empty());
}

// A server that stops answering after the connection was made: every call
// behind the please-wait dialog is given up once the converter's answer
// limit has passed, while the server is still held. A box names the server,
// the user stays where they were with what they had typed, and once the
// server goes on the same action works.
TEST_F(WaitTest, a_call_the_server_leaves_unanswered_is_given_up_and_the_same_action_works_once_it_answers) {
    own_servers servers;
    scratch_dbs s("wz_silent", scratch_options{.create_dest = false, .unique = true});
    start_on_shop(s);
    conv->answer_limit = std::chrono::seconds(2);
    const QString typed_query = "SELECT id FROM items";
    std::unique_ptr<set_query_dlg> query;

    const struct {
        const char* what;
        bool pg;  // the PostgreSQL server is held, else the MySQL server
        wait_reason given_up;
        std::function<void()> go_there;  // before the server is held
        std::function<void()> act;
        int stays_on;  // the page the user is on after the box
        std::function<void()> check_answered;
    } steps[] = {
        {"the MySQL database's existence", false, wait_text::mysql_database,
         [&] { ASSERT_TRUE(shell->set_cur_sel_id(vek_page::databases)); }, [&] { shell->press_next(); },
         databases_index, [&] { EXPECT_EQ(shell->current_index(), tables_index); }},
        {"the PostgreSQL database's existence", true, wait_text::pgs_database, [&] { shell->press_back(); },
         [&] { shell->press_next(); }, databases_index, [&] { EXPECT_EQ(shell->current_index(), tables_index); }},
        {"the views' listing", false, wait_text::views,
         [&] { controls(tables_index).as<QPushButton>(tabs_id::add_all).click(); }, [&] { shell->press_next(); },
         tables_index,
         [&] {
             ASSERT_EQ(shell->current_index(), views_index);
             EXPECT_EQ(controls(views_index).list_item(tabs_id::available, 0), "cheap_items");
         }},
        // Back lists the tables again as their page opens.
        {"the tables' listing", false, wait_text::tables, [] {}, [&] { shell->press_back(); }, views_index,
         [&] {
             ASSERT_EQ(shell->current_index(), tables_index);
             EXPECT_EQ(controls(tables_index).list_count(tabs_id::available), 0);
             EXPECT_EQ(controls(tables_index).list_count(tabs_id::selected), 2);
         }},
        {"Test Query", false, wait_text::query,
         [&] {
             query = std::make_unique<set_query_dlg>(*shell, *conv, L"q", L"");
             query->controls().set_text(query_id::query, typed_query.toStdString());
         },
         [&] { query->controls().as<QPushButton>(query_id::test).click(); }, tables_index,
         [&] {
             EXPECT_EQ(box_texts(), std::vector<QString>{"The query is correct."});
             EXPECT_EQ(query->controls().text(query_id::query), typed_query);
         }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.go_there();
        gui.presenter.boxes.clear();
        gui.presenter.waits.clear();
        std::vector<QString> wait_texts;
        for (int i = 0; i < 3; ++i)
            gui.presenter.wait_script.push_back([&](QDialog& d) {
                auto& wait = dynamic_cast<please_wait_dlg&>(d);
                wait_texts.push_back(wait.controls().text(wait_id::text));
                return d.exec();
            });
        {
            held_server hold(step.pg ? servers.pg_pid() : servers.mysql_pid(), step.pg);
            ASSERT_TRUE(hold.held());
            step.act();
            // Given up while the server still kept its answer back.
            EXPECT_TRUE(hold.held());
            const std::wstring box =
                tk_utf8_to_unicode(vek_box_paragraph(tk_to_utf8(no_answer_text(step.given_up, conv->answer_limit))));
            ASSERT_EQ(gui.presenter.boxes.size(), 1u);
            EXPECT_EQ(gui.presenter.boxes[0].icon, g_icon::error);
            EXPECT_EQ(gui.presenter.boxes[0].text.toStdWString(), box);
            ASSERT_FALSE(wait_texts.empty());
            EXPECT_EQ(wait_texts.back().toStdWString(), step.given_up.text);
            EXPECT_EQ(shell->current_index(), step.stays_on);
        }
        gui.presenter.wait_script.clear();
        gui.presenter.boxes.clear();
        step.act();
        step.check_answered();
    }
    // A run that starts right after a call was given up connects again first.
    {
        held_server hold(servers.mysql_pid());
        gui.presenter.boxes.clear();
        query->controls().as<QPushButton>(query_id::test).click();
        ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    }
    query.reset();
    conv->convert_views = false;
    shell->press_next();
    ASSERT_EQ(shell->current_index(), run_index);
    ASSERT_TRUE(serve_until([&] {
        const auto outcome = conv->last_outcome();
        return outcome != dravik_convertor::run_outcome::not_run && outcome != dravik_convertor::run_outcome::running;
    }));
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_EQ(pg_query(s.dest(), "SELECT table_name::text FROM information_schema.tables WHERE "
                                 "table_schema = 'public' ORDER BY 1"),
              (db_rows{{"items"}, {"orders"}}));

    // Its text names the limit in seconds, and the server.
    EXPECT_EQ(no_answer_text(wait_text::pgs_database, std::chrono::seconds(30)),
              L"The PostgreSQL server did not answer within 30 seconds. Check to verify that PostgreSQL server\n"
              L"is not stopped or overloaded, and try again.");
}

}  // namespace
