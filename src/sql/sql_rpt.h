#pragma once
// Values that cannot be carried over are reported while the rows are read,
// without stopping the table: the converter installs a reporter on the engine
// that hands them to its error handler as level-0 errors (they count as
// failures).
#include <atomic>
#include <string>

#include "tk/tk_exc.h"

class sql_value_reporter {
public:
    virtual ~sql_value_reporter() = default;
    // context: "<table>, record #<n>" (n counted from 1).
    virtual void report(const tk_exception& error, const std::wstring& context) = 0;
};

// Where the readers and writers of one engine send such errors: the installed
// reporter, or without one the trace at level 3. The owner of a run installs
// it from its own thread while another thread may be reading rows, so the
// reporter is kept atomically.
class sql_value_reports {
public:
    // Installs the reporter (not owned; null: the trace) and returns the one
    // it replaces.
    sql_value_reporter* install(sql_value_reporter* reporter) noexcept {
        return m_reporter.exchange(reporter, std::memory_order_acq_rel);
    }
    // Sends one error to the installed reporter (or to the trace).
    void report(const tk_exception& error, const std::wstring& context) const;
    // The report without a reporter.
    static void trace(const tk_exception& error, const std::wstring& context);

private:
    std::atomic<sql_value_reporter*> m_reporter{nullptr};
};
