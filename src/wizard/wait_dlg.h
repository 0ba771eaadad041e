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
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include <QPixmap>
#include <QTimer>

#include "gui2/g_dialog.h"
#include "tk/tk_threa.h"

class QLabel;
class wizard_shell;

namespace wait_id {
inline constexpr int dialog = 101;
inline constexpr int icon = 1301;
inline constexpr int text = 1300;
}  // namespace wait_id

// What the dialog says while it waits for each server.
namespace wait_text {
inline constexpr const wchar_t* mysql = L"Connecting to MySQL server. Please wait...";
inline constexpr const wchar_t* pgs = L"Connecting to PostgreSQL server. Please wait...";
}  // namespace wait_text

class please_wait_dlg : public g_dialog {
public:
    static constexpr int frame_count = 8;
    static constexpr int period_ms = 500;
    static constexpr unsigned first_frame_image = 502;  // 502 to 509

    please_wait_dlg(const std::wstring& title, g_dispatcher& dispatcher, QWidget* parent = nullptr,
                    const std::wstring& text = wait_text::mysql);

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

    QLabel* m_icon;
    QTimer m_timer;
    std::array<QPixmap, frame_count> m_frames;
    int m_frame = 0;
    bool m_ended = false;
};

// Runs the job on a worker thread behind the please-wait dialog (owned by
// the active window, saying `text`) and returns once the job has ended.
// What the job raised is raised again here, after the dialog has closed.
void run_behind_please_wait(wizard_shell& shell, tk_job& job, const std::wstring& text = wait_text::mysql);

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
std::invoke_result_t<F&> wait_for_server(wizard_shell& shell, const std::wstring& text, F call) {
    using result = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<result>) {
        call_job job([&] { call(); });
        run_behind_please_wait(shell, job, text);
    } else {
        std::optional<result> out;
        call_job job([&] { out.emplace(call()); });
        run_behind_please_wait(shell, job, text);
        return std::move(*out);
    }
}
