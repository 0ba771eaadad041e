#pragma once
// What dravik does once the window framework runs: the converter, a quick
// launch or the pages of a normal start, the sheet, and the exit code.
#include <functional>
#include <string>
#include <vector>

class dravik_convertor;
class error_handler;
class g_carrier;
class g_dispatcher;
class g_presenter;

// The services the program's entry makes (a test makes its own).
struct vek_program_services {
    g_presenter& presenter;
    g_carrier& carrier;
    g_dispatcher& dispatcher;
    error_handler& errors;  // its dialogs show on the screen
};

inline constexpr const char* quick_no_source_text = "The profile does not name a source MySQL database.";
inline constexpr const char* quick_no_dest_text = "The profile does not name a destination PostgreSQL database.";

// `args`: the command line after the program's name (Qt's own options
// removed). Empty: a normal start. Otherwise the arguments joined by blanks
// name a profile, and the wizard converts at once (quick launch). Returns
// the exit code: 0 only after a run that completed without an error and was
// finished; -1 for anything else.
int vek_run_program(const vek_program_services& services, const std::vector<std::string>& args);

// A Yes/No question before the sheet opens, No the default; true for Yes.
using vek_question = std::function<bool(const std::wstring& text)>;

// The question before a quick launch in mode 0 drops the existing destination
// `dest`, which holds `tables` (as the server names them).
std::wstring vek_drop_question(const std::wstring& dest, const std::vector<std::wstring>& tables);

// Quick launch before the sheet opens: the profile must load and name both
// databases (else nothing is connected and nothing applied), both servers
// connect, the source database exists, and then the destination is prepared:
// in mode 0 an existing one is dropped once `ask` allowed it; a missing one
// the run creates, whatever the mode. False after the reason was shown, or
// when the drop was refused.
bool vek_prepare_quick_launch(dravik_convertor& conv, const std::wstring& profile, error_handler& errors,
                              const vek_question& ask);
