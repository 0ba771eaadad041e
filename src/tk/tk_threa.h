#pragma once
// A job with overridable steps, and a thread object that runs one job.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class tk_job {
public:
    tk_job() = default;
    tk_job(const tk_job&) = delete;
    tk_job& operator=(const tk_job&) = delete;
    virtual ~tk_job() = default;

    // Default: while not ready (and no stop asked) sleep; then do_job once.
    virtual void operator()();
    virtual bool is_ready() { return false; }
    virtual void do_sleep();  // 100 ms
    virtual void do_job() {}

    // An exception left operator() on a worker thread (tk_thread catches
    // everything there: nothing may leave a thread, where it would end the
    // program through std::terminate). The job ends the program as an
    // internal error; the default traces "Internal error:\n<what>" at level
    // 3, writes "Internal error: <what>" to standard error and exits with -1.
    [[noreturn]] virtual void on_escaped(const std::string& what) noexcept;

    // Cooperative stop: the owner asks, long-running jobs check and return.
    // A stop also ends a hold.
    void request_stop() noexcept;
    bool stop_requested() const noexcept { return m_stop.load(std::memory_order_acquire); }
    void clear_stop() noexcept { m_stop.store(false, std::memory_order_release); }

    // Cooperative hold: while the owner holds the job (from any thread), a
    // long-running job waits at its next wait_while_held() until the hold is
    // released or a stop is asked.
    void hold() noexcept;
    void release_hold() noexcept;
    // The job waits at a hold now.
    bool waiting_on_hold() const noexcept;
    // Called by the job where it may wait; cheap when nothing holds it.
    void wait_while_held();

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_held{false};
    mutable std::mutex m_hold_lock;
    std::condition_variable m_hold_changed;
    bool m_waiting = false;
};

// Holds a job while the scope lasts.
class tk_job_hold {
public:
    explicit tk_job_hold(tk_job& job) noexcept : m_job(job) { m_job.hold(); }
    ~tk_job_hold() { m_job.release_hold(); }
    tk_job_hold(const tk_job_hold&) = delete;
    tk_job_hold& operator=(const tk_job_hold&) = delete;

private:
    tk_job& m_job;
};

// Runs one job at a time on a worker thread. The job is either borrowed for
// the thread object's whole life (the owner keeps it, e.g. the converter) or
// made by create_job on every start and owned until close.
class tk_thread {
public:
    // Each start runs a job made by create_job; the thread owns it.
    tk_thread() = default;
    // Each start runs `job`, which the thread never deletes: it must outlive
    // the thread object.
    explicit tk_thread(tk_job& job) noexcept : m_borrowed(&job) {}
    tk_thread(const tk_thread&) = delete;
    tk_thread& operator=(const tk_thread&) = delete;
    // Asks a running job to stop and waits for it; never throws.
    virtual ~tk_thread();

    void start();      // tk_threa 92 (running), 100 (job left), 105 (no job)
    void close();      // tk_threa 71 (running)
    void terminate();  // tk_threa 55 (not running): asks the job to stop, joins
    bool is_running() const noexcept;

    // The job of the current or last thread; null after close.
    tk_job* job() const noexcept { return m_job; }
    bool owns_job() const noexcept { return m_borrowed == nullptr; }

protected:
    // The job to run when none is borrowed; the default makes a plain tk_job.
    virtual std::unique_ptr<tk_job> create_job();

private:
    static void thread_proc(tk_job* job, std::atomic<bool>* done);
    // Hands what left the job to the job's on_escaped; never returns.
    [[noreturn]] static void escaped(tk_job& job, std::exception_ptr error) noexcept;
    void stop_and_join() noexcept;
    void release() noexcept;

    std::thread m_thread;
    std::atomic<bool> m_done{true};
    tk_job* const m_borrowed = nullptr;
    std::unique_ptr<tk_job> m_owned;  // the job made by create_job, until close
    tk_job* m_job = nullptr;          // m_borrowed or m_owned while set
};
