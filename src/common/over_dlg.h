#pragma once
// overwrite_dlg2 (121): what to do with a destination database that exists
// already. The four options are the conversion modes 0 to 3. Choosing one
// only records it; what it does to the destination happens in the run.
#include <string>

#include "gui2/g_dialog.h"

class wizard_shell;

namespace over_id {
inline constexpr int dialog = 121;
inline constexpr int text = 1320;
inline constexpr int entire_database = 1329;  // mode 0
inline constexpr int tables_only = 1330;      // mode 1
inline constexpr int skip_existing = 1331;    // mode 2
inline constexpr int merge = 1332;            // mode 3
inline constexpr int ok = 1;
inline constexpr int cancel = 2;
inline constexpr int help = g_help_button_id;
}  // namespace over_id

class overwrite_dlg2 : public g_dialog {
public:
    static constexpr int ok = over_id::ok;
    static constexpr int cancel = over_id::cancel;

    // `mode`: the conversion mode now; the dialog opens on it when it is 1, 2
    // or 3, otherwise on 1. Dropping the whole database is never what Enter
    // alone chooses.
    overwrite_dlg2(wizard_shell& shell, int help_topic, const std::wstring& text, int mode, QWidget* parent = nullptr);

    // Modal; ok or cancel (Escape and the close box cancel).
    int run();
    // The chosen mode, 0 to 3; valid after ok.
    int option() const noexcept { return m_option; }

    void reject() override { done(cancel); }

protected:
    void on_init() override;

private:
    void on_ok();

    wizard_shell& m_shell;
    int m_help_topic;
    int m_option = -1;
};
