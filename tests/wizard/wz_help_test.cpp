// The help window of the program (the real presenter, not the scripted one)
// opened from the pages and from the wizard's modal dialogs: it comes in
// front with the keyboard, and closing it hands the keyboard back to the
// control that had it, so the window's Alt letters work at once.
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "common/over_dlg.h"
#include "gui2/g_help.h"
#include "gui2/g_modal.h"
#include "gui2/g_qt_pres.h"
#include "wizard/qry_dlg.h"
#include "wz_fixture.h"

namespace {

class HelpWindowTest : public WizardTest {
protected:
    ~HelpWindowTest() override { shell.reset(); }  // it holds the presenter

    void SetUp() override {
        conv = std::make_unique<dravik_convertor>(handler, converter_form::wizard);
        shell = std::make_unique<vek_shell>(wizard_services{presenter, gui.carrier, gui.dispatcher});
        shell->set_help_dir(VEK_HELP_DIR);
        vek_add_pages(*shell, *conv, handler);
        shell->sheet().resize(shell->sheet().minimumSizeHint().expandedTo(QSize(620, 460)));
        ASSERT_TRUE(shell->open());
        shell->sheet().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&shell->sheet()));
    }

    static g_help_window* help() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = dynamic_cast<g_help_window*>(w)) return h;
        return nullptr;
    }
    static bool help_open() { return help() && help()->isVisible(); }
    static QString help_topic() { return help() ? QFileInfo(help()->current_file()).fileName() : QString(); }

    // Keys as the window system hands them over: to the window's focus, and
    // not at all to a window that a modal dialog blocks.
    static void key(QWidget& window, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(window.windowHandle(), k, m);
    }

    g_qt_presenter presenter;
};

// Serves the screen until `done` holds; false when five seconds passed first.
bool soon(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }

// What a test says of a widget it did not find where it looked.
std::string name_of(const QWidget* w) {
    if (!w) return "none";
    return (w->metaObject()->className() + (" '" + w->objectName() + "' of '" + w->window()->windowTitle() + "'"))
        .toStdString();
}

// The window and control with the keyboard are the expected ones, once the
// window system has caught up.
#define EXPECT_SOON_ACTIVE(window)                                              \
    EXPECT_TRUE(soon([&] { return QApplication::activeWindow() == (window); })) \
        << "active: " << name_of(QApplication::activeWindow())
#define EXPECT_SOON_FOCUS(widget)                                              \
    EXPECT_TRUE(soon([&] { return QApplication::focusWidget() == (widget); })) \
        << "focus: " << name_of(QApplication::focusWidget())

// How the user asks a dialog for help.
enum class asked { button, f1, alt_h };

TEST_F(HelpWindowTest, help_from_a_dialog_comes_in_front_and_gives_the_keyboard_back) {
    const struct {
        const char* what;
        bool query;           // the Add Query dialog, else the overwrite dialog
        bool open_from_page;  // the help window is open already, from the page
        asked how;
        int focused;  // the control that has the focus when help is asked for
        Qt::Key letter;
        int letter_target;  // the control that letter reaches
    } cases[] = {
        {"overwrite, Help button", false, false, asked::button, over_id::skip_existing, Qt::Key_M, over_id::merge},
        {"overwrite, F1", false, false, asked::f1, over_id::skip_existing, Qt::Key_M, over_id::merge},
        {"overwrite, Alt+H", false, false, asked::alt_h, over_id::tables_only, Qt::Key_S, over_id::skip_existing},
        {"overwrite, F1, help open", false, true, asked::f1, over_id::tables_only, Qt::Key_M, over_id::merge},
        {"query, Help button", true, false, asked::button, query_id::name, Qt::Key_U, query_id::query},
        {"query, F1 in the name", true, false, asked::f1, query_id::name, Qt::Key_U, query_id::query},
        {"query, F1 in the text", true, false, asked::f1, query_id::query, Qt::Key_T, query_id::name},
        {"query, Alt+H, help open", true, true, asked::alt_h, query_id::name, Qt::Key_U, query_id::query},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        // What the window manager does when a dialog closes.
        shell->sheet().activateWindow();
        EXPECT_SOON_ACTIVE(&shell->sheet());
        if (k.open_from_page) {
            shell->press_help();
            ASSERT_TRUE(soon([&] { return help_open(); }));
            // Back to the wizard, the help window left open behind it.
            shell->sheet().activateWindow();
            EXPECT_SOON_ACTIVE(&shell->sheet());
        }
        std::unique_ptr<g_dialog> dialog;
        if (k.query)
            dialog = std::make_unique<set_query_dlg>(*shell, *conv, L"", L"");
        else
            dialog = std::make_unique<overwrite_dlg2>(*shell, vek_topic::overwrite, L"The database exists.", 1);
        const QString topic = QString::number(k.query ? vek_topic::query : vek_topic::overwrite) + ".html";
        bool looked = false;
        // Inside the dialog's modal loop; the caller ends the dialog
        // whatever failed.
        auto walk = [&](QDialog& d) {
            g_controls& c = dialog->controls();
            c.focus(k.focused);
            EXPECT_SOON_FOCUS(&c.at(k.focused));
            auto& help_button = c.as<QPushButton>(query_id::help);
            switch (k.how) {
            case asked::button: QTest::mouseClick(&help_button, Qt::LeftButton); break;
            case asked::f1: key(d, Qt::Key_F1); break;
            case asked::alt_h: key(d, Qt::Key_H, Qt::AltModifier); break;
            }
            // A click moves the focus to the button; a key leaves it.
            QWidget* const had_focus = k.how == asked::button ? &help_button : &c.at(k.focused);
            ASSERT_TRUE(soon([&] { return help_open(); }));
            EXPECT_TRUE(soon([&] { return help_topic() == topic; })) << help_topic().toStdString();
            EXPECT_SOON_ACTIVE(help());
            // Read with the keyboard: Escape reaches it through the dialog's
            // modality.
            key(*help(), Qt::Key_Escape);
            ASSERT_TRUE(soon([&] { return !help_open(); }));
            EXPECT_SOON_ACTIVE(&d);
            EXPECT_SOON_FOCUS(had_focus);
            key(d, k.letter, Qt::AltModifier);
            EXPECT_SOON_FOCUS(&c.at(k.letter_target));
        };
        when_shown<QDialog>([&](QDialog& d) {
            looked = true;
            walk(d);
            d.done(QDialog::Rejected);
        });
        presenter.exec_dialog(*dialog);
        EXPECT_TRUE(looked);
    }
}

