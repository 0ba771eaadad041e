#pragma once
// Pairs of source names and the names they were given at the destination,
// and the rewriting of SQL text with them.
#include <map>
#include <string>

using udb_name_pairs = std::map<std::wstring, std::wstring>;

// Lookup by scan in map order: exact keys when case_sensitive, otherwise
// keys equal ignoring case; the first match wins; no match gives `name` back.
class t_names_map {
public:
    // An existing source name keeps its first pair.
    void add(const std::wstring& source, const std::wstring& mapped);
    std::wstring get_mapped_name(const std::wstring& name, bool case_sensitive) const;

    const udb_name_pairs& pairs() const { return map_; }
    bool empty() const { return map_.empty(); }

private:
    udb_name_pairs map_;
};

class udb_names_map {
public:
    void add_tn_mapping(const std::wstring& source, const std::wstring& dest);
    // Stores a copy of the table's column map; an existing entry stays.
    void add_fn_map(const std::wstring& table, const udb_name_pairs& field_map);

    std::wstring get_tn_mapped_name(const std::wstring& name, bool case_sensitive) const;
    // The table's column map is found by its exact name whatever the flag;
    // the flag governs the column step only.
    std::wstring get_fn_mapped_name(const std::wstring& table, const std::wstring& column, bool case_sensitive) const;

    // Table names, then each table's column names, replaced as whole words.
    std::wstring do_global_replace1(const std::wstring& text, const std::wstring& prefix,
                                    const std::wstring& suffix) const;
    // Every whole-word occurrence (ignoring case) of each old name, in map
    // order, becomes prefix + new name + suffix.
    static std::wstring do_global_replace2(const std::wstring& text, const udb_name_pairs& map,
                                           const std::wstring& prefix, const std::wstring& suffix);

    const udb_name_pairs& table_map() const { return tables_; }
    const std::map<std::wstring, udb_name_pairs>& field_maps() const { return fields_; }

private:
    udb_name_pairs tables_;
    std::map<std::wstring, udb_name_pairs> fields_;
};

// True when `text` begins with `prefix` (exactly, or ignoring case).
bool udb_starts_with(const std::wstring& text, const std::wstring& prefix, bool case_sensitive);
