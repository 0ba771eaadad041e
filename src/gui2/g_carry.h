#pragma once
// g_carrier: brings a call that needs the screen (a box, an error dialog,
// the progress timer) from a worker thread to the GUI thread and waits for
// its answer. A call made on the GUI thread runs at once. Exceptions raised
// by the call on the GUI thread are raised again in the caller.
//
// Once the carrier is closed (the sheet has ended and the GUI thread is
// about to wait for the worker), a worker's call is no longer delivered: it
// gets the fallback answer at once, so a worker never waits for a GUI thread
// that is waiting for it.
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include <QObject>

class g_carrier {
public:
    // Created on the GUI thread (after the application object).
    g_carrier();
    ~g_carrier();
    g_carrier(const g_carrier&) = delete;
    g_carrier& operator=(const g_carrier&) = delete;

    bool on_gui_thread() const noexcept;
    void close() noexcept;
    bool closed() const noexcept;

    // The call's result, or `fallback` when it could not be delivered.
    template <class F, class R = std::invoke_result_t<F&>>
    R call(F f, R fallback) {
        std::optional<R> result;
        if (!deliver([&] { result.emplace(f()); })) return fallback;
        return std::move(*result);
    }
    // A call without a result: true when it ran.
    template <class F>
    bool run(F f) {
        return deliver([&] { f(); });
    }

private:
    struct pending {
        bool running = false;  // the GUI thread has started the call
        bool done = false;
        bool abandoned = false;
        std::exception_ptr error;
    };

    template <class Body>
    bool deliver(Body body);
    bool post(std::function<void()> task);
    bool wait(const std::shared_ptr<pending>& state);

    std::unique_ptr<QObject> m_context;  // lives on the GUI thread; queued calls run there
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_closed = false;
};

template <class Body>
bool g_carrier::deliver(Body body) {
    if (on_gui_thread()) {
        body();
        return true;
    }
    auto state = std::make_shared<pending>();
    // The body lives on this (waiting) thread's stack; the GUI thread runs it
    // only while this thread waits, and never once the wait was abandoned.
    if (!post([&body, state, this] {
            {
                std::lock_guard<std::mutex> g(m_lock);
                // Closed while it was queued: the worker takes its fallback.
                if (state->abandoned || m_closed) return;
                state->running = true;
            }
            std::exception_ptr error;
            try {
                body();
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard<std::mutex> g(m_lock);
            state->error = error;
            state->done = true;
            m_changed.notify_all();
        }))
        return false;
    if (!wait(state)) return false;
    if (state->error) std::rethrow_exception(state->error);
    return true;
}
