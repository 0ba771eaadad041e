#pragma once
// gui_finish_page: the wizard's last page. It says how the run ended, lists
// the errors it reported, and offers Save Settings (what saving means is the
// program's). Finish is the only way out: Cancel and Help are disabled.
#include <cstdint>
#include <string>
#include <vector>

#include "gui2/g_wiz_pg.h"

namespace finish_id {
inline constexpr int title = 1313;
inline constexpr int text = 1314;
inline constexpr int errors = 1016;
inline constexpr int save = 1116;
}  // namespace finish_id

// How the run ended, as the finish page tells it.
struct finish_report {
    bool completed = false;           // every entry of the run was handled
    std::vector<std::string> errors;  // the texts listed (UTF-8), in the order reported
    std::uint64_t error_count = 0;    // every error reported, listed or not
};

struct finish_texts {
    std::wstring success;     // completed without an error
    std::wstring errors;      // completed, with errors
    std::wstring incomplete;  // ended before every entry was handled
};

class gui_finish_page : public wizard_page {
public:
    gui_finish_page(wizard_shell& shell, finish_texts texts);

    bool page_init() override;
    // Finish takes the focus, so that Enter ends the wizard after any run.
    QWidget* first_focus() override { return nullptr; }
    // The page's title as the outcome gives it.
    static constexpr const char* completed_title = "Conversion is Completed";
    static constexpr const char* incomplete_title = "Conversion is Not Completed";

protected:
    // Read once, when the page is shown (the run has ended by then).
    virtual finish_report report() const = 0;
    // Save Settings.
    virtual void on_save() {}

private:
    void show_errors(const finish_report& r);

    finish_texts m_texts;
};

// The line that follows the list when more errors were reported than listed.
std::string g_more_errors_text(std::uint64_t more);
