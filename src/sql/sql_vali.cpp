#include "sql/sql_vali.h"

#include <algorithm>
#include <memory>

#include "platform/pf_text.h"
#include "sql/sql_engi.h"
#include "sql/sql_ver.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_idx.h"
#include "udb/udb_rec.h"
#include "udb/udb_sche.h"

namespace {

constexpr std::uint32_t max_name_chars = 64;

constexpr const wchar_t* reserved[] = {L"add",
                                       L"all",
                                       L"alter",
                                       L"and",
                                       L"as",
                                       L"asc",
                                       L"between",
                                       L"bigint",
                                       L"binary",
                                       L"blob",
                                       L"both",
                                       L"by",
                                       L"cascade",
                                       L"case",
                                       L"char",
                                       L"character",
                                       L"change",
                                       L"column",
                                       L"columns",
                                       L"constraint",
                                       L"create",
                                       L"cross",
                                       L"current_date",
                                       L"current_time",
                                       L"current_timestamp",
                                       L"database",
                                       L"databases",
                                       L"day_hour",
                                       L"day_minute",
                                       L"day_second",
                                       L"dec",
                                       L"decimal",
                                       L"default",
                                       L"delayed",
                                       L"delete",
                                       L"desc",
                                       L"describe",
                                       L"distinct",
                                       L"distinctrow",
                                       L"double",
                                       L"drop",
                                       L"else",
                                       L"escaped",
                                       L"enclosed",
                                       L"explain",
                                       L"exists",
                                       L"fields",
                                       L"float",
                                       L"float4",
                                       L"float8",
                                       L"foreign",
                                       L"from",
                                       L"for",
                                       L"grant",
                                       L"group",
                                       L"having",
                                       L"high_priority",
                                       L"hour_minute",
                                       L"hour_second",
                                       L"ignore",
                                       L"in",
                                       L"index",
                                       L"infile",
                                       L"inner",
                                       L"insert",
                                       L"insert_id",
                                       L"int",
                                       L"int1",
                                       L"int2",
                                       L"int3",
                                       L"int4",
                                       L"int8",
                                       L"integer",
                                       L"interval",
                                       L"into",
                                       L"if",
                                       L"is",
                                       L"join",
                                       L"key",
                                       L"keys",
                                       L"kill",
                                       L"last_insert_id",
                                       L"leading",
                                       L"left",
                                       L"like",
                                       L"lines",
                                       L"limit",
                                       L"load",
                                       L"lock",
                                       L"long",
                                       L"longblob",
                                       L"longtext",
                                       L"low_priority",
                                       L"match",
                                       L"mediumblob",
                                       L"mediumtext",
                                       L"mediumint",
                                       L"middleint",
                                       L"minute_second",
                                       L"natural",
                                       L"numeric",
                                       L"not",
                                       L"null",
                                       L"on",
                                       L"optimize",
                                       L"option",
                                       L"optionally",
                                       L"or",
                                       L"order",
                                       L"outer",
                                       L"outfile",
                                       L"partial",
                                       L"precision",
                                       L"primary",
                                       L"procedure",
                                       L"privileges",
                                       L"read",
                                       L"real",
                                       L"regexp",
                                       L"rename",
                                       L"replace",
                                       L"restrict",
                                       L"returns",
                                       L"revoke",
                                       L"rlike",
                                       L"select",
                                       L"set",
                                       L"show",
                                       L"smallint",
                                       L"soname",
                                       L"sql_big_tables",
                                       L"sql_big_selects",
                                       L"sql_low_priority_updates",
                                       L"sql_log_off",
                                       L"sql_log_update",
                                       L"sql_select_limit",
                                       L"sql_small_result",
                                       L"sql_big_result",
                                       L"sql_warnings",
                                       L"straight_join",
                                       L"starting",
                                       L"table",
                                       L"tables",
                                       L"terminated",
                                       L"then",
                                       L"tinyblob",
                                       L"tinytext",
                                       L"tinyint",
                                       L"trailing",
                                       L"to",
                                       L"usage",
                                       L"use",
                                       L"using",
                                       L"unique",
                                       L"unlock",
                                       L"unsigned",
                                       L"update",
                                       L"values",
                                       L"varchar",
                                       L"varying",
                                       L"varbinary",
                                       L"with",
                                       L"write",
                                       L"when",
                                       L"where",
                                       L"year_month",
                                       L"zerofill"};

constexpr wchar_t specials[] = {L'`', L'"', L'\'', L'^', L'*', L'#', L'\\', L';',
                                L'+', L'|', L':',  L'<', L'>', L'?', L'.',  L'/'};

bool is_old_name_char(wchar_t c) { return pf_is_alnum(c) || c == L'_' || c == L'$'; }

bool all_digits(const std::wstring& s) {
    return std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Characters no MySQL name can hold: NUL, and those beyond the Basic
// Multilingual Plane (the server refuses them, error 1300).
bool is_unstorable(wchar_t c) { return c == 0 || static_cast<std::uint32_t>(c) > 0xFFFF; }

void add_names(udb_validator& v, const std::vector<std::wstring>& names) {
    for (const std::wstring& n : names) v.add_existing_name(n);
}

}  // namespace

const std::vector<std::wstring>& sql_reserved_words() {
    static const std::vector<std::wstring> words(std::begin(reserved), std::end(reserved));
    return words;
}

// ---- old rules ----------------------------------------------------------------------------

sql_old_validator::sql_old_validator() : udb_validator(max_name_chars) {
    tk_trace(2, "sql_old_validator::ctor");
    for (const std::wstring& w : sql_reserved_words()) add_restricted_name(w);
}

bool sql_old_validator::is_acceptable(const std::wstring& name) const {
    tk_trace_w(2, L"sql_old_validator::is_acceptable(%s)", name.c_str());
    if (!udb_validator::is_acceptable(name)) return false;
    for (wchar_t c : name) {
        if (!is_old_name_char(c)) {
            tk_trace_w(2, L"Name contains invalid symbol: '%c'", c);
            return false;
        }
    }
    if (all_digits(name)) {
        tk_trace(2, "Name consists of digits only");
        return false;
    }
    return true;
}

std::wstring sql_old_validator::get_safe_name(const std::wstring& name) const {
    tk_trace_w(2, L"sql_old_validator::get_safe_name(%s)", name.c_str());
    std::wstring s = name;
    for (wchar_t& c : s)
        if (!is_old_name_char(c)) c = L'_';
    // A name of digits only (or none at all) gets a letter-like start.
    if (s.empty())
        s = L"_";
    else if (all_digits(s))
        s[0] = L'_';
    return udb_validator::get_safe_name(s);
}

sql_old_fn_validator::sql_old_fn_validator(const udb_schema& schema) {
    tk_trace(2, "sql_old_fn_validator::ctor( const udb_schema& )");
    for (const t_ftd* col : schema.columns()) add_existing_name(col->name.str());
}

sql_old_fn_validator::sql_old_fn_validator(const udb_record& record) {
    tk_trace(2, "sql_old_fn_validator::ctor( const udb_schema& )");
    for (const udb_field& f : record) add_existing_name(f.name.str());
}

sql_old_in_validator::sql_old_in_validator(const udb_indexes& indexes) {
    tk_trace(2, "sql_old_in_validator::ctor");
    for (const udb_index& i : indexes) add_existing_name(i.name);
}

sql_old_tn_validator::sql_old_tn_validator(const std::vector<std::wstring>& names1,
                                           const std::vector<std::wstring>& names2) {
    tk_trace(2, "sql_old_tn_validator::ctor");
    add_names(*this, names1);
    add_names(*this, names2);
}

// ---- new rules ----------------------------------------------------------------------------

sql_new_validator::sql_new_validator(bool all_specials) : udb_validator(max_name_chars) {
    tk_trace(2, "sql_new_validator::ctor");
    const std::size_t n = all_specials ? std::size(specials) : 8;
    for (std::size_t i = 0; i < n; ++i) add_illegal_char(specials[i]);
}

bool sql_new_validator::is_acceptable(const std::wstring& name) const {
    tk_trace_w(2, L"sql_new_validator::is_acceptable(%s)", name.c_str());
    if (name.empty() || name.size() > max_name_chars || name.front() == L' ' || name.back() == L' ') return false;
    if (std::any_of(name.begin(), name.end(), is_unstorable)) {
        tk_trace(2, "Name contains a character MySQL cannot store in a name");
        return false;
    }
    return udb_validator::is_acceptable(name);
}

std::wstring sql_new_validator::get_safe_name(const std::wstring& name) const {
    tk_trace_w(2, L"sql_new_validator::get_safe_name(%s)", name.c_str());
    std::wstring s = tk_trim(name);
    std::replace_if(s.begin(), s.end(), is_unstorable, L'_');
    return udb_validator::get_safe_name(s);
}

sql_new_fn_validator::sql_new_fn_validator(const udb_schema& schema) : sql_new_validator(false) {
    tk_trace(2, "sql_new_fn_validator::ctor( const udb_schema& )");
    tk_trace(2, "Schema size=%d", static_cast<int>(schema.size()));
    for (std::size_t i = 0; i < schema.size(); ++i) {
        tk_trace(1, "Process schema[%d]", static_cast<int>(i));
        add_existing_name(schema[i]->name.str());
    }
    tk_trace(1, "sql_new_fn_validator::ctor - end");
}

sql_new_fn_validator::sql_new_fn_validator(const udb_record& record) : sql_new_validator(false) {
    tk_trace(2, "sql_new_fn_validator::ctor( const udb_record& )");
    tk_trace(2, "Record size=%d", static_cast<int>(record.size()));
    for (std::size_t i = 0; i < record.size(); ++i) {
        tk_trace(1, "Process record[%d]", static_cast<int>(i));
        add_existing_name(record[i].name.str());
    }
    tk_trace(1, "sql_new_fn_validator::ctor - end");
}

sql_new_in_validator::sql_new_in_validator(const udb_indexes& indexes) : sql_new_validator(false) {
    tk_trace(2, "sql_new_in_validator::ctor");
    for (const udb_index& i : indexes) add_existing_name(i.name);
}

sql_new_tn_validator::sql_new_tn_validator(const std::vector<std::wstring>& names1,
                                           const std::vector<std::wstring>& names2)
    : sql_new_validator(true) {
    tk_trace(2, "sql_new_tn_validator::ctor");
    add_names(*this, names1);
    add_names(*this, names2);
}

// ---- factories --------------------------------------------------------------------------

std::unique_ptr<udb_validator> sql_create_tn_validator(const sql_dialect& d, const std::vector<std::wstring>& names1,
                                                       const std::vector<std::wstring>& names2) {
    if (d.quotes_names()) return std::make_unique<sql_new_tn_validator>(names1, names2);
    return std::make_unique<sql_old_tn_validator>(names1, names2);
}

std::unique_ptr<udb_validator> sql_create_fn_validator(const sql_dialect& d, const udb_schema& schema) {
    if (d.quotes_names()) return std::make_unique<sql_new_fn_validator>(schema);
    return std::make_unique<sql_old_fn_validator>(schema);
}

std::unique_ptr<udb_validator> sql_create_fn_validator(const sql_dialect& d, const udb_record& record) {
    if (d.quotes_names()) return std::make_unique<sql_new_fn_validator>(record);
    return std::make_unique<sql_old_fn_validator>(record);
}

std::unique_ptr<udb_validator> sql_create_in_validator(const sql_dialect& d, const udb_indexes& indexes) {
    if (d.quotes_names()) return std::make_unique<sql_new_in_validator>(indexes);
    return std::make_unique<sql_old_in_validator>(indexes);
}

std::unique_ptr<udb_validator> sql_engine::create_tn_validator(const std::vector<std::wstring>& names1,
                                                               const std::vector<std::wstring>& names2) const {
    tk_trace(1, "sql_engine::create_tn_validator");
    return sql_create_tn_validator(dialect(), names1, names2);
}

std::unique_ptr<udb_validator> sql_engine::create_fn_validator(const udb_schema& schema) const {
    tk_trace(1, "sql_engine::create_fn_validator( const udb_schema& )");
    return sql_create_fn_validator(dialect(), schema);
}

std::unique_ptr<udb_validator> sql_engine::create_fn_validator(const udb_record& record) const {
    tk_trace(1, "sql_engine::create_fn_validator( const udb_record& )");
    return sql_create_fn_validator(dialect(), record);
}

std::unique_ptr<udb_validator> sql_engine::create_in_validator(const udb_indexes& indexes) const {
    tk_trace(1, "sql_engine::create_in_validator");
    return sql_create_in_validator(dialect(), indexes);
}
