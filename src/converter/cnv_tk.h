#pragma once
// tk_converter: a runnable job with the two database names, the trace log
// name and the flags every program's converter has.
#include <atomic>
#include <string>
#include <vector>

#include "tk/tk_log.h"
#include "tk/tk_threa.h"

// How a refused log file name speaks of a profile it would overwrite.
inline constexpr const char* profile_file_role = "the profile file";

class tk_converter : public tk_job {
public:
    tk_converter();
    ~tk_converter() override;

    virtual void set_silent(bool on) { b_silent = on; }

    // Checks the name (level-1 tk_exception for a read-only file, a missing
    // folder or a file the program reads), keeps it in `logfile` and switches
    // the trace log on when one exists. An empty name is kept and leaves the
    // log as it is.
    void set_logfile(const std::string& name);
    // A file the program reads (a profile, the table-list file): set_logfile
    // refuses a name that leads to it, from then on.
    void add_input_file(const std::string& path, const std::string& role);

    // True once a run has ended, whatever the way; written last by the run
    // (release), so a reader that sees it (acquire) also sees the final counters.
    std::atomic<bool> b_finished{false};
    bool b_silent = false;
    std::wstring src;     // source MySQL database
    std::wstring dest;    // destination PostgreSQL database
    std::string logfile;  // trace log file name (ANSI code page)

private:
    std::vector<tk_input_file> m_inputs;
};
