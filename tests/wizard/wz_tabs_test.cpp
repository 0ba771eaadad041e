// The tables page, the query dialog and the views page, against the private
// test servers: what the lists offer and move, what reaches the converter,
// and the rows that a run then copies.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "common/over_dlg.h"
#include "gui2/g_keys.h"
#include "support/agent_db.h"
#include "tk/tk_utils.h"
#include "udb/udb_prof.h"
#include "wizard/pg_tabs.h"
#include "wizard/qry_dlg.h"
#include "wz_fixture.h"

namespace {

class TablesPageTest : public WizardTest {
protected:
    // Source: tables orders, Customers, items and two views; the destination
    // does not exist yet.
    void SetUp() override {
        s.my.exec("CREATE TABLE orders (id INT PRIMARY KEY, total DECIMAL(10,2))");
        s.my.exec("CREATE TABLE Customers (id INT PRIMARY KEY, name VARCHAR(20))");
        s.my.exec("CREATE TABLE items (id INT PRIMARY KEY, price DECIMAL(10,2))");
        s.my.exec("INSERT INTO items VALUES (1, 4.50), (2, 12.00), (3, 9.99)");
        s.my.exec("INSERT INTO orders VALUES (1, 100.00)");
        s.my.exec("CREATE VIEW cheap_items AS SELECT id, price FROM items WHERE price < 10 ORDER BY id");
        s.my.exec("CREATE VIEW order_sum AS SELECT SUM(total) AS s FROM orders");
        start_on(s.src(), s.dest());
    }
    void open_tables() {
        ASSERT_TRUE(shell->set_cur_sel_id(vek_page::tables));
        ASSERT_EQ(shell->current_index(), tables_index);
    }
    vek_sel_tables_page& tables() { return static_cast<vek_sel_tables_page&>(page(tables_index)); }
    g_controls& c(int index = tables_index) { return controls(index); }
    std::vector<QString> list(int id, int index = tables_index) {
        std::vector<QString> out;
        for (int i = 0; i < c(index).list_count(id); ++i) out.push_back(c(index).list_item(id, i));
        return out;
    }
    void click(int id, int index = tables_index) { c(index).as<QPushButton>(id).click(); }
    void double_click(int list_id, const QString& item, int index = tables_index) {
        auto& l = c(index).as<QListWidget>(list_id);
        const int row = c(index).list_find_exact(list_id, item);
        ASSERT_GE(row, 0) << item.toStdString();
        l.setCurrentRow(row);
        emit l.itemDoubleClicked(l.item(row));
    }
    // The next query dialog gets `name` and `query` typed in and OK (or
    // Cancel) pressed; what it showed when it opened is kept.
    struct seen_dialog {
        QString name, query;
    };
    void answer_query_dialog(const QString& name, const QString& query, std::vector<seen_dialog>& seen,
                             bool ok = true) {
        gui.presenter.dialog_script.push_back([=, &seen](QDialog& d) {
            auto& dialog = dynamic_cast<set_query_dlg&>(d);
            seen.push_back({dialog.controls().text(query_id::name), dialog.controls().text(query_id::query)});
            dialog.controls().set_text(query_id::name, name);
            dialog.controls().set_text(query_id::query, query);
            dialog.controls().as<QPushButton>(ok ? query_id::ok : query_id::cancel).click();
            return d.result();
        });
    }

