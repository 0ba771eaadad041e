#pragma once
// Index descriptions of one table, held by value.
#include <cstdint>
#include <string>
#include <vector>

class udb_index {
public:
    udb_index() = default;
    udb_index(std::wstring name, bool b_unique, bool b_primary, std::vector<std::wstring> field_names);

    // True when the index's leading columns are `names`, in that order,
    // compared ignoring case. An empty list starts every index.
    bool starts_with_fields(const std::vector<std::wstring>& names) const;

    std::wstring name;
    std::uint8_t b_unique = 0;
    std::uint8_t b_primary = 0;
    std::vector<std::wstring> field_names;
};

class udb_indexes {
public:
    using container = std::vector<udb_index>;

    // A column of some index (of a primary one only, when asked) compared
    // exactly: unlike the other lookups, this one is case-sensitive.
    bool is_idx_field(const std::wstring& name, bool primary_only) const;
    // True when no index has that name (ignoring case).
    bool is_acceptable_name(const std::wstring& name) const;
    // The first index of that name ignoring case; an internal error when none.
    udb_index& get_index(const std::wstring& name);
    const udb_index& get_index(const std::wstring& name) const;
    bool has_index_on_fields(const std::vector<std::wstring>& names) const;

    void add(udb_index idx) { list_.push_back(std::move(idx)); }
    std::size_t size() const { return list_.size(); }
    bool empty() const { return list_.empty(); }
    udb_index& operator[](std::size_t i) { return list_[i]; }
    const udb_index& operator[](std::size_t i) const { return list_[i]; }
    container::iterator begin() { return list_.begin(); }
    container::iterator end() { return list_.end(); }
    container::const_iterator begin() const { return list_.begin(); }
    container::const_iterator end() const { return list_.end(); }

private:
    const udb_index* find(const std::wstring& name) const;
    container list_;
};
