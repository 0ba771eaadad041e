#include "gui2/g_combo.h"

#include "gui2/g_disp.h"

g_combo_box::g_combo_box(g_dispatcher& dispatcher, QWidget* parent) : QComboBox(parent), m_dispatcher(dispatcher) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
}

void g_combo_box::showPopup() {
    bool open = true;
    if (m_on_dropdown) {
        open = false;
        m_dispatcher.run([&] { open = m_on_dropdown(); });
    }
    if (open) QComboBox::showPopup();
}
