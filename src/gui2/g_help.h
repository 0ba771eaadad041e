#pragma once
// g_help_window: the help topics (HTML files of the program's help folder)
// in a window of their own beside the wizard, with Contents, Back and
// Forward. It stays open while the user goes on with the wizard.
#include <QWidget>

class QPushButton;
class QTextBrowser;

class g_help_window : public QWidget {
public:
    explicit g_help_window(QWidget* parent = nullptr);

    // Shows the topic file and brings the window to the front.
    void show_topic(const QString& topic_file);
    QString current_file() const;

private:
    void go_contents();
    void update_title();

    QTextBrowser* m_browser;
    QPushButton* m_contents;
    QPushButton* m_back;
    QPushButton* m_forward;
};
