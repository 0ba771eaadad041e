#include "gui2/g_err_dl.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "tk/tk_clip.h"
#include "tk/tk_log.h"
#include "tk/tk_mail.h"
#include "tk/tk_utils.h"

namespace {
QLabel* message_label(QWidget* parent, const std::wstring& text) {
    auto* label = new QLabel(QString::fromStdWString(text), parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(360);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}
}  // namespace

QString g_error_caption(const std::wstring& title) {
    return title.empty() ? QStringLiteral("Error") : QString::fromStdWString(title) + " Error";
}

dlg_error_ex::dlg_error_ex(const std::wstring& message, const std::wstring& title, g_dispatcher& dispatcher,
                           QWidget* parent)
    : g_dialog(g_err_id::internal_dialog, dispatcher, parent), m_message(message), m_title(title) {
    tk_trace(1, "dlg_error_ex::ctor");
    setWindowTitle(g_error_caption(title));
    auto* text = message_label(this, message);
    auto* send = new QPushButton(tr("Send bug"), this);
    auto* ok = new QPushButton(tr("OK"), this);
    auto* copy = new QPushButton(tr("Copy to clipboard"), this);
    send->setDefault(true);
    controls().add(g_err_id::message, text);
    controls().add(g_err_id::send_bug, send);
    controls().add(g_err_id::ok, ok);
    controls().add(g_err_id::copy, copy);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(send, QDialogButtonBox::ActionRole);
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(copy, QDialogButtonBox::ActionRole);
    auto* grid = new QGridLayout(this);
    grid->addWidget(g_message_icon(this, false), 0, 0);
    grid->addWidget(text, 0, 1);
    grid->addWidget(buttons, 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(16);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    on_click(g_err_id::ok, [this] { done(g_err_id::ok); });
    on_click(g_err_id::copy, [this] {
        tk_copy_to_clipboard2(m_message);
        done(g_err_id::copy);
    });
    on_click(g_err_id::send_bug, [this] {
        tk_send_bug(tk_w2a_or_marks(m_title), tk_w2a_or_marks(m_message));
        done(g_err_id::send_bug);
    });
}

void dlg_error_ex::on_init() {
    tk_trace(1, "dlg_error_ex::on_init");
    raise();
    activateWindow();
}

dlg_error_continue::dlg_error_continue(const std::wstring& message, const std::wstring& title, g_dispatcher& dispatcher,
                                       QWidget* parent)
    : g_dialog(g_err_id::continue_dialog, dispatcher, parent), m_message(message) {
    tk_trace(1, "dlg_error_continue::ctor");
    setWindowTitle(g_error_caption(title));
    auto* text = message_label(this, message);
    auto* check = new QCheckBox(tr("&Do not show this dialog box again"), this);
    auto* cont = new QPushButton(tr("Continue"), this);
    auto* abort = new QPushButton(tr("Abort"), this);
    cont->setDefault(true);
    controls().add(g_err_id::message, text);
    controls().add(g_err_id::dont_show, check);
    controls().add(g_err_id::continue_run, cont);
    controls().add(g_err_id::abort_run, abort);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cont, QDialogButtonBox::AcceptRole);
    buttons->addButton(abort, QDialogButtonBox::RejectRole);
    auto* grid = new QGridLayout(this);
    grid->addWidget(g_message_icon(this, false), 0, 0, 2, 1);
    grid->addWidget(text, 0, 1);
    grid->addWidget(check, 1, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(12);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    on_click(g_err_id::continue_run, [this] { done(g_err_id::continue_run); });
    on_click(g_err_id::abort_run, [this] { done(g_err_id::abort_run); });
}

void dlg_error_continue::reject() { done(g_err_id::continue_run); }

void dlg_error_continue::on_init() {
    tk_trace(1, "dlg_error_continue::on_init");
    raise();
    activateWindow();
}
