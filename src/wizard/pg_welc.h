#pragma once
// welcome_page: the greeting, and "Load profile", which loads a saved
// profile into the converter; the later pages then show what it holds.
#include <string>

#include "gui2/g_wiz_pg.h"

class dravik_convertor;

namespace welcome_id {
inline constexpr int title = 1337;
inline constexpr int load_profile = 1115;
}  // namespace welcome_id

class welcome_page : public wizard_page {
public:
    // `extension`: the profile files' extension, exactly 3 characters ("vek").
    welcome_page(wizard_shell& shell, dravik_convertor& conv, std::wstring extension);

    bool page_init() override;
    void on_help() override;
    // Next has the focus: Enter starts the wizard.
    QWidget* first_focus() override { return nullptr; }

    // Loads the profile; a profile that does not load is reported with why.
    // True when it loaded.
    bool load_profile(const std::wstring& path);

protected:
    // Called after a profile was chosen (loaded or not); nothing here.
    virtual void after_profile_loaded() {}

private:
    void on_load_profile();

    dravik_convertor& m_conv;
    std::wstring m_extension;
};
