#pragma once
// A scripted presenter: records every box, dialog, file request, help topic,
// clipboard text and link, and answers from queues.
#include <QApplication>
#include <QDialog>
#include <QUrl>
#include <deque>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "gui2/g_presen.h"

struct shown_box {
    QString caption;
    QString text;
    g_icon icon;
    g_buttons buttons;
    g_button default_button;
    bool owned;
    std::thread::id thread;
};

struct shown_dialog {
    QString caption;
    int dialog_id;  // from the object name "dialog_<id>", 0 when none
    std::thread::id thread;
    int result;
};

class fake_presenter : public g_presenter {
public:
    std::vector<shown_box> boxes;
    // Answers of the boxes in order; when empty a box answers with its
    // default button.
    std::deque<g_button> box_answers;
    // Runs while each box is open, before it is answered.
    std::function<void(const g_box&)> while_box_open;
    std::vector<shown_dialog> dialogs;
    // Each dialog is handed to the next script entry, which returns the end
    // code (clicking a button of the dialog and returning result() is the
    // usual way); when empty a dialog ends with 0.
    std::deque<std::function<int(QDialog&)>> dialog_script;
    // The dialogs that only ask the user to wait (please wait), apart from
    // the others; each is handed to the next entry of wait_script, and when
    // that is empty it runs modally until its work has ended, as in the
    // program.
    std::vector<shown_dialog> waits;
    std::deque<std::function<int(QDialog&)>> wait_script;
    std::vector<g_file_request> file_requests;
    std::deque<std::optional<QString>> file_answers;  // empty: cancelled
    std::vector<QString> help_files;
    int beeps = 0;
    QString clipboard;
    std::vector<QUrl> urls;

    g_button show_box(const g_box& box) override {
        boxes.push_back({box.caption, box.text, box.icon, box.buttons, box.default_button, box.owner != nullptr,
                         std::this_thread::get_id()});
        if (while_box_open) while_box_open(box);
        if (box_answers.empty()) return box.default_button;
        const g_button b = box_answers.front();
        box_answers.pop_front();
        return b;
    }
    int exec_dialog(QDialog& dialog) override {
        return run_scripted(dialog, dialog_script, dialogs, [](QDialog&) { return 0; });
    }
    int exec_wait_dialog(QDialog& dialog) override {
        return run_scripted(dialog, wait_script, waits, [](QDialog& d) { return d.exec(); });
    }
    std::optional<QString> open_file(const g_file_request& request) override { return file(request); }
    std::optional<QString> save_file(const g_file_request& request) override { return file(request); }
    void show_help(const QString& topic_file, QWidget*) override { help_files.push_back(topic_file); }
    void beep() override { ++beeps; }
    void set_clipboard(const QString& text) override { clipboard = text; }
    void open_url(const QUrl& url) override { urls.push_back(url); }

    // The texts of the boxes shown so far.
    std::vector<QString> texts() const {
        std::vector<QString> out;
        for (const shown_box& b : boxes) out.push_back(b.text);
        return out;
    }

private:
    using dialog_step = std::function<int(QDialog&)>;

    // Hands the dialog to the script's next entry, else to `unscripted`, and
    // records it with the end code.
    static int run_scripted(QDialog& dialog, std::deque<dialog_step>& script, std::vector<shown_dialog>& shown,
                            const dialog_step& unscripted) {
        const QString name = dialog.objectName();
        const int id = name.startsWith("dialog_") ? name.mid(7).toInt() : 0;
        dialog_step step = unscripted;
        if (!script.empty()) {
            step = std::move(script.front());
            script.pop_front();
        }
        const int result = step(dialog);
        shown.push_back({dialog.windowTitle(), id, std::this_thread::get_id(), result});
        return result;
    }
    std::optional<QString> file(const g_file_request& request) {
        file_requests.push_back(request);
        if (file_answers.empty()) return std::nullopt;
        const std::optional<QString> answer = file_answers.front();
        file_answers.pop_front();
        // Rebuilt rather than returned as is: GCC 12 takes a returned
        // optional<QString> for maybe uninitialized.
        if (!answer) return std::nullopt;
        return *answer;
    }
};
