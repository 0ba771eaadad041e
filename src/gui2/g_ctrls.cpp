#include "gui2/g_ctrls.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>

#include "tk/tk_exc.h"

void g_wrong_control(int /*id*/) { throw tk_mail_assertion("g_ctrls", 20); }

void g_controls::add(int id, QWidget* widget) {
    if (!widget || !m_widgets.emplace(id, widget).second) throw tk_mail_assertion("g_ctrls", 24);
}

QWidget* g_controls::find(int id) const noexcept {
    auto it = m_widgets.find(id);
    return it == m_widgets.end() ? nullptr : it->second;
}

QWidget& g_controls::at(int id) const {
    QWidget* w = find(id);
    if (!w) throw tk_mail_assertion("g_ctrls", 35);
    return *w;
}

QString g_controls::text(int id) const {
    QWidget& w = at(id);
    if (auto* e = qobject_cast<QLineEdit*>(&w)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(&w)) return l->text();
    if (auto* c = qobject_cast<QComboBox*>(&w)) return c->currentText();
    if (auto* b = qobject_cast<QAbstractButton*>(&w)) return b->text();
    if (auto* t = qobject_cast<QPlainTextEdit*>(&w)) return t->toPlainText();
    g_wrong_control(id);
}

std::string g_controls::text_a(int id) const { return text(id).toStdString(); }

std::wstring g_controls::text_w(int id) const { return text(id).toStdWString(); }

void g_controls::set_text(int id, const QString& value) {
    QWidget& w = at(id);
    if (auto* e = qobject_cast<QLineEdit*>(&w)) return e->setText(value);
    if (auto* l = qobject_cast<QLabel*>(&w)) return l->setText(value);
    if (auto* c = qobject_cast<QComboBox*>(&w)) {
        if (c->isEditable()) return c->setEditText(value);
        return c->setCurrentIndex(c->findText(value));
    }
    if (auto* b = qobject_cast<QAbstractButton*>(&w)) return b->setText(value);
    if (auto* t = qobject_cast<QPlainTextEdit*>(&w)) return t->setPlainText(value);
    g_wrong_control(id);
}

void g_controls::set_text(int id, const std::string& value) { set_text(id, QString::fromStdString(value)); }

void g_controls::set_text(int id, const std::wstring& value) { set_text(id, QString::fromStdWString(value)); }

g_check g_controls::check_state(int id) const {
    auto& b = as<QAbstractButton>(id);
    if (auto* c = qobject_cast<QCheckBox*>(&b)) {
        switch (c->checkState()) {
        case Qt::Checked: return g_check::checked;
        case Qt::PartiallyChecked: return g_check::indeterminate;
        default: return g_check::unchecked;
        }
    }
    return b.isChecked() ? g_check::checked : g_check::unchecked;
}

void g_controls::set_check(int id, g_check state) {
    auto& b = as<QAbstractButton>(id);
    if (auto* c = qobject_cast<QCheckBox*>(&b)) {
        if (state == g_check::indeterminate) c->setTristate(true);
        c->setCheckState(state == g_check::checked         ? Qt::Checked
                         : state == g_check::indeterminate ? Qt::PartiallyChecked
                                                           : Qt::Unchecked);
        return;
    }
    if (state == g_check::indeterminate) g_wrong_control(id);
    // A radio button of an exclusive group cannot be unchecked directly.
    const bool exclusive = b.autoExclusive();
    if (state != g_check::checked && exclusive) b.setAutoExclusive(false);
    b.setChecked(state == g_check::checked);
    if (exclusive) b.setAutoExclusive(true);
}

void g_controls::check_radio(int first, int last, int id) {
    for (int i = first; i <= last; ++i)
        if (find(i)) set_check(i, i == id);
}

int g_controls::checked_radio(int first, int last) const {
    for (int i = first; i <= last; ++i)
        if (find(i) && is_checked(i)) return i;
    return 0;
}

void g_controls::enable(int id, bool on) { at(id).setEnabled(on); }

bool g_controls::is_enabled(int id) const { return at(id).isEnabled(); }

void g_controls::show(int id, bool on) { at(id).setVisible(on); }

bool g_controls::is_visible(int id) const { return !at(id).isHidden(); }

void g_controls::focus(int id) { at(id).setFocus(Qt::OtherFocusReason); }

namespace {
// Case-insensitive order, exact order between case twins: the order a sorted
// list box keeps.
bool list_less(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}
}  // namespace

int g_controls::list_add(int id, const QString& item) {
    auto& list = as<QListWidget>(id);
    int low = 0, high = list.count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (list_less(item, list.item(mid)->text()))
            high = mid;
        else
            low = mid + 1;
    }
    list.insertItem(low, item);
    return low;
}

bool g_controls::list_delete(int id, int index) {
    auto& list = as<QListWidget>(id);
    if (index < 0 || index >= list.count()) return false;
    delete list.takeItem(index);
    return true;
}

void g_controls::list_clear(int id) { as<QListWidget>(id).clear(); }

int g_controls::list_count(int id) const { return as<QListWidget>(id).count(); }

QString g_controls::list_item(int id, int index) const {
    auto& list = as<QListWidget>(id);
    QListWidgetItem* item = list.item(index);
    return item ? item->text() : QString();
}

int g_controls::list_current(int id) const { return as<QListWidget>(id).currentRow(); }

void g_controls::list_set_current(int id, int index) { as<QListWidget>(id).setCurrentRow(index); }

int g_controls::list_find_exact(int id, const QString& item) const {
    auto& list = as<QListWidget>(id);
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->text() == item) return i;
    return -1;
}

int g_controls::combo_add(int id, const QString& item) {
    auto& combo = as<QComboBox>(id);
    // The first item would otherwise replace what the user typed.
    const QString typed = combo.currentText();
    combo.addItem(item);
    if (combo.isEditable()) combo.setEditText(typed);
    return combo.count() - 1;
}

void g_controls::combo_clear(int id) {
    auto& combo = as<QComboBox>(id);
    const QString edit = combo.isEditable() ? combo.currentText() : QString();
    combo.clear();
    if (combo.isEditable()) combo.setEditText(edit);
}

int g_controls::combo_count(int id) const { return as<QComboBox>(id).count(); }

int g_controls::combo_find_name(int id, const QString& name) const {
    auto& combo = as<QComboBox>(id);
    for (int i = 0; i < combo.count(); ++i)
        if (combo.itemText(i) == name) return i;
    for (int i = 0; i < combo.count(); ++i)
        if (QString::compare(combo.itemText(i), name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void g_controls::combo_select(int id, int index) { as<QComboBox>(id).setCurrentIndex(index); }

void g_controls::set_range(int id, int low, int high) { as<QProgressBar>(id).setRange(low, high); }

void g_controls::set_pos(int id, int value) { as<QProgressBar>(id).setValue(value); }

int g_controls::pos(int id) const { return as<QProgressBar>(id).value(); }
