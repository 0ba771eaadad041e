#pragma once
// vek_finish_page: the program's finish page. It tells the run's outcome
// from the converter and the error handler, and Save Settings stores the
// converter's settings as a profile file.
#include <string>

#include "gui2/g_finish.h"

class dravik_convertor;
class error_handler;

inline constexpr const wchar_t* vek_success_text =
    L"Wizard has migrated your MySQL database to\nPostgreSQL server successfully.\n\nClick 'Finish' to exit the "
    L"wizard.";
inline constexpr const wchar_t* vek_errors_text =
    L"There were some errors while converting the database.\nClick 'Finish' to exit the wizard.";
inline constexpr const wchar_t* vek_incomplete_text =
    L"The conversion ended before every table was converted.\nClick 'Finish' to exit the wizard.";

class vek_finish_page : public gui_finish_page {
public:
    // `extension`: the profile files' extension, exactly 3 characters ("vek").
    vek_finish_page(wizard_shell& shell, dravik_convertor& conv, const error_handler& errors, std::wstring extension);

    // Saves the settings to the file; asks before replacing one, and says
    // why when the file cannot be written. True when it was saved.
    bool save_settings(const std::wstring& path);

protected:
    finish_report report() const override;
    void on_save() override;

private:
    dravik_convertor& m_conv;
    const error_handler& m_errors;
    std::wstring m_extension;
};
