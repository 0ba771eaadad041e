#pragma once
// g_presenter: everything the wizard shows or asks outside its own pages:
// message boxes, our modal dialogs (also those that only ask the user to
// wait), the file dialogs, the help window, the beep, the clipboard and
// links handed to the desktop. The program uses the
// Qt form (g_qt_presenter); tests use a scripted one that records what was
// shown and takes its answers from a queue. Called on the GUI thread only
// (g_carrier brings a worker's call there).
#include <optional>
#include <utility>
#include <vector>

#include <QString>

class QDialog;
class QUrl;
class QWidget;

enum class g_icon { none, error, information, question, warning };
enum class g_buttons { ok, yes_no, ok_cancel };
enum class g_button { ok, cancel, yes, no };

struct g_box {
    QWidget* owner = nullptr;  // null: a window of its own
    QString caption;
    QString text;
    g_icon icon = g_icon::none;
    g_buttons buttons = g_buttons::ok;
    g_button default_button = g_button::ok;
};

// One entry of a file dialog's filter: "Profile Files", "*.vek".
struct g_file_filter {
    QString description;
    QString pattern;
};

struct g_file_request {
    QWidget* owner = nullptr;
    QString title;
    std::vector<g_file_filter> filters;
    QString directory;  // where the dialog opens
    QString file_name;  // the name offered (no folder)
};

class g_presenter {
public:
    virtual ~g_presenter() = default;

    // A modal message box; the button the user chose (Escape: Cancel or No).
    virtual g_button show_box(const g_box& box) = 0;
    // Runs one of our modal dialogs and returns its end code.
    virtual int exec_dialog(QDialog& dialog) = 0;
    // Runs one of our modal dialogs that asks nothing and ends on its own
    // once the work it stands for has ended (the please-wait dialog).
    virtual int exec_wait_dialog(QDialog& dialog) = 0;
    // The chosen file's full path; nothing when the user cancelled.
    virtual std::optional<QString> open_file(const g_file_request& request) = 0;
    virtual std::optional<QString> save_file(const g_file_request& request) = 0;
    // Shows a help topic (an HTML file) in the help window, beside `owner`
    // (the wizard), titled with the owner's title and the topic.
    virtual void show_help(const QString& topic_file, QWidget* owner) = 0;
    virtual void beep() = 0;
    virtual void set_clipboard(const QString& text) = 0;
    // Hands a link (a mailto: for the bug report) to the desktop.
    virtual void open_url(const QUrl& url) = 0;
};
