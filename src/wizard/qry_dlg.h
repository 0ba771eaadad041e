#pragma once
// set_query_dlg (128, "Add Query"): a named SELECT statement whose rows the
// run copies into a table of that name. OK keeps the dialog open until the
// name is not empty and the text is a SELECT; Test Query asks the source
// server (behind the please-wait dialog) whether it accepts the statement
// without running it.
#include <string>

#include "gui2/g_dialog.h"

class dravik_convertor;
class wizard_shell;

namespace query_id {
inline constexpr int dialog = 128;
inline constexpr int name = 1019;
inline constexpr int query = 1020;
inline constexpr int test = 129;
inline constexpr int ok = 1;
inline constexpr int cancel = 2;
inline constexpr int help = g_help_button_id;
}  // namespace query_id

inline constexpr const wchar_t* query_not_select_text = L"The query must start with SELECT.";

class set_query_dlg : public g_dialog {
public:
    static constexpr int ok = query_id::ok;
    static constexpr int cancel = query_id::cancel;

    set_query_dlg(wizard_shell& shell, dravik_convertor& conv, std::wstring name, std::wstring query,
                  QWidget* parent = nullptr);

    // Modal; ok or cancel (Escape and the close box cancel).
    int run();
    // After ok: the name without blanks around it, the statement without the
    // blanks before it.
    const std::wstring& name() const noexcept { return m_name; }
    const std::wstring& query() const noexcept { return m_query; }

    // True when the text is empty or, after its leading blanks (tab, line
    // feed, carriage return, space), starts with SELECT in any letter case;
    // `rest` gets the text without those blanks.
    static bool passes_select_test(const std::wstring& text, std::wstring& rest);

    void reject() override;

protected:
    void on_init() override;

private:
    void on_test();
    void on_ok();

    wizard_shell& m_shell;
    dravik_convertor& m_conv;
    std::wstring m_name;
    std::wstring m_query;
};

// The text of the error box after a statement the server refused.
std::wstring query_syntax_error_text();
