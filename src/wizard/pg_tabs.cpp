#include "wizard/pg_tabs.h"

#include <algorithm>

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "converter/dr_conv.h"
#include "gui2/g_wiz_sh.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "wizard/pg_util.h"
#include "wizard/qry_dlg.h"
#include "wizard/vek_ids.h"
#include "wizard/wait_dlg.h"

namespace {
QString q(const std::wstring& text) { return QString::fromStdWString(text); }

// Tables first, then the queries (a query wins over a table of its name).
tabs_names chosen_tables_and_queries(const dravik_convertor& conv) {
    cnv_query_map chosen;
    for (const std::wstring& table : conv.selected_tables) chosen.try_emplace(table, std::wstring());
    for (const auto& [name, sql] : conv.selected_queries)
        if (!sql.empty() || !chosen.count(name)) chosen[name] = sql;
    return tabs_names(chosen.begin(), chosen.end());
}

// A listing the page cannot do without: the failure is told here, and the
// sheet stays on the page it was leaving.
[[noreturn]] void refuse_activation(wizard_shell& shell, const tk_exception& e) {
    shell.error(vek_error_text(e));
    throw tk_final_exception();
}
}  // namespace

// ---- sel_tables_page ------------------------------------------------------------

sel_tables_page::sel_tables_page(wizard_shell& shell, wizard_page_style style, std::wstring question)
    : wizard_page(shell, std::move(style)), m_question(std::move(question)) {
    tk_trace(2, "sel_tables_page::ctor");
    auto* intro = add_control(tabs_id::intro, new QLabel(this));
    intro->setWordWrap(true);
    auto* available_label = add_control(tabs_id::available_label, new QLabel(this));
    auto* available = add_control(tabs_id::available, new QListWidget(this));
    auto* add = add_control(tabs_id::add, new QPushButton(tr("A&dd >"), this));
    auto* add_all = add_control(tabs_id::add_all, new QPushButton(tr("Add a&ll >"), this));
    auto* remove = add_control(tabs_id::remove, new QPushButton(tr("< &Remove"), this));
    auto* remove_all = add_control(tabs_id::remove_all, new QPushButton(tr("< Re&move all"), this));
    auto* add_query = add_control(tabs_id::add_query, new QPushButton(tr("Add &Query"), this));
    add_query->hide();
    auto* selected_label = add_control(tabs_id::selected_label, new QLabel(this));
    auto* selected = add_control(tabs_id::selected, new QListWidget(this));
    available_label->setBuddy(available);
    selected_label->setBuddy(selected);
    for (QListWidget* list : {available, selected}) {
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }

    // One width for the column of buttons, with room around the widest text.
    int button_width = 0;
    for (QPushButton* b : {add, add_all, remove, remove_all, add_query})
        button_width = std::max(button_width, b->sizeHint().width());
    for (QPushButton* b : {add, add_all, remove, remove_all, add_query}) b->setFixedWidth(button_width + 16);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    for (QPushButton* b : {add, add_all, remove, remove_all}) buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(add_query);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(4);
    grid->addWidget(available_label, 0, 0);
    grid->addWidget(selected_label, 0, 2);
    grid->addWidget(available, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(selected, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(intro);
    layout->addLayout(grid, 1);

    on_click(tabs_id::add, [this] { on_add(); });
    on_click(tabs_id::add_all, [this] { on_add_all(); });
    on_click(tabs_id::remove, [this] { on_delete(); });
    on_click(tabs_id::remove_all, [this] { on_del_all(); });
    on_signal<QListWidget>(tabs_id::available, &QListWidget::itemDoubleClicked, [this] { on_add(); });
}

void sel_tables_page::set_texts(const QString& intro, const QString& available, const QString& selected) {
    controls().set_text(tabs_id::intro, intro);
    controls().set_text(tabs_id::available_label, available);
    controls().set_text(tabs_id::selected_label, selected);
}

bool sel_tables_page::move_to_selected(int index) {
    g_controls& c = controls();
    if (index < 0 || index >= c.list_count(tabs_id::available)) return false;
    const QString name = c.list_item(tabs_id::available, index);
    c.list_add(tabs_id::selected, name);
    if (c.list_delete(tabs_id::available, index) && is_query(name)) moved_to_selected(name);
    return true;
}

bool sel_tables_page::move_to_available(int index) {
    g_controls& c = controls();
    if (index < 0 || index >= c.list_count(tabs_id::selected)) return false;
    const QString name = c.list_item(tabs_id::selected, index);
    c.list_add(tabs_id::available, name);
    if (c.list_delete(tabs_id::selected, index) && is_query(name)) moved_to_available(name);
    return true;
}

void sel_tables_page::on_add() {
    tk_trace(2, "sel_tables_page::on_add");
    g_controls& c = controls();
    const int index = c.list_current(tabs_id::available);
    if (index < 0 || !move_to_selected(index)) return;
    const int left = c.list_count(tabs_id::available);
    if (left > 0) {
        c.list_set_current(tabs_id::available, std::min(index, left - 1));
    } else {
        c.focus(tabs_id::selected);
        c.list_set_current(tabs_id::selected, 0);
    }
}

void sel_tables_page::on_add_all() {
    tk_trace(2, "sel_tables_page::on_add_all");
    g_controls& c = controls();
    while (c.list_count(tabs_id::available) > 0)
        if (!move_to_selected(0)) break;
    c.focus(tabs_id::selected);
    c.list_set_current(tabs_id::selected, 0);
}

void sel_tables_page::on_delete() {
    tk_trace(2, "sel_tables_page::on_delete");
    g_controls& c = controls();
    const int index = c.list_current(tabs_id::selected);
    if (index < 0 || !move_to_available(index)) return;
    const int left = c.list_count(tabs_id::selected);
    if (left > 0) {
        c.list_set_current(tabs_id::selected, std::min(index, left - 1));
    } else {
        c.focus(tabs_id::available);
        c.list_set_current(tabs_id::available, 0);
    }
}

void sel_tables_page::on_del_all() {
    tk_trace(2, "sel_tables_page::on_del_all");
    g_controls& c = controls();
    while (c.list_count(tabs_id::selected) > 0)
        if (!move_to_available(0)) break;
    c.focus(tabs_id::available);
    c.list_set_current(tabs_id::available, 0);
}

void sel_tables_page::do_page_init() {
    tk_trace(2, "sel_tables_page::do_page_init");
    g_controls& c = controls();
    c.list_clear(tabs_id::available);
    c.list_clear(tabs_id::selected);
    for (const std::wstring& name : m_names) c.list_add(tabs_id::available, q(name));
    if (c.list_count(tabs_id::available) > 0) c.list_set_current(tabs_id::available, 0);
}

void sel_tables_page::select_names(const tabs_names& names) {
    for (const auto& entry : names) move_to_selected(controls().list_find_exact(tabs_id::available, q(entry.first)));
}

bool sel_tables_page::check_selection() {
    g_controls& c = controls();
    if (c.list_count(tabs_id::available) > 0 && c.list_count(tabs_id::selected) == 0 && !m_question.empty() &&
        !shell().question(m_question, g_button::no))
        return false;
    m_names.clear();
    const int n = c.list_count(tabs_id::selected);
    for (int i = 0; i < n; ++i) {
        const QString name = c.list_item(tabs_id::selected, i);
        if (!is_query(name)) m_names.push_back(name.toStdWString());
    }
    return true;
}

// ---- sel_tables_query_page ------------------------------------------------------

sel_tables_query_page::sel_tables_query_page(wizard_shell& shell, wizard_page_style style, std::wstring question,
                                             dravik_convertor& conv)
    : sel_tables_page(shell, std::move(style), std::move(question)), m_conv(conv) {
    on_click(tabs_id::add_query, [this] { on_add_query(); });
    on_signal<QListWidget>(tabs_id::selected, &QListWidget::itemDoubleClicked, [this] { on_edit_query(); });
}

void sel_tables_query_page::on_help() { shell().display_help(vek_topic::query); }

bool sel_tables_query_page::is_query(const QString& name) const {
    const std::wstring key = name.toStdWString();
    return m_selected_queries.count(key) != 0 || m_available_queries.count(key) != 0;
}

void sel_tables_query_page::moved_to_selected(const QString& name) {
    const std::wstring key = name.toStdWString();
    if (m_selected_queries.count(key)) return;
    auto it = m_available_queries.find(key);
    if (it == m_available_queries.end()) return;
    m_selected_queries.emplace(key, it->second);
    m_available_queries.erase(it);
}

void sel_tables_query_page::moved_to_available(const QString& name) {
    auto it = m_selected_queries.find(name.toStdWString());
    if (it == m_selected_queries.end()) return;
    m_available_queries[it->first] = it->second;
    m_selected_queries.erase(it);
}

bool sel_tables_query_page::name_is_free(const QString& name, int except) const {
    const g_controls& c = controls();
    for (int list : {tabs_id::available, tabs_id::selected}) {
        const int n = c.list_count(list);
        for (int i = 0; i < n; ++i) {
            if (list == tabs_id::selected && i == except) continue;
            if (QString::compare(c.list_item(list, i), name, Qt::CaseInsensitive) == 0) return false;
        }
    }
    return true;
}

void sel_tables_query_page::select_names(const tabs_names& names) {
    g_controls& c = controls();
    for (const auto& [name, sql] : names) {
        if (!sql.empty() && name_is_free(q(name))) {
            c.list_add(tabs_id::selected, q(name));
            m_selected_queries[name] = sql;
        } else {
            move_to_selected(c.list_find_exact(tabs_id::available, q(name)));
        }
    }
}

void sel_tables_query_page::on_add_query() {
    tk_trace(2, "sel_tables_page::on_add_query");
    std::wstring name, query;
    for (;;) {
        set_query_dlg dialog(shell(), m_conv, name, query);
        if (dialog.run() != set_query_dlg::ok) return;
        name = dialog.name();
        query = dialog.query();
        if (name_is_free(q(name))) break;
        shell().message(duplicate_name_text);
    }
    m_selected_queries[name] = query;
    controls().list_set_current(tabs_id::selected, controls().list_add(tabs_id::selected, q(name)));
}

void sel_tables_query_page::on_edit_query() {
    tk_trace(2, "sel_tables_page::on_edit_query");
    g_controls& c = controls();
    const int index = c.list_current(tabs_id::selected);
    if (index < 0) return;
    const std::wstring old_name = c.list_item(tabs_id::selected, index).toStdWString();
    auto it = m_selected_queries.find(old_name);
    if (it == m_selected_queries.end()) return;  // a table
    std::wstring name = it->first, query = it->second;
    for (;;) {
        set_query_dlg dialog(shell(), m_conv, name, query);
        if (dialog.run() != set_query_dlg::ok) return;
        name = dialog.name();
        query = dialog.query();
        // Its own old name does not count.
        if (name_is_free(q(name), index)) break;
        shell().message(duplicate_name_text);
    }
    m_selected_queries.erase(old_name);
    m_selected_queries[name] = query;
    c.list_delete(tabs_id::selected, index);
    c.list_set_current(tabs_id::selected, c.list_add(tabs_id::selected, q(name)));
}

// ---- vek_sel_tables_page -----------------------------------------------------------

vek_sel_tables_page::vek_sel_tables_page(wizard_shell& shell, dravik_convertor& conv)
    : sel_tables_query_page(shell, vek_step_style(vek_page::tables, L"Step 4 of 6", L"Select tables to convert"),
                            no_tables_question, conv),
      m_conv(conv) {}

void vek_sel_tables_page::on_help() { shell().display_help(vek_topic::tables); }

bool vek_sel_tables_page::page_init() {
    set_texts(tr("Select MySQL tables to convert into PostgreSQL format."), tr("&Available tables:"),
              tr("&Selected tables:"));
    try {
        m_names = wait_for_server(shell(), m_conv, wait_text::tables, [this] {
            std::vector<std::wstring> names = m_conv.get_all_tables();
            // A view that a saved profile keeps as the query reading it is
            // shown on the views page, selected, and not here.
            if (m_conv.convert_views) {
                udb_queries views;
                m_conv.take_view_queries(m_conv.get_all_views(views));
            }
            return names;
        });
    } catch (const tk_exception& e) {
        refuse_activation(shell(), e);
    }
    m_selected_queries.clear();
    m_available_queries.clear();
    do_page_init();
    controls().show(tabs_id::add_query, true);
    // The tables and the queries chosen before, together: going Back and
    // Next again keeps both.
    select_names(chosen_tables_and_queries(m_conv));
    for (const auto& [name, sql] : m_conv.available_queries) {
        if (sql.empty() || !name_is_free(q(name))) continue;
        controls().list_add(tabs_id::available, q(name));
        m_available_queries[name] = sql;
    }
    return true;
}

int vek_sel_tables_page::on_next() {
    if (!check_selection()) return -1;
    m_conv.selected_tables = m_names;
    m_conv.selected_queries = m_selected_queries;
    m_conv.available_queries = m_available_queries;
    bool offer_views = false;
    if (m_conv.convert_views) {
        udb_queries views;
        try {
            wait_for_server(shell(), m_conv, wait_text::views, [&] { m_conv.get_all_views(views); });
        } catch (const tk_exception& e) {
            shell().error(vek_error_text(e));
            return -1;
        }
        offer_views = !views.empty();
    }
    if (offer_views) return 0;
    // Without the views page no view is converted.
    m_conv.views.clear();
    return vek_page::progress;
}

// ---- vek_sel_views_page ------------------------------------------------------------

vek_sel_views_page::vek_sel_views_page(wizard_shell& shell, dravik_convertor& conv)
    : sel_tables_page(shell, vek_step_style(vek_page::views, L"Step 5 of 6", L"Select views to convert"),
                      std::wstring()),
      m_conv(conv) {}

void vek_sel_views_page::on_help() { shell().display_help(vek_topic::views); }

bool vek_sel_views_page::page_init() {
    set_texts(tr("Select MySQL views to convert into PostgreSQL format."), tr("&Available views:"),
              tr("&Selected views:"));
    m_views.clear();
    try {
        wait_for_server(shell(), m_conv, wait_text::views, [this] { m_conv.get_all_views(m_views); });
    } catch (const tk_exception& e) {
        refuse_activation(shell(), e);
    }
    m_names.clear();
    for (const auto& view : m_views) m_names.push_back(view.first);
    do_page_init();
    select_names(tabs_names(m_conv.views.begin(), m_conv.views.end()));
    return true;
}

int vek_sel_views_page::on_next() {
    tk_trace(2, "vek_sel_views_page::on_next");
    if (!check_selection()) return -1;
    udb_queries chosen;
    for (const std::wstring& name : m_names) {
        auto it = m_views.find(name);
        if (it == m_views.end()) continue;
        tk_trace_w(2, L"Found view: '%s'", name.c_str());
        chosen.emplace(name, it->second);
    }
    m_conv.views = std::move(chosen);
    return 0;
}
