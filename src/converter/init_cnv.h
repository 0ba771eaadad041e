#pragma once
// init_conversion: brackets one run. Writes the start and end lines to the
// trace and sets the finished flag when the run is left, whatever the way.
#include <atomic>

class cnv_run_hooks;

class init_conversion {
public:
    init_conversion(std::atomic<bool>* finished, bool b_no_com, cnv_run_hooks* hooks = nullptr);
    ~init_conversion();
    init_conversion(const init_conversion&) = delete;
    init_conversion& operator=(const init_conversion&) = delete;

private:
    bool b_no_com;  // nothing to initialise for this thread here; kept for the callers' shape
    std::atomic<bool>* m_finished;
};
