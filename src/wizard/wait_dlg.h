#pragma once
// The "please wait" dialog (101) and how a page talks to a server behind it.
// Every call to a server that a page makes runs on a worker thread while the
// dialog turns its icon, so the window keeps repainting and shows that it
// works; the user cannot close the dialog (Escape and the close box do
// nothing), and keys typed meanwhile go to the dialog, not to a page. It
// ends only once the job has ended, also when the job ends before the dialog
// has appeared. The caller reads the job's results only after its thread
// ended; what the job raised is raised again on the GUI thread once the
// dialog has closed, so every failure is shown after it.
#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include <QPixmap>
#include <QTimer>

#include "converter/dr_conv.h"
#include "gui2/g_dialog.h"
#include "tk/tk_threa.h"

class QLabel;
class wizard_shell;

namespace wait_id {
inline constexpr int dialog = 101;
inline constexpr int icon = 1301;
inline constexpr int text = 1300;
}  // namespace wait_id

// The server a call behind the dialog waits for.
enum class wait_server { mysql, pgs };

// What the dialog says while a call waits, and the server it waits for.
struct wait_reason {
    const wchar_t* text;
    wait_server server;
};

namespace wait_text {
// The connection pages' connects, and the listing of the databases.
inline constexpr wait_reason mysql{L"Connecting to MySQL server. Please wait...", wait_server::mysql};
inline constexpr wait_reason pgs{L"Connecting to PostgreSQL server. Please wait...", wait_server::pgs};
inline constexpr wait_reason mysql_database{L"Looking for the MySQL database. Please wait...", wait_server::mysql};
inline constexpr wait_reason pgs_database{L"Looking for the PostgreSQL database. Please wait...", wait_server::pgs};
inline constexpr wait_reason tables{L"Reading the list of MySQL tables. Please wait...", wait_server::mysql};
inline constexpr wait_reason views{L"Reading the list of MySQL views. Please wait...", wait_server::mysql};
inline constexpr wait_reason query{L"Checking the query. Please wait...", wait_server::mysql};
}  // namespace wait_text

// How a call behind the dialog is given up when its server does not answer:
// once `limit` has passed, `break_off` (on the GUI thread) shuts the call's
// connection down, so that the call fails at once and the wait ends. Without
// `break_off` the wait lasts as long as the call.
struct unanswered_call {
    std::chrono::milliseconds limit{std::chrono::seconds(30)};
    std::function<void()> break_off;
};

// The box's text when a server has not answered within `limit`.
std::wstring no_answer_text(const wait_reason& reason, std::chrono::milliseconds limit);

class please_wait_dlg : public g_dialog {
public:
    static constexpr int frame_count = 8;
    static constexpr int period_ms = 500;
    static constexpr unsigned first_frame_image = 502;  // 502 to 509

    please_wait_dlg(const std::wstring& title, g_dispatcher& dispatcher, QWidget* parent = nullptr,
                    const std::wstring& text = wait_text::mysql.text);

    // Counts `call.limit` from now; when it passes before the job has ended,
    // the call is broken off (again every second while the job still runs).
    void start_deadline(const unanswered_call& call);
    // The deadline passed and the call was broken off.
    bool gave_up() const noexcept { return m_gave_up; }

    // The job has ended: the dialog ends now, or as soon as it is shown.
    void end_wait();
    bool wait_ended() const noexcept { return m_ended; }

    int frame() const noexcept { return m_frame; }
    int period() const { return m_timer.interval(); }
    bool animating() const { return m_timer.isActive(); }
    // The next frame, after the last the first.
    void next_frame();

    void reject() override {}

protected:
    void on_init() override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void show_frame();
    void break_off();

    QLabel* m_icon;
    QTimer m_timer;
    QTimer m_deadline;
    std::function<void()> m_break_off;
    bool m_gave_up = false;
    std::array<QPixmap, frame_count> m_frames;
    int m_frame = 0;
    bool m_ended = false;
};

// Runs the job on a worker thread behind the please-wait dialog (owned by
// the active window, saying `reason`'s text) and returns once the job has
// ended. What the job raised is raised again here, after the dialog has
// closed; a call given up (`call`) raises a level-1 tk_exception with
// no_answer_text instead of the job's result or failure.
void run_behind_please_wait(wizard_shell& shell, tk_job& job, const wait_reason& reason = wait_text::mysql,
                            const unanswered_call& call = {});

// A job that makes one call.
class call_job : public tk_job {
public:
    explicit call_job(std::function<void()> call) : m_call(std::move(call)) {}
    void operator()() override { m_call(); }

private:
    std::function<void()> m_call;
};

// A call to a server made behind the please-wait dialog: its result, or
// what it raised, here on the GUI thread.
template <class F>
std::invoke_result_t<F&> wait_for_server(wizard_shell& shell, const wait_reason& reason,
                                         const unanswered_call& given_up, F call) {
    using result = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<result>) {
        call_job job([&] { call(); });
        run_behind_please_wait(shell, job, reason, given_up);
    } else {
        std::optional<result> out;
        call_job job([&] { out.emplace(call()); });
        run_behind_please_wait(shell, job, reason, given_up);
        return std::move(*out);
    }
}

// The converter's connection to one server as calls behind the dialog use
// it: how a call waiting on it is broken off (from the GUI thread), and how
// the next call (on its worker) makes it again when it was.
struct server_link {
    std::function<void()> break_off;
    std::function<void()> reopen;
};
server_link link_to(dravik_convertor& conv, wait_server server);

// A call over the converter's connection to the reason's server, given up
// after the converter's answer limit.
template <class F>
std::invoke_result_t<F&> wait_for_server(wizard_shell& shell, dravik_convertor& conv, const wait_reason& reason,
                                         F call) {
    const server_link link = link_to(conv, reason.server);
    return wait_for_server(shell, reason, unanswered_call{conv.answer_limit, link.break_off}, [&link, &call] {
        link.reopen();
        return call();
    });
}
