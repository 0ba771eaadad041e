#include "wizard/qry_dlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

#include "converter/cnv_udb.h"
#include "gui2/g_presen.h"
#include "gui2/g_wiz_sh.h"
#include "platform/pf_trim.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "wizard/pg_util.h"
#include "wizard/vek_ids.h"
#include "wizard/wait_dlg.h"

std::wstring query_syntax_error_text() {
    return L"You have an error in your query syntax. Make sure that it is a correct SQL SELECT-statement. Contact " +
           std::wstring(vek_support_address) + L" if the error persists.";
}

bool set_query_dlg::passes_select_test(const std::wstring& text, std::wstring& rest) {
    rest = text;
    if (text.empty()) return true;
    rest = pf_trim_start(std::wstring_view(text), pf_blanks::space_tab_eol);
    if (rest.size() < 6) return false;
    static const wchar_t select[] = L"SELECT";
    for (std::size_t i = 0; i < 6; ++i) {
        wchar_t c = rest[i];
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c != select[i]) return false;
    }
    return true;
}

set_query_dlg::set_query_dlg(wizard_shell& shell, dravik_convertor& conv, std::wstring name, std::wstring query,
                             QWidget* parent)
    : g_dialog(query_id::dialog, shell.dispatcher(), shell.dialog_owner(parent)),
      m_shell(shell),
      m_conv(conv),
      m_name(std::move(name)),
      m_query(std::move(query)) {
    tk_trace(1, "set_query_dlg::set_query_dlg");
    setWindowTitle(tr("Add Query"));

    auto* name_box = new QLineEdit(this);
    auto* query_box = new QPlainTextEdit(this);
    query_box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    query_box->setTabChangesFocus(true);
    query_box->setMinimumSize(460, 180);
    controls().add(query_id::name, name_box);
    controls().add(query_id::query, query_box);

    auto* test = new QPushButton(tr("Test &Query"), this);
    auto* ok_button = new QPushButton(tr("OK"), this);
    auto* cancel_button = new QPushButton(tr("Cancel"), this);
    auto* help_button = new QPushButton(tr("&Help"), this);
    ok_button->setDefault(true);
    controls().add(query_id::test, test);
    controls().add(query_id::ok, ok_button);
    controls().add(query_id::cancel, cancel_button);
    controls().add(query_id::help, help_button);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->addWidget(vek_buddy_label(tr("Store as &Table:"), name_box, this), 0, 0);
    grid->addWidget(name_box, 0, 1);
    grid->addWidget(vek_buddy_label(tr("Q&uery:"), query_box, this), 1, 0, Qt::AlignTop);
    grid->addWidget(query_box, 1, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(ok_button, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel_button, QDialogButtonBox::RejectRole);
    buttons->addButton(help_button, QDialogButtonBox::HelpRole);
    // Test Query works on the text and stands apart, on the left.
    auto* button_row = new QHBoxLayout;
    button_row->setSpacing(style()->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton, Qt::Horizontal));
    button_row->addWidget(test);
    button_row->addWidget(buttons, 1);
    grid->addLayout(button_row, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    controls().set_text(query_id::name, m_name);
    controls().set_text(query_id::query, m_query);

    on_click(query_id::test, [this] { on_test(); });
    on_click(query_id::ok, [this] { on_ok(); });
    on_click(query_id::cancel, [this] { reject(); });
    on_click(query_id::help, [this] { m_shell.display_help(vek_topic::query); });
}

int set_query_dlg::run() { return m_shell.presenter().exec_dialog(*this); }

void set_query_dlg::on_init() {
    tk_trace(1, "set_query_dlg::on_init");
    controls().focus(query_id::name);
    raise();
    activateWindow();
}

void set_query_dlg::reject() {
    tk_trace(1, "set_query_dlg::on_cancel");
    done(cancel);
}

void set_query_dlg::on_test() {
    const std::wstring text = controls().text_w(query_id::query);
    std::wstring rest;
    if (!passes_select_test(text, rest)) return m_shell.error(std::wstring(query_not_select_text));
    std::string refusal;
    bool correct = false;
    try {
        correct = wait_for_server(m_shell, m_conv, wait_text::query, [&] { return m_conv.test_query(text, refusal); });
    } catch (const tk_exception& e) {
        // The server did not answer, or its connection could not be made
        // again: the dialog stays with what was typed.
        return m_shell.error(vek_error_text(e));
    }
    if (correct) return m_shell.message(L"The query is correct.");
    // The fixed text, then the reason the server gave.
    const std::string reason = vek_box_paragraph(refusal);
    m_shell.error(reason.empty() ? query_syntax_error_text()
                                 : query_syntax_error_text() + L"\n\n" + tk_utf8_to_unicode(reason));
}

void set_query_dlg::on_ok() {
    tk_trace(1, "set_query_dlg::on_ok");
    const std::wstring name(pf_trim(controls().text_w(query_id::name), pf_blanks::space_tab_eol));
    if (name.empty()) {
        m_shell.message(L"Table name is empty!");
        controls().focus(query_id::name);
        return;
    }
    std::wstring query;
    if (!passes_select_test(controls().text_w(query_id::query), query)) {
        m_shell.error(std::wstring(query_not_select_text));
        controls().focus(query_id::query);
        return;
    }
    if (query.empty()) {
        m_shell.error(std::wstring(L"Query is empty!"));
        controls().focus(query_id::query);
        return;
    }
    m_name = name;
    m_query = query;
    done(ok);
}
