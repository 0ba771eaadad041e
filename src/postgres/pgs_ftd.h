#pragma once
// A column read back from a PostgreSQL table: the shared descriptor plus the
// type name as information_schema.columns gives it.
#include <string>

#include "udb/udb_sche.h"

struct pgs_ftd : t_ftd {
    pgs_ftd(std::uint32_t size, udb_name name, std::uint16_t vartype, bool b_not_null, std::string pgs_type)
        : t_ftd(size, std::move(name), vartype, b_not_null, false, ole_variant(), 0),
          pgs_type(std::move(pgs_type)) {}

    std::string pgs_type;
};
