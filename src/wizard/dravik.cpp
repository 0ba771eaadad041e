// dravik: the windowed wizard that converts a MySQL database into a
// PostgreSQL database page by page, or at once from a profile named on the
// command line (quick launch).

#include <string>
#include <vector>

#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "gui2/g_app.h"
#include "gui2/g_bridge.h"
#include "gui2/g_carry.h"
#include "gui2/g_disp.h"
#include "gui2/g_err_ui.h"
#include "gui2/g_qt_pres.h"
#include "platform/pf_heap.h"
#include "tk/tk_log.h"
#include "wizard/vek_main.h"

int main(int argc, char** argv) {
    pf_heap_return_large_blocks();
    // A profile's "logfile" switches the trace on; until then it is off.
    tk_log log(nullptr, false, 3, false);
    error_handler eh(pgs_error_map);
    eh.load_err_map(mysql_error_map);
    init_common_controls(argc, argv);

    g_application app(argc, argv);
    // What is left once the window framework took its own options.
    const std::vector<std::string> args(argv + 1, argv + argc);
    g_qt_presenter presenter;
    g_desktop_bridges bridges(presenter);
    g_carrier carrier;
    g_dispatcher dispatcher(nullptr, &eh);
    gui_error_dialogs dialogs(presenter, carrier, dispatcher);
    // Other failures in the error box: the wizard's while it exists, else a bare one.
    dispatcher.set_error_box([&dialogs](const std::string& text) { dialogs.show_error(text); });
    app.set_dispatcher(&dispatcher);
    eh.set_dialogs(&dialogs);

    const int code = vek_run_program({presenter, carrier, dispatcher, eh}, args);
    app.set_dispatcher(nullptr);
    eh.set_dialogs(nullptr);
    return code;
}
