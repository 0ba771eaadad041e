#include "wizard/vek_main.h"

#include <algorithm>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "gui2/g_presen.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_prof.h"
#include "wizard/vek_shel.h"

namespace {
const char* const no_profile_text = "Profile does not exist. Please verify the correct path/name was given.";

// Shown in the error box (the bare one: no sheet is open), traced and counted.
bool refuse(error_handler& errors, const std::string& text) {
    errors.report_failure(text);
    return false;
}
}  // namespace

std::wstring vek_drop_question(const std::wstring& dest, const std::vector<std::wstring>& tables) {
    constexpr std::size_t named_at_most = 10;
    // Tables of the default schema by their own names, all in name order.
    std::vector<std::wstring> names;
    for (const std::wstring& t : tables) names.push_back(t.rfind(L"public.", 0) == 0 ? t.substr(7) : t);
    std::sort(names.begin(), names.end());
    std::wstring held;
    if (names.empty()) {
        held = L"It holds no tables.";
    } else {
        held = L"It holds " + std::to_wstring(names.size()) + (names.size() == 1 ? L" table: " : L" tables: ");
        for (std::size_t i = 0; i < names.size() && i < named_at_most; ++i) held += (i ? L", " : L"") + names[i];
        if (names.size() > named_at_most) held += L" and " + std::to_wstring(names.size() - named_at_most) + L" more";
        held += L".";
    }
    return L"The destination database '" + dest + L"' already exists. " + held +
           L"\n\nOverwrite the entire database? Everything in it is dropped.";
}

bool vek_prepare_quick_launch(dravik_convertor& conv, const std::wstring& path, error_handler& errors,
                              const vek_question& ask) {
    tk_trace_w(2, L"QUICK LAUNCH: profile=%s", path.c_str());
    try {
        // Checked before anything is applied: a profile that yields nothing
        // must not leave the last destination in force.
        udb_profile profile;
        if (!profile.load(path)) return refuse(errors, profile_unloadable_text);
        if (profile.get_value(udb_profile::generic_settings, L"src").empty())
            return refuse(errors, quick_no_source_text);
        if (profile.get_value(udb_profile::generic_settings, L"dest").empty())
            return refuse(errors, quick_no_dest_text);
        if (!conv.load_profile(profile)) return refuse(errors, profile_unloadable_text);

        conv.connect_mysql_server();
        conv.connect_pgs_server();
        // The source must be there before anything happens to the destination.
        if (!conv.is_mysql_base_exist(conv.src))
            return refuse(errors, "Source database '" + tk_w2a_or_marks(conv.src) + "' does not exist");
        // The profile's mode 0 was chosen when it was saved, for the
        // destination as it was then: what it holds now is asked about first.
        if (conv.n_mode == udb_converter::mode_overwrite_database && conv.is_db_exist(conv.dest) &&
            !ask(vek_drop_question(conv.dest, conv.table_names_of(conv.dest)))) {
            tk_trace(2, "The destination is not dropped: the quick launch ends");
            return false;
        }
        conv.check_dest();
        return true;
    } catch (const tk_exception& e) {
        if (e.level() == 2) errors.handle(e, true);  // ends the program
        return refuse(errors, errors.message_for(e));
    }
}

int vek_run_program(const vek_program_services& s, const std::vector<std::string>& args) {
    try {
        dravik_convertor conv(s.errors, converter_form::wizard);
        const bool quick = !args.empty();
        // Made before a quick launch is prepared, whose question is the
        // shell's box: unframed, as no sheet is open yet.
        vek_shell shell({s.presenter, s.carrier, s.dispatcher});
        if (quick) {
            std::string joined;
            for (const std::string& a : args) joined += (joined.empty() ? "" : " ") + a;
            std::wstring path;
            // A name that is no text cannot be opened.
            if (!tk_a2w(std::string_view(joined), path)) {
                refuse(s.errors, no_profile_text);
                return -1;
            }
            const vek_question ask = [&shell](const std::wstring& text) { return shell.question(text, g_button::no); };
            if (!vek_prepare_quick_launch(conv, path, s.errors, ask)) return -1;
        }
        if (quick)
            vek_add_run_pages(shell, conv, s.errors);
        else
            vek_add_pages(shell, conv, s.errors);
        return vek_exit_code(shell.run(), conv, s.errors);
    } catch (const tk_final_exception&) {
        // Reported where it was raised.
    } catch (const tk_exception& e) {
        // Reported by the handler (an internal error ends the program there).
        s.errors.handle(e, true);
    } catch (const std::exception& e) {
        s.errors.report_failure(e.what());
    }
    return -1;
}
