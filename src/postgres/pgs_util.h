#pragma once
// Column types and DEFAULT literals of the PostgreSQL side.
#include <cstdint>
#include <string>
#include <string_view>

struct t_ftd;

// Longest bounded text column; longer (and unbounded) ones become TEXT.
constexpr std::uint32_t pgs_max_varchar = 32672;

// The column type of a CREATE TABLE for the column's type code; an unknown
// code is an internal error.
std::wstring get_pgs_type(const t_ftd& column);
// The type code that a data_type of information_schema.columns stands for.
std::uint16_t get_vartype_by_pgs_type(std::string_view pg_type_name);
// The DEFAULT text of the column; empty when the column gets no DEFAULT.
std::wstring make_pgs_def_val(const t_ftd* column);
// A literal for a DEFAULT clause: text (8, date kind ignored) or date (7 with
// the column's subtype word). Empty when the date is not valid for the column.
std::wstring to_pgs_str(const std::wstring& text, std::uint16_t vartype, std::uint32_t date_kind);
// A bytea literal of the bytes, in hexadecimal: E'\\x4142'::bytea.
std::wstring pgs_bytea_literal(std::string_view bytes);
