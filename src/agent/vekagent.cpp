// vekagent: converts one MySQL database into a PostgreSQL database from the
// command line, unattended. Exit code 0 only when everything converted; -1
// (255) when any error was reported or the program ended early.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "agent/agent_cmd.h"
#include "agent/agent_conv.h"
#include "agent/agent_fatal.h"
#include "agent/agent_log.h"
#include "agent/agent_out.h"
#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "platform/pf_heap.h"
#include "tk/tk_utils.h"

namespace {

// Ends the program at once with -1; nothing on the stack is destroyed.
[[noreturn]] void fatal_exit(agent_console& console, const std::string& text) {
    console.fatal(text);
    std::fflush(nullptr);
    std::_Exit(255);
}

}  // namespace

int main(int argc, char** argv) {
    pf_heap_return_large_blocks();
    std::unique_ptr<tk_log> log = agent_make_log();
    agent_console console(std::cout, std::cerr);
    log->set_failure_report([&console](const std::string& text) { console.log_failure(text); });
    agent_dialogs dialogs(console);
    error_handler eh(pgs_error_map);
    eh.load_err_map(mysql_error_map);
    eh.set_dialogs(&dialogs);
    agent_hooks hooks(console);
    dravik_convertor conv(eh, converter_form::agent);
    conv.set_run_hooks(&hooks);
    agent_converter_target target(conv, eh, console);

    bool ran = false;
    try {
        if (argc <= 1 || !parse_cmd_line(argc, argv, target)) fatal_exit(console, agent_usage_text());

        conv.connect_pgs_server();
        if (!conv.is_db_exist(conv.dest))
            fatal_exit(console, "Database '" + agent_console::shown(conv.dest) + "' does not exist");
        conv.connect_mysql_server();
        // The source must be there before anything happens to the destination
        // (mode 0 drops it): a mistyped source name must not cost the
        // destination database.
        if (!conv.is_mysql_base_exist(conv.src))
            fatal_exit(console, "Source database '" + agent_console::shown(conv.src) + "' does not exist");
        conv.check_dest();
        ran = true;
        conv();
    } catch (const agent_fatal& e) {
        fatal_exit(console, e.what());
    } catch (const tk_exception& e) {
        // Level 2 ends the program inside; levels 0 and 1 are reported and counted.
        eh.handle(e, true);
    } catch (const std::exception& e) {
        fatal_exit(console, e.what());
    } catch (...) {
        fatal_exit(console, "Unknown error");
    }

    const bool complete = ran && conv.last_outcome() == dravik_convertor::run_outcome::completed &&
                          eh.error_count() == 0 && console.errors() == 0;
    conv.set_run_hooks(nullptr);
    eh.set_dialogs(nullptr);
    log->set_failure_report(nullptr);
    return complete ? 0 : -1;
}
