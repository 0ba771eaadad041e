#pragma once
// The program's wizard: its title, its pages in their order, and its exit
// code.
#include <string>

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
// databases, tables, views, then the run's pages.
void vek_add_pages(wizard_shell& shell, dravik_convertor& conv, error_handler& errors);
// The run's pages: progress (the run starts when it is shown) and finish.
// A quick launch shows these alone.
void vek_add_run_pages(wizard_shell& shell, dravik_convertor& conv, error_handler& errors);

// 0 only when the wizard was finished after a run that completed without a
// reported error; -1 otherwise (cancelled, or errors).
int vek_exit_code(wizard_shell::end how, const dravik_convertor& conv, const error_handler& errors);
