#pragma once
// An immutable column name shared by the descriptor and by every field of
// that column, so building a row copies a pointer rather than the text.
#include <memory>
#include <string>
#include <string_view>

class udb_name {
public:
    udb_name() : p_(empty_ptr()) {}
    udb_name(std::wstring s) : p_(std::make_shared<const std::wstring>(std::move(s))) {}
    udb_name(const wchar_t* s) : udb_name(std::wstring(s ? s : L"")) {}

    const std::wstring& str() const { return *p_; }
    operator const std::wstring&() const { return *p_; }
    const wchar_t* c_str() const { return p_->c_str(); }
    std::size_t size() const { return p_->size(); }
    bool empty() const { return p_->empty(); }
    // How many descriptors and fields share this name.
    long use_count() const { return p_.use_count(); }

    friend bool operator==(const udb_name& a, const udb_name& b) { return a.str() == b.str(); }
    friend bool operator==(const udb_name& a, std::wstring_view b) { return a.str() == b; }

private:
    static const std::shared_ptr<const std::wstring>& empty_ptr() {
        static const auto e = std::make_shared<const std::wstring>();
        return e;
    }
    std::shared_ptr<const std::wstring> p_;
};
