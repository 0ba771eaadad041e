#pragma once
// Writing values and column types into MySQL statements: the type text of a
// column, DEFAULT literals, and the literal of each value of an INSERT or
// UPDATE.
//
// The literals assume the session mode the writing side pins
// (sql_writing_mode): backslash escapes inside single quotes, no
// double-quoted strings. Text is written as UTF-8 in single quotes with
// backslash, apostrophe and NUL escaped; byte data as X'..' (independent of
// the connection's character set); numbers bare, reals as the exact double
// (a single-precision value too, so FLOAT gets the same float back); dates
// as 'YYYY-MM-DD[ HH:MM:SS[.ffffff]]' and times as '[-]HH:MM:SS[.ffffff]'.
#include <cstdint>
#include <string>
#include <string_view>

struct sql_dialect;
struct t_ftd;
class ole_variant;
class udb_field;

// The type text of a column (type code, size, subtype word). Text and binary
// bands are chosen by the bytes the column needs in the connection's
// character set. A DECIMAL beyond the server's limits (precision 65, scale
// 30, on MariaDB 38, scale not above precision) is a tk_exception at level 0;
// a type code without a MySQL type is an internal error (sql_util 378).
std::wstring get_native_type(const sql_dialect& dialect, unsigned type_code, std::uint32_t size, std::uint32_t subtype);

// Literal of a text with a column type code: "NULL" for codes 0 and 1, ''
// for empty text, a date in canonical form for 7, text quoted for 8 (and 7),
// a number bare when the whole text is a number, anything else quoted. Binary
// codes (65, 70): a GUID named in the text as 0x..., a hexadecimal or decimal
// literal bare, other text as X'..'.
std::string to_mysql_str(std::string_view text, unsigned type_code);
// The same on wide text; binary codes (65, 70, 8209) are an internal error
// (sql_util 688).
std::wstring to_mysql_wstr(std::wstring_view text, unsigned type_code);
// Literal of a value (sql_append_literal into a new string).
std::string to_mysql_str(const ole_variant& value);
// The DEFAULT literal of a column; empty when the column gets none (no
// default, or one that is not a whole value of the column's type). A default
// of the insert's time (t_ftd::b_default_now) is CURRENT_TIMESTAMP for a
// date-and-time column on a server that has it (dialect given), else none.
std::wstring make_mysql_def_val(const t_ftd& column, const sql_dialect* dialect = nullptr);
// Literal of one field of a row for a column: SQL NULL stays NULL unless the
// column is NOT NULL and has a default, which then stands in.
std::string get_fld_append_str(const udb_field& field, const t_ftd& column, const sql_dialect* dialect = nullptr);

// The per-cell forms behind the above: append to out. A value MySQL cannot
// take as it is (NaN or infinity, an invalid date, a value type without a
// text form) is a tk_exception at level 0; out is then unchanged.
void sql_append_literal(std::string& out, const ole_variant& value);
// default_literal: the column's DEFAULT literal (UTF-8), empty for none.
void sql_append_field(std::string& out, const ole_variant& value, bool not_null, std::string_view default_literal);
// Text as a quoted, escaped literal.
void sql_append_text_literal(std::string& out, std::wstring_view text);

// True when the whole text is one decimal number: sign, digits, point,
// exponent; no blanks, nothing after it.
bool sql_is_number_text(std::string_view text);