    scratch_dbs s{"wz_tabs", scratch_options{.create_dest = false, .unique = true}};
};

TEST_F(TablesPageTest, lists_the_tables_sorted_and_the_buttons_move_them) {
    open_tables();
    EXPECT_EQ(shell->sheet().header_title(), "Step 4 of 6");
    EXPECT_EQ(shell->sheet().header_subtitle(), "Select tables to convert");
    EXPECT_EQ(c().text(tabs_id::intro), "Select MySQL tables to convert into PostgreSQL format.");
    EXPECT_EQ(c().text(tabs_id::available_label), "&Available tables:");
    EXPECT_EQ(c().text(tabs_id::selected_label), "&Selected tables:");
    EXPECT_TRUE(c().is_visible(tabs_id::add_query));
    EXPECT_EQ(list(tabs_id::available), (std::vector<QString>{"Customers", "items", "orders"}));
    EXPECT_TRUE(list(tabs_id::selected).empty());
    EXPECT_EQ(c().list_current(tabs_id::available), 0);

    // Add the middle one: the next takes its place as the current item.
    c().list_set_current(tabs_id::available, 1);
    click(tabs_id::add);
    EXPECT_EQ(list(tabs_id::selected), std::vector<QString>{"items"});
    EXPECT_EQ(c().list_current(tabs_id::available), 1);  // orders
    // Add on the last: the one before becomes current.
    click(tabs_id::add);
    EXPECT_EQ(list(tabs_id::available), std::vector<QString>{"Customers"});
    EXPECT_EQ(c().list_current(tabs_id::available), 0);
    // A double click adds too; the emptied list hands the focus over.
    double_click(tabs_id::available, "Customers");
    EXPECT_TRUE(list(tabs_id::available).empty());
    EXPECT_EQ(list(tabs_id::selected), (std::vector<QString>{"Customers", "items", "orders"}));
    EXPECT_EQ(shell->sheet().focusWidget(), &c().at(tabs_id::selected));
    EXPECT_EQ(c().list_current(tabs_id::selected), 0);

    // Remove on the last selected name sends the focus to the other list.
    click(tabs_id::remove);
    click(tabs_id::remove);
    EXPECT_EQ(list(tabs_id::selected), std::vector<QString>{"orders"});
    click(tabs_id::remove);
    EXPECT_TRUE(list(tabs_id::selected).empty());
    EXPECT_EQ(shell->sheet().focusWidget(), &c().at(tabs_id::available));

    click(tabs_id::add_all);
    EXPECT_TRUE(list(tabs_id::available).empty());
    EXPECT_EQ(list(tabs_id::selected).size(), 3u);
    click(tabs_id::remove_all);
    EXPECT_EQ(list(tabs_id::available), (std::vector<QString>{"Customers", "items", "orders"}));
    EXPECT_EQ(shell->sheet().focusWidget(), &c().at(tabs_id::available));
    // Nothing current: Add and Remove do nothing.
    c().as<QListWidget>(tabs_id::available).setCurrentRow(-1);
    click(tabs_id::add);
    click(tabs_id::remove);
    EXPECT_EQ(list(tabs_id::available).size(), 3u);
}

TEST_F(TablesPageTest, the_tab_order_goes_from_the_left_list_through_the_buttons_to_the_right_list) {
    open_tables();
    const int ids[] = {tabs_id::available,  tabs_id::add,       tabs_id::add_all, tabs_id::remove,
                       tabs_id::remove_all, tabs_id::add_query, tabs_id::selected};
    std::vector<int> order;
    QWidget* w = &c().at(tabs_id::available);
    for (int step = 0; step < 200 && order.size() < std::size(ids); ++step, w = w->nextInFocusChain())
        for (int id : ids)
            if (w == &c().at(id)) order.push_back(id);
    EXPECT_EQ(order, std::vector<int>(std::begin(ids), std::end(ids)));
}

TEST_F(TablesPageTest, next_with_nothing_selected_asks_first_with_no_preselected) {
    open_tables();
    gui.presenter.box_answers.push_back(g_button::no);
    shell->press_next();
    EXPECT_EQ(shell->current_index(), tables_index);
    ASSERT_EQ(box_texts(), std::vector<QString>{"There are no tables selected. Continue anyway?"});
    EXPECT_EQ(gui.presenter.boxes[0].default_button, g_button::no);
    EXPECT_EQ(gui.presenter.boxes[0].buttons, g_buttons::yes_no);

    gui.presenter.box_answers.push_back(g_button::yes);
    shell->press_next();
    EXPECT_EQ(shell->current_index(), views_index);
    EXPECT_TRUE(conv->selected_tables.empty());
}

TEST_F(TablesPageTest, a_source_without_tables_goes_on_without_a_question) {
    scratch_dbs empty("wz_tabs_empty", scratch_options{.create_dest = false, .unique = true});
    conv->src = tk_utf8_to_unicode(empty.src());
    open_tables();
    EXPECT_TRUE(list(tabs_id::available).empty());
    shell->press_next();
    EXPECT_TRUE(box_texts().empty());
    EXPECT_EQ(shell->current_index(), run_index);  // and it has no views either
    wait_for_finish_page();
}

TEST_F(TablesPageTest, without_views_next_goes_straight_to_the_run) {
    conv->convert_views = false;
    conv->views = {{L"cheap_items", L"stale"}};
    open_tables();
    double_click(tabs_id::available, "items");
    shell->press_next();
    EXPECT_EQ(shell->current_index(), run_index);
    EXPECT_EQ(shell->sheet().header_title(), "Step 6 of 6");
    EXPECT_EQ(conv->selected_tables, std::vector<std::wstring>{L"items"});
    EXPECT_TRUE(conv->views.empty());  // no views page, no views converted
    wait_for_finish_page();
    EXPECT_EQ(pg_query(s.dest(), "SELECT tablename FROM pg_tables WHERE schemaname = 'public'"), (db_rows{{"items"}}));
}

TEST_F(TablesPageTest, back_from_the_views_page_keeps_the_tables_and_the_queries) {
    open_tables();
    double_click(tabs_id::available, "orders");
    double_click(tabs_id::available, "items");
    std::vector<seen_dialog> seen;
    answer_query_dialog("big", "SELECT * FROM orders WHERE total > 50", seen);
    click(tabs_id::add_query);
    shell->press_next();
    ASSERT_EQ(shell->current_index(), views_index);
    EXPECT_EQ(conv->selected_tables, (std::vector<std::wstring>{L"items", L"orders"}));

    shell->press_back();
    ASSERT_EQ(shell->current_index(), tables_index);
    EXPECT_EQ(list(tabs_id::selected), (std::vector<QString>{"big", "items", "orders"}));
    EXPECT_EQ(list(tabs_id::available), std::vector<QString>{"Customers"});
    shell->press_next();
    EXPECT_TRUE(box_texts().empty());
    EXPECT_EQ(conv->selected_tables, (std::vector<std::wstring>{L"items", L"orders"}));
    EXPECT_EQ(conv->selected_queries, (cnv_query_map{{L"big", L"SELECT * FROM orders WHERE total > 50"}}));
}

TEST_F(TablesPageTest, a_query_named_like_a_table_or_query_is_refused_on_add_and_on_edit) {
    open_tables();
    double_click(tabs_id::available, "items");
    std::vector<seen_dialog> seen;
    // Add: "ORDERS" is a table (other case) in the left list; the dialog
    // comes back with what was typed.
    answer_query_dialog("ORDERS", "SELECT 1", seen);
    answer_query_dialog("Items", "SELECT 2", seen);  // a table in the right list
    answer_query_dialog(" totals ", "  \r\n select sum(total) from orders", seen);
    click(tabs_id::add_query);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].name, "");
    EXPECT_EQ(seen[1].name, "ORDERS");
    EXPECT_EQ(seen[1].query, "SELECT 1");
    EXPECT_EQ(seen[2].name, "Items");
    EXPECT_EQ(box_texts(), (std::vector<QString>(2, "Duplicate table name. Try again.")));
    EXPECT_EQ(gui.presenter.boxes[0].icon, g_icon::information);
    EXPECT_EQ(list(tabs_id::selected), (std::vector<QString>{"items", "totals"}));
    EXPECT_EQ(c().list_current(tabs_id::selected), 1);
    EXPECT_EQ(tables().selected_queries(), (cnv_query_map{{L"totals", L"select sum(total) from orders"}}));

    answer_query_dialog("sums", "SELECT 3", seen);
    click(tabs_id::add_query);
    // Edit: renaming to another query's or a table's name is refused; its
    // own name in another case is not.
    seen.clear();
    gui.presenter.boxes.clear();
    answer_query_dialog("SUMS", "SELECT 9", seen);
    answer_query_dialog("customers", "SELECT 9", seen);
    answer_query_dialog("TOTALS", "SELECT 9", seen);
    double_click(tabs_id::selected, "totals");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].name, "totals");
    EXPECT_EQ(seen[0].query, "select sum(total) from orders");
    EXPECT_EQ(seen[2].name, "customers");
    EXPECT_EQ(box_texts(), (std::vector<QString>(2, "Duplicate table name. Try again.")));
    EXPECT_EQ(list(tabs_id::selected), (std::vector<QString>{"items", "sums", "TOTALS"}));
    EXPECT_EQ(tables().selected_queries(), (cnv_query_map{{L"sums", L"SELECT 3"}, {L"TOTALS", L"SELECT 9"}}));

    // A table in the right list is no query: a double click does nothing;
    // Cancel leaves a query as it was.
    double_click(tabs_id::selected, "items");
    answer_query_dialog("other", "SELECT 0", seen, false);
    double_click(tabs_id::selected, "sums");
    EXPECT_EQ(tables().selected_queries().at(L"sums"), L"SELECT 3");
    EXPECT_EQ(gui.presenter.dialogs.size(), 8u);
}

