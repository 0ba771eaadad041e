#pragma once
// Name comparisons shared by the model: equality ignoring case (the rule
// every name lookup uses) and hash sets that answer the same question in
// constant time for large name lists.
#include <string>
#include <string_view>
#include <unordered_set>

bool udb_eq_nocase(std::wstring_view a, std::wstring_view b);

// The key under which a name is filed in a udb_nocase_set: two names equal
// ignoring case have the same key.
std::wstring udb_nocase_key(std::wstring_view s);

class udb_nocase_set {
public:
    void insert(std::wstring_view s) { keys_.insert(udb_nocase_key(s)); }
    bool contains(std::wstring_view s) const { return keys_.count(udb_nocase_key(s)) != 0; }
    std::size_t size() const { return keys_.size(); }
    void clear() { keys_.clear(); }

private:
    std::unordered_set<std::wstring> keys_;
};
