// dravik: the windowed wizard that converts a MySQL database into a
// PostgreSQL database page by page.

#include <memory>
#include <string>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "gui2/g_app.h"
#include "gui2/g_bridge.h"
#include "gui2/g_carry.h"
#include "gui2/g_disp.h"
#include "gui2/g_err_ui.h"
#include "gui2/g_qt_pres.h"
#include "tk/tk_log.h"
#include "wizard/vek_shel.h"

int main(int argc, char** argv) {
    // A profile's "logfile" switches the trace on; until then it is off.
    tk_log log(nullptr, false, 3, false);
    error_handler eh(pgs_error_map);
    eh.load_err_map(mysql_error_map);
    init_common_controls(argc, argv);

    g_application app(argc, argv);
    g_qt_presenter presenter;
    g_desktop_bridges bridges(presenter);
    g_carrier carrier;
    g_dispatcher dispatcher(nullptr, &eh);
    gui_error_dialogs dialogs(presenter, carrier, dispatcher);
    // Other failures in the error box: the wizard's while it exists, else a bare one.
    dispatcher.set_error_box([&dialogs](const std::string& text) { dialogs.show_error(text); });
    app.set_dispatcher(&dispatcher);
    eh.set_dialogs(&dialogs);
    vek_run_hooks hooks(eh);

    int code = -1;
    try {
        dravik_convertor conv(eh, converter_form::wizard);
        conv.set_run_hooks(&hooks);
        vek_shell shell({presenter, carrier, dispatcher});
        vek_add_pages(shell, conv);
        code = vek_exit_code(shell.run(), conv, eh);
    } catch (const tk_exception& e) {
        // Reported by the handler (an internal error ends the program there).
        eh.handle(e, true);
        code = -1;
    } catch (const std::exception& e) {
        dialogs.show_error(e.what());
        code = -1;
    }
    app.set_dispatcher(nullptr);
    eh.set_dialogs(nullptr);
    return code;
}
