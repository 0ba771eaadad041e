// The whole wizard walked page by page against the private test servers, as
// it looks on the screen it is given: every page and dialog fits the screen
// and cuts no text, and every page offers each Alt letter once. CMake runs
// the screen tests again on a 1024x768 and a 1920x1080 screen of the
// offscreen platform (VEK_TEST_SCREEN names the size asked for).
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "common/over_dlg.h"
#include "gui2/g_keys.h"
#include "gui2/g_modal.h"
#include "gui2/g_qt_pres.h"
#include "wizard/pg_dbs.h"
#include "wizard/pg_tabs.h"
#include "wizard/pg_util.h"
#include "wizard/qry_dlg.h"
#include "wizard/wait_dlg.h"
#include "wz_run_fix.h"

namespace {

std::string describe(const QWidget& w) {
    QString text;
    if (const auto* l = qobject_cast<const QLabel*>(&w)) text = l->text();
    if (const auto* b = qobject_cast<const QAbstractButton*>(&w)) text = b->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(&w)) text = g->title();
    return std::string(w.metaObject()->className()) + " '" + text.left(40).toStdString() + "'";
}

std::string show(const QRect& r) {
    return std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" + std::to_string(r.x()) + "+" +
           std::to_string(r.y());
}

// A control Qt builds out of its own parts (the inside of a list, an edit
// box or a combo box): those parts are its business.
bool part_of_a_compound(const QWidget& w, const QWidget& window) {
    for (const QWidget* p = w.parentWidget(); p && p != &window; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QLineEdit*>(p))
            return true;
    return false;
}

// What would cut a text off or push it out of sight: the window beyond the
// screen's free area, a control outside the window or its parent, a wrapped text with
// fewer lines than it needs or narrower than its longest word, any other
// control smaller than it needs.
std::vector<std::string> layout_faults(QWidget& window) {
    QCoreApplication::processEvents();
    std::vector<std::string> faults;
    const QRect free_area = window.screen()->availableGeometry();
    if (!free_area.contains(window.frameGeometry()))
        faults.push_back("the window " + show(window.frameGeometry()) + " is not inside the screen's free area " +
                         show(free_area));
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisibleTo(&window) || part_of_a_compound(*w, window)) continue;
        const std::string what = describe(*w);
        const QRect in_window(w->mapTo(&window, QPoint()), w->size());
        if (!window.rect().contains(in_window))
            faults.push_back(what + " at " + show(in_window) + " is not inside the window's " + show(window.rect()));
        if (!w->parentWidget()->rect().contains(w->geometry()))
            faults.push_back(what + " at " + show(w->geometry()) + " is outside its parent's " +
                             show(w->parentWidget()->rect()));
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->text().isEmpty()) continue;  // an image, or a status line with nothing to say
            if (l->wordWrap()) {
                if (l->width() < l->minimumSizeHint().width())
                    faults.push_back(what + " is narrower than its longest word");
                if (l->height() < l->heightForWidth(l->width()))
                    faults.push_back(what + " is " + std::to_string(l->height()) + " high, its lines need " +
                                     std::to_string(l->heightForWidth(l->width())));
            } else if (l->width() < l->sizeHint().width() || l->height() < l->sizeHint().height()) {
                faults.push_back(what + " " + show(l->geometry()) + " is smaller than its text, " +
                                 std::to_string(l->sizeHint().width()) + "x" + std::to_string(l->sizeHint().height()));
            }
        } else if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QGroupBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                   qobject_cast<QComboBox*>(w) || qobject_cast<QProgressBar*>(w)) {
            const QSize need = w->minimumSizeHint();
            if (w->width() < need.width() || w->height() < need.height())
                faults.push_back(what + " " + show(w->geometry()) + " is smaller than it needs, " +
                                 std::to_string(need.width()) + "x" + std::to_string(need.height()));
        }
    }
    return faults;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

// The letters a window offers, in order ("bhln").
std::string letters_of(QWidget& window) {
    std::string out;
    for (const auto& [letter, texts] : g_mnemonics({&window})) out += QString(letter).toStdString();
    return out;
}

class WalkTest : public RunTest {
protected:
    // A source of two tables, one with a date that PostgreSQL refuses (so
    // the run stops on it and asks), and a view.
    void SetUp() override {
        s.my.exec("CREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(40))");
        s.my.exec("INSERT INTO items VALUES (1, 'apple'), (2, 'pear')");
        s.my.exec("CREATE TABLE dates (id INT PRIMARY KEY, d DATE)");
        s.my.exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'");
        s.my.exec("INSERT INTO dates VALUES (1, '2021-02-28'), (2, '2021-02-30')");
        s.my.exec("CREATE VIEW pears AS SELECT id FROM items WHERE name = 'pear'");
    }

    using look = std::function<void(const std::string& name, QWidget& window)>;

