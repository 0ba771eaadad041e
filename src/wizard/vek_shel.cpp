#include "wizard/vek_shel.h"

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "tk/tk_log.h"
#include "wizard/pg_conn.h"
#include "wizard/pg_dbs.h"
#include "wizard/pg_fin.h"
#include "wizard/pg_prog.h"
#include "wizard/pg_tabs.h"
#include "wizard/pg_welc.h"
#include "wizard/vek_ids.h"

namespace {
constexpr int version_major = 1;
constexpr int version_minor = 0;
}  // namespace

std::wstring vek_title() {
    return L"Tessaline " + std::to_wstring(version_major) + L"." + std::to_wstring(version_minor);
}

vek_shell::vek_shell(wizard_services services)
    : wizard_shell(vek_title(), vek_res::icon, vek_res::watermark, vek_res::header, services) {}

void vek_add_pages(wizard_shell& shell, dravik_convertor& conv, error_handler& errors) {
    shell.emplace_page<welcome_page>(conv, vek_profile_extension);
    shell.emplace_page<sql_settings_page2>(static_cast<mysql_converter_impl&>(conv));
    shell.emplace_page<pgs_settings_page_impl>(static_cast<pgs_converter_impl&>(conv));
    shell.emplace_page<sel_file_page>(conv);
    shell.emplace_page<vek_sel_tables_page>(conv);
    shell.emplace_page<vek_sel_views_page>(conv);
    vek_add_run_pages(shell, conv, errors);
}

void vek_add_run_pages(wizard_shell& shell, dravik_convertor& conv, error_handler& errors) {
    shell.emplace_page<progress_page>(conv, errors);
    shell.emplace_page<vek_finish_page>(conv, errors, vek_profile_extension);
}

int vek_exit_code(wizard_shell::end how, const dravik_convertor& conv, const error_handler& errors) {
    const bool clean = how == wizard_shell::end::finished &&
                       conv.last_outcome() == dravik_convertor::run_outcome::completed && errors.error_count() == 0;
    return clean ? 0 : -1;
}
