#pragma once
// The error handler's two dialogs in their windowed form:
//   dlg_error_ex (114)        an internal error: Send bug, OK, Copy to clipboard;
//                             the program ends after it, whatever is chosen
//   dlg_error_continue (115)  an error the run may go on from: Continue or
//                             Abort, and "Do not show this dialog box again"
#include <string>

#include "gui2/g_dialog.h"

namespace g_err_id {
inline constexpr int internal_dialog = 114;
inline constexpr int continue_dialog = 115;
inline constexpr int message = 1320;
inline constexpr int send_bug = 1112;
inline constexpr int ok = 1;
inline constexpr int copy = 1108;
inline constexpr int abort_run = 1;
inline constexpr int continue_run = 2;
inline constexpr int dont_show = 1222;
}  // namespace g_err_id

class dlg_error_ex : public g_dialog {
public:
    // `title` is the wizard's title (empty when there is no wizard yet): it
    // makes the caption and the bug report's subject.
    dlg_error_ex(const std::wstring& message, const std::wstring& title, g_dispatcher& dispatcher,
                 QWidget* parent = nullptr);

protected:
    void on_init() override;

private:
    std::wstring m_message;
    std::wstring m_title;
};

class dlg_error_continue : public g_dialog {
public:
    dlg_error_continue(const std::wstring& message, const std::wstring& title, g_dispatcher& dispatcher,
                       QWidget* parent = nullptr);

    // The state of the check box when the dialog ended.
    bool dont_show_again() const { return controls().is_checked(g_err_id::dont_show); }
    // Escape and the close box continue.
    void reject() override;

protected:
    void on_init() override;

private:
    std::wstring m_message;
};

// "<title> Error", or "Error" without a title.
QString g_error_caption(const std::wstring& title);