TEST_F(TablesPageTest, a_query_moved_back_is_kept_among_the_available_queries) {
    conv->available_queries = {{L"spare", L"SELECT 7"}};
    conv->selected_queries = {{L"kept", L"SELECT 8"}};
    open_tables();
    EXPECT_EQ(list(tabs_id::available), (std::vector<QString>{"Customers", "items", "orders", "spare"}));
    EXPECT_EQ(list(tabs_id::selected), std::vector<QString>{"kept"});
    double_click(tabs_id::available, "spare");
    c().list_set_current(tabs_id::selected, c().list_find_exact(tabs_id::selected, "kept"));
    click(tabs_id::remove);
    double_click(tabs_id::available, "items");
    shell->press_next();
    EXPECT_EQ(conv->selected_tables, std::vector<std::wstring>{L"items"});
    EXPECT_EQ(conv->selected_queries, (cnv_query_map{{L"spare", L"SELECT 7"}}));
    EXPECT_EQ(conv->available_queries, (cnv_query_map{{L"kept", L"SELECT 8"}}));
}

TEST_F(TablesPageTest, a_query_that_is_also_listed_as_available_is_shown_once) {
    // Profiles list every query among the available ones, selected or not.
    conv->available_queries = {{L"kept", L"SELECT 8"}};
    conv->selected_queries = {{L"kept", L"SELECT 8"}};
    open_tables();
    EXPECT_EQ(list(tabs_id::available), (std::vector<QString>{"Customers", "items", "orders"}));
    EXPECT_EQ(list(tabs_id::selected), std::vector<QString>{"kept"});
}

