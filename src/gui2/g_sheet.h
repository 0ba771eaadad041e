#pragma once
// g_sheet: the wizard's window. A watermark column on the exterior pages
// (welcome, finish), a header strip with the step's title and subtitle and
// the header image on the other pages, the page area, and the row of Help,
// Back, Next, Finish and Cancel. It only draws and forwards: what the buttons,
// F1, Escape, the close box and the timer do is the shell's business.
#include <functional>

#include <QDialog>
#include <QTimer>

#include "gui2/g_ctrls.h"

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QStackedWidget;
class QWidget;

// The sheet's own controls, by the ids its pages and the shell use.
namespace g_sheet_id {
inline constexpr int cancel = 2;
inline constexpr int help = 9;
inline constexpr int back = 0x3023;
inline constexpr int next = 0x3024;
inline constexpr int finish = 0x3025;
}  // namespace g_sheet_id

// The wizard buttons a page shows (combinable).
enum wizard_buttons : unsigned { wiz_back = 1, wiz_next = 2, wiz_finish = 4 };

class g_sheet : public QDialog {
public:
    struct handlers {
        std::function<void()> back, next, finish, cancel, help, timer;
    };

    g_sheet();

    void set_handlers(handlers h) { m_handlers = std::move(h); }
    void set_watermark(const QPixmap& image);
    void set_header_image(const QPixmap& image);

    void add_page(QWidget* page);
    // Makes the page the visible one, with its header (or the watermark).
    void show_page(QWidget* page, bool exterior, const QString& title, const QString& subtitle, bool has_help);
    QWidget* current_page() const;

    // The size the sheet opens at when `available` is the room on the
    // screen: the page area it prefers, less where the screen is smaller,
    // never less than its pages need; one size for the pages with the
    // watermark and those with the header.
    QSize opening_size(const QSize& available);
    // Takes that size on the free area of its screen (without panels and the
    // window's frame) and is centred there. Qt would otherwise open a window
    // at no more than two thirds of the screen, below what its pages need.
    void fit_to_screen();

    // Back is enabled with wiz_back; Finish takes Next's place with
    // wiz_finish; Next is enabled with wiz_next.
    void set_buttons(unsigned flags);
    unsigned buttons() const noexcept { return m_buttons; }

    g_controls& controls() noexcept { return m_controls; }

    // The row of Help, Back, Next, Finish and Cancel, in screen coordinates:
    // what a window put beside the sheet must leave in sight.
    QRect button_row_geometry() const;

    void start_timer(int period_ms);
    void stop_timer();
    bool timer_active() const { return m_timer.isActive(); }
    int timer_period() const { return m_timer.interval(); }

    // The header's texts as shown (for tests and captures).
    QString header_title() const;
    QString header_subtitle() const;
    bool header_visible() const;
    bool watermark_visible() const;

    // Escape and the close box: the shell decides.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    static void call(const std::function<void()>& f) {
        if (f) f();
    }
    // The watermark column (exterior pages) or the header strip.
    void show_look(bool exterior);

    handlers m_handlers;
    g_controls m_controls;
    QLabel* m_watermark;
    QWidget* m_header;
    QWidget* m_header_line;
    QLabel* m_title;
    QLabel* m_subtitle;
    QLabel* m_header_image;
    QWidget* m_body;
    QStackedWidget* m_stack;
    QGridLayout* m_page_box;
    QHBoxLayout* m_button_row;
    QTimer m_timer;
    unsigned m_buttons = 0;
    bool m_exterior = true;
};
