#pragma once
// Waits in tests have a deadline of their own: a wait that never ends (a
// stop that is not seen, a hold that is not released, a call never served)
// fails with a message at once instead of holding ctest until its limit.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

// Far beyond any wait that works, even on a loaded machine.
inline constexpr std::chrono::seconds test_wait_limit{60};

// Polls `ready` every `period` until it answers true or the limit has passed;
// whether it did.
template <class F>
bool wait_until(F ready, std::chrono::milliseconds limit = test_wait_limit,
                std::chrono::milliseconds period = std::chrono::milliseconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline) return ready();
        std::this_thread::sleep_for(period);
    }
    return true;
}

// Runs `call`, which blocks until something else happens (a join, a thread
// object's destructor, a future), on this thread. When it has not returned
// within the limit the test program ends with a message naming `what`: the
// blocked call holds this thread's stack, so the test cannot go on past it.
template <class F>
void finish_within(const char* what, F&& call, std::chrono::milliseconds limit = test_wait_limit) {
    std::mutex lock;
    std::condition_variable changed;
    bool returned = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> g(lock);
        if (changed.wait_for(g, limit, [&] { return returned; })) return;
        std::fprintf(stderr, "FAILED: %s did not finish within %lld s\n", what,
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(limit).count()));
        std::fflush(nullptr);
        std::_Exit(1);
    });
    struct stop_watchdog {
        std::mutex& lock;
        std::condition_variable& changed;
        bool& returned;
        std::thread& watchdog;
        ~stop_watchdog() {
            {
                std::lock_guard<std::mutex> g(lock);
                returned = true;
            }
            changed.notify_all();
            watchdog.join();
        }
    } stop{lock, changed, returned, watchdog};
    call();
}