// The query dialog on its own, with the converter connected to the source.
class QueryDialogTest : public TablesPageTest {
protected:
    std::unique_ptr<set_query_dlg> dialog(const std::wstring& name = L"", const std::wstring& query = L"") {
        return std::make_unique<set_query_dlg>(*shell, *conv, name, query);
    }
};

TEST_F(QueryDialogTest, ok_wants_a_name_and_a_select) {
    const struct {
        const char* name;
        const char* query;
        const char* said;  // null: accepted
        const char* stored;
    } cases[] = {
        {"", "SELECT 1", "Table name is empty!", nullptr},
        {"  ", "SELECT 1", "Table name is empty!", nullptr},
        {"t", "", "Query is empty!", nullptr},
        {"t", " \t\r\n ", "The query must start with SELECT.", nullptr},
        {"t", "SELEC", "The query must start with SELECT.", nullptr},
        {"t", "UPDATE items SET price = 0", "The query must start with SELECT.", nullptr},
        {"t", "  \n  select id from items", nullptr, "select id from items"},
        {" spaced name ", "SeLeCt 1", nullptr, "SeLeCt 1"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.name) + "|" + k.query);
        gui.presenter.boxes.clear();
        auto d = dialog();
        d->controls().set_text(query_id::name, std::string(k.name));
        d->controls().set_text(query_id::query, std::string(k.query));
        d->controls().as<QPushButton>(query_id::ok).click();
        if (k.said) {
            EXPECT_EQ(d->result(), 0);  // still open
            EXPECT_EQ(box_texts(), std::vector<QString>{k.said});
        } else {
            EXPECT_EQ(d->result(), set_query_dlg::ok);
            EXPECT_TRUE(box_texts().empty());
            EXPECT_EQ(d->query(), tk_utf8_to_unicode(k.stored));
            EXPECT_EQ(d->name(), tk_utf8_to_unicode(tk_trim(k.name)));
        }
    }
    // Names and statements of any length are taken whole.
    {
        const std::wstring name(300, L'n');
        const std::wstring query = L"SELECT '" + std::wstring(5000, L'x') + L"' AS long_text";
        auto d = dialog();
        d->controls().set_text(query_id::name, name);
        d->controls().set_text(query_id::query, query);
        d->controls().as<QPushButton>(query_id::ok).click();
        EXPECT_EQ(d->name(), name);
        EXPECT_EQ(d->query(), query);
    }
    // Escape cancels.
    auto d = dialog(L"x", L"SELECT 1");
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_EQ(d->result(), set_query_dlg::cancel);
}

