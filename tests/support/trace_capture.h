#pragma once

// A trace log in a temporary folder for as long as the object lives, so a
// test can read back the lines that the code under test wrote at or above a
// level.

#include <string>

#include "support/test_dir.h"
#include "tk/tk_log.h"

class trace_capture {
public:
    explicit trace_capture(int level = 3) : m_log(m_path.c_str(), true, level, false) {}
    trace_capture(const trace_capture&) = delete;
    trace_capture& operator=(const trace_capture&) = delete;

    std::string text() const { return test_dir::read(m_path); }
    const std::string& path() const { return m_path; }

private:
    test_dir m_dir{"vek_trace"};
    std::string m_path = m_dir.file("trace.log");
    tk_log m_log;
};
