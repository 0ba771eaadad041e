#include "gui2/g_qt_pres.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeView>
#include <QUrl>

#include "gui2/g_dialog.h"
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

// A box as wide as its title needs: the window manager cuts a title that is
// wider than the window, and a box sizes itself by its text alone. The room
// is the title's text plus the frame's icon and buttons.
void fit_title(QMessageBox& mb) {
    auto* grid = qobject_cast<QGridLayout*>(mb.layout());
    if (!grid) return;
    const int title_room = 160;
    const int width = mb.fontMetrics().horizontalAdvance(mb.windowTitle()) + title_room;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

// Where a file dialog opens: the folder the caller names, else the folder
// of the last file chosen, else the home folder.
QString start_folder(const g_file_request& r, const QString& last_folder) {
    if (!r.directory.isEmpty()) return r.directory;
    return last_folder.isEmpty() ? QDir::homePath() : last_folder;
}

// The name column takes what is left once size, type and date show whole.
void fit_columns(QFileDialog& dialog) {
    auto* tree = dialog.findChild<QTreeView*>("treeView");
    if (!tree) return;
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
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
    QMessageBox mb(qt_icon(box.icon), box.caption, box.text, buttons, box.owner, g_fixed_dialog_flags);
    mb.setDefaultButton(qt_button(box.default_button));
    fit_title(mb);
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
    return run_file_dialog(r, QFileDialog::AcceptOpen);
}

std::optional<QString> g_qt_presenter::save_file(const g_file_request& r) {
    return run_file_dialog(r, QFileDialog::AcceptSave);
}

std::optional<QString> g_qt_presenter::run_file_dialog(const g_file_request& r, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(r.owner, r.title, start_folder(r, m_last_folder), g_qt_filter(r.filters));
    // Qt's own dialog on every desktop, so that its columns can be fitted.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) dialog.setFileMode(QFileDialog::ExistingFile);
    // Replacing a file is asked by the caller, once the default extension
    // has been added to the chosen name.
    if (mode == QFileDialog::AcceptSave) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!r.file_name.isEmpty()) dialog.selectFile(r.file_name);
    const QFontMetrics metrics(dialog.font());
    dialog.resize(dialog.sizeHint().expandedTo(QSize(metrics.averageCharWidth() * 140, metrics.lineSpacing() * 32)));
    fit_columns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString path = dialog.selectedFiles().front();
    m_last_folder = QFileInfo(path).absolutePath();
    return path;
}

void g_qt_presenter::show_help(const QString& topic_file, QWidget* owner) {
    if (!m_help) m_help = std::make_unique<g_help_window>();
    m_help->show_topic(topic_file, owner);
}

void g_qt_presenter::beep() { QApplication::beep(); }

void g_qt_presenter::set_clipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

void g_qt_presenter::open_url(const QUrl& url) { QDesktopServices::openUrl(url); }
