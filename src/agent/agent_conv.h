#pragma once
// The agent's side of the converter: the command line's target over the
// converter, the console form of the error handler's dialogs and the run's
// console hooks.

#include "agent/agent_out.h"
#include "agent/agent_targ.h"
#include "converter/cnv_hook.h"
#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/err_ui.h"

class agent_converter_target : public agent_target {
public:
    agent_converter_target(dravik_convertor& conv, error_handler& eh, agent_console& console)
        : m_conv(conv), m_eh(eh), m_console(console) {}

    void set_src(const std::wstring& name) override { m_conv.src = name; }
    void set_dest(const std::wstring& name) override { m_conv.dest = name; }
    const std::wstring& src() const override { return m_conv.src; }
    const std::wstring& dest() const override { return m_conv.dest; }
    void set_mode(int mode) override { m_conv.set_mode(mode); }
    void set_logfile(const std::string& name) override { m_conv.set_logfile(name); }
    void add_input_file(const std::string& path, const std::string& role) override {
        m_conv.add_input_file(path, role);
    }
    bool load_profile(const std::wstring& path) override { return m_conv.load_profile(path); }
    void set_silent(bool on) override;
    bool silent() const override { return m_conv.b_silent; }
    void set_skip_idx(bool on) override { m_conv.skip_idx = on; }
    void set_tab_def(bool on) override { m_conv.tab_def = on; }
    void replace_selected_tables(const std::vector<std::wstring>& tables) override {
        m_conv.replace_selected_tables(tables);
    }
    void store_pgs_settings(const std::string& host, const std::string& user, const std::string& password,
                            unsigned port) override {
        m_conv.store_pgs_settings(host, user, password, port);
    }
    void store_mysql_settings(const std::string& host, const std::string& user,
                              const std::optional<std::string>& password, const std::string& port) override {
        m_conv.store_mysql_settings(host, user, password, port);
    }

private:
    dravik_convertor& m_conv;
    error_handler& m_eh;
    agent_console& m_console;
};

// The error handler's texts on the agent's console. Never asks: every
// recoverable error is continued from.
class agent_dialogs : public error_dialogs {
public:
    explicit agent_dialogs(agent_console& console) : m_console(console) {}

    void show_internal_error(const std::string& text) override { m_console.internal_error(text); }
    void show_error(const std::string& text) override { m_console.error(text); }
    answer ask_continue(const std::string& text, bool& dont_show_again) override;
    void show_failure(const std::string& text) override { m_console.failure(text); }

private:
    agent_console& m_console;
};

// The agent's own steps of the run: every table when nothing was selected,
// and the console lines.
class agent_hooks : public cnv_run_hooks {
public:
    explicit agent_hooks(agent_console& console) : m_console(console) {}

    bool select_all_when_empty() override { return true; }
    void on_database(const std::wstring& src, std::uint32_t n_tables) override {
        m_console.database_line(src, n_tables);
    }
    void on_missing_table(const std::wstring& name) override { m_console.missing_table(name); }
    // "Table <name> not exists" on standard error is the whole report.
    bool reports_missing_tables() const override { return true; }
    void on_table(const std::wstring& name, std::int64_t n_records) override { m_console.table_line(name, n_records); }

private:
    agent_console& m_console;
};
