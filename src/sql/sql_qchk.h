#pragma once
// Whether a user's query may be read: one statement that returns rows and
// writes nothing. The server only prepares it (parses it and resolves its
// names); nothing of it runs. A read-only transaction does not stop DDL
// (it commits on its own), so a statement that is not a query must never be
// sent to run. The wizard's Test Query and the run ask the same question.
#include <string>
#include <string_view>

struct st_mysql;

struct sql_query_verdict {
    enum class kind {
        returns_rows,  // may be read
        refused,       // the server does not prepare it (syntax, names, two statements, connection)
        not_a_query,   // it does not start as a query does (SELECT, WITH, VALUES, TABLE, SHOW, DESC)
        no_rows,       // no result set (DDL, DML, CALL, SELECT ... INTO OUTFILE or a variable)
        placeholders,  // it needs parameters
    };
    kind what = kind::refused;
    unsigned error_number = 0;  // refused: the server's error number
    std::string sqlstate;       // refused: the server's SQLSTATE
    std::string server_text;    // refused: the server's text

    bool returns_rows() const { return what == kind::returns_rows; }
};

// The statement (sent as it stands: trim it as it will be run) prepared on
// the connection, in its current database, and closed again. Never throws.
sql_query_verdict sql_check_query(st_mysql* connection, std::string_view statement);

// Why the statement may not be read, for a person: the server's text when it
// refused to prepare it, else what the statement is not. Empty when it may.
std::string sql_query_refusal(const sql_query_verdict& verdict);

// sql_exception unless the verdict is returns_rows: the server's text and
// error number and SQLSTATE when it refused the statement (a lost connection stays one),
// otherwise a text that names the query. The statement is kept with it.
void sql_require_query(const sql_query_verdict& verdict, const std::wstring& name, std::string_view statement);

// True when the first word of the text, after blanks, comments and opening
// parentheses, is one that starts a statement returning rows without
// writing: SELECT, WITH, VALUES, TABLE, SHOW, DESC or DESCRIBE (any case).
// A comment the server executes (/*! ... */) counts as no such word.
bool sql_starts_as_query(std::string_view statement);
