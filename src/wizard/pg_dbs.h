#pragma once
// sel_file_page (106): the source MySQL database, the destination
// PostgreSQL database and two options. The source is typed or picked from a
// drop-down that lists the MySQL server's databases the first time it opens.
// Every question to a server here is asked on a worker thread behind the
// please-wait dialog. When the destination exists, the overwrite dialog
// settles the conversion mode; nothing is dropped here (a run in mode 0
// drops the destination once its source has opened).
#include <string>
#include <vector>

#include "gui2/g_wiz_pg.h"

class dravik_convertor;

namespace dbs_id {
inline constexpr int source = 1302;
inline constexpr int dest = 1004;
inline constexpr int skip_idx = 1226;
inline constexpr int tab_def = 1228;
}  // namespace dbs_id

inline constexpr const wchar_t* overwrite_question_text =
    L"The destination database already exists. Select one of the\n"
    L"options below. Click 'Help' button for more information.";

class sel_file_page : public wizard_page {
public:
    sel_file_page(wizard_shell& shell, dravik_convertor& conv);

    bool page_init() override;
    void on_help() override;
    int on_next() override;
    int store_settings() override;

    // The source name as the drop-down shows it.
    std::wstring get_sql_title() const;
    bool listed() const noexcept { return m_listed; }

    // The drop-down: lists the databases the first time (until a listing
    // succeeds), then puts the source name on its item when one has it.
    bool on_dropdown();
    // A database picked from the list.
    void on_sel_change();

private:
    void store();
    bool list_databases();

    dravik_convertor& m_conv;
    bool m_listed = false;
};
