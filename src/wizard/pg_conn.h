#pragma once
// The connection pages: sql_settings_page2 (the source MySQL server) and
// pgs_settings_page_impl (the destination PostgreSQL server). Each shows the
// converter's settings, writes what the user entered back into it (also on
// Back), and on Next connects that server; the user stays on the page until
// the connection succeeds. The connection is made behind the please-wait
// dialog; failures are shown here in the error box once it has closed, with
// the error maps' words where they have some.
#include <optional>
#include <string>

#include "gui2/g_wiz_pg.h"

class mysql_converter_impl;
class pgs_converter_impl;

namespace conn_id {
inline constexpr int local = 1329;
inline constexpr int remote = 1330;
inline constexpr int user = 1012;
inline constexpr int password = 1013;
inline constexpr int host = 1014;
inline constexpr int port = 1015;
}  // namespace conn_id

// The controls both pages share, built on the page.
class connection_page : public wizard_page {
public:
    connection_page(wizard_shell& shell, wizard_page_style style, const QString& intro, const QString& port_note);

protected:
    bool remote_checked() const;
    // Local: no host, no port boxes; Remote: both, the focus ending in the port.
    void on_local();
    void on_remote();
    // Shows the mode without moving the focus.
    void show_mode(bool remote);
    // Shows stored settings: the user and the password, then Local for an
    // empty host (the host and port boxes keep what they hold), else Remote
    // with the host and the port. True when Remote is shown.
    bool show_settings(const std::string& user, const std::string& password, const std::string& host,
                       const std::string& port);
};

class sql_settings_page2 : public connection_page {
public:
    sql_settings_page2(wizard_shell& shell, mysql_converter_impl& settings);

    bool page_init() override;
    void on_help() override;
    int on_next() override;
    int store_settings() override;

private:
    void store();

    mysql_converter_impl& m_settings;
};

class pgs_settings_page_impl : public connection_page {
public:
    pgs_settings_page_impl(wizard_shell& shell, pgs_converter_impl& settings);

    bool page_init() override;
    void on_help() override;
    int on_next() override;
    int store_settings() override;

    // A port box's text: empty (or blanks) is 0, the client library's
    // default; otherwise a whole number from 1 to 65535, else nothing.
    static std::optional<unsigned> parse_port(const std::string& text);

private:
    // False (after telling the user) when the port box holds no valid port;
    // then nothing is stored.
    bool store();

    pgs_converter_impl& m_settings;
};

inline constexpr const char* invalid_pg_port_text =
    "Invalid port number. Enter a number from 1 to 65535, or leave the box empty to use the default port.";
