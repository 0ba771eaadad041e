#pragma once
// One cell of a row: its value with the column's name, size and flags.
#include <cstdint>

#include "udb/udb_name.h"
#include "variant/ole_var.h"

class udb_field : public ole_variant {
public:
    // The name is shared with the column, not copied.
    udb_field(udb_name name, std::uint32_t size, const ole_variant& value, bool b_not_null, bool b_auto_increment);
    udb_field(udb_name name, std::uint32_t size, ole_variant&& value, bool b_not_null, bool b_auto_increment);
    udb_field(const udb_field&) = default;
    udb_field(udb_field&&) = default;
    udb_field& operator=(const udb_field&) = default;
    udb_field& operator=(udb_field&&) = default;
    ~udb_field() override;

    // The value's type code.
    virtual std::uint16_t get_type() const;

    std::uint32_t size;
    udb_name name;
    std::uint8_t b_not_null;
    std::uint8_t b_auto_increment;
};
