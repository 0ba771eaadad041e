#pragma once
// g_combo_box: an editable drop-down whose list a page may fill at the
// moment it is first dropped down. The page's hook runs through the
// dispatcher before the list opens; the list opens only when the hook
// returned true. No inline completion: a typed name is never lengthened
// into another item's name behind the user's back.
#include <functional>

#include <QComboBox>

class g_dispatcher;

class g_combo_box : public QComboBox {
public:
    g_combo_box(g_dispatcher& dispatcher, QWidget* parent);

    void set_on_dropdown(std::function<bool()> hook) { m_on_dropdown = std::move(hook); }
    void showPopup() override;

private:
    g_dispatcher& m_dispatcher;
    std::function<bool()> m_on_dropdown;
};
