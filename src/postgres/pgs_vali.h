#pragma once
// Identifier rules of the PostgreSQL side: which table and column names are
// sent unchanged, and the safe, unique name for the others.
#include <string>
#include <vector>

#include "tk/tk_singl.h"
#include "udb/udb_vali.h"

class udb_schema;

class pgs_validator : public udb_validator {
public:
    pgs_validator();

    // 1 to 30 characters and at most 63 bytes of UTF-8, a letter first, then
    // letters, digits, "_", "$" or "#"; not a restricted name.
    bool is_acceptable(const std::wstring& name) const override;
    std::wstring get_safe_name(const std::wstring& name) const override;
};

// Column names of one table: every source column name is already in use, and
// the names of the server's system columns (xmin, ctid, ...) cannot be taken.
class pgs_fn_validator : public pgs_validator {
public:
    explicit pgs_fn_validator(const udb_schema& source);

    bool is_acceptable(const std::wstring& name) const override;
};

// True for the name of a column every PostgreSQL table has (exactly as the
// server spells it: a quoted "XMIN" is an ordinary name).
bool pgs_is_system_column(const std::wstring& name);

// Destination table names: the selected source tables and the tables of the
// destination database are already in use.
class pgs_tn_validator : public pgs_validator {
public:
    pgs_tn_validator(const std::vector<std::wstring>& first, const std::vector<std::wstring>& second);
};

// The engine's own instance of the rules.
class pgs_name_validator : public tk_singleton<pgs_name_validator>, public pgs_validator {
public:
    pgs_name_validator();
    ~pgs_name_validator() override;
};
