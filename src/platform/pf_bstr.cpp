#include "platform/pf_bstr.h"

#include <cstring>
#include <new>

namespace {
// The header keeps the characters aligned for wchar_t.
struct alignas(alignof(std::max_align_t)) head {
    std::size_t len;
};
}  // namespace

pf_bstr pf_bstr_alloc_len(std::size_t n) {
    if (n > (static_cast<std::size_t>(-1) - sizeof(head)) / sizeof(wchar_t) - 1) throw std::bad_alloc();
    void* block = ::operator new(sizeof(head) + (n + 1) * sizeof(wchar_t));
    auto* h = static_cast<head*>(block);
    h->len = n;
    auto* chars = reinterpret_cast<wchar_t*>(h + 1);
    chars[n] = L'\0';
    return chars;
}

pf_bstr pf_bstr_alloc(std::wstring_view text) {
    pf_bstr s = pf_bstr_alloc_len(text.size());
    if (!text.empty()) std::memcpy(s, text.data(), text.size() * sizeof(wchar_t));
    return s;
}

void pf_bstr_free(pf_bstr s) noexcept {
    if (s) ::operator delete(reinterpret_cast<head*>(s) - 1);
}

std::size_t pf_bstr_len(const wchar_t* s) noexcept { return s ? (reinterpret_cast<const head*>(s) - 1)->len : 0; }
