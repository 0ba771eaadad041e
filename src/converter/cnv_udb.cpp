#include "converter/cnv_udb.h"

#include <algorithm>

#include "platform/pf_trim.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

// Trailing blanks of a SQL text mean nothing to the server, and the profile
// file cannot carry them (they are trimmed when a line is read).
std::wstring without_trailing_blanks(const std::wstring& sql) {
    return std::wstring(pf_trim_end(std::wstring_view(sql), pf_blanks::space));
}

const wchar_t* bool_text(bool b) { return b ? L"1" : L"0"; }

}  // namespace

udb_converter::udb_converter() { tk_trace(2, "udb_converter::ctor"); }

udb_converter::~udb_converter() = default;

void udb_converter::set_mode(std::int32_t mode) {
    tk_trace(1, "udb_converter::set_mode(%d)", mode);
    n_mode = mode;
    m_mode_chosen = true;
}

void udb_converter::replace_selected_tables(const std::vector<std::wstring>& tables) {
    for (auto it = selected_queries.begin(); it != selected_queries.end();) {
        if (it->second.empty())
            it = selected_queries.erase(it);
        else
            ++it;
    }
    selected_tables = tables;
}

std::wstring udb_converter::cur_table() const {
    std::lock_guard<std::mutex> g(m_cur_lock);
    return m_cur_table;
}

void udb_converter::set_cur_table(const std::wstring& name) {
    std::lock_guard<std::mutex> g(m_cur_lock);
    m_cur_table = name;
}

bool udb_converter::store_profile(udb_profile& profile) {
    tk_trace(2, "udb_converter::store_profile");
    for (const auto& [name, sql] : available_queries) {
        tk_trace_w(1, L"Available Query: (%s,%s)", name.c_str(), sql.c_str());
        profile.set_value(udb_profile::available_queries, name, without_trailing_blanks(sql));
    }
    for (const auto& [name, sql] : selected_queries) {
        tk_trace_w(1, L"Selected Query: (%s,%s)", name.c_str(), sql.c_str());
        profile.set_value(udb_profile::selected_tables, name, without_trailing_blanks(sql));
    }
    const wchar_t* g = udb_profile::generic_settings;
    profile.set_value(g, L"src", src);
    profile.set_value(g, L"dest", dest);
    profile.set_value(g, L"logfile", tk_ansi_to_unicode(logfile));
    profile.set_value(g, L"skip indexes", bool_text(skip_idx));
    profile.set_value(g, L"only definitions", bool_text(tab_def));
    // A mode nobody chose (the destination was new, so nothing asked) is
    // saved as one that drops no database: a run from the profile later finds
    // the destination there, perhaps with more in it.
    const std::int32_t mode = m_mode_chosen ? n_mode : mode_overwrite_tables;
    profile.set_value(g, L"mode", std::wstring(1, static_cast<wchar_t>(L'0' + mode)));
    return true;
}

bool udb_converter::load_profile(const udb_profile& profile) {
    tk_trace(2, "udb_converter::load_profile");
    const wchar_t* g = udb_profile::generic_settings;

    // A mode the run does not know is refused before anything is applied: a
    // mistyped mode must not leave the default, which drops the database.
    const std::wstring mode = profile.get_value(g, L"mode");
    if (!mode.empty() && (mode.size() != 1 || mode[0] < L'0' || mode[0] > L'4'))
        throw tk_exception("Invalid merge/overwrite mode", 1);

    for (const auto& [name, sql] : profile.get_selected_tables()) {
        selected_queries.try_emplace(name, sql);
        if (sql.empty()) {
            tk_trace_w(1, L"Push back table '%s'", name.c_str());
            selected_tables.push_back(name);
        }
    }
    for (const auto& [name, sql] : profile.get_available_queries()) available_queries.try_emplace(name, sql);

    const std::wstring s = profile.get_value(g, L"src");
    if (!s.empty()) src = s;
    const std::wstring d = profile.get_value(g, L"dest");
    if (!d.empty()) dest = d;
    const std::wstring log = profile.get_value(g, L"logfile");
    if (!log.empty()) set_logfile(tk_to_ansi(log));
    const std::wstring defs = profile.get_value(g, L"only definitions");
    if (!defs.empty()) tab_def = defs != L"0";
    if (!mode.empty()) set_mode(mode[0] - L'0');
    const std::wstring skip = profile.get_value(g, L"skip indexes");
    if (!skip.empty()) skip_idx = skip != L"0";
    return true;
}
