#include "sql/sql_rpt.h"

#include "tk/tk_log.h"

void sql_value_reports::report(const tk_exception& error, const std::wstring& context) const {
    if (sql_value_reporter* reporter = m_reporter.load(std::memory_order_acquire)) {
        reporter->report(error, context);
        return;
    }
    trace(error, context);
}

void sql_value_reports::trace(const tk_exception& error, const std::wstring& context) {
    tk_trace_w(3, L"%s: %S", context.c_str(), error.message().c_str());
}
