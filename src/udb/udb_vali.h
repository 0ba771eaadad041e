#pragma once
// Identifier rules of one destination and the generator of safe, unique
// names. Server sides derive their validators from it.
#include <cstdint>
#include <string>
#include <vector>

#include "udb/udb_nmap.h"
#include "udb/udb_text.h"

class udb_validator {
public:
    explicit udb_validator(std::uint32_t max_len);  // 0: no length limit
    virtual ~udb_validator();
    udb_validator(const udb_validator&) = default;
    udb_validator& operator=(const udb_validator&) = default;

    // Length, restricted names and illegal characters; existing names are
    // not consulted.
    virtual bool is_acceptable(const std::wstring& name) const;
    // Equal, ignoring case, to a name already in use.
    virtual bool is_duplicated(const std::wstring& name) const;
    // A name that is acceptable and not duplicated, derived from `name`
    // (cut, illegal characters made "_", then a five-digit counter). The
    // result is not recorded: callers register what they finally use.
    virtual std::wstring get_safe_name(const std::wstring& name) const;

    void add_existing_name(const std::wstring& name);
    void add_mapped_pair(const std::wstring& source, const std::wstring& generated);
    void add_restricted_name(const std::wstring& name);
    void add_illegal_char(wchar_t c) { m_illegal.push_back(c); }

    // Equal, ignoring case, to a restricted name.
    bool is_restricted(const std::wstring& name) const { return m_restricted_set.contains(name); }

    std::uint32_t max_len() const { return m_max_len; }
    const t_names_map& mapped_pairs() const { return m_mapped; }
    const std::vector<wchar_t>& illegal_chars() const { return m_illegal; }
    const std::vector<std::wstring>& restricted_names() const { return m_restricted; }
    const std::vector<std::wstring>& existing_names() const { return m_existing; }

protected:
    std::uint32_t m_max_len;
    t_names_map m_mapped;
    std::vector<wchar_t> m_illegal;
    std::vector<std::wstring> m_restricted;
    std::vector<std::wstring> m_existing;

private:
    // The lists above, filed for constant-time tests.
    udb_nocase_set m_restricted_set;
    udb_nocase_set m_existing_set;
};
