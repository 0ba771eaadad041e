#include "tk/tk_threa.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <system_error>

#include "tk/tk_exc.h"
#include "tk/tk_log.h"

void tk_job::operator()() {
    while (!is_ready()) {
        if (stop_requested()) return;
        do_sleep();
    }
    do_job();
}

void tk_job::do_sleep() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

void tk_job::on_escaped(const std::string& what) noexcept {
    tk_trace(3, "Internal error:\n%s", what.c_str());
    std::fprintf(stderr, "Internal error: %s\n", what.c_str());
    std::fflush(nullptr);
    std::_Exit(255);  // exit code -1
}

void tk_job::request_stop() noexcept {
    m_stop.store(true, std::memory_order_release);
    // Taken so that a job about to wait on its hold sees the stop.
    std::lock_guard<std::mutex> g(m_hold_lock);
    m_hold_changed.notify_all();
}

void tk_job::hold() noexcept {
    std::lock_guard<std::mutex> g(m_hold_lock);
    m_held.store(true, std::memory_order_release);
}

void tk_job::release_hold() noexcept {
    std::lock_guard<std::mutex> g(m_hold_lock);
    m_held.store(false, std::memory_order_release);
    m_hold_changed.notify_all();
}

bool tk_job::waiting_on_hold() const noexcept {
    std::lock_guard<std::mutex> g(m_hold_lock);
    return m_waiting;
}

void tk_job::wait_while_held() {
    if (!m_held.load(std::memory_order_acquire)) return;
    std::unique_lock<std::mutex> g(m_hold_lock);
    m_waiting = true;
    tk_trace(2, "tk_job: held");
    m_hold_changed.wait(g, [this] { return !m_held.load(std::memory_order_acquire) || stop_requested(); });
    m_waiting = false;
    tk_trace(2, "tk_job: released");
}

tk_thread::~tk_thread() {
    // A thread cannot be stopped safely from outside: ask the job to stop
    // and wait for it, so that no joinable std::thread is ever destroyed.
    stop_and_join();
    release();
}

bool tk_thread::is_running() const noexcept { return m_thread.joinable() && !m_done.load(std::memory_order_acquire); }

std::unique_ptr<tk_job> tk_thread::create_job() { return std::make_unique<tk_job>(); }

void tk_thread::thread_proc(tk_job* job, std::atomic<bool>* done) {
    struct mark_done {
        std::atomic<bool>* d;
        ~mark_done() { d->store(true, std::memory_order_release); }
    } guard{done};
    // An assertion here has no one to catch it on this thread.
    if (!job) tk_fail_in_destructor("tk_threa", 149);
    try {
        (*job)();
    } catch (...) {
        escaped(*job, std::current_exception());
    }
}

void tk_thread::escaped(tk_job& job, std::exception_ptr error) noexcept {
    try {
        std::string what = "Unknown error";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {}
        tk_trace(2, "tk_thread: an exception left the job: %s", what.c_str());
        job.on_escaped("An error left the worker thread: " + what);
    } catch (...) {
        // Not even the text could be made.
    }
    std::fputs("Internal error\n", stderr);
    std::fflush(nullptr);
    std::_Exit(255);
}

void tk_thread::start() {
    if (is_running()) throw tk_mail_assertion("tk_threa", 92);
    close();
    if (m_job) throw tk_mail_assertion("tk_threa", 100);
    if (m_borrowed) {
        m_job = m_borrowed;
    } else {
        m_owned = create_job();
        m_job = m_owned.get();
    }
    if (!m_job) throw tk_mail_assertion("tk_threa", 105);
    m_job->clear_stop();
    m_done.store(false, std::memory_order_release);
    try {
        m_thread = std::thread(&tk_thread::thread_proc, m_job, &m_done);
    } catch (const std::system_error& e) {
        m_done.store(true, std::memory_order_release);
        tk_trace(2, "tk_thread::start failed: %s", e.what());
        throw tk_exception(std::string("Cannot start a worker thread: ") + e.what(), 1);
    }
}

void tk_thread::close() {
    if (is_running()) throw tk_mail_assertion("tk_threa", 71);
    release();
}

void tk_thread::terminate() {
    if (!is_running()) throw tk_mail_assertion("tk_threa", 55);
    stop_and_join();
    close();
}

void tk_thread::stop_and_join() noexcept {
    if (!m_thread.joinable()) return;
    if (m_job && !m_done.load(std::memory_order_acquire)) m_job->request_stop();
    if (m_thread.get_id() == std::this_thread::get_id()) {
        // Destroyed from its own job: the thread cannot wait for itself.
        tk_fail_in_destructor("tk_threa", 55);
    }
    m_thread.join();
}

void tk_thread::release() noexcept {
    if (m_thread.joinable()) m_thread.join();  // finished: returns at once
    m_job = nullptr;
    m_owned.reset();
}
