#include "gui2/g_wiz_pg.h"

#include <QAbstractButton>

#include "gui2/g_wiz_sh.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"

wizard_page::wizard_page(wizard_shell& shell, wizard_page_style style) : m_shell(shell), m_style(std::move(style)) {
    setObjectName(QString("page_%1").arg(m_style.dialog_id));
}

wizard_page::~wizard_page() { tk_trace(2, "wizard_page::dtor"); }

g_dispatcher& wizard_page::dispatcher() { return m_shell.dispatcher(); }

bool wizard_page::OnSetActive() {
    tk_trace(1, "wizard_page::OnSetActive");
    m_shell.set_wizard_buttons(m_style.buttons);
    m_shell.init_frame();
    return page_init();
}

bool wizard_page::on_cancel() {
    tk_trace(2, "wizard_page::on_cancel");
    return m_shell.question(L"Are you sure you want to exit the wizard?", g_button::no);
}

namespace {

// A group of radio buttons is entered at its checked button: with the focus on
// another one, Space would change the choice unasked. Qt then keeps the
// group's one tab stop on the button that has the focus.
QWidget* group_entry(QWidget* w) {
    const auto* button = qobject_cast<QAbstractButton*>(w);
    if (!button || !button->autoExclusive() || !button->isCheckable() || button->isChecked()) return w;
    for (QAbstractButton* other : w->parentWidget()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
        if (other->autoExclusive() && other->isChecked() && other->isEnabled() && !other->isHidden()) return other;
    return w;
}

}  // namespace

QWidget* wizard_page::first_focus() {
    // The first control of the page's tab order that takes the focus.
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (!isAncestorOf(w)) continue;
        if (w->isEnabled() && !w->isHidden() && (w->focusPolicy() & Qt::TabFocus)) return group_entry(w);
    }
    return nullptr;
}

bool wizard_page::invert_chbox(int id) {
    tk_trace(1, "wizard_page::invert_chbox(%d)", id);
    const g_check want = m_controls.check_state(id) == g_check::checked ? g_check::unchecked : g_check::checked;
    m_controls.set_check(id, want);
    if (m_controls.check_state(id) != want) throw tk_mail_assertion("g_wiz_pg", 122);
    return want == g_check::checked;
}

void wizard_page::enable_ctrl(int id, bool enable) {
    tk_trace(1, "wizard_page::enable_ctrl(%d=%d)", id, enable ? 1 : 0);
    m_controls.enable(id, enable);
    if (enable) m_controls.focus(id);
}

void wizard_page::set_title_font(int id) {
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(10);
    font.setWeight(QFont::Bold);
    m_controls.at(id).setFont(font);
}

void wizard_page::on_click(int id, std::function<void()> f) {
    on_signal<QAbstractButton>(id, &QAbstractButton::clicked, std::move(f));
}

bool is_not_in_listbox(const QString& text, const g_controls& controls, int list_id) {
    const int n = controls.list_count(list_id);
    for (int i = 0; i < n; ++i)
        if (QString::compare(controls.list_item(list_id, i), text, Qt::CaseInsensitive) == 0) return false;
    return true;
}
