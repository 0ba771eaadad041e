#pragma once
// wizard_page: one page of the wizard. A page builds its controls in its
// constructor, registers them by id, and fills the protocol's operations
// (see wizard_shell). The shell owns the pages and calls these operations;
// page code reaches Qt's signals only through on_click / on_signal, which
// run it inside the dispatcher.
#include <functional>
#include <string>

#include <QWidget>

#include "gui2/g_ctrls.h"
#include "gui2/g_disp.h"
#include "gui2/g_sheet.h"

class wizard_shell;

struct wizard_page_style {
    int dialog_id = 0;
    unsigned buttons = wiz_back | wiz_next;  // shown when the page becomes active
    bool exterior = false;                   // no header: the watermark column instead
    std::wstring header_title;               // "Step 1 of 6"
    std::wstring header_subtitle;            // "Connect to MySQL server"
    bool has_help = true;                    // the Help button is enabled
};

class wizard_page : public QWidget {
public:
    wizard_page(wizard_shell& shell, wizard_page_style style);
    ~wizard_page() override;

    const wizard_page_style& style() const noexcept { return m_style; }
    int dialog_id() const noexcept { return m_style.dialog_id; }

    // Activation: the page's buttons, the frame, then page_init.
    bool OnSetActive();

    virtual bool page_init() { return true; }
    virtual bool on_kill_active() { return true; }
    virtual bool on_finish() { return true; }
    virtual void on_help() {}
    virtual int on_next() { return 0; }
    virtual int store_settings() { return 0; }
    // Default: "Are you sure you want to exit the wizard?", No preselected.
    virtual bool on_cancel();
    // A tick of the shell's timer while this page is shown.
    virtual void on_timer() {}
    // The control that gets the keyboard focus when the page is shown; null
    // leaves it to the sheet's default button.
    virtual QWidget* first_focus();

    g_controls& controls() noexcept { return m_controls; }
    const g_controls& controls() const noexcept { return m_controls; }
    wizard_shell& shell() noexcept { return m_shell; }

    // A checked box becomes unchecked, any other checked; the new state.
    bool invert_chbox(int id);
    // Enables or disables a control; an enabled one takes the focus.
    void enable_ctrl(int id, bool enable);
    // The title font of the exterior pages (bold Verdana, 10 points).
    void set_title_font(int id);

    // Runs f when the button is clicked.
    void on_click(int id, std::function<void()> f);
    // Runs f when the control `id` (of type Sender) emits the signal.
    template <class Sender, class Signal>
    void on_signal(int id, Signal signal, std::function<void()> f) {
        g_connect(dispatcher(), &m_controls.as<Sender>(id), signal, this, std::move(f));
    }

protected:
    g_dispatcher& dispatcher();

    // Registers a control under its id and returns it.
    template <class W>
    W* add_control(int id, W* widget) {
        m_controls.add(id, widget);
        return widget;
    }

private:
    wizard_shell& m_shell;
    wizard_page_style m_style;
    g_controls m_controls;
};

// True when no item of the list box equals the text, ignoring case.
bool is_not_in_listbox(const QString& text, const g_controls& controls, int list_id);
