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

    // Shows the topic file and brings the window to the front. The first
    // time, and whenever it was closed, it opens beside `owner` on the
    // owner's screen; its title and icon are the owner's.
    void show_topic(const QString& topic_file, QWidget* owner = nullptr);
    QString current_file() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void go_contents();
    void update_title();
    void place_beside(const QWidget& owner);

    QTextBrowser* m_browser;
    QPushButton* m_contents;
    QPushButton* m_back;
    QPushButton* m_forward;
    QString m_program_title;
};

// Where a window of `size` (its frame included) goes beside `owner` (a frame)
// on `screen` (the available area): right of the owner, else left of it,
// else against the screen's right edge; always whole on the screen.
QPoint g_place_beside(const QRect& owner, const QSize& size, const QRect& screen);
