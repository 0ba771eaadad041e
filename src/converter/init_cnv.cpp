#include "converter/init_cnv.h"

#include <ctime>

#include "converter/cnv_hook.h"
#include "tk/tk_log.h"

namespace {
void trace_time(const char* format) {
    if (!tk_trace_wanted(3)) return;
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    tk_trace(3, format, t.tm_mday, t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
}
}  // namespace

init_conversion::init_conversion(std::atomic<bool>* finished, bool no_com, cnv_run_hooks* listener)
    : b_no_com(no_com), m_finished(finished) {
    tk_trace(2, "init_conversion::ctor");
    trace_time("Conversion started on %02d/%02d/%04d at %02d:%02d:%02d\n");
    // The run must start even when the program's hook fails; the trace
    // says what failed.
    if (!listener) return;
    try {
        listener->on_run_started();
    } catch (const std::exception& e) {
        tk_trace(3, "The run's start hook failed: %s", e.what());
    } catch (...) {
        tk_trace(3, "The run's start hook failed: unknown error");
    }
}

init_conversion::~init_conversion() {
    tk_trace(2, "init_conversion::dtor");
    trace_time("Conversion ended on %02d/%02d/%04d at %02d:%02d:%02d\n");
    if (m_finished) m_finished->store(true, std::memory_order_release);
}
