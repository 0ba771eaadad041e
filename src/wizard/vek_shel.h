#pragma once
// The program's wizard: its title, its pages in their order, what it adds to
// a run, and its exit code.
#include <string>

#include "converter/cnv_hook.h"
#include "gui2/g_wiz_sh.h"

class dravik_convertor;
class error_handler;

// The profile files' extension.
inline constexpr const wchar_t* vek_profile_extension = L"vek";

// "Tessaline 1.0": the window's title and the first word of every caption.
std::wstring vek_title();

// Builds the shell with the program's title, icon and images.
class vek_shell : public wizard_shell {
public:
    explicit vek_shell(wizard_services services);
};

// The pages of a normal start, in order: welcome, MySQL, PostgreSQL,
// databases, tables, views, and the page where the run begins (107).
void vek_add_pages(wizard_shell& shell, dravik_convertor& conv);

// What the wizard adds to a run: it starts with an empty error list and
// count, and starts the shell's 200 ms progress timer (from the run's thread).
class vek_run_hooks : public cnv_run_hooks {
public:
    static constexpr unsigned timer_period_ms = 200;

    explicit vek_run_hooks(error_handler& errors) : m_errors(errors) {}
    void on_run_started() override;

private:
    error_handler& m_errors;
};

// 0 only when the wizard was finished after a run that completed without a
// reported error; -1 otherwise (cancelled, or errors).
int vek_exit_code(wizard_shell::end how, const dravik_convertor& conv, const error_handler& errors);