TEST_F(QueryDialogTest, test_query_asks_the_server_without_running_the_statement) {
    // said: the whole text; reason: the server's reason after the fixed text.
    const struct {
        const char* query;
        const char* said;
        const char* reason;
        g_icon icon;
    } cases[] = {
        {"DELETE FROM items", "The query must start with SELECT.", nullptr, g_icon::error},
        {"SELECT id FROM items WHERE price < 10", "The query is correct.", nullptr, g_icon::information},
        {"  select * from items;  ", "The query is correct.", nullptr, g_icon::information},
        {"SELECT nosuchcolumn FROM items", nullptr, "Unknown column 'nosuchcolumn'", g_icon::error},
        {"SELECT id FROM nosuchtable", nullptr, "nosuchtable' doesn't exist", g_icon::error},
        {"SELECT id FROM", nullptr, "You have an error in your SQL syntax", g_icon::error},
        {"SELECT id FROM items WHERE id = ?", nullptr, "The statement has parameters (?).", g_icon::error},
        {"SELECT 1; DROP TABLE items", nullptr, "You have an error in your SQL syntax", g_icon::error},
    };
    const QString syntax = QString::fromStdWString(query_syntax_error_text());
    EXPECT_TRUE(syntax.startsWith("You have an error in your query syntax. Make sure that it is a correct SQL "
                                  "SELECT-statement. Contact "));
    EXPECT_TRUE(syntax.endsWith(" if the error persists."));
    for (const auto& k : cases) {
        SCOPED_TRACE(k.query);
        gui.presenter.boxes.clear();
        auto d = dialog(L"q", L"");
        d->controls().set_text(query_id::query, std::string(k.query));
        d->controls().as<QPushButton>(query_id::test).click();
        ASSERT_EQ(box_texts().size(), 1u);
        const QString said = box_texts()[0];
        if (k.said) {
            EXPECT_EQ(said, QString(k.said));
        } else {
            EXPECT_TRUE(said.startsWith(syntax + "\n\n")) << said.toStdString();
            EXPECT_NE(said.indexOf(k.reason), -1) << said.toStdString();
        }
        EXPECT_EQ(gui.presenter.boxes[0].icon, k.icon);
        EXPECT_EQ(d->result(), 0);  // the dialog stays open
    }
    EXPECT_EQ(s.my.query("SELECT COUNT(*) FROM items")[0][0], "3");  // nothing ran

    // A statement that would take the whole server's time answers at once:
    // it is prepared, never run (running it would take the lock).
    gui.presenter.boxes.clear();
    auto d = dialog(L"q", L"");
    d->controls().set_text(query_id::query, std::string("SELECT GET_LOCK('wz_probe', 0) AS g, a.*, b.*, c.* FROM "
                                                        "information_schema.columns a, information_schema.columns b, "
                                                        "information_schema.columns c"));
    d->controls().as<QPushButton>(query_id::test).click();
    EXPECT_EQ(box_texts(), std::vector<QString>{"The query is correct."});
    EXPECT_EQ(s.my.query("SELECT IS_FREE_LOCK('wz_probe')")[0][0], "1");
}

