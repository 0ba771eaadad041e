// The sheet's page protocol, boxes, cancel, help, finish and timer.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "gui2/g_fixture.h"
#include "tk/tk_exc.h"

namespace {

struct nav_case {
    const char* name;
    std::vector<probe_shape> pages;
    int start;                // the page open() shows
    std::string actions;      // 'n' Next, 'b' Back
    std::vector<int> expect;  // the current page after each action
};

class Navigation : public ShellTest, public ::testing::WithParamInterface<nav_case> {};

TEST_P(Navigation, follows_the_page_protocol) {
    const nav_case& c = GetParam();
    make_shell(c.pages);
    ASSERT_TRUE(shell->open());
    EXPECT_EQ(shell->current_index(), c.start);
    for (std::size_t i = 0; i < c.actions.size(); ++i) {
        if (c.actions[i] == 'n')
            shell->press_next();
        else
            shell->press_back();
        EXPECT_EQ(shell->current_index(), c.expect[i]) << "after action " << i << " (" << c.actions[i] << ")";
    }
    // The sheet shows the current page with its header.
    EXPECT_EQ(shell->sheet().current_page(), shell->current_page());
    EXPECT_EQ(shell->sheet().header_title(), QString::fromStdWString(shell->current_page()->style().header_title));
}

const probe_shape p1{1}, p2{2}, p3{3}, p4{4};
probe_shape with(probe_shape p, bool init, int next = 0, int back = 0, bool kill = true) {
    p.init = init;
    p.next = next;
    p.back = back;
    p.kill = kill;
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Navigation,
    ::testing::Values(
        nav_case{"next_and_back", {p1, p2, p3}, 0, "nnbb", {1, 2, 1, 0}},
        nav_case{"skips_a_refusing_page_both_ways", {p1, with(p2, false), p3}, 0, "nb", {2, 0}},
        nav_case{"next_minus_one_stays", {with(p1, true, -1), p2}, 0, "n", {0}},
        nav_case{"next_jumps_to_a_dialog_id", {with(p1, true, 4), p2, p3, p4}, 0, "n", {3}},
        nav_case{"a_refusing_jump_target_goes_on_forward", {with(p1, true, 3), p2, with(p3, false), p4}, 0, "n", {3}},
        nav_case{"back_minus_one_stays", {p1, with(p2, true, 0, -1)}, 0, "nb", {1, 1}},
        nav_case{"back_jumps_to_a_dialog_id", {p1, p2, with(p3, true, 0, 1)}, 0, "nnb", {1, 2, 0}},
        nav_case{"a_page_that_refuses_to_be_left_stays", {with(p1, true, 0, 0, false), p2}, 0, "n", {0}},
        nav_case{"nothing_ahead_accepts", {p1, with(p2, false), with(p3, false)}, 0, "n", {0}},
        nav_case{"the_first_page_refuses_at_the_start", {with(p1, false), p2, p3}, 1, "nbb", {2, 1, 1}},
        nav_case{"an_unknown_dialog_id_stays", {with(p1, true, 99), p2}, 0, "n", {0}},
        nav_case{"next_on_the_last_page_stays", {p1, p2}, 0, "nn", {1, 1}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(ShellTest, a_refused_move_keeps_the_current_page_untouched) {
    probe_shape first = p1;
    first.buttons = wiz_next;
    make_shell({first, with(p2, false), with(p3, false)});
    shell->open();
    log.clear();
    shell->press_next();
    // The current page is not initialised again, and its buttons stay.
    EXPECT_EQ(log, (std::vector<std::string>{"next 1", "kill 1", "init 2", "init 3"}));
    EXPECT_EQ(shell->sheet().buttons(), unsigned(wiz_next));
    EXPECT_FALSE(shell->sheet().controls().is_enabled(g_sheet_id::back));
}

TEST_F(ShellTest, a_page_whose_init_fails_keeps_the_page_being_left_with_its_buttons) {
    class failing_page : public probe_page {
    public:
        using probe_page::probe_page;
        bool page_init() override {
            shell().set_wizard_buttons(0);
            if (fail_with_report) throw tk_final_exception();
            throw tk_exception("listing failed", 1);
        }
        bool fail_with_report = false;
    };
    probe_shape first = p1;
    first.buttons = wiz_next;
    make_shell({first});
    auto& failing = shell->emplace_page<failing_page>(p2, log);
    shell->open();
    shell->press_next();
    EXPECT_EQ(shell->current_index(), 0);
    EXPECT_EQ(shell->sheet().current_page(), &shell->page(0));
    EXPECT_EQ(shell->sheet().buttons(), unsigned(wiz_next));
    // The dispatcher told the failure; a page that told it itself is quiet.
    EXPECT_EQ(gui.presenter.texts(), std::vector<QString>{"listing failed"});
    failing.fail_with_report = true;
    shell->press_next();
    EXPECT_EQ(shell->current_index(), 0);
    EXPECT_EQ(gui.presenter.boxes.size(), 1u);
}

TEST_F(ShellTest, a_page_that_is_shown_runs_next_then_kill_then_the_new_page_init) {
    make_shell({p1, p2});
    shell->open();
    log.clear();
    shell->press_next();
    EXPECT_EQ(log, (std::vector<std::string>{"next 1", "kill 1", "init 2"}));
    log.clear();
    shell->press_back();
    EXPECT_EQ(log, (std::vector<std::string>{"back 2", "kill 2", "init 1"}));
}

TEST_F(ShellTest, buttons_follow_the_page_and_a_page_init_has_the_last_word) {
    class quiet_page : public probe_page {
    public:
        using probe_page::probe_page;
        bool page_init() override {
            shell().set_wizard_buttons(0);
            return true;
        }
    };
    probe_shape finish = p3;
    finish.buttons = wiz_finish;
    make_shell({p1});
    shell->emplace_page<quiet_page>(p2, log);
    shell->emplace_page<probe_page>(finish, log);
    shell->open();
    g_controls& b = shell->sheet().controls();
    EXPECT_TRUE(b.is_enabled(g_sheet_id::next));
    EXPECT_FALSE(b.is_visible(g_sheet_id::finish));
    shell->press_next();
    EXPECT_FALSE(b.is_enabled(g_sheet_id::next));
    EXPECT_FALSE(b.is_enabled(g_sheet_id::back));
    EXPECT_TRUE(b.is_enabled(g_sheet_id::cancel));
    // Next is off: pressing it does nothing.
    shell->press_next();
    EXPECT_EQ(shell->current_index(), 1);
    shell->set_cur_sel_id(3);
    EXPECT_EQ(shell->current_index(), 2);
    EXPECT_TRUE(b.is_visible(g_sheet_id::finish));
    EXPECT_FALSE(b.is_visible(g_sheet_id::next));
}

TEST_F(ShellTest, box_captions_are_bare_until_the_first_page_is_shown) {
    make_shell({p1});
    shell->error(L"before");
    shell->message(L"before");
    EXPECT_FALSE(shell->question(L"before?"));
    shell->open();
    shell->error(std::string("after \xc3\xa9"));
    shell->message(L"after");
    gui.presenter.box_answers.push_back(g_button::yes);
    EXPECT_TRUE(shell->question(L"after?"));

    const auto& b = gui.presenter.boxes;
    ASSERT_EQ(b.size(), 6u);
    const QString captions[] = {
        "Error", "Message", "Question", "Tessaline 1.0 Error", "Tessaline 1.0 Message", "Tessaline 1.0 Question"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(b[i].caption, captions[i]);
        EXPECT_EQ(b[i].owned, i >= 3) << i;
    }
    EXPECT_EQ(b[0].icon, g_icon::error);
    EXPECT_EQ(b[1].icon, g_icon::information);
    EXPECT_EQ(b[2].icon, g_icon::question);
    EXPECT_EQ(b[2].buttons, g_buttons::yes_no);
    EXPECT_EQ(b[2].default_button, g_button::no);
    EXPECT_EQ(b[3].text, QString::fromUtf8("after \xc3\xa9"));
    EXPECT_EQ(shell->sheet().windowTitle(), "Tessaline 1.0");
}

TEST_F(ShellTest, cancel_escape_and_the_close_box_ask_first_with_no_preselected) {
    make_shell({p1, p2});
    shell->open();
    gui.presenter.box_answers = {g_button::no, g_button::no, g_button::no};
    shell->press_cancel();
    QTest::keyClick(&shell->sheet(), Qt::Key_Escape);
    shell->sheet().close();
    ASSERT_EQ(gui.presenter.boxes.size(), 3u);
    for (const shown_box& b : gui.presenter.boxes) {
        EXPECT_EQ(b.text, "Are you sure you want to exit the wizard?");
        EXPECT_EQ(b.default_button, g_button::no);
    }
    EXPECT_FALSE(shell->ended());
    EXPECT_TRUE(shell->sheet().isVisible());

    gui.presenter.box_answers = {g_button::yes};
    QTest::keyClick(&shell->sheet(), Qt::Key_Escape);
    EXPECT_TRUE(shell->ended());
    EXPECT_EQ(shell->how_ended(), wizard_shell::end::cancelled);
}

TEST_F(ShellTest, a_disabled_cancel_button_cannot_be_pressed_by_any_way) {
    make_shell({p1});
    shell->open();
    shell->enable_button(g_sheet_id::cancel, false);
    shell->press_cancel();
    QTest::keyClick(&shell->sheet(), Qt::Key_Escape);
    EXPECT_TRUE(gui.presenter.boxes.empty());
    EXPECT_FALSE(shell->ended());
}

TEST_F(ShellTest, finish_ends_the_wizard_when_the_page_allows_it) {
    probe_shape last = p1;
    last.buttons = wiz_finish;
    make_shell({last});
    shell->open();
    probe(0).finish_answer = false;
    shell->press_finish();
    EXPECT_FALSE(shell->ended());
    probe(0).finish_answer = true;
    shell->press_finish();
    EXPECT_TRUE(shell->ended());
    EXPECT_EQ(shell->how_ended(), wizard_shell::end::finished);
}

TEST_F(ShellTest, enter_presses_next_and_f1_and_help_ask_the_page_for_its_topic) {
    class edit_page : public probe_page {
    public:
        edit_page(wizard_shell& shell, probe_shape shape, std::vector<std::string>& log)
            : probe_page(shell, shape, log) {
            (new QVBoxLayout(this))->addWidget(edit = new QLineEdit(this));
        }
        QLineEdit* edit;
    };
    probe_shape no_help = p2;
    no_help.has_help = false;
    make_shell();
    auto& first = shell->emplace_page<edit_page>(p1, log);
    shell->emplace_page<probe_page>(no_help, log);
    shell->open();
    log.clear();
    QTest::keyClick(first.edit, Qt::Key_F1);
    shell->press_help();
    EXPECT_EQ(log, (std::vector<std::string>{"help 1", "help 1"}));
    QTest::keyClick(first.edit, Qt::Key_Return);
    EXPECT_EQ(shell->current_index(), 1);
    // A page without help: the Help button is off and F1 does nothing.
    log.clear();
    EXPECT_FALSE(shell->sheet().controls().is_enabled(g_sheet_id::help));
    QTest::keyClick(&shell->sheet(), Qt::Key_F1);
    shell->press_help();
    EXPECT_TRUE(log.empty());
}

TEST_F(ShellTest, help_opens_the_topic_file_or_says_it_is_missing) {
    const std::string dir = ::testing::TempDir() + "g_help_" + std::to_string(getpid());
    QDir().mkpath(QString::fromStdString(dir));
    QFile index(QString::fromStdString(dir + "/index.html"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.close();
    QFile topic(QString::fromStdString(dir + "/1017.html"));
    ASSERT_TRUE(topic.open(QIODevice::WriteOnly));
    topic.close();

    make_shell({p1});
    shell->set_help_dir(dir);
    shell->display_help(1017);
    shell->display_help();
    shell->display_help(1099);  // no such topic
    shell->set_help_dir(dir + "/missing");
    shell->display_help();
    EXPECT_EQ(gui.presenter.help_files, (std::vector<QString>{QString::fromStdString(dir + "/1017.html"),
                                                              QString::fromStdString(dir + "/index.html")}));
    ASSERT_EQ(gui.presenter.boxes.size(), 2u);
    for (const shown_box& b : gui.presenter.boxes) {
        EXPECT_EQ(b.text, "Help file does not exist. Reinstall the program.");
        EXPECT_EQ(b.icon, g_icon::error);
    }
    QDir(QString::fromStdString(dir)).removeRecursively();
}

TEST(HelpDir, is_the_program_path_with_its_extension_replaced) {
    EXPECT_EQ(g_help_dir_for("/opt/vek/dravik"), "/opt/vek/dravik.help");
    EXPECT_EQ(g_help_dir_for("/opt/vek/wizard.bin"), "/opt/vek/wizard.help");
    EXPECT_EQ(g_help_dir_for("/opt/v.1/dravik"), "/opt/v.1/dravik.help");
    EXPECT_EQ(g_help_dir_for("/opt/vek/.dravik"), "/opt/vek/.dravik.help");
}

TEST_F(ShellTest, the_timer_ticks_reach_the_current_page_and_cannot_start_twice) {
    make_shell({p1});
    shell->open();
    shell->stop_timer();  // not running: nothing happens
    shell->start_timer(5);
    EXPECT_TRUE(shell->timer_running());
    try {
        shell->start_timer(5);
        FAIL() << "a second start must be an internal error";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 2);
        EXPECT_EQ(std::string(e.what()), tk_assertion_text("g_wiz_sh", 223));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe(0).ticks >= 2; }, 5000))
        << "the timer did not tick twice within 5 s";
    shell->stop_timer();
    EXPECT_FALSE(shell->timer_running());
    const int ticks = probe(0).ticks;
    QTest::qWait(30);
    EXPECT_EQ(probe(0).ticks, ticks);
}

TEST_F(ShellTest, the_timer_started_from_a_worker_runs_on_the_gui_thread) {
    make_shell({p1});
    shell->open();
    on_worker([&] { shell->start_timer(5); });
    EXPECT_TRUE(shell->sheet().timer_active());
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe(0).ticks >= 1; }, 5000)) << "the timer did not tick within 5 s";
    // Once the screen can no longer be reached the timer cannot be set.
    shell->stop_timer();
    gui.carrier.close();
    std::thread late([&] {
        try {
            shell->start_timer(5);
            ADD_FAILURE() << "a closed carrier cannot start the timer";
        } catch (const tk_exception& e) {
            EXPECT_EQ(std::string(e.what()), tk_assertion_text("g_wiz_sh", 231));
        }
    });
    late.join();
}

TEST_F(ShellTest, run_ends_at_once_when_no_page_accepts) {
    make_shell({with(p1, false)});
    EXPECT_EQ(shell->run(), wizard_shell::end::cancelled);
}

TEST_F(ShellTest, a_second_shell_is_an_internal_error) {
    make_shell();
    EXPECT_THROW(wizard_shell(L"x", 0, 0, 0, gui.services()), tk_mail_assertion);
}

}  // namespace
