#include "gui2/g_err_ui.h"

#include <QApplication>

#include "gui2/g_carry.h"
#include "gui2/g_err_dl.h"
#include "gui2/g_presen.h"
#include "gui2/g_wiz_sh.h"

namespace {
std::wstring wide(const std::string& text) { return QString::fromStdString(text).toStdWString(); }

std::wstring shell_title() {
    wizard_shell* shell = wizard_shell::find();
    return shell ? shell->title() : std::wstring();
}

// The window a dialog of the handler belongs to: the active one.
QWidget* active_window() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}
}  // namespace

void gui_error_dialogs::show_internal_error(const std::string& text) {
    m_carrier.run([&] {
        dlg_error_ex dialog(wide(text), shell_title(), m_dispatcher, active_window());
        m_presenter.exec_dialog(dialog);
    });
}

void gui_error_dialogs::show_error(const std::string& text) {
    m_carrier.run([&] {
        if (wizard_shell* shell = wizard_shell::find()) return shell->error(text);
        g_box box;
        box.caption = QStringLiteral("Error");
        box.text = QString::fromStdString(text);
        box.icon = g_icon::error;
        m_presenter.show_box(box);
    });
}

error_dialogs::answer gui_error_dialogs::ask_continue(const std::string& text, bool& dont_show_again) {
    return m_carrier.call(
        [&] {
            dlg_error_continue dialog(wide(text), shell_title(), m_dispatcher, active_window());
            const int code = m_presenter.exec_dialog(dialog);
            dont_show_again = dialog.dont_show_again();
            return code == g_err_id::abort_run ? answer::abort_run : answer::continue_run;
        },
        answer::abort_run);
}
