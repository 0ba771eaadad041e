#include "gui2/g_qt_pres.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "gui2/g_help.h"

namespace {
QMessageBox::StandardButton qt_button(g_button b) {
    switch (b) {
    case g_button::cancel: return QMessageBox::Cancel;
    case g_button::yes: return QMessageBox::Yes;
    case g_button::no: return QMessageBox::No;
    default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon qt_icon(g_icon icon) {
    switch (icon) {
    case g_icon::error: return QMessageBox::Critical;
    case g_icon::information: return QMessageBox::Information;
    case g_icon::question: return QMessageBox::Question;
    case g_icon::warning: return QMessageBox::Warning;
    default: return QMessageBox::NoIcon;
    }
}

QString start_path(const g_file_request& r) {
    const QDir dir(r.directory.isEmpty() ? QDir::currentPath() : r.directory);
    return r.file_name.isEmpty() ? dir.path() : dir.filePath(r.file_name);
}
}  // namespace

QString g_qt_filter(const std::vector<g_file_filter>& filters) {
    QStringList parts;
    for (const g_file_filter& f : filters) parts << f.description + " (" + f.pattern + ")";
    return parts.join(";;");
}

g_qt_presenter::g_qt_presenter() = default;

g_qt_presenter::~g_qt_presenter() = default;

g_button g_qt_presenter::show_box(const g_box& box) {
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (box.buttons == g_buttons::yes_no) buttons = QMessageBox::Yes | QMessageBox::No;
    if (box.buttons == g_buttons::ok_cancel) buttons = QMessageBox::Ok | QMessageBox::Cancel;
    QMessageBox mb(qt_icon(box.icon), box.caption, box.text, buttons, box.owner);
    mb.setDefaultButton(qt_button(box.default_button));
    switch (mb.exec()) {
    case QMessageBox::Yes: return g_button::yes;
    case QMessageBox::No: return g_button::no;
    case QMessageBox::Cancel: return g_button::cancel;
    default: return box.buttons == g_buttons::yes_no ? g_button::no : g_button::ok;
    }
}

int g_qt_presenter::exec_dialog(QDialog& dialog) { return dialog.exec(); }

int g_qt_presenter::exec_wait_dialog(QDialog& dialog) { return dialog.exec(); }

std::optional<QString> g_qt_presenter::open_file(const g_file_request& r) {
    const QString path = QFileDialog::getOpenFileName(r.owner, r.title, start_path(r), g_qt_filter(r.filters));
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> g_qt_presenter::save_file(const g_file_request& r) {
    // Replacing a file is asked by the caller, once the default extension
    // has been added to the chosen name.
    const QString path = QFileDialog::getSaveFileName(r.owner, r.title, start_path(r), g_qt_filter(r.filters), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

void g_qt_presenter::show_help(const QString& topic_file) {
    if (!m_help) m_help = std::make_unique<g_help_window>();
    m_help->show_topic(topic_file);
}

void g_qt_presenter::beep() { QApplication::beep(); }

void g_qt_presenter::set_clipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

void g_qt_presenter::open_url(const QUrl& url) { QDesktopServices::openUrl(url); }
