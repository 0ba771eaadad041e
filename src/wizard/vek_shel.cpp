#include "wizard/vek_shel.h"

#include <QLabel>
#include <QVBoxLayout>
#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "tk/tk_log.h"

#include "wizard/pg_conn.h"
#include "wizard/pg_dbs.h"
#include "wizard/pg_tabs.h"
#include "wizard/pg_util.h"
#include "wizard/pg_welc.h"
#include "wizard/vek_ids.h"

namespace {
constexpr int version_major = 1;
constexpr int version_minor = 0;

// Where the run begins (dialog 107): what is about to be converted. The
// run itself is not started from here yet.
class run_start_page : public wizard_page {
public:
    run_start_page(wizard_shell& shell, const dravik_convertor& conv)
        : wizard_page(shell, vek_step_style(vek_page::progress, L"Step 6 of 6", L"Convert database")),
          m_conv(conv),
          m_summary(new QLabel(this)) {
        m_summary->setWordWrap(true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_summary);
        layout->addStretch(1);
    }

    bool page_init() override {
        // As during a run: neither Back nor Next.
        shell().set_wizard_buttons(0);
        m_summary->setText(QString("Convert MySQL database %1 into PostgreSQL database %2: %3 tables, %4 queries, "
                                   "%5 views.")
                               .arg(QString::fromStdWString(m_conv.src), QString::fromStdWString(m_conv.dest))
                               .arg(m_conv.selected_tables.size())
                               .arg(m_conv.selected_queries.size())
                               .arg(m_conv.views.size()));
        return true;
    }
    void on_help() override { shell().display_help(); }

private:
    const dravik_convertor& m_conv;
    QLabel* m_summary;
};
}  // namespace

std::wstring vek_title() {
    return L"Tessaline " + std::to_wstring(version_major) + L"." + std::to_wstring(version_minor);
}

vek_shell::vek_shell(wizard_services services)
    : wizard_shell(vek_title(), vek_res::icon, vek_res::watermark, vek_res::header, services) {}

void vek_add_pages(wizard_shell& shell, dravik_convertor& conv) {
    shell.emplace_page<welcome_page>(conv, vek_profile_extension);
    shell.emplace_page<sql_settings_page2>(static_cast<mysql_converter_impl&>(conv));
    shell.emplace_page<pgs_settings_page_impl>(static_cast<pgs_converter_impl&>(conv));
    shell.emplace_page<sel_file_page>(conv);
    shell.emplace_page<vek_sel_tables_page>(conv);
    shell.emplace_page<vek_sel_views_page>(conv);
    shell.emplace_page<run_start_page>(conv);
}

void vek_run_hooks::on_run_started() {
    m_errors.clear_errors();
    m_errors.reset_error_count();
    if (wizard_shell* shell = wizard_shell::find()) shell->start_timer(timer_period_ms);
}

int vek_exit_code(wizard_shell::end how, const dravik_convertor& conv, const error_handler& errors) {
    const bool clean = how == wizard_shell::end::finished &&
                       conv.last_outcome() == dravik_convertor::run_outcome::completed && errors.error_count() == 0;
    return clean ? 0 : -1;
}