    // Every page from the welcome page to the finish page, the way a user
    // goes: `at` looks at each when it is shown, and at the dialog that asks
    // whether to go on after the refused row, with the progress page behind it.
    void walk(const look& at) {
        const server_address my = mysql_test_server();
        const server_address pg = pg_test_server();
        start();
        at("welcome", shell->sheet());
        shell->press_next();
        ASSERT_EQ(shell->current_index(), mysql_index);
        fill(mysql_index, true, my.host, std::to_string(my.port), my.user, my.password);
        at("mysql", shell->sheet());
        shell->press_next();
        ASSERT_EQ(shell->current_index(), pgs_index) << joined_boxes();
        fill(pgs_index, true, pg.host, std::to_string(pg.port), pg.user, pg.password);
        at("postgresql", shell->sheet());
        shell->press_next();
        ASSERT_EQ(shell->current_index(), databases_index) << joined_boxes();
        controls(databases_index).set_text(dbs_id::source, s.src());
        controls(databases_index).set_text(dbs_id::dest, s.dest());
        at("databases", shell->sheet());
        shell->press_next();
        ASSERT_EQ(shell->current_index(), tables_index) << joined_boxes();
        controls(tables_index).as<QPushButton>(tabs_id::add_all).click();
        at("tables", shell->sheet());
        shell->press_next();
        ASSERT_EQ(shell->current_index(), views_index) << joined_boxes();
        controls(views_index).as<QPushButton>(tabs_id::add_all).click();
        at("views", shell->sheet());
        gui.presenter.dialog_script.push_back([&](QDialog& asking) {
            progress().on_timer();
            at("progress", shell->sheet());
            asking.show();
            at("dialog_continue", asking);
            return click_in_dialog(g_err_id::continue_run)(asking);
        });
        shell->press_next();
        wait_for_finish_page();
        EXPECT_EQ(gui.presenter.dialogs.size(), 1u);
        at("finish", shell->sheet());
    }

    std::string joined_boxes() const {
        std::string out;
        for (const QString& t : box_texts()) out += t.toStdString() + "\n";
        return out;
    }

    scratch_dbs s{"wz_walk", scratch_options{.create_dest = false, .unique = true}};
};

// The screen the test runs on, named in the captures: "1024x768".
std::string screen_name() {
    const QSize size = QGuiApplication::primaryScreen()->size();
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

using ScreenTest = WalkTest;

TEST_F(ScreenTest, every_page_and_dialog_fits_the_screen_and_cuts_no_text) {
    if (const char* asked = std::getenv("VEK_TEST_SCREEN")) {
        ASSERT_EQ(screen_name(), asked);
    }
    const QString prefix = QString::fromStdString("screen_" + screen_name() + "_");
    std::vector<std::string> looked_at;
    QSize opened;  // the sheet's size on the welcome page
    auto at = [&](const std::string& name, QWidget& window) {
        looked_at.push_back(name);
        // The sheet keeps the size it opened at from the first page to the last.
        if (&window == &shell->sheet()) {
            if (opened.isEmpty()) opened = window.size();
            EXPECT_EQ(window.size(), opened) << name;
        }
        EXPECT_EQ(joined(layout_faults(window)), "") << name << " on " << screen_name();
        save_shot(window, prefix + QString::fromStdString(name));
    };
    walk(at);
    EXPECT_EQ(looked_at.size(), 9u);

    auto query =
        std::make_unique<set_query_dlg>(*shell, *conv, L"big_items", L"SELECT id, name\nFROM items\nWHERE id > 1");
    query->show();
    at("dialog_query", *query);
    query->hide();
    overwrite_dlg2 overwrite(*shell, 0,
                             L"The destination database '" + tk_utf8_to_unicode(s.dest()) +
                                 L"' already exists. What do you want to do with it?",
                             1);
    overwrite.show();
    at("dialog_overwrite", overwrite);
    overwrite.hide();

    // The boxes as the program shows them, on the sheet.
    g_qt_presenter presenter;
    const std::string no_answer =
        vek_box_paragraph(tk_to_utf8(no_answer_text(wait_text::query, std::chrono::seconds(30))));
    const struct {
        const char* name;
        g_icon icon;
        const char* text;
        g_buttons buttons;
    } boxes[] = {
        {"box_question", g_icon::question, "Are you sure you want to exit the wizard?", g_buttons::yes_no},
        {"box_error", g_icon::error, "Help file does not exist. Reinstall the program.", g_buttons::ok},
        {"box_no_answer", g_icon::error, no_answer.c_str(), g_buttons::ok},
    };
    for (const auto& k : boxes) {
        g_box box;
        box.owner = &shell->sheet();
        box.caption = k.icon == g_icon::error ? "Tessaline 1.0 Error" : "Tessaline 1.0 Question";
        box.text = k.text;
        box.icon = k.icon;
        box.buttons = k.buttons;
        box.default_button = k.buttons == g_buttons::ok ? g_button::ok : g_button::no;
        when_shown<QMessageBox>([&, name = std::string(k.name)](QMessageBox& mb) {
            at(name, mb);
            mb.defaultButton()->click();
        });
        presenter.show_box(box);
    }
}

// Each page's letters with the sheet's (Help, Back, and Next or Finish): a
// control without a letter, or two sharing one, shows here.
TEST_F(WalkTest, every_page_offers_each_alt_letter_once) {
    const std::map<std::string, std::string> expected = {
        {"welcome", "bhln"},          // Load profile
        {"mysql", "bhlnorsuw"},       // Local, Remote, User name, Password, Host, Port
        {"postgresql", "bhlnorsuw"},  //
        {"databases", "bchknps"},     // MySQL and PostgreSQL database name, Convert, Skip
        {"tables", "abdhlmnqrs"},     // Available, Selected, Add, Add all, Remove, Remove all, Add Query
        {"views", "abdhlmnrs"},       // the same without Add Query
        {"progress", "bhn"},          //
        {"dialog_continue", "d"},     // Do not show this dialog box again
        {"finish", "bfhs"},           // Save Settings
    };
    std::map<std::string, std::string> offered;
    walk([&](const std::string& name, QWidget& window) {
        offered[name] = letters_of(window);
        std::string clashes;
        for (const auto& [letter, texts] : g_mnemonic_clashes({&window}))
            clashes += QString(letter).toStdString() + ": " + texts.join(" | ").toStdString() + "\n";
        EXPECT_EQ(clashes, "") << name;
    });
    EXPECT_EQ(offered, expected);
}

}  // namespace
