#pragma once
// Session settings of the MySQL connection that a writing operation changes
// for a while and puts back as they were, and the single values it reads.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct st_mysql;

// The first cell of the first row of a statement, as text (nullopt for no
// row or SQL NULL). sql_exception, naming the statement, when it fails.
std::optional<std::string> sql_read_value(st_mysql* connection, const std::string& select);

// Sends one statement (with its length, so a NUL byte in it is sent too) and
// frees any result. sql_exception naming the statement when it fails.
void sql_run(st_mysql* connection, std::string_view statement);

// One session variable: change() reads the value it has and sets another,
// restore() sets the old one again. Nothing is sent when the value already
// is the wanted one. The destructor restores what is still changed and only
// traces a failure.
class sql_session_setting {
public:
    // quoted: the value is text (sql_mode) and is sent as a literal.
    sql_session_setting(st_mysql* connection, std::string name, bool quoted);
    ~sql_session_setting();
    sql_session_setting(const sql_session_setting&) = delete;
    sql_session_setting& operator=(const sql_session_setting&) = delete;

    // The value the variable had before the first change (reads it when needed).
    const std::string& original();
    // sql_exception when the server refuses reading or setting it.
    void change(const std::string& value);
    void restore();
    bool changed() const noexcept { return m_changed; }

private:
    std::string assignment(const std::string& value) const;

    st_mysql* m_mysql;
    std::string m_name;
    bool m_quoted;
    std::optional<std::string> m_original;
    bool m_changed = false;
};

// The sql_mode a writing statement needs for the literals this side writes:
// no mode that changes how quotes, backslashes or '' read (ANSI_QUOTES,
// NO_BACKSLASH_ESCAPES, EMPTY_STRING_IS_NULL, the compound modes that imply
// them), 0 stored as 0 in an AUTO_INCREMENT column (NO_AUTO_VALUE_ON_ZERO), and
// strict, so a value that does not fit is refused rather than cut. The other
// modes of `current` stay.
std::string sql_writing_mode(std::string_view current);

// Sets the writing mode on the setting (a sql_session_setting of "sql_mode");
// nothing on servers before 4.1.0, which have none of those modes.
void sql_use_writing_mode(sql_session_setting& mode, std::uint32_t server_version);

// The sql_mode a reading session needs for values as they are stored:
// `current` without PAD_CHAR_TO_FULL_LENGTH, which hands CHAR values (and the
// catalogue's CHAR defaults) padded with blanks to the column's length. The
// other modes stay: a user's query is written for them (ANSI_QUOTES), and
// the statements this side reads with do not depend on them.
std::string sql_reading_mode(std::string_view current);

// Sets the reading mode for the rest of the session when the session's mode
// is another; nothing on servers before 4.1.0, which have none of those
// modes. sql_exception, naming the statement, when the server refuses it.
void sql_use_reading_mode(st_mysql* connection, std::uint32_t server_version);
