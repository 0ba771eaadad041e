#pragma once
// Values that cannot be carried over are reported while the rows are read,
// without stopping the table: the converter installs a reporter that hands
// them to its error handler as level-0 errors (they count as failures).
#include <string>

#include "tk/tk_exc.h"

class sql_value_reporter {
public:
    virtual ~sql_value_reporter() = default;
    // context: "<table>, record #<n>" (n counted from 1).
    virtual void report(const tk_exception& error, const std::wstring& context) = 0;
};

// Not owned; null restores the default, which writes the error to the trace
// at level 3. Set it before reading starts (not synchronised).
void sql_set_value_reporter(sql_value_reporter* reporter) noexcept;
sql_value_reporter* sql_get_value_reporter() noexcept;

// Sends one error to the installed reporter (or to the trace).
void sql_report_value_error(const tk_exception& error, const std::wstring& context);
