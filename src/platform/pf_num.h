#pragma once
// Number texts of the C runtime's lenient readers and the fixed printers of the
// value layer. Locale-free: the decimal separator is always ".".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// atoi: leading white space, an optional sign, the digits up to the first other
// character; no digits give 0. Out-of-range values saturate.
std::int32_t pf_atoi(std::string_view text) noexcept;
std::int64_t pf_atoi64(std::string_view text) noexcept;

// A TCP port: what atoi reads from the text, when that is 1 to 65535.
std::optional<unsigned> pf_port_number(std::string_view text) noexcept;

// sscanf "%u" / "%llu": leading white space, an optional sign (a minus negates in
// the unsigned type, as the runtime does), the digits; no match gives 0.
// Values above the type's range saturate.
std::uint32_t pf_scan_u32(std::string_view text) noexcept;
std::uint64_t pf_scan_u64(std::string_view text) noexcept;

// atof: leading white space, the longest leading decimal or exponent form (also
// "inf", "infinity", "nan"); 0 when there is none. Overflow gives an infinity,
// underflow a zero of the sign. The float form rounds the text once, to float.
double pf_atof(std::string_view text) noexcept;
float pf_atof_r4(std::string_view text) noexcept;

// Strict forms: the whole text (blanks around it allowed) must be one number.
bool pf_parse_r8(std::string_view text, double& out) noexcept;
bool pf_parse_r4(std::string_view text, float& out) noexcept;

// Printers. The real forms are the shortest text that reads back to the same
// value, in exponent form ("1.5e+00"). Buffers hold at least pf_num_max_text chars;
// no NUL is written; the length is returned.
constexpr std::size_t pf_num_max_text = 32;
std::size_t pf_format_i64(std::int64_t v, char* buf) noexcept;
std::size_t pf_format_u64(std::uint64_t v, char* buf) noexcept;
std::size_t pf_format_r8(double v, char* buf) noexcept;
std::size_t pf_format_r4(float v, char* buf) noexcept;

// Hexadecimal digit value of a character, -1 for none.
int pf_hex_value(unsigned char c) noexcept;
// Two upper-case hexadecimal digits per byte into out (2 * count chars, no NUL).
void pf_hex_encode(const unsigned char* bytes, std::size_t count, char* out) noexcept;
