#include "wizard/pg_fin.h"

#include <filesystem>
#include <system_error>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "gui2/g_f_dlg.h"
#include "gui2/g_wiz_sh.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_prof.h"

namespace {
// Something exists under the name (a file, a folder, a dangling link).
bool name_taken(const std::wstring& path) {
    std::string narrow;
    if (!tk_w2a(path, narrow)) return false;
    std::error_code ec;
    return std::filesystem::symlink_status(narrow, ec).type() != std::filesystem::file_type::not_found && !ec;
}
}  // namespace

vek_finish_page::vek_finish_page(wizard_shell& shell, dravik_convertor& conv, const error_handler& errors,
                                 std::wstring extension)
    : gui_finish_page(shell, {vek_success_text, vek_errors_text, vek_incomplete_text}),
      m_conv(conv),
      m_errors(errors),
      m_extension(std::move(extension)) {}

finish_report vek_finish_page::report() const {
    finish_report r;
    r.completed = m_conv.last_outcome() == dravik_convertor::run_outcome::completed;
    r.errors = m_errors.errors();
    r.error_count = m_errors.error_count();
    return r;
}

void vek_finish_page::on_save() {
    tk_trace(2, "vek_finish_page::on_save");
    std::vector<g_file_filter> filters = g_profile_filters(m_extension, "g_finish", 137);
    save_file_dialog dialog(shell().presenter(), this, "Select Profile File", std::move(filters), L"", m_extension);
    if (dialog.run()) save_settings(dialog.path());
}

bool vek_finish_page::save_settings(const std::wstring& path) {
    if (name_taken(path) &&
        !shell().question(L"The file '" + path + L"' already exists.\nDo you want to replace it?", g_button::no))
        return false;
    if (m_conv.store_profile(path)) return true;
    shell().error(udb_profile_fault_text(m_conv.profile_fault()));
    return false;
}
