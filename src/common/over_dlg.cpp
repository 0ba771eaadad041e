#include "common/over_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui2/g_presen.h"
#include "gui2/g_wiz_sh.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"

overwrite_dlg2::overwrite_dlg2(wizard_shell& shell, int help_topic, const std::wstring& text, int mode, QWidget* parent)
    : g_dialog(over_id::dialog, shell.dispatcher(), shell.dialog_owner(parent)),
      m_shell(shell),
      m_help_topic(help_topic) {
    tk_trace(1, "overwrite_dlg2::ctor");
    setWindowTitle(QString::fromStdWString(shell.title()) + " Warning");

    auto* message = new QLabel(QString::fromStdWString(text), this);
    message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    controls().add(over_id::text, message);
    auto* options = new QVBoxLayout;
    options->setSpacing(6);
    const struct {
        int id;
        const char* text;
    } radios[] = {{over_id::entire_database, "&Overwrite the entire database"},
                  {over_id::tables_only, "Overwrite existing &tables only"},
                  {over_id::skip_existing, "&Skip existing tables"},
                  {over_id::merge, "&Merge"}};
    for (const auto& r : radios) {
        auto* radio = new QRadioButton(tr(r.text), this);
        controls().add(r.id, radio);
        options->addWidget(radio);
    }

    auto* ok_button = new QPushButton(tr("OK"), this);
    auto* cancel_button = new QPushButton(tr("Cancel"), this);
    auto* help_button = new QPushButton(tr("&Help"), this);
    ok_button->setDefault(true);
    controls().add(over_id::ok, ok_button);
    controls().add(over_id::cancel, cancel_button);
    controls().add(over_id::help, help_button);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(ok_button, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel_button, QDialogButtonBox::RejectRole);
    buttons->addButton(help_button, QDialogButtonBox::HelpRole);

    auto* grid = new QGridLayout(this);
    grid->addWidget(g_message_icon(this, true), 0, 0, 2, 1);
    grid->addWidget(message, 0, 1);
    grid->addLayout(options, 1, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(14);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    const int preselected = mode >= 1 && mode <= 3 ? over_id::entire_database + mode : over_id::tables_only;
    controls().check_radio(over_id::entire_database, over_id::merge, preselected);

    on_click(over_id::ok, [this] { on_ok(); });
    on_click(over_id::cancel, [this] { done(cancel); });
    on_click(over_id::help, [this] { m_shell.display_help(m_help_topic); });
}

int overwrite_dlg2::run() { return m_shell.presenter().exec_dialog(*this); }

void overwrite_dlg2::on_init() {
    tk_trace(1, "overwrite_dlg2::on_init");
    controls().focus(controls().checked_radio(over_id::entire_database, over_id::merge));
    raise();
    activateWindow();
    m_shell.presenter().beep();
}

void overwrite_dlg2::on_ok() {
    const int checked = controls().checked_radio(over_id::entire_database, over_id::merge);
    if (checked == 0) throw tk_mail_assertion("common/over_dlg", 156);
    m_option = checked - over_id::entire_database;
    done(ok);
}
