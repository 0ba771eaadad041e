#include "gui2/g_disp.h"

#include <cstdio>

#include "converter/err_hand.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"

g_dispatcher::g_dispatcher(std::function<void(const std::string&)> error_box, error_handler* handler)
    : m_error_box(std::move(error_box)), m_handler(handler) {}

void g_dispatcher::show(const std::string& text) noexcept {
    try {
        if (m_error_box) {
            m_error_box(text);
            return;
        }
    } catch (...) {
        // The box itself failed: the standard error stream is all that is left.
    }
    std::fprintf(stderr, "%s\n", text.c_str());
}

void g_dispatcher::report(std::exception_ptr error) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const tk_exception& e) {
        tk_trace(2, "g_dispatcher: %s", e.what());
        if (!m_handler) return show(e.what());
        try {
            m_handler->handle(e, true);
        } catch (const tk_final_exception&) {
        } catch (const std::exception& again) {
            show(again.what());
        } catch (...) {
            show("Unknown error");
        }
    } catch (const tk_final_exception&) {
        tk_trace(2, "g_dispatcher: run ended");
    } catch (const std::exception& e) {
        tk_trace(2, "g_dispatcher: %s", e.what());
        show(e.what());
    } catch (...) {
        show("Unknown error");
    }
}
