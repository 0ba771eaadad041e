#include "sql/sql_qchk.h"

#include <mysql.h>

#include "platform/pf_text.h"
#include "platform/pf_trim.h"
#include "sql/sql_exc.h"
#include "sql/sql_res.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

bool is_word_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Where the first word starts: past blanks, comments the server ignores and
// opening parentheses; npos when something else comes first.
std::size_t first_word(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (pf_is_blank(c, pf_blanks::c_space) || c == '(') {
            ++i;
        } else if (c == '#' || (c == '-' && i + 1 < s.size() && s[i + 1] == '-' &&
                                (i + 2 == s.size() || static_cast<unsigned char>(s[i + 2]) <= ' '))) {
            const std::size_t end = s.find('\n', i);
            if (end == std::string_view::npos) return std::string_view::npos;
            i = end + 1;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            // /*! and /*M! hold text the server runs.
            const std::string_view opening = s.substr(i + 2, 2);
            if (opening.substr(0, 1) == "!" || opening == "M!") return std::string_view::npos;
            const std::size_t end = s.find("*/", i + 2);
            if (end == std::string_view::npos) return std::string_view::npos;
            i = end + 2;
        } else {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace

bool sql_starts_as_query(std::string_view statement) {
    const std::size_t begin = first_word(statement);
    if (begin == std::string_view::npos) return false;
    std::size_t end = begin;
    while (end < statement.size() && is_word_char(statement[end])) ++end;
    const std::string_view word = statement.substr(begin, end - begin);
    for (const char* query_word : {"select", "with", "values", "table", "show", "desc", "describe"})
        if (pf_ascii_is_word(word, query_word)) return true;
    return false;
}

sql_query_verdict sql_check_query(MYSQL* connection, std::string_view statement) {
    tk_trace(2, "sql_check_query(%.*s)", static_cast<int>(statement.size()), statement.data());
    sql_query_verdict v;
    const sql_statement stmt(mysql_stmt_init(connection));
    // Prepared, so that the server answers for the text it would run; the
    // first word is judged as well, for statements that return rows and
    // write (ANALYZE DELETE, ... RETURNING).
    if (!stmt || mysql_stmt_prepare(stmt.get(), statement.data(), statement.size()) != 0) {
        const sql_exception e = sql_statement_error(stmt.get(), connection);
        v.error_number = e.error_number();
        v.sqlstate = e.sqlstate();
        v.server_text = e.server_text();
        return v;
    }
    if (mysql_stmt_field_count(stmt.get()) == 0)
        v.what = sql_query_verdict::kind::no_rows;
    else if (mysql_stmt_param_count(stmt.get()) != 0)
        v.what = sql_query_verdict::kind::placeholders;
    else if (!sql_starts_as_query(statement))
        v.what = sql_query_verdict::kind::not_a_query;
    else
        v.what = sql_query_verdict::kind::returns_rows;
    return v;
}

namespace {

// What a statement the server prepared is, that it may not be read.
const char* why_not_read(sql_query_verdict::kind what) {
    using kind = sql_query_verdict::kind;
    switch (what) {
    case kind::placeholders: return "has parameters (?)";
    case kind::no_rows: return "returns no rows";
    default: return "is not a query";
    }
}

}  // namespace

std::string sql_query_refusal(const sql_query_verdict& verdict) {
    using kind = sql_query_verdict::kind;
    if (verdict.what == kind::returns_rows) return std::string();
    if (verdict.what == kind::refused) return verdict.server_text;
    return std::string("The statement ") + why_not_read(verdict.what) + ".";
}

void sql_require_query(const sql_query_verdict& verdict, const std::wstring& name, std::string_view statement) {
    using kind = sql_query_verdict::kind;
    if (verdict.what == kind::returns_rows) return;
    if (verdict.what == kind::refused)
        throw sql_exception(verdict.server_text, verdict.error_number, verdict.sqlstate).set_statement(statement);
    throw sql_exception("Query '" + tk_w2a_or_marks(name) + "' is not run: it " + why_not_read(verdict.what) +
                            ". Only one statement that returns rows (a SELECT) is read.",
                        0)
        .set_statement(statement);
}
