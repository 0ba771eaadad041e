#include "wizard/pg_conn.h"

#include <algorithm>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "converter/cnv_my.h"
#include "converter/cnv_pg.h"
#include "converter/err_map.h"
#include "gui2/g_wiz_sh.h"
#include "platform/pf_num.h"
#include "sql/sql_exc.h"
#include "tk/tk_errco.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "wizard/pg_util.h"
#include "wizard/vek_ids.h"
#include "wizard/wait_dlg.h"

namespace {
QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
    label->setPalette(p);
    return label;
}
}  // namespace

connection_page::connection_page(wizard_shell& shell, wizard_page_style style, const QString& intro,
                                 const QString& port_note)
    : wizard_page(shell, std::move(style)) {
    auto* access = new QGroupBox(" Access mode ", this);
    auto* local = add_control(conn_id::local, new QRadioButton(tr("&Local"), access));
    auto* remote = add_control(conn_id::remote, new QRadioButton(tr("&Remote"), access));
    auto* access_row = new QHBoxLayout(access);
    access_row->addWidget(local);
    access_row->addSpacing(24);
    access_row->addWidget(remote);
    access_row->addStretch(1);

    auto* auth = new QGroupBox(" Authorization settings ", this);
    auto* user = add_control(conn_id::user, new QLineEdit(auth));
    auto* password = add_control(conn_id::password, new QLineEdit(auth));
    password->setEchoMode(QLineEdit::Password);
    auto* auth_grid = new QGridLayout(auth);
    auth_grid->addWidget(vek_buddy_label(tr("&User name:"), user, auth), 0, 0);
    auth_grid->addWidget(user, 0, 1);
    auth_grid->addWidget(vek_buddy_label(tr("Pass&word:"), password, auth), 1, 0);
    auth_grid->addWidget(password, 1, 1);
    auth_grid->setColumnStretch(1, 1);

    auto* remote_box = new QGroupBox(" Remote settings ", this);
    auto* host = add_control(conn_id::host, new QLineEdit(remote_box));
    auto* port = add_control(conn_id::port, new QLineEdit(remote_box));
    port->setFixedWidth(port->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
    auto* remote_grid = new QGridLayout(remote_box);
    remote_grid->addWidget(vek_buddy_label(tr("Ho&st:"), host, remote_box), 0, 0);
    remote_grid->addWidget(host, 0, 1, 1, 2);
    remote_grid->addWidget(note("(it could be network name or IP address)", remote_box), 1, 1, 1, 2);
    remote_grid->addWidget(vek_buddy_label(tr("P&ort:"), port, remote_box), 2, 0);
    remote_grid->addWidget(port, 2, 1);
    remote_grid->addWidget(note(port_note, remote_box), 2, 2);
    remote_grid->setColumnStretch(2, 1);

    // The labels of both boxes line up.
    const int label_width = std::max(auth_grid->itemAtPosition(0, 0)->widget()->sizeHint().width(),
                                     auth_grid->itemAtPosition(1, 0)->widget()->sizeHint().width());
    auth_grid->setColumnMinimumWidth(0, label_width);
    remote_grid->setColumnMinimumWidth(0, label_width);

    auto* intro_label = new QLabel(intro, this);
    intro_label->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(intro_label);
    layout->addWidget(access);
    layout->addWidget(auth);
    layout->addWidget(remote_box);
    layout->addStretch(1);

    on_click(conn_id::local, [this] { on_local(); });
    on_click(conn_id::remote, [this] { on_remote(); });
}

bool connection_page::remote_checked() const { return controls().is_checked(conn_id::remote); }

void connection_page::on_local() {
    enable_ctrl(conn_id::host, false);
    enable_ctrl(conn_id::port, false);
}

void connection_page::on_remote() {
    enable_ctrl(conn_id::host, true);
    enable_ctrl(conn_id::port, true);
}

void connection_page::show_mode(bool remote) {
    controls().check_radio(conn_id::local, conn_id::remote, remote ? conn_id::remote : conn_id::local);
    controls().enable(conn_id::host, remote);
    controls().enable(conn_id::port, remote);
}

bool connection_page::show_settings(const std::string& user, const std::string& password, const std::string& host,
                                    const std::string& port) {
    controls().set_text(conn_id::user, user);
    controls().set_text(conn_id::password, password);
    const bool remote = !host.empty();
    show_mode(remote);
    if (remote) {
        controls().set_text(conn_id::host, host);
        controls().set_text(conn_id::port, port);
    }
    return remote;
}

sql_settings_page2::sql_settings_page2(wizard_shell& shell, mysql_converter_impl& settings)
    : connection_page(shell, vek_step_style(vek_page::mysql, L"Step 1 of 6", L"Connect to MySQL server"),
                      "Provide necessary information to establish connection with MySQL server.",
                      "(default MySQL port is 3306)"),
      m_settings(settings) {}

bool sql_settings_page2::page_init() {
    tk_trace(1, "sql_settings_page2::page_init");
    const bool remote = show_settings(m_settings.user, m_settings.password, m_settings.host, m_settings.port);
    tk_trace(1, "Step #1");
    tk_trace(1, remote ? "Step #2.1" : "Step #2.2");
    return true;
}

void sql_settings_page2::on_help() { shell().display_help(vek_topic::mysql); }

void sql_settings_page2::store() {
    tk_trace(1, "sql_settings_page2::store_settings");
    std::string host;
    std::string port = "3306";
    if (remote_checked()) {
        host = controls().text_a(conn_id::host);
        port = controls().text_a(conn_id::port);
    }
    m_settings.store_mysql_settings(host, controls().text_a(conn_id::user), controls().text_a(conn_id::password), port);
}

int sql_settings_page2::store_settings() {
    store();
    return 0;
}

int sql_settings_page2::on_next() {
    tk_trace(1, "sql_settings_page2::on_next");
    store();
    try {
        wait_for_server(shell(), wait_text::mysql, {.break_off = [this] { m_settings.engine.break_connection(); }},
                        [this] { m_settings.connect_mysql_server(); });
    } catch (const sql_auth_not_supported_exception& e) {
        shell().error(std::string(e.what()));
        shell().display_help(vek_topic::troubleshooting);
        return -1;
    } catch (const tk_exception& e) {
        const tk_error_converter rows(mysql_error_map);
        shell().error(vek_error_text(rows, e));
        if (const auto* refused = dynamic_cast<const sql_exception*>(&e); refused && refused->auth_protocol_refused())
            shell().display_help(vek_topic::troubleshooting);
        return -1;
    }
    return 0;
}

pgs_settings_page_impl::pgs_settings_page_impl(wizard_shell& shell, pgs_converter_impl& settings)
    : connection_page(shell, vek_step_style(vek_page::pgs, L"Step 2 of 6", L"Connect to PostgreSQL server"),
                      "Provide necessary information to establish connection with PostgreSQL server.",
                      "(default port is 5432)"),
      m_settings(settings) {}

bool pgs_settings_page_impl::page_init() {
    tk_trace(1, "pgs_settings_page_impl<t_converter>::page_init");
    // Port 0 is the client library's default: an empty box says so.
    show_settings(m_settings.user, m_settings.password, m_settings.host,
                  m_settings.port ? std::to_string(m_settings.port) : std::string());
    return true;
}

void pgs_settings_page_impl::on_help() { shell().display_help(vek_topic::pgs); }

std::optional<unsigned> pgs_settings_page_impl::parse_port(const std::string& text) {
    const std::string digits = tk_trim(text);
    if (digits.empty()) return 0u;
    // The box takes digits alone, where a profile or the console reads a leading number.
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    return pf_port_number(digits);
}

bool pgs_settings_page_impl::store() {
    std::string host;
    std::string port_text;
    if (remote_checked()) {
        host = controls().text_a(conn_id::host);
        port_text = controls().text_a(conn_id::port);
    }
    const std::optional<unsigned> port = parse_port(port_text);
    if (!port) {
        shell().error(std::string(invalid_pg_port_text));
        controls().focus(conn_id::port);
        return false;
    }
    m_settings.host = host;
    m_settings.user = controls().text_a(conn_id::user);
    m_settings.password = controls().text_a(conn_id::password);
    m_settings.port = *port;
    return true;
}

int pgs_settings_page_impl::store_settings() { return store() ? 0 : -1; }

int pgs_settings_page_impl::on_next() {
    tk_trace(1, "pgs_settings_page_impl<>::on_next");
    if (!store()) return -1;
    try {
        wait_for_server(shell(), wait_text::pgs, {.break_off = [this] { m_settings.engine.break_connection(); }},
                        [this] { m_settings.connect_pgs_server(); });
    } catch (const tk_exception& e) {
        const tk_error_converter rows(pgs_error_map);
        shell().error(vek_error_text(rows, e));
        return -1;
    }
    return 0;
}
