#pragma once
// The "please wait" dialog (101) and how a page runs a short job behind it.
// The job runs on a worker thread while the dialog turns its icon; the user
// cannot close the dialog (Escape and the close box do nothing), and it ends
// only once the job has ended, also when the job ends before the dialog has
// appeared. The caller reads the job's results only after its thread ended.
#include <array>
#include <string>

#include <QPixmap>
#include <QTimer>

#include "gui2/g_dialog.h"

class QLabel;
class tk_job;
class wizard_shell;

namespace wait_id {
inline constexpr int dialog = 101;
inline constexpr int icon = 1301;
}  // namespace wait_id

class please_wait_dlg : public g_dialog {
public:
    static constexpr int frame_count = 8;
    static constexpr int period_ms = 500;
    static constexpr unsigned first_frame_image = 502;  // 502 to 509

    please_wait_dlg(const std::wstring& title, g_dispatcher& dispatcher, QWidget* parent = nullptr);

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
// the active window) and returns once the job has ended. The job reports
// its own failures; nothing it raises reaches the caller.
void run_behind_please_wait(wizard_shell& shell, tk_job& job);
