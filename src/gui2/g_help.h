#pragma once
// g_help_window: the help topics (HTML files of the program's help folder)
// in a window of their own beside the wizard, with Contents, Back and
// Forward. It stays open while the user goes on with the wizard; Escape
// closes it.
#include <QPointer>
#include <QWidget>

class QPushButton;
class QTextBrowser;

class g_help_window : public QWidget {
public:
    explicit g_help_window(QWidget* parent = nullptr);

    // Shows the topic file in front of the window the user is in (a modal
    // dialog when one is open, else `owner`, the wizard) and gives it the
    // keyboard focus; closing it gives the focus back to the control that
    // had it. The first time, and whenever it was closed, it opens beside
    // `owner` on the owner's screen; its title and icon are the owner's.
    void show_topic(const QString& topic_file, QWidget* owner = nullptr);
    QString current_file() const;

    // The size it opens with where there is room, and the narrowest it is
    // made to fit beside the wizard (without the window manager's frame).
    static constexpr QSize usual_size{640, 520};
    int min_readable_width() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void go_contents();
    void update_title();
    void place_beside(const QWidget& owner);
    void stand_in_front_of(QWidget* window);
    void give_back_focus();

    QTextBrowser* m_browser;
    QPushButton* m_contents;
    QPushButton* m_back;
    QPushButton* m_forward;
    QString m_program_title;
    QPointer<QWidget> m_owner;         // the wizard
    QPointer<QWidget> m_focus_before;  // the control that had the focus when help was asked for
};

// Where the help window goes (its frame, in screen coordinates) for the
// wizard's frame `wizard`, whose row of buttons is `buttons`, on the
// available area `screen`. `usual` is the frame at its usual size,
// `min_width` the narrowest frame still worth reading.
//   1. Beside the wizard at the usual width: right of it, else left of it.
//   2. Else narrower, down to `min_width`, on the side with more room.
//   3. Else over the wizard at the usual width against the screen's right
//      edge, but above its row of buttons (or below the wizard, when there
//      is more room there), made lower to fit.
// Always whole on the screen.
QRect g_place_help(const QRect& screen, const QRect& wizard, const QRect& buttons, QSize usual, int min_width);
