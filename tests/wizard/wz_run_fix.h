#pragma once
// Runs of the wizard against the private test servers: a small shop
// database, the run's pages shown as the program shows them, and the screen
// served (timer ticks, the worker's boxes) while a test waits.
#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "gui2/g_err_dl.h"
#include "gui2/g_err_ui.h"
#include "support/agent_db.h"
#include "support/row_diff.h"
#include "support/test_servers.h"
#include "tk/tk_utils.h"
#include "wizard/pg_fin.h"
#include "wizard/pg_prog.h"
#include "wz_fixture.h"

// A shop: customers with text of many scripts, products with exact decimals
// and doubles, orders with dates, attachments with bytes, and a view.
inline void load_shop(mysql_admin& my) {
    my.exec("CREATE TABLE customers (id INT UNSIGNED NOT NULL PRIMARY KEY, name VARCHAR(80) NOT NULL, "
            "email VARCHAR(120), city VARCHAR(60) DEFAULT 'Berlin', joined DATE)");
    my.exec("INSERT INTO customers VALUES (1,'Ada Lovelace','ada@example.org','London','2021-03-14'),"
            "(2,'J\xC3\xBCrgen Gro\xC3\x9F','jg@example.de','M\xC3\xBCnchen','2022-11-02'),"
            "(3,'Zo\xC3\xAB \xC3\x93 Briain',NULL,'Dublin','2023-07-30'),"
            "(4,'\xE6\x9D\x8E\xE9\x9B\xB7','li@example.cn','\xE5\x8C\x97\xE4\xBA\xAC','2024-02-29'),"
            "(5,'tab\\there, line\\nbreak','',NULL,NULL)");
    my.exec("CREATE TABLE products (sku CHAR(8) NOT NULL PRIMARY KEY, title VARCHAR(200) NOT NULL, "
            "price DECIMAL(10,2) NOT NULL, weight_kg DOUBLE, stock SMALLINT NOT NULL DEFAULT 0, notes TEXT)");
    my.exec("INSERT INTO products VALUES ('A-100','Tea pot \"Classic\"',24.90,1.25,12,'Glass, 1 litre'),"
            "('B-200','Back\\\\slash \\\\N mug',7.50,0.3,140,NULL),"
            "('C-300','Key ring',3.99,0.02,0,'Emoji \xF0\x9F\x98\x80 inside')");
    my.exec("CREATE TABLE orders (id BIGINT NOT NULL PRIMARY KEY, customer_id INT UNSIGNED NOT NULL, "
            "placed DATETIME NOT NULL, status ENUM('new','paid','sent') NOT NULL DEFAULT 'new', total DECIMAL(12,2))");
    my.exec(
        "INSERT INTO orders VALUES (1,1,'2024-01-05 09:30:00','sent',32.40),(2,2,'2024-01-06 18:02:11','paid',7.50),"
        "(3,2,'2024-02-10 12:00:00','new',NULL),(4,4,'2024-03-01 23:59:59','sent',49.80)");
    my.exec("CREATE TABLE attachments (id INT NOT NULL PRIMARY KEY, file_name VARCHAR(100), content BLOB)");
    my.exec("INSERT INTO attachments VALUES (1,'logo.bin',x'89504E470D0A1A0A0000000D5C0A00'),(2,'empty.bin',''),"
            "(3,'none.bin',NULL)");
    my.exec("CREATE VIEW paid_orders AS SELECT id, customer_id, total FROM orders WHERE status <> 'new'");
}

class RunTest : public WizardTest {
protected:
    RunTest() : screen_dialogs(gui.presenter, gui.carrier, gui.dispatcher) { handler.set_dialogs(&screen_dialogs); }
    ~RunTest() override {
        // The worker may still report while the shell waits for it.
        shell.reset();
        handler.set_dialogs(&dialogs);
    }

    // The wizard, its converter connected and set to convert `dbs`.
    void start_for(const scratch_dbs& dbs, const std::vector<std::wstring>& tables) {
        start();
        connect_servers();
        conv->src = tk_utf8_to_unicode(dbs.src());
        conv->dest = tk_utf8_to_unicode(dbs.dest());
        conv->n_mode = 1;
        conv->selected_tables = tables;
    }

    // Shows the progress page as the tables page's Next does: the run starts.
    void start_run() { ASSERT_TRUE(shell->set_cur_sel_id(vek_page::progress)); }

    progress_page& progress() { return static_cast<progress_page&>(page(shell->index_of_id(vek_page::progress))); }
    g_controls& finish_controls() { return page(shell->index_of_id(vek_page::finish)).controls(); }
    vek_finish_page& finish() { return static_cast<vek_finish_page&>(page(shell->index_of_id(vek_page::finish))); }

    // Enter on the finish page, as the keyboard user presses it first: it
    // finishes, whatever the run left on the page.
    void expect_enter_finishes() {
        auto& finish_button = shell->sheet().controls().as<QPushButton>(g_sheet_id::finish);
        EXPECT_TRUE(finish_button.isDefault());
        QWidget* focus = shell->sheet().focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(focus, &finish_button) << focus->objectName().toStdString();
        const std::size_t asked = gui.presenter.file_requests.size();
        QTest::keyClick(focus, Qt::Key_Return);
        EXPECT_TRUE(shell->ended());
        EXPECT_EQ(gui.presenter.file_requests.size(), asked);
    }

    gui_error_dialogs screen_dialogs;
};

// Runs f when the scope is left, however.
template <class F>
struct at_scope_end {
    F f;
    ~at_scope_end() { f(); }
};
template <class F>
at_scope_end(F) -> at_scope_end<F>;

// A dialog script step: click the button and end with the dialog's result.
inline std::function<int(QDialog&)> click_in_dialog(int id, std::function<void()> before = {}) {
    return [id, before](QDialog& d) {
        if (before) before();
        auto& dialog = static_cast<g_dialog&>(d);
        dialog.controls().as<QPushButton>(id).click();
        return dialog.result();
    };
}
