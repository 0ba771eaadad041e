#pragma once
// The error handler's dialogs in the wizard: the internal-error dialog, the
// error box and the Continue/Abort dialog, shown on the GUI thread whichever
// thread reports (the run reports from its worker).
#include "converter/err_ui.h"

class g_carrier;
class g_dispatcher;
class g_presenter;

class gui_error_dialogs : public error_dialogs {
public:
    gui_error_dialogs(g_presenter& presenter, g_carrier& carrier, g_dispatcher& dispatcher)
        : m_presenter(presenter), m_carrier(carrier), m_dispatcher(dispatcher) {}

    void show_internal_error(const std::string& text) override;
    void show_error(const std::string& text) override;
    // Abort when the screen can no longer be reached (the wizard is closing).
    answer ask_continue(const std::string& text, bool& dont_show_again) override;

private:
    g_presenter& m_presenter;
    g_carrier& m_carrier;
    g_dispatcher& m_dispatcher;
};
