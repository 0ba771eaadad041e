#include "platform/pf_text.h"

#include <locale.h>
#include <wctype.h>
#include <cerrno>
#include <clocale>
#include <cwctype>

#include "platform/pf_types.h"
#include "platform/pf_utf8.h"

namespace {

bool fail(int e) {
    errno = e;
    return false;
}

// A private UTF-8 locale for character classes; the process locale is never
// touched. Null when the system has no C.UTF-8, then the tables below serve.
locale_t utf8_locale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(0));
    return loc;
}

// Fallback case mapping for the common alphabets.
wchar_t table_upper(wchar_t c) {
    if (c >= L'a' && c <= L'z') return c - 32;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        bool odd_lower = (c < 0x139) || (c > 0x148 && c < 0x179);
        if (odd_lower ? (c & 1) : !(c & 1)) return c - 1;
        return c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

wchar_t table_lower(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        bool odd_lower = (c < 0x139) || (c > 0x148 && c < 0x179);
        if (odd_lower ? !(c & 1) : (c & 1)) return c + 1;
        return c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

bool table_alpha(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) return true;
    if (c == 0xAA || c == 0xB5 || c == 0xBA) return true;
    if (c >= 0xC0 && c <= 0x24F) return c != 0xD7 && c != 0xF7;
    if (c >= 0x370 && c <= 0x3FF) return true;
    if (c >= 0x400 && c <= 0x52F) return c < 0x482 || c > 0x489;
    if (c >= 0x4E00 && c <= 0x9FFF) return true;
    return false;
}

}  // namespace

bool pf_utf8_to_wide(std::string_view in, std::wstring& out) {
    const std::size_t n = pf_utf8::count(in);
    if (n == std::string_view::npos) return fail(EILSEQ);
    out.resize(n);
    pf_utf8::decode_counted(in, out.data());
    return true;
}

bool pf_wide_to_utf8(std::wstring_view in, std::string& out) {
    out.clear();
    if (!pf_utf8::append_wide(out, in, true)) return fail(EILSEQ);
    return true;
}

static bool is_utf8_cp(int cp) { return cp == PF_CP_ACP || cp == -1 || cp == PF_CP_UTF8; }

bool pf_wide_to_cp(std::wstring_view in, int cp, std::string& out) {
    if (is_utf8_cp(cp)) return pf_wide_to_utf8(in, out);
    if (cp != PF_CP_ASCII && cp != PF_CP_LATIN1) return fail(EINVAL);
    const char32_t top = cp == PF_CP_ASCII ? 0x7F : 0xFF;
    out.clear();
    out.reserve(in.size());
    for (wchar_t wc : in) {
        if (static_cast<char32_t>(wc) > top) return fail(EILSEQ);
        out.push_back(static_cast<char>(static_cast<unsigned char>(wc)));
    }
    return true;
}

bool pf_cp_to_wide(std::string_view in, int cp, std::wstring& out) {
    if (is_utf8_cp(cp)) return pf_utf8_to_wide(in, out);
    if (cp != PF_CP_ASCII && cp != PF_CP_LATIN1) return fail(EINVAL);
    out.clear();
    out.reserve(in.size());
    for (char ch : in) {
        auto b = static_cast<unsigned char>(ch);
        if (cp == PF_CP_ASCII && b > 0x7F) return fail(EILSEQ);
        out.push_back(static_cast<wchar_t>(b));
    }
    return true;
}

wchar_t pf_to_upper(wchar_t c) {
    if (c >= 0 && c < 0x80) return (c >= L'a' && c <= L'z') ? c - 32 : c;
    if (locale_t l = utf8_locale()) return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), l));
    return table_upper(c);
}

wchar_t pf_to_lower(wchar_t c) {
    if (c >= 0 && c < 0x80) return (c >= L'A' && c <= L'Z') ? c + 32 : c;
    if (locale_t l = utf8_locale()) return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), l));
    return table_lower(c);
}

bool pf_is_alpha(wchar_t c) {
    if (c >= 0 && c < 0x80) return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    if (locale_t l = utf8_locale()) return iswalpha_l(static_cast<wint_t>(c), l) != 0;
    return table_alpha(c);
}

bool pf_is_alnum(wchar_t c) {
    if (c >= 0 && c < 0x80) return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
    if (locale_t l = utf8_locale()) return iswalnum_l(static_cast<wint_t>(c), l) != 0;
    return table_alpha(c);
}

int pf_compare_nocase(std::wstring_view a, std::wstring_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i]) continue;
        // Fold through upper then lower so that pairs such as the Greek
        // final sigma and sigma meet.
        wchar_t x = pf_to_lower(pf_to_upper(a[i]));
        wchar_t y = pf_to_lower(pf_to_upper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int pf_compare_nocase(std::string_view a, std::string_view b) {
    std::wstring wa, wb;
    int saved = errno;
    if (pf_utf8_to_wide(a, wa) && pf_utf8_to_wide(b, wb)) return pf_compare_nocase(wa, wb);
    errno = saved;
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(pf_ascii_upper(a[i]));
        auto y = static_cast<unsigned char>(pf_ascii_upper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

char pf_ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

void pf_ascii_upper_inplace(std::string& s) {
    for (char& c : s) c = pf_ascii_upper(c);
}

bool pf_ascii_is_word(std::string_view text, std::string_view lower_word) {
    if (text.size() != lower_word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != lower_word[i]) return false;
    }
    return true;
}
