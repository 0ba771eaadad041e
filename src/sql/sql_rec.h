#pragma once
// Rows fetched from MySQL as records of variant values.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/pf_vtype.h"
#include "udb/udb_name.h"
#include "udb/udb_rec.h"

struct st_mysql_field;

// MySQL column type numbers and flags this side reads.
namespace sql_mysql {
constexpr unsigned not_null_flag = 0x1;
constexpr unsigned binary_flag = 0x80;
constexpr unsigned unsigned_flag = 0x20;
constexpr unsigned auto_increment_flag = 0x200;
constexpr unsigned binary_charset = 63;
}  // namespace sql_mysql

// The type code for a MySQL type number and its flags (BLOBs as byte data
// unless blob_as_text).
VARTYPE get_vartype_by_mysql_type(int mysql_type, unsigned flags, bool blob_as_text = false);

// How one result column turns into values, worked out once per result from its
// description: binary means character set 63 (BINARY, VARBINARY, binary BLOBs,
// geometry), not the BINARY flag, which _bin collations and JSON carry too.
struct sql_column {
    enum class path : std::uint8_t {
        text,           // UTF-8 text; one holding a NUL character cannot be carried
        text_or_bytes,  // a catalogue's text: UTF-8 text, or its bytes whole where it holds
                        // a NUL or is not UTF-8 (a binary column's default as the server shows it)
        bytes,          // the bytes whole, zero bytes included
        parse,          // the text parsed into vt (numbers, dates, YEAR)
        time,           // TIME: only 00:00:00 to 23:59:59 is a time of day
        date,           // DATE, DATETIME, TIMESTAMP: the zero date gives an empty value,
                        // any other text that is no date cannot be carried
        bit1,           // BIT(1): true when the byte is not zero
        bits,           // wider BIT: the bits as an 8-byte integer
        float_exact,    // a FLOAT read through its exact double: rounded to the float
                        // again (no digit is lost to a server that prints fewer) and
                        // carried as that double, so a double column gets it exactly
    };

    udb_name name;
    VARTYPE vt = VT_BSTR;  // type code of the column and of its values
    path how = path::text;
    // The column cannot be left empty (NOT NULL where it is copied to): a
    // value that cannot be carried refuses its row instead, and so does
    // MySQL's zero date, which otherwise stands for no date.
    bool not_null = false;
    int mysql_type = 0;
    unsigned flags = 0;
    unsigned long length = 0;  // metadata length (bytes; bits for BIT)
    unsigned decimals = 0;
    unsigned charset = 0;

    static sql_column from_field(const st_mysql_field& field, bool blob_as_text = false);
};

// The columns of one result, their names decoded from UTF-8 once.
using sql_columns = std::vector<sql_column>;
sql_columns sql_read_columns(const st_mysql_field* fields, unsigned count, bool blob_as_text = false);
// The server's text of a catalogue cell (path::text_or_bytes): its bytes, or
// none for NULL.
std::optional<std::string> sql_catalogue_bytes(const ole_variant& cell);

class sql_value_reports;

// Where a row comes from, and where a value that cannot be carried is
// reported (null: the trace).
struct sql_row_origin {
    const std::wstring* table = nullptr;
    std::int64_t record_number = 0;  // counted from 1
    const sql_value_reports* reports = nullptr;
};

// One row. Fields are udb_fields in column order: the value, the cell's byte
// length as size, the column's name, both flags clear.
class sql_record : public udb_record {
public:
    sql_record() = default;
    // Assertion (sql_rec, 17) without column descriptions.
    sql_record(const sql_columns* columns, const unsigned long* lengths, char** row, const sql_row_origin& origin = {});

    // Replaces the fields by those of the row, reusing the field storage.
    // Returns the number of cells whose value cannot be carried: each is left
    // empty and reported to the origin's reports, or, in a not_null
    // column, refuses the row (udb_record::refusal) without a report of its own.
    int fill(const sql_columns& columns, const unsigned long* lengths, char** row, const sql_row_origin& origin);

    // One field per column, named as the column: the fields of a row read
    // before are kept (to be refilled in place) when the count is the same,
    // their values too unless that row held large_row bytes or more.
    // Forgets any refusal.
    void take_shape(const sql_columns& columns);
    static constexpr std::size_t large_row = 1u << 20;
    // A cell that cannot be carried (given as the server's text of it): in a
    // not_null column it refuses the row, elsewhere it is reported to the
    // origin's reports.
    void bad_cell(const sql_column& column, const char* cell, unsigned long length, const sql_row_origin& origin);
};

// One cell's value; sets *bad when the cell cannot be carried (value empty),
// in a not_null column also for the zero date.
ole_variant sql_cell_value(const sql_column& column, const char* cell, unsigned long length, bool* bad);
// The same into an existing value, whose room for text is reused.
void sql_set_cell(ole_variant& value, const sql_column& column, const char* cell, unsigned long length, bool* bad);
