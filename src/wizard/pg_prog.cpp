#include "wizard/pg_prog.h"

#include <algorithm>

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "gui2/g_carry.h"
#include "gui2/g_wiz_sh.h"
#include "tk/tk_log.h"
#include "wizard/vek_ids.h"

namespace {
constexpr std::size_t status_limit = 255;  // characters of the status line

wizard_page_style progress_style() {
    wizard_page_style s;
    s.dialog_id = vek_page::progress;
    s.buttons = wiz_back | wiz_next;  // cleared by page_init: nothing but Cancel while the run lasts
    s.header_title = L"Step 6 of 6";
    s.header_subtitle = L"Database conversion is in progress";
    return s;
}

QString status_text(const std::wstring& table) {
    if (table.empty()) return {};
    const std::wstring head = L"Processing table '", tail = L"'";
    std::wstring name = table;
    const std::size_t room = status_limit - head.size() - tail.size();
    if (name.size() > room) name = name.substr(0, room - 3) + L"...";
    return QString::fromStdWString(head + name + tail);
}
}  // namespace

int progress_position(std::uint64_t entries, std::uint64_t entries_done, std::uint64_t records,
                      std::uint64_t records_done) {
    if (entries == 0) return 0;
    // A table may hold more rows than it had when it was counted, and the
    // counters are read one by one while the run moves on.
    entries_done = std::min(entries_done, entries);
    std::uint64_t position = entries_done * 100 / entries;
    if (records != 0) {
        records_done = std::min(records_done, records);
        // records_done * 100 cannot overflow for any count a table can have;
        // divide first only where it could.
        const std::uint64_t percent =
            records_done <= UINT64_MAX / 100 ? records_done * 100 / records : records_done / (records / 100);
        position += percent / entries;
    }
    return static_cast<int>(std::min<std::uint64_t>(position, 100));
}

progress_page::progress_page(wizard_shell& shell, dravik_convertor& conv, error_handler& errors)
    : wizard_page(shell, progress_style()), m_conv(conv), m_errors(errors), m_thread(conv) {
    auto* line1 = new QLabel(tr("Database conversion is in progress. Please wait until wizard completes"), this);
    auto* line2 = new QLabel(tr("moving your MySQL database to PostgreSQL server."), this);
    auto* bar = add_control(progress_id::bar, new QProgressBar(this));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    auto* status = add_control(progress_id::status, new QLabel(this));
    status->setTextFormat(Qt::PlainText);
    status->setMinimumWidth(1);  // a long name must not widen the sheet

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(line1);
    layout->addWidget(line2);
    layout->addSpacing(24);
    layout->addWidget(bar);
    layout->addSpacing(6);
    layout->addWidget(status);
    layout->addStretch(1);
}

progress_page::~progress_page() = default;

bool progress_page::run_in_progress() const { return m_started && !m_conv.b_finished.load(std::memory_order_acquire); }

bool progress_page::page_init() {
    tk_trace(1, "progress_page::page_init");
    shell().set_wizard_buttons(0);
    controls().set_pos(progress_id::bar, 0);
    controls().set_text(progress_id::status, QString());
    if (m_started) return true;  // one run per page

    // The finish page reports this run alone.
    m_errors.clear_errors();
    m_errors.reset_error_count();
    m_conv.b_finished.store(false, std::memory_order_release);
    // The timer belongs to this (the GUI) thread: it runs before the run does.
    shell().start_timer(timer_period_ms);
    try {
        m_thread.start();
    } catch (...) {
        shell().stop_timer();
        throw;
    }
    m_started = true;
    return true;
}

void progress_page::on_help() { shell().display_help(); }

void progress_page::show_progress(bool finished) {
    if (finished && m_conv.last_outcome() == dravik_convertor::run_outcome::completed) {
        controls().set_pos(progress_id::bar, 100);
    } else if (!finished) {
        // Each counter read once; a stale one shows until the next tick.
        const std::uint64_t records = static_cast<std::uint64_t>(std::max<std::int64_t>(m_conv.n_records.load(), 0));
        const std::uint64_t done = static_cast<std::uint64_t>(std::max<std::int64_t>(m_conv.n_records_done.load(), 0));
        controls().set_pos(progress_id::bar,
                           progress_position(m_conv.n_tables.load(), m_conv.n_tables_done.load(), records, done));
    }
    // A run that ended early keeps its last position.
    if (!m_stopping) controls().set_text(progress_id::status, finished ? QString() : status_text(m_conv.cur_table()));
}

void progress_page::on_timer() {
    tk_trace(1, "progress_page::on_timer");
    const bool finished = m_conv.b_finished.load(std::memory_order_acquire);
    show_progress(finished);
    if (!finished || m_asking) return;
    shell().stop_timer();
    if (m_stopping) {
        tk_trace(2, "progress_page: the run has stopped, the wizard ends");
        shell().end_wizard(wizard_shell::end::cancelled);
        return;
    }
    shell().set_cur_sel_id(vek_page::finish);
}

bool progress_page::on_cancel() {
    tk_trace(2, "progress_page::on_cancel");
    if (m_stopping) return false;  // on the way out already
    if (!run_in_progress()) return wizard_page::on_cancel();

    m_asking = true;
    bool yes = false, stop = false;
    {
        // The run waits at its next record, table or commit while the
        // question is open, so that what it says still holds at the answer.
        const tk_job_hold hold(m_conv);
        yes =
            shell().question(L"The conversion is in progress. Are you sure you want to stop it and exit the wizard?\n\n"
                             L"Tables converted so far stay in the destination; the table being converted is not kept.",
                             g_button::no);
        // Asked before the hold ends: the run takes no further step.
        stop = yes && run_in_progress();
        if (stop) m_conv.request_stop();
    }
    m_asking = false;
    if (!yes) return false;
    if (!stop) return true;  // it had ended (past its last commit) when the question opened

    tk_trace(2, "progress_page: stopping the run");
    m_stopping = true;
    shell().set_wizard_buttons(0);
    shell().enable_button(g_sheet_id::cancel, false);
    shell().enable_button(g_sheet_id::help, false);
    // No box of the run reaches the screen any more: a Continue/Abort
    // question it asks (or has asked and waits for) is answered with Abort.
    shell().carrier().close();
    controls().set_text(progress_id::status, tr("Stopping the conversion..."));
    return false;
}
