#pragma once
// Dates of cell values: parsing the many text forms a source sends into one
// plat_systemtime with a kind, and printing the one form the destination receives.
// Also the GUID finder for column defaults and comments.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/plat_date.h"

class ole_date {
public:
    // kind values
    static constexpr int32_t kind_invalid = 0;
    static constexpr int32_t kind_date_time = 1;
    static constexpr int32_t kind_date = 2;
    static constexpr int32_t kind_time = 3;

    // Longest printout: "0000-00-00 -838:59:59.999999" and "65535-65535-65535 ..."
    // stay well below this; format() needs a buffer of this size.
    static constexpr std::size_t max_text = 64;

    explicit ole_date(const plat_systemtime& st);
    explicit ole_date(std::string_view text);
    explicit ole_date(std::wstring_view text);

    bool is_valid() const;

    int32_t kind() const { return kind_; }
    void set_kind(int32_t k) { kind_ = k; }
    bool omit_zero_time() const { return omit_zero_time_; }
    void set_omit_zero_time(bool v) { omit_zero_time_ = v; }
    const plat_systemtime& time() const { return time_; }

    // "%04d-%02d-%02d %02d:%02d:%02d" and its shorter forms, followed by
    // ".ffffff" (always six digits) when the fraction of the second is not zero;
    // empty for an invalid date. Traced.
    std::string to_string() const;
    std::wstring to_wstring() const;

    // The same bytes as to_string, without trace lines or allocation: for the per-cell path.
    void append_to(std::string& out) const;
    void append_to(std::wstring& out) const;
    // Writes the text into buf (at least max_text chars); returns its length.
    std::size_t format(char* buf) const;

private:
    friend struct ole_date_probe;  // tests reach the seconds reader

    void init(std::string_view text);
    void import_from_string(std::string_view buf);
    bool process_milliseconds(const char* seconds_text, std::size_t len);
    void refine_type();
    bool date_part_valid() const;

    bool omit_zero_time_ = true;
    int32_t kind_ = kind_invalid;
    plat_systemtime time_{};
};

// True for the type codes whose literals are quoted: text (8) and date (7).
bool is_text_or_date_type(uint16_t type_code);

// Finds a GUID named in a longer text: the first "{" at least four characters after
// the word "guid" (or, when that is absent, "GUID") in a text of 45 characters or more.
class ole_guid_extractor {
public:
    explicit ole_guid_extractor(std::string_view text);  // UTF-8
    explicit ole_guid_extractor(std::wstring_view text);

    bool found() const { return found_; }
    int32_t position() const { return position_; }

    // 32 characters at the fixed offsets of the dashed form (no check that they are
    // hexadecimal digits); empty when none was found or
    // fewer than 36 characters follow the brace.
    std::wstring get_plain() const;
    std::string get_plain_a() const;
    // Up to 38 characters from the brace; empty when none was found.
    std::wstring get_braced() const;

private:
    void parse(std::wstring_view text);

    int32_t position_ = -1;
    std::wstring text_;
    bool found_ = false;
};
