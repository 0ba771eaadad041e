#pragma once
// A column read back from a PostgreSQL table: the shared descriptor plus the
// type name, precision and scale as information_schema.columns gives them.
#include <optional>
#include <string>

#include "udb/udb_sche.h"

struct pgs_ftd : t_ftd {
    pgs_ftd(std::uint32_t size_, udb_name name_, std::uint16_t vartype_, bool not_null, std::string pgs_type_,
            std::optional<int> numeric_precision_ = {}, std::optional<int> numeric_scale_ = {},
            std::optional<int> datetime_precision_ = {})
        : t_ftd(size_, std::move(name_), vartype_, not_null, false, ole_variant(), 0),
          pgs_type(std::move(pgs_type_)),
          numeric_precision(numeric_precision_),
          numeric_scale(numeric_scale_),
          datetime_precision(datetime_precision_) {}

    // The type code alone cannot tell real from double precision or numeric,
    // nor a date from a timestamp: the type name can.
    udb_value_domain domain() const override;

    std::string pgs_type;
    std::optional<int> numeric_precision;  // empty: not given (NULL)
    std::optional<int> numeric_scale;
    std::optional<int> datetime_precision;
};
