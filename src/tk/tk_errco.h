#pragma once
// Maps error codes to friendlier message texts; the first text given for a
// code wins, across rows and loads.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

struct tk_error_row {
    std::int32_t code;
    const char* text;  // NUL-terminated; null counts as an empty text
};

class tk_error_converter {
public:
    tk_error_converter(int count, const tk_error_row* rows);
    template <std::size_t N>
    explicit tk_error_converter(const tk_error_row (&rows)[N]) : tk_error_converter(static_cast<int>(N), rows) {}

    // A null array is assertion tk_errco 43, whatever the count.
    void load_map(int count, const tk_error_row* rows);
    template <std::size_t N>
    void load_map(const tk_error_row (&rows)[N]) {
        load_map(static_cast<int>(N), rows);
    }

    // The text for the code, or an empty text.
    std::string convert(std::int32_t code) const;
    std::size_t size() const noexcept { return m_map.size(); }

private:
    std::map<std::int32_t, std::string> m_map;
};
