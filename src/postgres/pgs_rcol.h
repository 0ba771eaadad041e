#pragma once
// Columns read from PostgreSQL: the type code, size and subtype word a column
// of a given type gets, and how each cell's text (the value's own output form,
// read with DateStyle ISO, TimeZone UTC, bytea_output hex and extra float
// digits) becomes a cell value, exactly or not at all.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pf_vtype.h"
#include "udb/udb_name.h"
#include "variant/ole_var.h"

// Type oids of the built-in types the reader maps (pg_type.h).
namespace pgs_oid {
constexpr std::uint32_t boolean = 16, bytea = 17, name = 19, int8 = 20, int2 = 21, int4 = 23, text = 25, float4 = 700,
                        float8 = 701, money = 790, bpchar = 1042, varchar = 1043, date = 1082, time = 1083,
                        timestamp = 1114, timestamptz = 1184, numeric = 1700;
}  // namespace pgs_oid

struct pgs_read_column {
    // How the text of a cell turns into a value.
    enum class path : std::uint8_t {
        text,     // UTF-8 text; every type without a mapping of its own
        boolean,  // t / f
        int2,
        int4,
        int8,
        real4,  // shortest exact text; NaN and infinities are values too
        real8,
        decimal,      // numeric, and money selected as numeric: exact digits
        date,         // YYYY-MM-DD
        timestamp,    // YYYY-MM-DD HH:MM:SS[.ffffff]
        timestamptz,  // the same in UTC, followed by +00
        time,         // HH:MM:SS[.ffffff], 00:00:00 to 24:00:00
        bytes,        // \x and two hexadecimal digits per byte
    };

    udb_name name;
    std::uint32_t size = 0;  // declared length of varchar(n) / char(n); 0 unbounded
    VARTYPE vt = VT_BSTR;
    std::uint32_t subtype = 0;  // date kind, 8-byte sign, precision << 8 | scale
    bool not_null = false;
    bool as_numeric = false;  // selected as col::numeric (money)
    path how = path::text;
    std::string type_name;  // as format_type gives it, for traces
};

// Type code, size, subtype word and path of a column whose base type is
// type_oid with modifier typmod (-1: none). money_scale is the number of
// decimals of money on this server (lc_monetary).
void pgs_describe_column(pgs_read_column& column, std::uint32_t type_oid, int typmod, unsigned money_scale);

// The subtype word of numeric(p, s) from its modifier: precision << 8 | scale.
// A negative scale counts as that many more integer digits, a scale above the
// precision raises the precision to it; no modifier, or a scale beyond 255,
// gives 0 (a decimal of any precision).
std::uint32_t pgs_decimal_subtype(int typmod);

// "col1", "col2"::numeric, ... for a SELECT of the columns.
std::string pgs_select_list(const std::vector<pgs_read_column>& columns);

// The value of one non-NULL cell. Throws pgs_exception naming the column and
// the text for a value the system cannot carry unchanged: a date BC, after the
// year 9999 or infinite, a decimal NaN or infinite or beyond the decimal
// type's 80 digits, or a text that is not of the column's type.
ole_variant pgs_cell_value(const pgs_read_column& column, std::string_view text);
