#pragma once
// Identifier rules of a MySQL destination. Servers before 4.1.0 take names
// bare, so the old rules keep to letters, digits, "_" and "$" and stay clear of
// reserved words; later servers take every name in backquotes, so the new
// rules only forbid a few characters, blanks at the ends and what the server
// cannot store in a name (characters beyond U+FFFF, NUL). Names of at most 64
// characters. The engine's factories (create_*_validator) pick the rules by
// the server's version.
#include <memory>
#include <string>
#include <vector>

#include "udb/udb_vali.h"

class udb_indexes;
class udb_record;
class udb_schema;

class sql_old_validator : public udb_validator {
public:
    sql_old_validator();
    bool is_acceptable(const std::wstring& name) const override;
    std::wstring get_safe_name(const std::wstring& name) const override;
};

class sql_old_fn_validator : public sql_old_validator {
public:
    explicit sql_old_fn_validator(const udb_schema& schema);
    explicit sql_old_fn_validator(const udb_record& record);
};

class sql_old_in_validator : public sql_old_validator {
public:
    explicit sql_old_in_validator(const udb_indexes& indexes);
};

class sql_old_tn_validator : public sql_old_validator {
public:
    sql_old_tn_validator(const std::vector<std::wstring>& names1, const std::vector<std::wstring>& names2);
};

class sql_new_validator : public udb_validator {
public:
    // all_specials: the 16 characters a table name may not hold; otherwise
    // the 8 of column and index names.
    explicit sql_new_validator(bool all_specials);
    bool is_acceptable(const std::wstring& name) const override;
    std::wstring get_safe_name(const std::wstring& name) const override;
};

class sql_new_fn_validator : public sql_new_validator {
public:
    explicit sql_new_fn_validator(const udb_schema& schema);
    explicit sql_new_fn_validator(const udb_record& record);
};

class sql_new_in_validator : public sql_new_validator {
public:
    explicit sql_new_in_validator(const udb_indexes& indexes);
};

class sql_new_tn_validator : public sql_new_validator {
public:
    sql_new_tn_validator(const std::vector<std::wstring>& names1, const std::vector<std::wstring>& names2);
};

struct sql_dialect;

// The validators of the server's rules (new from 4.1.0 on, old before); the
// engine's create_*_validator hand out these for its own server.
std::unique_ptr<udb_validator> sql_create_tn_validator(const sql_dialect& d, const std::vector<std::wstring>& names1,
                                                       const std::vector<std::wstring>& names2);
std::unique_ptr<udb_validator> sql_create_fn_validator(const sql_dialect& d, const udb_schema& schema);
std::unique_ptr<udb_validator> sql_create_fn_validator(const sql_dialect& d, const udb_record& record);
std::unique_ptr<udb_validator> sql_create_in_validator(const sql_dialect& d, const udb_indexes& indexes);

// The reserved words of the old rules, in their order.
const std::vector<std::wstring>& sql_reserved_words();
