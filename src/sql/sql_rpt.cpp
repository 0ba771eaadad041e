#include "sql/sql_rpt.h"

#include "tk/tk_log.h"

namespace {
sql_value_reporter* g_reporter = nullptr;
}

void sql_set_value_reporter(sql_value_reporter* reporter) noexcept { g_reporter = reporter; }

sql_value_reporter* sql_get_value_reporter() noexcept { return g_reporter; }

void sql_report_value_error(const tk_exception& error, const std::wstring& context)
{
    if (g_reporter) {
        g_reporter->report(error, context);
        return;
    }
    tk_trace_w(3, L"%s: %S", context.c_str(), error.message().c_str());
}