TEST_F(TablesPageTest, the_views_page_offers_the_views_and_a_selected_view_arrives_in_postgresql) {
    open_tables();
    double_click(tabs_id::available, "items");
    std::vector<seen_dialog> seen;
    answer_query_dialog("big_orders", "SELECT id FROM orders WHERE total > 50", seen);
    click(tabs_id::add_query);
    save_shot(shell->sheet(), "page_tables");
    shell->press_next();
    ASSERT_EQ(shell->current_index(), views_index);
    EXPECT_EQ(shell->sheet().header_title(), "Step 5 of 6");
    EXPECT_EQ(shell->sheet().header_subtitle(), "Select views to convert");
    EXPECT_EQ(c(views_index).text(tabs_id::intro), "Select MySQL views to convert into PostgreSQL format.");
    EXPECT_EQ(c(views_index).text(tabs_id::available_label), "&Available views:");
    EXPECT_EQ(c(views_index).text(tabs_id::selected_label), "&Selected views:");
    EXPECT_FALSE(c(views_index).is_visible(tabs_id::add_query));
    EXPECT_EQ(list(tabs_id::available, views_index), (std::vector<QString>{"cheap_items", "order_sum"}));
    double_click(tabs_id::available, "cheap_items", views_index);
    save_shot(shell->sheet(), "page_views");
    gui.presenter.help_files.clear();
    shell->press_help();
    EXPECT_EQ(gui.presenter.help_files, std::vector<QString>{QString(VEK_HELP_DIR) + "/1020.html"});

    // Shown again, the tables page keeps what was chosen; the views page
    // takes its choice on Next only.
    shell->press_back();
    ASSERT_EQ(shell->current_index(), tables_index);
    EXPECT_EQ(list(tabs_id::selected), (std::vector<QString>{"big_orders", "items"}));
    shell->press_next();
    ASSERT_EQ(shell->current_index(), views_index);
    double_click(tabs_id::available, "cheap_items", views_index);

    // No question on this page; Next starts the run.
    shell->press_next();
    ASSERT_EQ(shell->current_index(), run_index);
    EXPECT_TRUE(box_texts().empty());
    ASSERT_EQ(conv->views.size(), 1u);
    EXPECT_EQ(conv->views.begin()->first, L"cheap_items");

    wait_for_finish_page();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_EQ(handler.error_count(), 0u) << (handler.errors().empty() ? "" : handler.errors()[0]);
    const db_rows tables_made = pg_query(s.dest(), "SELECT tablename FROM pg_tables WHERE schemaname = 'public' "
                                                   "ORDER BY 1");
    EXPECT_EQ(tables_made, (db_rows{{"big_orders"}, {"cheap_items"}, {"items"}}));
    EXPECT_EQ(pg_query(s.dest(), "SELECT id, price FROM cheap_items ORDER BY id"),
              (db_rows{{"1", "4.50"}, {"3", "9.99"}}));
    EXPECT_EQ(pg_query(s.dest(), "SELECT id FROM big_orders"), (db_rows{{"1"}}));
}

