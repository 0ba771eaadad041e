#pragma once
// The presenter of the program: Qt's message boxes and file dialogs, the
// help window, the desktop's clipboard and link handling.
#include <memory>

#include <QFileDialog>
#include <QString>

#include "gui2/g_presen.h"

class g_help_window;

class g_qt_presenter : public g_presenter {
public:
    g_qt_presenter();
    ~g_qt_presenter() override;

    g_button show_box(const g_box& box) override;
    int exec_dialog(QDialog& dialog) override;
    int exec_wait_dialog(QDialog& dialog) override;
    std::optional<QString> open_file(const g_file_request& request) override;
    std::optional<QString> save_file(const g_file_request& request) override;
    void show_help(const QString& topic_file, QWidget* owner) override;
    void beep() override;
    void set_clipboard(const QString& text) override;
    void open_url(const QUrl& url) override;

private:
    std::optional<QString> run_file_dialog(const g_file_request& request, QFileDialog::AcceptMode mode);

    std::unique_ptr<g_help_window> m_help;
    QString m_last_folder;  // of the last file chosen in a file dialog
};

// "Description (pattern);;..." as the Qt file dialogs take their filters.
QString g_qt_filter(const std::vector<g_file_filter>& filters);
