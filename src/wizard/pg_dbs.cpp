#include "wizard/pg_dbs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "common/over_dlg.h"
#include "converter/dr_conv.h"
#include "gui2/g_combo.h"
#include "gui2/g_wiz_sh.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "wizard/pg_util.h"
#include "wizard/vek_ids.h"
#include "wizard/wait_dlg.h"

sel_file_page::sel_file_page(wizard_shell& shell, dravik_convertor& conv)
    : wizard_page(shell, vek_step_style(vek_page::databases, L"Step 3 of 6", L"Select databases")), m_conv(conv) {
    auto* intro = new QLabel(tr("Enter source and destination database names. Drop down the combo box to see\n"
                                "all available MySQL databases (you must have sufficient permissions)."),
                             this);
    auto* source = add_control(dbs_id::source, new g_combo_box(dispatcher(), this));
    auto* dest = add_control(dbs_id::dest, new QLineEdit(this));
    auto* tab_def = add_control(dbs_id::tab_def, new QCheckBox(tr("&Convert table definitions only"), this));
    auto* skip_idx = add_control(dbs_id::skip_idx, new QCheckBox(tr("S&kip converting indexes"), this));

    auto* names = new QGridLayout;
    names->setHorizontalSpacing(12);
    names->setVerticalSpacing(10);
    names->addWidget(vek_buddy_label(tr("My&SQL database name:"), source, this), 0, 0);
    names->addWidget(source, 0, 1);
    names->addWidget(vek_buddy_label(tr("&PostgreSQL database name:"), dest, this), 1, 0);
    names->addWidget(dest, 1, 1);
    names->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(intro);
    layout->addSpacing(10);
    layout->addLayout(names);
    layout->addSpacing(14);
    layout->addWidget(tab_def);
    layout->addWidget(skip_idx);
    layout->addStretch(1);

    source->set_on_dropdown([this] { return on_dropdown(); });
    on_signal<QComboBox>(dbs_id::source, &QComboBox::activated, [this] { on_sel_change(); });
}

bool sel_file_page::page_init() {
    tk_trace(1, "sel_file_page::page_init");
    controls().set_check(dbs_id::skip_idx, m_conv.skip_idx);
    controls().set_check(dbs_id::tab_def, m_conv.tab_def);
    if (!m_listed) controls().combo_clear(dbs_id::source);
    if (!m_conv.src.empty() || !m_conv.dest.empty()) {
        controls().set_text(dbs_id::source, m_conv.src);
        controls().set_text(dbs_id::dest, m_conv.dest.empty() ? m_conv.src : m_conv.dest);
    }
    return true;
}

void sel_file_page::on_help() { shell().display_help(vek_topic::databases); }

std::wstring sel_file_page::get_sql_title() const {
    tk_trace(1, "sel_file_page::get_sql_title");
    const std::wstring text = controls().text_w(dbs_id::source);
    if (text.empty())
        tk_trace(2, "Failed to exract text of selected item");
    else
        tk_trace_w(1, L"text=%s", text.c_str());
    return text;
}

bool sel_file_page::list_databases() {
    std::vector<std::wstring> names;
    try {
        names = wait_for_server(shell(), m_conv, wait_text::mysql, [this] {
            tk_trace(2, "sel_file_page::animation::operator()");
            std::vector<std::wstring> listed;
            m_conv.get_contents(listed);
            return listed;
        });
    } catch (const tk_exception& e) {
        tk_trace(2, "Listing the databases failed: %s", e.what());
        shell().error(vek_error_text(e));
        return false;
    }
    for (const std::wstring& name : names) controls().combo_add(dbs_id::source, QString::fromStdWString(name));
    m_listed = true;
    return true;
}

bool sel_file_page::on_dropdown() {
    tk_trace(1, "sel_file_page::on_dropdown");
    if (!m_listed && !list_databases()) return false;
    // The item of the name in the box, when there is one; a name that only
    // begins another database's name is left as it is.
    const QString name = controls().text(dbs_id::source);
    if (!name.isEmpty()) {
        const int item = controls().combo_find_name(dbs_id::source, name);
        if (item >= 0) controls().combo_select(dbs_id::source, item);
    }
    return true;
}

void sel_file_page::on_sel_change() {
    tk_trace(1, "sel_file_page::on_sel_change");
    const std::wstring picked = get_sql_title();
    if (controls().text(dbs_id::dest).isEmpty()) controls().set_text(dbs_id::dest, picked);
    // The selections belong to the source database: another one makes them void.
    if (picked == m_conv.src) return;
    m_conv.available_queries.clear();
    m_conv.selected_tables.clear();
    m_conv.selected_queries.clear();
    m_conv.views.clear();
}

void sel_file_page::store() {
    m_conv.tab_def = controls().is_checked(dbs_id::tab_def);
    m_conv.skip_idx = controls().is_checked(dbs_id::skip_idx);
    m_conv.src = get_sql_title();
    m_conv.dest = controls().text_w(dbs_id::dest);
}

int sel_file_page::store_settings() {
    store();
    return 0;
}

int sel_file_page::on_next() {
    store();
    if (m_conv.src.empty()) {
        shell().message(L"You should enter MySQL database name");
        return -1;
    }
    if (m_conv.dest.empty()) {
        shell().message(L"You should enter PostgreSQL database name");
        return -1;
    }
    try {
        if (!wait_for_server(shell(), m_conv, wait_text::mysql_database,
                             [this] { return m_conv.is_mysql_base_exist(m_conv.src); })) {
            shell().message(L"MySQL database does not exist");
            return -1;
        }
        if (wait_for_server(shell(), m_conv, wait_text::pgs_database,
                            [this] { return m_conv.is_db_exist(m_conv.dest); })) {
            overwrite_dlg2 dialog(shell(), vek_topic::overwrite, overwrite_question_text, m_conv.n_mode);
            if (dialog.run() != overwrite_dlg2::ok) return -1;
            // Only the choice: a run in mode 0 drops the destination when it
            // starts, after its source has opened.
            m_conv.set_mode(dialog.option());
        }
    } catch (const tk_exception& e) {
        shell().error(vek_error_text(e));
        return -1;
    }
    return 0;
}
