#pragma once
// Shared by the agent's in-process tests: a settings record that stands in
// for the converter behind agent_target.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "agent/agent_targ.h"
#include "converter/cnv_tk.h"
#include "support/test_dir.h"
#include "tk/tk_exc.h"

// What a profile would apply when loaded.
struct fake_profile {
    bool loads = true;
    std::wstring src;
    std::string mysql_host;
    std::vector<std::wstring> tables;
};

struct fake_target : agent_target {
    std::wstring m_src, m_dest;
    int mode = 0;
    // The log file name and the files read, kept as the program keeps them
    // (held apart so that the record stays movable).
    std::unique_ptr<tk_converter> conv = std::make_unique<tk_converter>();
    bool m_silent = false, skip_idx = false, tab_def = false;
    std::vector<std::wstring> selected_tables;
    std::map<std::wstring, std::wstring> selected_queries;
    std::map<std::wstring, fake_profile> profiles;
    int pgs_stores = 0, mysql_stores = 0;
    std::string pg_host, pg_user, pg_password;
    unsigned pg_port = 0;
    std::string my_host, my_user, my_port = "3306";
    std::optional<std::string> my_password;
    std::vector<std::string> calls;  // order of effects

    void set_src(const std::wstring& n) override {
        m_src = n;
        calls.push_back("src");
    }
    void set_dest(const std::wstring& n) override {
        m_dest = n;
        calls.push_back("dest");
    }
    const std::wstring& src() const override { return m_src; }
    const std::wstring& dest() const override { return m_dest; }
    void set_mode(int m) override {
        mode = m;
        calls.push_back("mode");
    }
    void set_logfile(const std::string& name) override {
        conv->set_logfile(name);
        calls.push_back("logfile");
    }
    void add_input_file(const std::string& path, const std::string& role) override { conv->add_input_file(path, role); }
    bool load_profile(const std::wstring& path) override {
        calls.push_back("profile");
        auto it = profiles.find(path);
        if (it == profiles.end())
            throw tk_exception("Profile does not exist. Please verify the correct path/name was given.", 1);
        const fake_profile& p = it->second;
        if (!p.loads) return false;
        if (!p.src.empty()) m_src = p.src;
        my_host = p.mysql_host;
        for (const auto& t : p.tables) {
            selected_queries.emplace(t, L"");
            selected_tables.push_back(t);
        }
        return true;
    }
    void set_silent(bool on) override {
        m_silent = on;
        calls.push_back("silent");
    }
    bool silent() const override { return m_silent; }
    void set_skip_idx(bool on) override { skip_idx = on; }
    void set_tab_def(bool on) override { tab_def = on; }
    void replace_selected_tables(const std::vector<std::wstring>& tables) override {
        selected_tables = tables;
        std::erase_if(selected_queries, [](const auto& e) { return e.second.empty(); });
        calls.push_back("tables");
    }
    void store_pgs_settings(const std::string& h, const std::string& u, const std::string& p, unsigned port) override {
        ++pgs_stores;
        pg_host = h, pg_user = u, pg_password = p, pg_port = port;
    }
    void store_mysql_settings(const std::string& h, const std::string& u, const std::optional<std::string>& p,
                              const std::string& port) override {
        ++mysql_stores;
        my_host = h, my_user = u, my_password = p, my_port = port;
    }
};
