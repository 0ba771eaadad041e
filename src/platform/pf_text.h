#pragma once
// Text codec and locale-independent character classes.
// Wide text is std::wstring with 32-bit characters holding code points.
#include <string>
#include <string_view>

// Strict UTF-8 <-> code points. Invalid input (bad or truncated sequences,
// overlong forms, surrogates, values above U+10FFFF) fails: the function
// returns false, sets errno to EILSEQ and leaves `out` unspecified.
bool pf_utf8_to_wide(std::string_view in, std::wstring& out);
bool pf_wide_to_utf8(std::wstring_view in, std::string& out);

// Code-page conversions. PF_CP_ACP (0), -1 and PF_CP_UTF8 mean UTF-8;
// PF_CP_ASCII and PF_CP_LATIN1 are single-byte; any other code page fails
// with errno EINVAL. Characters that the code page cannot hold fail with EILSEQ.
bool pf_wide_to_cp(std::wstring_view in, int code_page, std::string& out);
bool pf_cp_to_wide(std::string_view in, int code_page, std::wstring& out);

// Unicode-aware, independent of the process locale.
wchar_t pf_to_upper(wchar_t c);
wchar_t pf_to_lower(wchar_t c);
bool pf_is_alpha(wchar_t c);
bool pf_is_alnum(wchar_t c);

// Ordering ignoring case: negative, 0 or positive.
int pf_compare_nocase(std::wstring_view a, std::wstring_view b);
// Narrow form: UTF-8 text is compared as its characters; text that is not
// valid UTF-8 falls back to bytes with ASCII case folding.
int pf_compare_nocase(std::string_view a, std::string_view b);

// ASCII-only upper-casing (the C runtime's behaviour in the "C" locale).
char pf_ascii_upper(char c);
// True when the text is the lower-case ASCII word in any case ("NaN", "TRUE").
bool pf_ascii_is_word(std::string_view text, std::string_view lower_word);
void pf_ascii_upper_inplace(std::string& s);
