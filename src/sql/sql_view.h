#pragma once
// MySQL view text <-> portable view text.
//
// MySQL hands a view's SELECT back in its own dialect: comma joins written as
// a bare "join" with the conditions in WHERE, a trailing ORDER BY, names
// qualified with the backquoted database name. The converter turns that text
// into the portable form; the two static helpers serve the opposite way.
//
// Every rewrite here works on the SQL code only: text between single quotes,
// double quotes or backquotes is never changed, keywords match as whole words
// (ASCII letters, case ignored), and odd input (unbalanced quotes or
// parentheses, empty text) is left as it stands rather than guessed at.
#include <cstddef>
#include <string>
#include <string_view>

class udb_names_map;

class sql_view_converter {
public:
    // Copies the text and builds its skeleton.
    explicit sql_view_converter(std::wstring text);

    // The portable form: a top-level " order by " with everything after it
    // removed (kept when a LIMIT follows it, since the rows would change), and,
    // when the skeleton holds both "join" and "where", every plain JOIN keyword
    // written as "cross join".
    std::wstring convert_to_ansi() const;

    const std::wstring& text() const noexcept { return m_text; }
    // The text without what stands between double quotes or backquotes
    // (the quote characters left out too); single quotes have no effect.
    const std::wstring& skeleton() const noexcept { return m_skeleton; }

    // True when the "isnull" at position (a wide-string index; -1 or any
    // position outside the text gives false) starts a call "isnull(...)" with
    // exactly two arguments, so that it may become "ifnull".
    static bool check_isnull_for_replace(std::wstring_view text, std::ptrdiff_t position);

    // Each run of blanks, tabs, CR and LF outside quoted text becomes one blank
    // (leading and trailing runs too; nothing is trimmed).
    static std::wstring collapse_blanks(std::wstring_view text);

private:
    std::wstring m_text;
    std::wstring m_skeleton;
};

// The refinement every view text read from the MySQL server passes through:
// removes the first /* ... */ comment, removes the "`db_name`." qualifiers
// (case ignored), then returns sql_view_converter(text).convert_to_ansi().
// Traces "sql_database::refine_view_out(%s)" itself; sql_database's member of
// that name just forwards here.
std::wstring sql_refine_view_out(const std::wstring& db_name, const std::wstring& text);

// The way back, for a view created on a MySQL destination: blanks collapsed,
// [name] written `name`, two-argument isnull() written ifnull(), and every
// table or column name of the names map replaced by its destination name in
// backquotes (a backquoted name is replaced as a whole). Text in quotes is
// never changed. Traces "sql_database::refine_view_in(%s)" itself.
std::wstring sql_refine_view_in(const std::wstring& text, const udb_names_map& names);
