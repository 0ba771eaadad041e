#pragma once
// g_controls: the controls of one page or dialog by their numeric ids, with
// typed operations for each kind of control, so page code reads like the
// dialog it drives ("check 1329, disable 1014") instead of holding a member
// per widget. The map does not own the widgets: they belong to the page.
//
// Kinds and the widgets that carry them:
//   edit, static, button text   QLineEdit, QLabel, QAbstractButton, QPlainTextEdit
//   check box (two or three states)  QCheckBox
//   radio button                QRadioButton
//   sorted list box             QListWidget added through list_add
//   combo box                   QComboBox (editable or not)
//   progress bar                QProgressBar
// A missing id, or an operation the control's kind does not have, is an
// internal error (g_ctrls).
#include <string>
#include <unordered_map>

#include <QString>

class QWidget;

enum class g_check { unchecked = 0, checked = 1, indeterminate = 2 };

class g_controls {
public:
    void add(int id, QWidget* widget);
    QWidget* find(int id) const noexcept;
    QWidget& at(int id) const;
    // The control as a widget type; an internal error when it is another kind.
    template <class W>
    W& as(int id) const;

    // Texts. The narrow forms are UTF-8 (the program's ANSI code page); every
    // text is read whole, whatever its length.
    QString text(int id) const;
    std::string text_a(int id) const;
    std::wstring text_w(int id) const;
    void set_text(int id, const QString& text);
    void set_text(int id, const std::string& text);
    void set_text(int id, const std::wstring& text);

    // Check boxes and radio buttons.
    g_check check_state(int id) const;
    bool is_checked(int id) const { return check_state(id) == g_check::checked; }
    void set_check(int id, g_check state);
    void set_check(int id, bool on) { set_check(id, on ? g_check::checked : g_check::unchecked); }
    // Checks `id` and clears every other radio button of first..last.
    void check_radio(int first, int last, int id);
    // The first checked radio button of first..last, 0 when none is.
    int checked_radio(int first, int last) const;

    void enable(int id, bool on);
    bool is_enabled(int id) const;
    void show(int id, bool on);
    bool is_visible(int id) const;
    void focus(int id);

    // Sorted list boxes: items stay in case-insensitive order (exact order
    // between names that differ only in case). Indexes are 0-based; -1 none.
    int list_add(int id, const QString& item);  // the new item's index
    bool list_delete(int id, int index);
    void list_clear(int id);
    int list_count(int id) const;
    QString list_item(int id, int index) const;  // empty for a bad index
    int list_current(int id) const;
    void list_set_current(int id, int index);
    int list_find_exact(int id, const QString& item) const;

    // Combo boxes.
    int combo_add(int id, const QString& item);
    void combo_clear(int id);
    int combo_count(int id) const;
    // The item that is the name: the first equal one, else the first equal
    // ignoring case; -1 when none (an item that merely begins with the name
    // is another name).
    int combo_find_name(int id, const QString& name) const;
    void combo_select(int id, int index);

    // Progress bars.
    void set_range(int id, int low, int high);
    void set_pos(int id, int pos);
    int pos(int id) const;

private:
    std::unordered_map<int, QWidget*> m_widgets;
};

// An internal error for a control that is not of the kind the operation needs.
[[noreturn]] void g_wrong_control(int id);

template <class W>
W& g_controls::as(int id) const {
    W* w = dynamic_cast<W*>(&at(id));
    if (!w) g_wrong_control(id);
    return *w;
}
