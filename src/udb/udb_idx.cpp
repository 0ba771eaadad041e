#include "udb/udb_idx.h"

#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "udb/udb_text.h"

udb_index::udb_index(std::wstring name_, bool unique, bool primary, std::vector<std::wstring> fields)
    : name(std::move(name_)), b_unique(unique ? 1 : 0), b_primary(primary ? 1 : 0), field_names(std::move(fields)) {}

bool udb_index::starts_with_fields(const std::vector<std::wstring>& names) const {
    tk_trace_w(1, L"udb_index(%s)::starts_with_fields", name.c_str());
    if (field_names.size() < names.size()) return false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!udb_eq_nocase(names[i], field_names[i])) {
            tk_trace_w(1, L"Field '%s' not found", names[i].c_str());
            return false;
        }
    }
    tk_trace(1, "starts_with_fields returns true");
    return true;
}

bool udb_indexes::is_idx_field(const std::wstring& name, bool primary_only) const {
    tk_trace_w(1, L"udb_indexes::is_idx_field(%s)", name.c_str());
    for (const udb_index& idx : list_) {
        if (primary_only && !idx.b_primary) continue;
        for (const std::wstring& f : idx.field_names) {
            if (f == name) {
                tk_trace(1, "index field");
                return true;
            }
        }
    }
    tk_trace(1, "non-index field");
    return false;
}

const udb_index* udb_indexes::find(const std::wstring& name) const {
    for (const udb_index& idx : list_)
        if (udb_eq_nocase(idx.name, name)) return &idx;
    return nullptr;
}

bool udb_indexes::is_acceptable_name(const std::wstring& name) const {
    tk_trace_w(1, L"udb_indexes::is_acceptable_name(%s)", name.c_str());
    return find(name) == nullptr;
}

const udb_index& udb_indexes::get_index(const std::wstring& name) const {
    tk_trace_w(1, L"udb_indexes::get_index(%s)", name.c_str());
    const udb_index* idx = find(name);
    if (!idx) throw tk_mail_assertion("udb_idx", 134);
    return *idx;
}

udb_index& udb_indexes::get_index(const std::wstring& name) {
    return const_cast<udb_index&>(static_cast<const udb_indexes&>(*this).get_index(name));
}

bool udb_indexes::has_index_on_fields(const std::vector<std::wstring>& names) const {
    tk_trace(1, "udb_indexes::has_index_on_fields");
    for (const udb_index& idx : list_)
        if (idx.starts_with_fields(names)) return true;
    return false;
}
