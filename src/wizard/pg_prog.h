#pragma once
// progress_page: runs the conversion on its worker thread as soon as it is
// shown and follows it on every tick of the shell's 200 ms timer: the bar,
// the table being converted, and the move to the finish page when the run
// has ended. Cancel holds the run while it asks, then stops it before its
// next step and keeps the window until the worker has ended.
#include <cstdint>

#include "gui2/g_wiz_pg.h"
#include "tk/tk_threa.h"

class dravik_convertor;
class error_handler;

namespace progress_id {
inline constexpr int bar = 1321;
inline constexpr int status = 1323;
}  // namespace progress_id

// The bar's position from the run's counters: entries of the run and those
// done, records of the current entry and those done. 0 to 100; every term is
// truncated on its own, in 64 bits.
int progress_position(std::uint64_t entries, std::uint64_t entries_done, std::uint64_t records,
                      std::uint64_t records_done);

class progress_page : public wizard_page {
public:
    static constexpr unsigned timer_period_ms = 200;

    progress_page(wizard_shell& shell, dravik_convertor& conv, error_handler& errors);
    // Destroying the thread member asks a run still going to stop and waits.
    ~progress_page() override;

    bool page_init() override;
    void on_help() override;
    void on_timer() override;
    // While the run goes on: the question, then the stop; the sheet ends once
    // the worker has ended. Otherwise the usual question.
    bool on_cancel() override;

    // A run was started and has not ended yet.
    bool run_in_progress() const;
    // Cancel was confirmed and the run is being stopped.
    bool stopping() const noexcept { return m_stopping; }

private:
    void show_progress(bool finished);

    dravik_convertor& m_conv;
    error_handler& m_errors;
    bool m_started = false;
    bool m_asking = false;  // the Cancel question is open: the page stays where it is
    bool m_stopping = false;
    // Runs the converter, which it borrows. Last: joined before the rest of
    // the page goes.
    tk_thread m_thread;
};
