#include "wizard/wait_dlg.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <exception>

#include "gui2/g_presen.h"
#include "gui2/g_wiz_sh.h"
#include "postgres/pgs_engi.h"
#include "sql/sql_engi.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_threa.h"

namespace {
constexpr int icon_size = 32;

// Runs the page's job, keeping what it raised, then tells the dialog on the
// GUI thread that it has ended. The dialog outlives the thread, so the call
// always finds it.
class ending_job : public tk_job {
public:
    ending_job(tk_job& job, please_wait_dlg& dialog) : m_job(job), m_dialog(dialog) {}

    void operator()() override {
        try {
            m_job();
        } catch (...) {
            // Raised again on the GUI thread: the wait must end regardless.
            tk_trace(2, "please wait: the job raised");
            m_failure = std::current_exception();
        }
        please_wait_dlg* dialog = &m_dialog;
        QMetaObject::invokeMethod(
            dialog, [dialog] { dialog->end_wait(); }, Qt::QueuedConnection);
    }

    // Read once the thread has ended.
    std::exception_ptr failure() const { return m_failure; }

private:
    tk_job& m_job;
    please_wait_dlg& m_dialog;
    std::exception_ptr m_failure;
};
}  // namespace

please_wait_dlg::please_wait_dlg(const std::wstring& title, g_dispatcher& dispatcher, QWidget* parent,
                                 const std::wstring& text)
    : g_dialog(wait_id::dialog, dispatcher, parent), m_icon(new QLabel(this)) {
    // A title, but neither a close box nor a system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QString::fromStdWString(title));
    for (int i = 0; i < frame_count; ++i) {
        const QPixmap image = g_resource_image(first_frame_image + static_cast<unsigned>(i));
        m_frames[static_cast<std::size_t>(i)] =
            image.isNull() ? image : image.scaled(icon_size, icon_size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    m_icon->setFixedSize(icon_size, icon_size);
    controls().add(wait_id::icon, m_icon);
    auto* label = new QLabel(QString::fromStdWString(text), this);
    controls().add(wait_id::text, label);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 16, 28, 16);
    row->setSpacing(16);
    row->addWidget(m_icon);
    row->addWidget(label, 1);
    row->setSizeConstraint(QLayout::SetFixedSize);
    show_frame();

    m_timer.setInterval(period_ms);
    connect(&m_timer, &QTimer::timeout, this, [this] { next_frame(); });
}

void please_wait_dlg::start_deadline(const unanswered_call& call) {
    if (!call.break_off) return;
    m_break_off = call.break_off;
    m_deadline.setSingleShot(false);
    m_deadline.setInterval(static_cast<int>(call.limit.count()));
    connect(&m_deadline, &QTimer::timeout, this, [this] { break_off(); });
    m_deadline.start();
}

void please_wait_dlg::break_off() {
    if (m_ended) return m_deadline.stop();
    tk_trace(2, "please wait: the server has not answered in time, the call is broken off");
    m_gave_up = true;
    m_break_off();
    // A call that was still connecting had no connection to break yet: its
    // own connect gives up, and what it sends then is broken off next time.
    m_deadline.setInterval(1000);
}

void please_wait_dlg::show_frame() { m_icon->setPixmap(m_frames[static_cast<std::size_t>(m_frame)]); }

void please_wait_dlg::next_frame() {
    m_frame = (m_frame + 1) % frame_count;
    show_frame();
}

void please_wait_dlg::on_init() {
    raise();
    activateWindow();
}

void please_wait_dlg::showEvent(QShowEvent* event) {
    g_dialog::showEvent(event);
    if (!m_ended) return m_timer.start();
    // The job ended before the dialog appeared.
    QMetaObject::invokeMethod(
        this, [this] { done(0); }, Qt::QueuedConnection);
}

void please_wait_dlg::end_wait() {
    m_ended = true;
    m_timer.stop();
    m_deadline.stop();
    if (isVisible()) done(0);
}

void please_wait_dlg::closeEvent(QCloseEvent* event) {
    if (!m_ended) return event->ignore();
    g_dialog::closeEvent(event);
}

std::wstring no_answer_text(const wait_reason& reason, std::chrono::milliseconds limit) {
    const std::wstring server = reason.server == wait_server::mysql ? L"MySQL" : L"PostgreSQL";
    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    return L"The " + server + L" server did not answer within " + std::to_wstring(seconds) +
           L" seconds. Check to verify that " + server + L" server\nis not stopped or overloaded, and try again.";
}

namespace {
template <class Engine>
server_link link_to(Engine& engine) {
    return {[&engine] { engine.break_connection(); }, [&engine] { engine.reopen_if_broken(); }};
}
}  // namespace

server_link link_to(dravik_convertor& conv, wait_server server) {
    if (server == wait_server::mysql) return link_to(conv.mysql_converter_impl::engine);
    return link_to(conv.pgs_converter_impl::engine);
}

void run_behind_please_wait(wizard_shell& shell, tk_job& job, const wait_reason& reason, const unanswered_call& call) {
    please_wait_dlg dialog(shell.title(), shell.dispatcher(), shell.dialog_owner(nullptr), reason.text);
    ending_job ending(job, dialog);
    {
        tk_thread thread(ending);
        dialog.start_deadline(call);
        thread.start();
        shell.presenter().exec_wait_dialog(dialog);
        // Leaving the scope waits for the job: its results are read only once
        // it has ended (a server call cannot be stopped part-way but by
        // breaking its connection off; the request to stop that the thread
        // sends on the way is not looked at).
    }
    const std::exception_ptr failure = ending.failure();
    if (dialog.gave_up()) {
        // What the call returned or raised after its connection was broken
        // off tells nothing: the server did not answer.
        if (failure) tk_trace(2, "please wait: the call that was given up raised");
        throw tk_exception(no_answer_text(reason, call.limit), 1);
    }
    if (failure) std::rethrow_exception(failure);
}
