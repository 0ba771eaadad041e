#pragma once

// A trace log in a temporary file for as long as the object lives, so a test
// can read back the lines that the code under test wrote at or above a level.

#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>
#include <unistd.h>

#include "tk/tk_log.h"

class trace_capture {
public:
    explicit trace_capture(int level = 3) : m_path(make_path()), m_log(m_path.c_str(), true, level, false) {}
    ~trace_capture() { unlink(m_path.c_str()); }
    trace_capture(const trace_capture&) = delete;
    trace_capture& operator=(const trace_capture&) = delete;

    std::string text() const {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    static std::string make_path() {
        char tmpl[] = "/tmp/vek_trace_XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd >= 0) close(fd);
        return tmpl;
    }
    std::string m_path;
    tk_log m_log;
};
