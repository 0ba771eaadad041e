#include "udb/udb_vali.h"

#include <algorithm>

#include "tk/tk_exc.h"
#include "tk/tk_log.h"

udb_validator::udb_validator(std::uint32_t max_len) : m_max_len(max_len) { tk_trace(2, "udb_validator::ctor"); }

udb_validator::~udb_validator() = default;

void udb_validator::add_existing_name(const std::wstring& name) {
    tk_trace_w(1, L"udb_validator::add_existing_name(%s)", name.c_str());
    m_existing.push_back(name);
    m_existing_set.insert(name);
}

void udb_validator::add_mapped_pair(const std::wstring& source, const std::wstring& generated) {
    tk_trace_w(1, L"udb_validator::add_mapped_pair(%s,%s)", source.c_str(), generated.c_str());
    m_mapped.add(source, generated);
}

void udb_validator::add_restricted_name(const std::wstring& name) {
    m_restricted.push_back(name);
    m_restricted_set.insert(name);
}

bool udb_validator::is_duplicated(const std::wstring& name) const {
    tk_trace_w(1, L"udb_validator::is_duplicated(%s)", name.c_str());
    if (tk_trace_wanted(1)) {
        // Detailed trace: the walk shows which names were looked at.
        for (const std::wstring& e : m_existing) {
            tk_trace_w(1, L"Processing %s", e.c_str());
            if (udb_eq_nocase(e, name)) return true;
        }
        return false;
    }
    return m_existing_set.contains(name);
}

bool udb_validator::is_acceptable(const std::wstring& name) const {
    tk_trace_w(1, L"udb_validator::is_acceptable(%s)", name.c_str());
    if (m_max_len != 0 && name.size() > m_max_len) {
        tk_trace(1, "The name is too long");
        return false;
    }
    if (is_restricted(name)) {
        tk_trace(1, "The name is restricted");
        return false;
    }
    for (wchar_t c : m_illegal) {
        if (name.find(c) != std::wstring::npos) {
            tk_trace_w(1, L"The name contains illegal: %c", c);
            return false;
        }
    }
    return true;
}

std::wstring udb_validator::get_safe_name(const std::wstring& name) const {
    tk_trace_w(1, L"udb_validator::get_safe_name(%s)", name.c_str());
    std::wstring s = name;
    const std::size_t max = m_max_len;
    if (max != 0 && s.size() > max) s.resize(max - 1);
    for (wchar_t c : m_illegal) std::replace(s.begin(), s.end(), c, L'_');
    if (is_acceptable(s) && !is_duplicated(s)) return s;

    // Room for the five-digit counter. Limits below 6 leave no room for any
    // of the name.
    if (max != 0 && s.size() + 5 > max) s.resize(max > 6 ? max - 6 : 0);
    const std::size_t base = s.size();
    for (int i = 0; i <= 99999; ++i) {
        s.resize(base);
        wchar_t digits[5];
        for (int k = 4, v = i; k >= 0; --k, v /= 10) digits[k] = static_cast<wchar_t>(L'0' + v % 10);
        s.append(digits, 5);
        if (is_acceptable(s) && !is_duplicated(s)) return s;
    }
    throw tk_mail_assertion("udb_vali", 54);
}
