#include "udb/udb_text.h"

#include "platform/pf_text.h"

bool udb_eq_nocase(std::wstring_view a, std::wstring_view b) { return pf_compare_nocase(a, b) == 0; }

std::wstring udb_nocase_key(std::wstring_view s) {
    std::wstring k;
    k.reserve(s.size());
    for (wchar_t c : s) k.push_back(pf_to_lower(pf_to_upper(c)));
    return k;
}