TEST_F(QueryDialogTest, looks_like_a_dialog_of_the_wizard) {
    auto d = dialog(L"big_orders", L"SELECT o.id, o.total\nFROM orders o\nWHERE o.total > 50");
    EXPECT_EQ(d->windowTitle(), "Add Query");
    save_dialog_shot(*d, "dialog_query");
    EXPECT_EQ(d->focusWidget(), &d->controls().at(query_id::name));
    d->controls().as<QPushButton>(query_id::help).click();
    EXPECT_EQ(gui.presenter.help_files, std::vector<QString>{QString(VEK_HELP_DIR) + "/1019.html"});
}

TEST_F(QueryDialogTest, every_control_of_a_page_or_dialog_has_a_letter_of_its_own) {
    auto clashes_on = [&](std::vector<QWidget*> roots) {
        QCoreApplication::processEvents();
        std::string said;
        for (const auto& [letter, texts] : g_mnemonic_clashes(roots))
            said += QString(letter).toStdString() + ": " + texts.join(" | ").toStdString() + "\n";
        return said;
    };
    for (int index : {welcome_index, mysql_index, pgs_index, databases_index, tables_index, views_index}) {
        ASSERT_TRUE(shell->set_cur_sel_id(page(index).dialog_id()));
        EXPECT_EQ(clashes_on({&shell->sheet()}), "") << "page " << index;
    }
    auto query = dialog(L"q", L"SELECT 1");
    query->show();
    EXPECT_EQ(clashes_on({query.get()}), "");
    overwrite_dlg2 overwrite(*shell, 0, L"The database exists.", 1);
    overwrite.show();
    EXPECT_EQ(clashes_on({&overwrite}), "");
}

// A profile keeps a selected view as the query that reads it; loaded again,
// that query is the view, on the views page.
TEST_F(TablesPageTest, a_view_kept_in_a_profile_is_selected_on_the_views_page_and_converted_once) {
    udb_profile saved;
    const wchar_t* selected = udb_profile::selected_tables;
    saved.set_value(selected, L"items", L"");
    saved.set_value(selected, L"cheap_items", L"SELECT * FROM `cheap_items`");
    // Not of that form, or under another name: queries of their own.
    saved.set_value(selected, L"order_sum", L"SELECT SUM(total) AS s FROM orders");
    saved.set_value(selected, L"cheap_copy", L"SELECT * FROM `cheap_items`");
    ASSERT_TRUE(conv->load_profile(saved));
    open_tables();
    EXPECT_EQ(list(tabs_id::selected), (std::vector<QString>{"cheap_copy", "items", "order_sum"}));
    EXPECT_EQ(list(tabs_id::available), (std::vector<QString>{"Customers", "orders"}));
    shell->press_next();
    ASSERT_EQ(shell->current_index(), views_index);
    EXPECT_EQ(list(tabs_id::selected, views_index), std::vector<QString>{"cheap_items"});
    EXPECT_EQ(list(tabs_id::available, views_index), std::vector<QString>{"order_sum"});
    save_shot(shell->sheet(), "page_views_from_profile");
    shell->press_next();
    ASSERT_EQ(shell->current_index(), run_index);

    wait_for_finish_page();
    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::completed);
    EXPECT_EQ(handler.error_count(), 0u) << (handler.errors().empty() ? "" : handler.errors()[0]);
    EXPECT_EQ(pg_query(s.dest(), "SELECT tablename FROM pg_tables WHERE schemaname = 'public' ORDER BY 1"),
              (db_rows{{"cheap_copy"}, {"cheap_items"}, {"items"}, {"order_sum"}}));
    EXPECT_EQ(pg_query(s.dest(), "SELECT id, price FROM cheap_items ORDER BY id"),
              (db_rows{{"1", "4.50"}, {"3", "9.99"}}));
    EXPECT_EQ(pg_query(s.dest(), "SELECT id FROM cheap_copy ORDER BY id"), (db_rows{{"1"}, {"3"}}));
    EXPECT_EQ(pg_query(s.dest(), "SELECT s FROM order_sum"), (db_rows{{"100.00"}}));
}

}  // namespace
