#include "postgres/pgs_vali.h"

#include "platform/pf_text.h"
#include "postgres/pgs_ident.h"
#include "tk/tk_log.h"
#include "udb/udb_sche.h"

namespace {

constexpr std::uint32_t max_name_chars = 30;
// Room left for a five-digit counter within the server's byte limit.
constexpr std::size_t max_counter_base_bytes = pgs_max_ident_bytes - 5;

bool is_name_char(wchar_t c) { return pf_is_alnum(c) || c == L'_' || c == L'$' || c == L'#'; }

// Drops trailing characters until the UTF-8 form fits max_bytes.
void clip_utf8(std::wstring& s, std::size_t max_bytes) {
    while (!s.empty() && pgs_utf8_size(s) > max_bytes) s.pop_back();
}

}  // namespace

pgs_validator::pgs_validator() : udb_validator(max_name_chars) { tk_trace(2, "pgs_validator::ctor"); }

bool pgs_validator::is_acceptable(const std::wstring& name) const {
    tk_trace_w(1, L"pgs_validator::is_acceptable(%s)", name.c_str());
    if (name.empty() || name.size() > m_max_len) return false;
    // The server would cut a longer name, so it would not stay the name we use.
    if (pgs_utf8_size(name) > pgs_max_ident_bytes) return false;
    if (!pf_is_alpha(name[0])) return false;
    for (wchar_t c : name) {
        if (!is_name_char(c)) {
            tk_trace_w(2, L"Name contains invalid symbol: '%c'", c);
            return false;
        }
    }
    return !is_restricted(name);
}

std::wstring pgs_validator::get_safe_name(const std::wstring& name) const {
    tk_trace_w(1, L"pgs_validator::get_safe_name(%s)", name.c_str());
    std::wstring s = name;
    if (s.empty() || !pf_is_alpha(s[0])) s.insert(0, 1, L'A');
    if (s.size() > m_max_len) s.resize(m_max_len - 1);
    for (wchar_t& c : s)
        if (!is_name_char(c)) c = L'_';
    clip_utf8(s, pgs_max_ident_bytes);
    if (is_acceptable(s) && !is_duplicated(s)) return s;
    // The base generator keeps up to 24 characters in front of its counter;
    // with wide characters those must leave room for the counter's five bytes.
    clip_utf8(s, max_counter_base_bytes);
    if (s.empty()) s = L"A";
    return udb_validator::get_safe_name(s);
}

pgs_fn_validator::pgs_fn_validator(const udb_schema& source) {
    tk_trace(2, "pgs_fn_validator::ctor");
    for (const t_ftd* col : source.columns()) add_existing_name(col->name.str());
}

bool pgs_is_system_column(const std::wstring& name) {
    static const wchar_t* const system_columns[] = {L"tableoid", L"xmin", L"cmin", L"xmax", L"cmax", L"ctid"};
    for (const wchar_t* s : system_columns)
        if (name == s) return true;
    return false;
}

bool pgs_fn_validator::is_acceptable(const std::wstring& name) const {
    // CREATE TABLE refuses these; the column gets a safe name instead.
    if (pgs_is_system_column(name)) {
        tk_trace_w(2, L"Name of a system column: '%s'", name.c_str());
        return false;
    }
    return pgs_validator::is_acceptable(name);
}

pgs_tn_validator::pgs_tn_validator(const std::vector<std::wstring>& first, const std::vector<std::wstring>& second) {
    tk_trace(2, "pgs_tn_validator::ctor");
    for (const std::wstring& n : first) add_existing_name(n);
    for (const std::wstring& n : second) add_existing_name(n);
}

pgs_name_validator::pgs_name_validator() = default;
pgs_name_validator::~pgs_name_validator() = default;
