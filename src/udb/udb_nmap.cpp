#include "udb/udb_nmap.h"

#include <string_view>

#include "platform/pf_text.h"
#include "tk/tk_log.h"
#include "udb/udb_text.h"

namespace {

bool key_matches(const std::wstring& key, const std::wstring& name, bool case_sensitive) {
    return case_sensitive ? key == name : udb_eq_nocase(key, name);
}

// Scan of a map for `name`; `trace_pairs` adds a line per entry tested.
std::wstring scan(const udb_name_pairs& map, const std::wstring& name, bool case_sensitive, bool trace_pairs) {
    for (const auto& [key, value] : map) {
        if (trace_pairs) tk_trace_w(1, L"Comparing with (%s,%s)", key.c_str(), value.c_str());
        if (key_matches(key, name, case_sensitive)) {
            tk_trace_w(1, L"Got mapped name: %s", value.c_str());
            return value;
        }
    }
    return name;
}

std::wstring upper(std::wstring_view s) {
    std::wstring u(s);
    for (wchar_t& c : u) c = pf_to_upper(c);
    return u;
}

}  // namespace

void t_names_map::add(const std::wstring& source, const std::wstring& mapped) {
    tk_trace_w(1, L"t_names_map::add(%s,%s)", source.c_str(), mapped.c_str());
    map_.emplace(source, mapped);
}

std::wstring t_names_map::get_mapped_name(const std::wstring& name, bool case_sensitive) const {
    tk_trace_w(1, L"t_names_map::get_mapped_name(%s)", name.c_str());
    return scan(map_, name, case_sensitive, false);
}

void udb_names_map::add_tn_mapping(const std::wstring& source, const std::wstring& dest) {
    tk_trace_w(2, L"udb_names_map::add_tn_mapping(%s,%s)", source.c_str(), dest.c_str());
    tables_.emplace(source, dest);
}

void udb_names_map::add_fn_map(const std::wstring& table, const udb_name_pairs& field_map) {
    tk_trace_w(2, L"udb_names_map::add_fn_map(%s)", table.c_str());
    fields_.emplace(table, field_map);
}

std::wstring udb_names_map::get_tn_mapped_name(const std::wstring& name, bool case_sensitive) const {
    tk_trace_w(1, L"udb_names_map::get_tn_mapped_name(%s)", name.c_str());
    return scan(tables_, name, case_sensitive, true);
}

std::wstring udb_names_map::get_fn_mapped_name(const std::wstring& table, const std::wstring& column,
                                               bool case_sensitive) const {
    tk_trace_w(1, L"udb_names_map::get_fn_mapped_name(%s,%s)", table.c_str(), column.c_str());
    auto it = fields_.find(table);
    if (it == fields_.end()) {
        tk_trace_w(1, L"Table '%s' not found", table.c_str());
        return column;
    }
    return scan(it->second, column, case_sensitive, false);
}

std::wstring udb_names_map::do_global_replace2(const std::wstring& text, const udb_name_pairs& map,
                                               const std::wstring& prefix, const std::wstring& suffix) {
    tk_trace_w(2, L"udb_names_map::do_global_replace2(%s)", text.c_str());
    std::wstring work = text;
    for (const auto& [old_name, new_name] : map) {
        const std::wstring repl = prefix + new_name + suffix;
        tk_trace_w(1, L"Testing pair ('%s','%s')", old_name.c_str(), repl.c_str());
        // An empty name matches everywhere and would never let the search advance.
        if (old_name.empty()) continue;
        const std::wstring needle = upper(old_name);
        std::wstring hay = upper(work);
        std::size_t pos = 0;
        while ((pos = hay.find(needle, pos)) != std::wstring::npos) {
            tk_trace_w(1, L"'%s' was found at pos=%d", old_name.c_str(), static_cast<int>(pos));
            const std::size_t end = pos + old_name.size();
            const bool word_start = pos == 0 || !pf_is_alnum(work[pos - 1]);
            const bool word_end = end >= work.size() || !pf_is_alnum(work[end]);
            if (word_start && word_end) {
                work.replace(pos, old_name.size(), repl);
                hay.replace(pos, old_name.size(), upper(repl));
                pos += repl.size();
            } else {
                pos = end;
            }
        }
    }
    return work;
}

std::wstring udb_names_map::do_global_replace1(const std::wstring& text, const std::wstring& prefix,
                                               const std::wstring& suffix) const {
    tk_trace_w(2, L"udb_names_map::do_global_replace1(%s)", text.c_str());
    std::wstring work = do_global_replace2(text, tables_, prefix, suffix);
    for (const auto& entry : fields_) work = do_global_replace2(work, entry.second, prefix, suffix);
    return work;
}

bool udb_starts_with(const std::wstring& text, const std::wstring& prefix, bool case_sensitive) {
    if (prefix.empty()) return true;
    if (prefix.size() > text.size()) return false;
    std::wstring_view head(text.data(), prefix.size());
    return case_sensitive ? head == prefix : udb_eq_nocase(head, prefix);
}