TEST_F(HelpWindowTest, help_from_a_page_gives_the_keyboard_back_to_the_page) {
    go_to(mysql_index);
    auto& user = controls(mysql_index).as<QLineEdit>(conn_id::user);
    user.setFocus();
    EXPECT_SOON_FOCUS(&user);
    for (const bool close_box : {false, true}) {
        SCOPED_TRACE(close_box ? "close box" : "Escape");
        key(shell->sheet(), Qt::Key_F1);
        ASSERT_TRUE(soon([&] { return help_open(); }));
        EXPECT_EQ(help_topic(), QString::number(vek_topic::mysql) + ".html");
        EXPECT_SOON_ACTIVE(help());
        if (close_box)
            help()->close();
        else
            key(*help(), Qt::Key_Escape);
        ASSERT_TRUE(soon([&] { return !help_open(); }));
        EXPECT_SOON_ACTIVE(&shell->sheet());
        EXPECT_SOON_FOCUS(&user);
    }
    // The page's own letter, without a click first.
    key(shell->sheet(), Qt::Key_R, Qt::AltModifier);
    ASSERT_TRUE(soon([&] { return controls(mysql_index).is_checked(conn_id::remote); }));
}

TEST_F(HelpWindowTest, help_outlives_the_dialog_that_asked_for_it) {
    overwrite_dlg2 dialog(*shell, vek_topic::overwrite, L"The database exists.", 1);
    when_shown<QDialog>([&](QDialog& d) {
        key(d, Qt::Key_F1);
        EXPECT_TRUE(soon([&] { return help_open(); }));
        d.done(QDialog::Rejected);
    });
    presenter.exec_dialog(dialog);
    ASSERT_TRUE(help_open());
    // No modal dialog is left to block it: it still takes the keyboard.
    help()->activateWindow();
    EXPECT_SOON_ACTIVE(help());
    key(*help(), Qt::Key_Escape);
    ASSERT_TRUE(soon([&] { return !help_open(); }));
    EXPECT_SOON_ACTIVE(&shell->sheet());
}

TEST_F(HelpWindowTest, help_stands_clear_of_the_wizards_buttons) {
    go_to(databases_index);
    g_sheet& sheet = shell->sheet();
    shell->press_help();
    ASSERT_TRUE(soon([&] { return help_open(); }));
    g_help_window& h = *help();
    const int min_width = h.min_readable_width();
    // Text of 40 characters a line, whatever the font.
    EXPECT_GE(min_width, 40 * h.fontMetrics().averageCharWidth());
    EXPECT_LT(min_width, g_help_window::usual_size.width());

    // Where the window system put it: on the screen, not over the buttons.
    const QRect screen = sheet.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(h.frameGeometry())) << h.frameGeometry().x() << "," << h.frameGeometry().y();
    EXPECT_FALSE(h.frameGeometry().intersects(sheet.button_row_geometry()));
    EXPECT_TRUE(sheet.frameGeometry().contains(sheet.button_row_geometry()));

    // The same sheet and help window painted where they would stand on the
    // screens of the usual sizes, the wizard centred as window managers put
    // it, for a person to look at.
    for (const QSize size : {QSize(1600, 1000), QSize(1920, 1080), QSize(1024, 768)}) {
        const QString name = QString("help_beside_wizard_%1x%2").arg(size.width()).arg(size.height());
        SCOPED_TRACE(name.toStdString());
        const QRect area({0, 0}, size);
        QRect wizard(sheet.frameGeometry());
        wizard.moveCenter(area.center());
        const QRect buttons =
            sheet.button_row_geometry().translated(wizard.topLeft() - sheet.frameGeometry().topLeft());
        const QRect at = g_place_help(area, wizard, buttons, g_help_window::usual_size, min_width);
        EXPECT_TRUE(area.contains(at));
        EXPECT_FALSE(at.intersects(buttons));
        EXPECT_GE(at.width(), min_width);
        h.resize(at.size());
        QImage canvas(size, QImage::Format_RGB32);
        canvas.fill(QColor(40, 40, 48));
        QPainter painter(&canvas);
        painter.drawPixmap(wizard.topLeft(), sheet.grab());
        painter.drawPixmap(at.topLeft(), h.grab());
        painter.end();
        QDir().mkpath(VEK_SCREENSHOT_DIR);
        EXPECT_TRUE(canvas.save(QString(VEK_SCREENSHOT_DIR) + "/" + name + ".png"));
    }
    h.close();
}

}  // namespace
