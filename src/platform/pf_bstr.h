#pragma once
// Owned wide text of the value layer: one heap block holding the length, the
// characters and a terminating NUL. The pointer designates the characters.
#include <cstddef>
#include <string_view>

using pf_bstr = wchar_t*;

// A new text of exactly these characters (embedded NULs kept). Throws
// std::bad_alloc when memory runs out.
pf_bstr pf_bstr_alloc(std::wstring_view text);
// A new text of n characters, uninitialised except for the final NUL.
pf_bstr pf_bstr_alloc_len(std::size_t n);
void pf_bstr_free(pf_bstr s) noexcept;               // null is fine
std::size_t pf_bstr_len(const wchar_t* s) noexcept;  // 0 for null
inline std::wstring_view pf_bstr_view(const wchar_t* s) noexcept {
    return s ? std::wstring_view(s, pf_bstr_len(s)) : std::wstring_view();
}
