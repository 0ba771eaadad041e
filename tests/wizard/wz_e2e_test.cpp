// The whole wizard as a user drives it, against the private test servers:
// both connections, the databases, tables, a query and a view, the run, the
// finish page and the saved profile; then vekagent converts the same again
// from that profile.
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "common/over_dlg.h"
#include "support/agent_proc.h"
#include "wizard/pg_dbs.h"
#include "wizard/pg_tabs.h"
#include "wizard/qry_dlg.h"
#include "wz_run_fix.h"

namespace {

class WholeWizardTest : public RunTest {
protected:
    std::vector<QString> list(int index, int id) {
        std::vector<QString> out;
        for (int i = 0; i < controls(index).list_count(id); ++i) out.push_back(controls(index).list_item(id, i));
        return out;
    }
    void double_click(int index, int list_id, const QString& item) {
        auto& l = controls(index).as<QListWidget>(list_id);
        const int row = controls(index).list_find_exact(list_id, item);
        ASSERT_GE(row, 0) << item.toStdString();
        l.setCurrentRow(row);
        emit l.itemDoubleClicked(l.item(row));
    }
};

const char* const query_sql = "SELECT o.id, c.name, o.total FROM orders o JOIN customers c ON c.id = o.customer_id";

TEST_F(WholeWizardTest, converts_from_its_pages_saves_a_profile_and_vekagent_converts_the_same_from_it) {
    scratch_dbs dbs("wz_e2e", "wz_e2e_pg", scratch_options{.unique = true});
    load_shop(dbs.my);
    pg_exec(dbs.dest(), "CREATE TABLE stale (id int)");  // the destination exists: the overwrite dialog asks
    const server_address my = mysql_test_server();
    const server_address pg = pg_test_server();
    start();

    // Welcome, then both servers.
    shell->press_next();
    ASSERT_EQ(shell->current_index(), mysql_index);
    fill(mysql_index, true, my.host, std::to_string(my.port), my.user, my.password);
    shell->press_next();
    ASSERT_EQ(shell->current_index(), pgs_index) << (box_texts().empty() ? "" : box_texts()[0].toStdString());
    fill(pgs_index, true, pg.host, std::to_string(pg.port), pg.user, pg.password);
    shell->press_next();
    ASSERT_EQ(shell->current_index(), databases_index) << (box_texts().empty() ? "" : box_texts()[0].toStdString());

    // The source from the drop-down (listed behind the please-wait dialog),
    // the destination typed; it exists, and the whole database is overwritten.
    auto& combo = controls(databases_index).as<QComboBox>(dbs_id::source);
    combo.showPopup();
    combo.hidePopup();
    const int item = combo.findText(QString::fromStdString(dbs.src()));
    ASSERT_GE(item, 0);
    combo.setCurrentIndex(item);
    emit combo.activated(item);
    controls(databases_index).set_text(dbs_id::dest, dbs.dest());
    int overwrite_dialogs = 0;
    gui.presenter.dialog_script.push_back([&](QDialog& d) {
        ++overwrite_dialogs;
        auto& dialog = dynamic_cast<overwrite_dlg2&>(d);
        dialog.controls().as<QRadioButton>(over_id::entire_database).click();
        dialog.controls().as<QPushButton>(over_id::ok).click();
        return d.result();
    });
    shell->press_next();
    ASSERT_EQ(shell->current_index(), tables_index) << (box_texts().empty() ? "" : box_texts()[0].toStdString());
    EXPECT_EQ(overwrite_dialogs, 1);
    EXPECT_EQ(conv->n_mode, 0);

    // Three tables and a query.
    EXPECT_EQ(list(tables_index, tabs_id::available),
              (std::vector<QString>{"attachments", "customers", "orders", "products"}));
    for (const char* t : {"customers", "products", "attachments"}) double_click(tables_index, tabs_id::available, t);
    gui.presenter.dialog_script.push_back([](QDialog& d) {
        auto& dialog = dynamic_cast<set_query_dlg&>(d);
        dialog.controls().set_text(query_id::name, std::string("order_lines"));
        dialog.controls().set_text(query_id::query, std::string(query_sql));
        dialog.controls().as<QPushButton>(query_id::ok).click();
        return d.result();
    });
    controls(tables_index).as<QPushButton>(tabs_id::add_query).click();
    EXPECT_EQ(list(tables_index, tabs_id::selected),
              (std::vector<QString>{"attachments", "customers", "order_lines", "products"}));
    shell->press_next();
    ASSERT_EQ(shell->current_index(), views_index) << (box_texts().empty() ? "" : box_texts()[0].toStdString());

    // The view; Next starts the run.
    double_click(views_index, tabs_id::available, "paid_orders");
    shell->press_next();
    ASSERT_EQ(current_id(), vek_page::progress);
    wait_for_finish_page();
    EXPECT_TRUE(gui.presenter.boxes.empty()) << gui.presenter.boxes[0].text.toStdString();
    EXPECT_EQ(finish_controls().text_w(finish_id::text), vek_success_text);

    // Save the settings, then Finish.
    const std::filesystem::path profile = registry / "shop";
    std::filesystem::create_directories(registry);
    gui.presenter.file_answers.push_back(QString::fromStdString(profile.string()));
    finish_controls().as<QPushButton>(finish_id::save).click();
    const std::string saved = profile.string() + ".vek";
    ASSERT_TRUE(std::filesystem::exists(saved));
    shell->press_finish();
    ASSERT_TRUE(shell->ended());
    EXPECT_EQ(vek_exit_code(shell->how_ended(), *conv, handler), 0);

    // Every row of the destination is the source's; the old table is gone.
    auto check_destination = [&](const std::string& dest) {
        SCOPED_TRACE(dest);
        EXPECT_EQ(pg_query(dest, "SELECT table_name::text FROM information_schema.tables WHERE table_schema = "
                                 "'public' ORDER BY 1"),
                  (db_rows{{"attachments"}, {"customers"}, {"order_lines"}, {"paid_orders"}, {"products"}}));
        EXPECT_EQ(diff_rows(dbs.my, dbs.src(), "customers", dest, "customers", "id"), "");
        EXPECT_EQ(diff_rows(dbs.my, dbs.src(), "products", dest, "products", "sku"), "");
        EXPECT_EQ(diff_rows(dbs.my, dbs.src(), "attachments", dest, "attachments", "id"), "");
        EXPECT_EQ(diff_rows(dbs.my, dbs.src(), "paid_orders", dest, "paid_orders", "id"), "");
        const db_rows source = dbs.my.query(std::string(query_sql) + " ORDER BY o.id");
        EXPECT_EQ(pg_query(dest, "SELECT id::text, name, total::text FROM order_lines ORDER BY id"), source);
        EXPECT_EQ(source.size(), 4u);
    };
    check_destination(dbs.dest());

    // vekagent converts the same again from the saved profile, into a second
    // destination (which the agent wants to exist). Profiles carry no
    // PostgreSQL port and the agent takes none beside a profile: the client
    // library's PGPORT names it.
    const std::string second = dbs.dest() + "_agent";
    pg_drop_db(second);
    pg_create_db(second);
    setenv("PGPORT", std::to_string(pg.port).c_str(), 1);
    const agent_result r = run_agent({"--profile=" + saved, "--dest=" + second});
    unsetenv("PGPORT");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    check_destination(second);
    pg_drop_db(second);
}

}  // namespace
