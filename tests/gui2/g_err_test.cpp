// The error handler's windowed dialogs: the Continue/Abort dialog and the
// internal-error dialog, shown on the GUI thread whoever reports.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>
#include <atomic>
#include <thread>

#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "converter/fake_dlg.h"
#include "gui2/g_bridge.h"
#include "gui2/g_err_dl.h"
#include "gui2/g_err_ui.h"
#include "gui2/g_fixture.h"
#include "gui2/g_shot.h"
#include "tk/tk_exc.h"

namespace {

// Ends with program_ended instead of ending the test program.
class test_error_dialogs : public gui_error_dialogs {
public:
    using gui_error_dialogs::gui_error_dialogs;
    [[noreturn]] void end_program(int code) override { throw program_ended{code}; }
};

// A dialog script step: click the button and end with the dialog's result.
std::function<int(QDialog&)> click(int id, bool tick_dont_show = false) {
    return [id, tick_dont_show](QDialog& d) {
        auto& dialog = static_cast<g_dialog&>(d);
        if (tick_dont_show) dialog.controls().as<QCheckBox>(g_err_id::dont_show).click();
        dialog.controls().as<QPushButton>(id).click();
        return dialog.result();
    };
}

class ErrorDialogTest : public ShellTest {
protected:
    ErrorDialogTest() : dialogs(gui.presenter, gui.carrier, gui.dispatcher), handler(pgs_error_map) {
        handler.load_err_map(mysql_error_map);
        handler.set_dialogs(&dialogs);
    }

    test_error_dialogs dialogs;
    error_handler handler;
};

const char* const connect_text =
    "Can't connect to the MySQL server. Check to verify that MySQL server is launched and the correct host/port "
    "values were given.";

TEST_F(ErrorDialogTest, the_continue_dialog_of_a_worker_is_shown_on_the_gui_thread_and_abort_ends_the_run) {
    make_shell();
    gui.presenter.dialog_script.push_back(click(g_err_id::abort_run));
    bool ended = false;
    on_worker([&] {
        handler.set_record_context(L"customers", 1234);
        try {
            handler.handle(coded_exception(0x400000 + 2003, "raw", 0), false);
        } catch (const tk_final_exception&) {
            ended = true;
        }
    });
    EXPECT_TRUE(ended);
    ASSERT_EQ(gui.presenter.dialogs.size(), 1u);
    const shown_dialog& d = gui.presenter.dialogs[0];
    EXPECT_EQ(d.dialog_id, g_err_id::continue_dialog);
    EXPECT_EQ(d.thread, std::this_thread::get_id());
    EXPECT_EQ(d.caption, "Tessaline 1.0 Error");
    EXPECT_EQ(handler.errors(), std::vector<std::string>{std::string("customers, record #1234: ") + connect_text});
}

TEST_F(ErrorDialogTest, dont_show_again_with_continue_lets_later_errors_pass) {
    gui.presenter.dialog_script.push_back(click(g_err_id::continue_run, true));
    handler.handle(coded_exception(0, "first", 0), false);
    handler.handle(coded_exception(0, "second", 0), false);
    ASSERT_EQ(gui.presenter.dialogs.size(), 1u);
    EXPECT_EQ(gui.presenter.dialogs[0].caption, "Error");  // no wizard yet
    EXPECT_TRUE(handler.suppressed());
    EXPECT_EQ(handler.errors().size(), 2u);
}

TEST_F(ErrorDialogTest, the_continue_dialog_continues_on_escape_and_has_its_controls) {
    const QString text = QString("customers, record #1234: ") + connect_text;
    dlg_error_continue dialog(text.toStdWString(), L"Tessaline 1.0", gui.dispatcher);
    g_controls& c = dialog.controls();
    EXPECT_EQ(dialog.windowTitle(), "Tessaline 1.0 Error");
    EXPECT_EQ(c.text(g_err_id::message), text);
    EXPECT_EQ(c.text(g_err_id::continue_run), "Continue");
    EXPECT_EQ(c.text(g_err_id::abort_run), "Abort");
    EXPECT_EQ(c.text(g_err_id::dont_show), "&Do not show this dialog box again");
    EXPECT_TRUE(c.as<QPushButton>(g_err_id::continue_run).isDefault());
    EXPECT_FALSE(dialog.dont_show_again());
    save_dialog_shot(dialog, "error_continue");
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), g_err_id::continue_run);
}

TEST_F(ErrorDialogTest, an_internal_error_shows_its_dialog_and_ends_the_program) {
    make_shell();
    gui.presenter.dialog_script.push_back(click(g_err_id::ok));
    try {
        handler.handle(tk_mail_assertion("g_wiz_sh", 223), true);
        FAIL() << "the program must end";
    } catch (const program_ended& e) {
        EXPECT_EQ(e.code, -1);
    }
    ASSERT_EQ(gui.presenter.dialogs.size(), 1u);
    EXPECT_EQ(gui.presenter.dialogs[0].dialog_id, g_err_id::internal_dialog);
    EXPECT_EQ(gui.presenter.dialogs[0].caption, "Tessaline 1.0 Error");
}

TEST_F(ErrorDialogTest, the_internal_error_dialog_copies_and_sends_its_text) {
    g_desktop_bridges bridges(gui.presenter);
    const std::wstring text = QString::fromStdString(tk_assertion_text("g_wiz_sh", 223)).toStdWString();
    {
        dlg_error_ex dialog(text, L"Tessaline 1.0", gui.dispatcher);
        g_controls& c = dialog.controls();
        EXPECT_EQ(dialog.windowTitle(), "Tessaline 1.0 Error");
        EXPECT_EQ(c.text(g_err_id::message).toStdWString(), text);
        EXPECT_TRUE(c.as<QPushButton>(g_err_id::send_bug).isDefault());
        save_dialog_shot(dialog, "error_internal");
        c.as<QPushButton>(g_err_id::copy).click();
        EXPECT_EQ(dialog.result(), g_err_id::copy);
        EXPECT_EQ(gui.presenter.clipboard.toStdWString(), text);
    }
    dlg_error_ex dialog(text, L"Tessaline 1.0", gui.dispatcher);
    dialog.controls().as<QPushButton>(g_err_id::send_bug).click();
    EXPECT_EQ(dialog.result(), g_err_id::send_bug);
    ASSERT_EQ(gui.presenter.urls.size(), 1u);
    const QUrl& mail = gui.presenter.urls[0];
    EXPECT_EQ(mail.scheme(), "mailto");
    EXPECT_EQ(mail.path(), "bugs@quorvane.example");
    const QUrlQuery query(mail);
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), "Bug report on Tessaline 1.0");
    EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded).toStdWString(), text);
}

TEST_F(ErrorDialogTest, a_level_one_error_uses_the_wizard_error_box) {
    make_shell({probe_shape{1}});
    shell->open();
    try {
        handler.handle(coded_exception(0, "the table is gone", 1), false);
    } catch (const tk_final_exception&) {}
    ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    EXPECT_EQ(gui.presenter.boxes[0].caption, "Tessaline 1.0 Error");
    EXPECT_EQ(gui.presenter.boxes[0].text, "the table is gone");
}

TEST_F(ErrorDialogTest, a_worker_asking_after_the_wizard_closed_gets_abort) {
    gui.carrier.close();
    bool ended = false;
    std::thread worker([&] {
        try {
            handler.handle(coded_exception(0, "late", 0), false);
        } catch (const tk_final_exception&) {
            ended = true;
        }
    });
    worker.join();
    EXPECT_TRUE(ended);
    EXPECT_TRUE(gui.presenter.dialogs.empty());
}

}  // namespace
