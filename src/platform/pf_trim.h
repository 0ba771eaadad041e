#pragma once
// Trimming a view by a set of blank characters, for narrow and wide text.
// Each caller names its set: the formats it reads differ in what counts as
// blank, and a wide character outside ASCII is never one.
#include <string_view>
#include <type_traits>

namespace pf_blanks {
inline constexpr std::string_view space = " ";
inline constexpr std::string_view space_tab = " \t";
inline constexpr std::string_view space_tab_eol = " \t\r\n";
// The C locale's isspace.
inline constexpr std::string_view c_space = " \t\n\v\f\r";
}  // namespace pf_blanks

template <class C>
constexpr bool pf_is_blank(C c, std::string_view blanks) noexcept {
    const auto code = static_cast<std::make_unsigned_t<C>>(c);
    return code < 0x80 && blanks.find(static_cast<char>(code)) != std::string_view::npos;
}

template <class C>
constexpr std::basic_string_view<C> pf_trim_start(std::basic_string_view<C> text, std::string_view blanks) noexcept {
    while (!text.empty() && pf_is_blank(text.front(), blanks)) text.remove_prefix(1);
    return text;
}

template <class C>
constexpr std::basic_string_view<C> pf_trim_end(std::basic_string_view<C> text, std::string_view blanks) noexcept {
    while (!text.empty() && pf_is_blank(text.back(), blanks)) text.remove_suffix(1);
    return text;
}

template <class C>
constexpr std::basic_string_view<C> pf_trim_both(std::basic_string_view<C> text, std::string_view blanks) noexcept {
    return pf_trim_start(pf_trim_end(text, blanks), blanks);
}

inline constexpr std::string_view pf_trim(std::string_view text, std::string_view blanks) noexcept {
    return pf_trim_both(text, blanks);
}
inline constexpr std::wstring_view pf_trim(std::wstring_view text, std::string_view blanks) noexcept {
    return pf_trim_both(text, blanks);
}
