#pragma once
// g_dialog: a modal dialog of ours, its controls addressed by id. Clicks
// reach the dialog's code through the dispatcher. F1 does what the dialog's
// Help button (g_help_button_id) does, when it has one.
#include <functional>

#include <QDialog>

#include "gui2/g_ctrls.h"

class QLabel;
class g_dispatcher;

// A dialog's frame: a title and a close button, no minimise or maximise.
inline constexpr Qt::WindowFlags g_fixed_dialog_flags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// The id of a dialog's Help button, as on the sheet: F1 presses it.
inline constexpr int g_help_button_id = 9;

class g_dialog : public QDialog {
public:
    g_dialog(int dialog_id, g_dispatcher& dispatcher, QWidget* parent = nullptr);

    int dialog_id() const noexcept { return m_dialog_id; }
    g_controls& controls() noexcept { return m_controls; }
    const g_controls& controls() const noexcept { return m_controls; }
    g_dispatcher& dispatcher() noexcept { return m_dispatcher; }

    // Runs `f` when the button `id` is clicked.
    void on_click(int id, std::function<void()> f);

protected:
    // Called once, when the dialog is first shown.
    virtual void on_init() {}
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_dialog_id;
    g_dispatcher& m_dispatcher;
    g_controls m_controls;
    bool m_initialized = false;
};

// The platform's icon for an error (or a warning), at the size message boxes use.
QLabel* g_message_icon(QWidget* parent, bool warning);
