// Controls by id: the typed operations pages use.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "gui2/g_combo.h"
#include "gui2/g_fixture.h"
#include "tk/tk_exc.h"

namespace {

class control_page : public probe_page {
public:
    control_page(wizard_shell& shell, std::vector<std::string>& log) : probe_page(shell, probe_shape{1}, log) {
        add_control(1, new QLineEdit(this));
        add_control(2, new QCheckBox("box", this));
        add_control(3, new QRadioButton("a", this));
        add_control(4, new QRadioButton("b", this));
        add_control(5, new QListWidget(this));
        auto* combo = add_control(6, new QComboBox(this));
        combo->setEditable(true);
    }
};

class ControlsTest : public ShellTest {
protected:
    control_page& page() {
        if (!m_page) {
            make_shell();
            m_page = &shell->emplace_page<control_page>(log);
        }
        return *m_page;
    }
    control_page* m_page = nullptr;
};

TEST_F(ControlsTest, texts_are_read_whole_in_both_widths) {
    g_controls& c = page().controls();
    const std::string long_text = std::string(300, 'x') + "\xc3\xa9\xe2\x9a\xa1";
    c.set_text(1, long_text);
    EXPECT_EQ(c.text_a(1), long_text);
    EXPECT_EQ(c.text_w(1), std::wstring(300, L'x') + L"\u00e9\u26a1");
}

TEST_F(ControlsTest, invert_chbox_checks_an_indeterminate_box) {
    control_page& p = page();
    g_controls& c = p.controls();
    c.set_check(2, g_check::indeterminate);
    EXPECT_EQ(c.check_state(2), g_check::indeterminate);
    EXPECT_TRUE(p.invert_chbox(2));
    EXPECT_EQ(c.check_state(2), g_check::checked);
    EXPECT_FALSE(p.invert_chbox(2));
    EXPECT_TRUE(p.invert_chbox(2));
}

TEST_F(ControlsTest, radio_groups_keep_one_checked) {
    g_controls& c = page().controls();
    c.check_radio(3, 4, 4);
    EXPECT_EQ(c.checked_radio(3, 4), 4);
    c.check_radio(3, 4, 3);
    EXPECT_EQ(c.checked_radio(3, 4), 3);
    EXPECT_FALSE(c.is_checked(4));
}

TEST_F(ControlsTest, list_boxes_stay_sorted_ignoring_case) {
    g_controls& c = page().controls();
    for (const char* name : {"orders", "Customers", "items", "customers", "Audit"}) c.list_add(5, name);
    std::vector<QString> items;
    for (int i = 0; i < c.list_count(5); ++i) items.push_back(c.list_item(5, i));
    EXPECT_EQ(items, (std::vector<QString>{"Audit", "Customers", "customers", "items", "orders"}));
    EXPECT_EQ(c.list_find_exact(5, "customers"), 2);
    EXPECT_EQ(c.list_find_exact(5, "CUSTOMERS"), -1);
    EXPECT_FALSE(is_not_in_listbox("ITEMS", c, 5));
    EXPECT_TRUE(is_not_in_listbox("item", c, 5));
    EXPECT_TRUE(c.list_delete(5, 0));
    EXPECT_FALSE(c.list_delete(5, 9));
    EXPECT_EQ(c.list_item(5, 9), QString());
}

TEST_F(ControlsTest, combo_boxes_find_whole_names_and_keep_the_typed_text) {
    g_controls& c = page().controls();
    c.set_text(6, std::string("shop"));
    for (const char* name : {"mysql", "Shop_2024", "SHOP", "shop"}) c.combo_add(6, name);
    EXPECT_EQ(c.combo_find_name(6, "shop"), 3);  // the exact name first
    EXPECT_EQ(c.combo_find_name(6, "Shop"), 2);  // else the same name in another case
    EXPECT_EQ(c.combo_find_name(6, "shop_"), -1);
    EXPECT_EQ(c.combo_find_name(6, "Shop_20"), -1);  // a beginning is not the name
    EXPECT_EQ(c.combo_find_name(6, "none"), -1);
    EXPECT_EQ(c.text_a(6), "shop");  // adding items leaves the typed text
    c.combo_clear(6);
    EXPECT_EQ(c.combo_count(6), 0);
    EXPECT_EQ(c.text_a(6), "shop");
}

TEST_F(ControlsTest, a_drop_down_runs_its_hook_first_and_opens_only_when_it_agrees) {
    make_shell();
    auto& p = shell->emplace_page<control_page>(log);
    auto* combo = new g_combo_box(gui.dispatcher, &p);
    shell->open();
    int calls = 0;
    bool agree = false;
    combo->set_on_dropdown([&] {
        ++calls;
        if (calls == 3) throw std::runtime_error("hook failed");
        if (agree) combo->addItem("filled");
        return agree;
    });
    combo->showPopup();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(combo->view()->isVisible());
    agree = true;
    combo->showPopup();
    EXPECT_TRUE(combo->view()->isVisible());
    combo->hidePopup();
    EXPECT_EQ(combo->count(), 1);
    // A failing hook is reported and the list stays closed.
    combo->showPopup();
    EXPECT_FALSE(combo->view()->isVisible());
    EXPECT_EQ(gui.presenter.texts(), std::vector<QString>{"hook failed"});
    // Typing never completes into an item's name.
    EXPECT_EQ(combo->completer(), nullptr);
    EXPECT_TRUE(combo->isEditable());
}

TEST_F(ControlsTest, enable_ctrl_gives_the_focus_and_a_wrong_id_is_an_internal_error) {
    control_page& p = page();
    shell->open();
    p.enable_ctrl(1, false);
    EXPECT_FALSE(p.controls().is_enabled(1));
    p.enable_ctrl(1, true);
    EXPECT_EQ(shell->sheet().focusWidget(), &p.controls().at(1));
    EXPECT_THROW(p.controls().text(99), tk_mail_assertion);
    EXPECT_THROW(p.controls().list_count(1), tk_mail_assertion);  // an edit is no list box
    EXPECT_THROW(p.controls().add(1, new QLineEdit(&p)), tk_mail_assertion);
}

}  // namespace
