#include "tk/tk_threa.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>

#include "support/bounded_wait.h"
#include "tk/tk_exc.h"

namespace {
using namespace std::chrono_literals;

std::string assertion_of(void (*f)(tk_thread&), tk_thread& t) {
    try {
        f(t);
    } catch (const tk_mail_assertion& e) {
        return e.what();
    }
    return "no assertion";
}

// A job that runs until it is released or asked to stop.
struct gated_job : tk_job {
    std::atomic<bool> release{false};
    std::atomic<int>* deleted = nullptr;
    std::atomic<int> runs{0};
    ~gated_job() override {
        if (deleted) ++*deleted;
    }
    bool is_ready() override { return release.load(); }
    void do_sleep() override { std::this_thread::sleep_for(1ms); }
    void do_job() override { ++runs; }
};

// Runs the job it was given once, owning it.
struct owning_thread : tk_thread {
    explicit owning_thread(std::unique_ptr<tk_job> j) : next(std::move(j)) {}
    std::unique_ptr<tk_job> next;
    std::unique_ptr<tk_job> create_job() override { return std::move(next); }
};

struct null_job_thread : tk_thread {
    std::unique_ptr<tk_job> create_job() override { return nullptr; }
};

void wait_until_done(tk_thread& t) {
    ASSERT_TRUE(wait_until([&] { return !t.is_running(); })) << "the job did not end";
}

// terminate waits for the job to see the stop request.
void terminate_within_limit(tk_thread& t) {
    finish_within("terminate", [&] { t.terminate(); });
}
}  // namespace

// A plain job is never ready: it goes round its sleep until asked to stop and
// never does its work. (It never ends by itself, so terminate returning at
// all shows the stop request was seen.)
TEST(TkThread, PlainJobWaitsUntilAskedToStop) {
    struct counting_plain_job : tk_job {
        std::atomic<int> sleeps{0};
        std::atomic<int> runs{0};
        void do_sleep() override {
            ++sleeps;
            std::this_thread::sleep_for(1ms);
        }
        void do_job() override { ++runs; }
    } job;
    EXPECT_FALSE(job.is_ready());
    tk_thread t(job);
    t.start();
    EXPECT_TRUE(wait_until([&] { return job.sleeps.load() >= 3; }));
    EXPECT_TRUE(t.is_running());
    EXPECT_EQ(job.runs.load(), 0);
    terminate_within_limit(t);
    EXPECT_FALSE(t.is_running());
    EXPECT_EQ(job.runs.load(), 0);
}

TEST(TkThread, DefaultJobIsAPlainJobOwnedByTheThread) {
    tk_thread t;
    t.start();
    EXPECT_TRUE(t.owns_job());
    EXPECT_TRUE(t.is_running());
    ASSERT_NE(t.job(), nullptr);
    EXPECT_FALSE(t.job()->is_ready());
    terminate_within_limit(t);
    EXPECT_FALSE(t.is_running());
    EXPECT_EQ(t.job(), nullptr);
}

TEST(TkThread, AssertionSites) {
    gated_job job;
    tk_thread t(job);
    EXPECT_EQ(assertion_of([](tk_thread& x) { x.terminate(); }, t), tk_assertion_text("tk_threa", 55));
    t.start();
    EXPECT_EQ(assertion_of([](tk_thread& x) { x.start(); }, t), tk_assertion_text("tk_threa", 92));
    EXPECT_EQ(assertion_of([](tk_thread& x) { x.close(); }, t), tk_assertion_text("tk_threa", 71));
    job.release = true;
    wait_until_done(t);
    EXPECT_EQ(job.runs, 1);

    null_job_thread n;
    EXPECT_EQ(assertion_of([](tk_thread& x) { x.start(); }, n), tk_assertion_text("tk_threa", 105));
}

TEST(TkThread, RestartAfterTheJobEnded) {
    gated_job job;
    job.release = true;
    tk_thread t(job);
    t.start();
    wait_until_done(t);
    t.start();
    wait_until_done(t);
    EXPECT_EQ(job.runs, 2);
}

TEST(TkThread, DestructorStopsTheJobAndHonoursOwnership) {
    std::atomic<int> deleted{0};
    auto owned = std::make_unique<gated_job>();
    owned->deleted = &deleted;
    finish_within("destroying a thread that owns its job", [&] {
        owning_thread t(std::move(owned));
        t.start();
        EXPECT_TRUE(t.owns_job());
    });  // never released: the stop request ends it
    EXPECT_EQ(deleted, 1);

    gated_job kept;
    kept.deleted = &deleted;
    finish_within("destroying a thread that borrows its job", [&] {
        tk_thread t(kept);
        t.start();
        EXPECT_FALSE(t.owns_job());
        EXPECT_EQ(t.job(), &kept);
    });
    EXPECT_EQ(deleted, 1);
    EXPECT_TRUE(kept.stop_requested());
    EXPECT_EQ(kept.runs, 0);
}

// A held job waits at its next wait_while_held() until the hold ends; a stop
// ends the hold too, so that a thread destroyed while its job is held never
// waits for ever.
TEST(TkThread, AHeldJobWaitsUntilReleasedOrStopped) {
    struct stepping_job : tk_job {
        std::atomic<long> steps{0};
        void operator()() override {
            while (!stop_requested()) {
                wait_while_held();
                ++steps;
            }
        }
    } job;
    finish_within("destroying a thread whose job is held", [&] {
        tk_thread t(job);
        t.start();
        EXPECT_FALSE(job.waiting_on_hold());
        {
            const tk_job_hold hold(job);
            ASSERT_TRUE(wait_until([&] { return job.waiting_on_hold(); }));
            EXPECT_TRUE(t.is_running());
        }
        const long released_at = job.steps.load();
        ASSERT_TRUE(wait_until([&] { return job.steps.load() > released_at; }));
        EXPECT_FALSE(job.waiting_on_hold());

        job.hold();
        ASSERT_TRUE(wait_until([&] { return job.waiting_on_hold(); }));
    });  // the destructor's stop request ends the hold
    EXPECT_FALSE(job.waiting_on_hold());
    job.release_hold();
}

// Nothing leaves a worker thread: what a job lets escape ends the program as
// an internal error, exit code -1, never through std::terminate (a signal).
TEST(TkThreadDeathTest, AnExceptionLeavingTheJobIsAnInternalError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct throwing_job : tk_job {
        bool standard;
        explicit throwing_job(bool s) : standard(s) {}
        void operator()() override {
            if (standard) throw std::runtime_error("carried back from the screen");
            throw 7;
        }
    };
    for (const bool standard : {true, false}) {
        EXPECT_EXIT(
            {
                throwing_job job(standard);
                tk_thread t(job);
                t.start();
                wait_until([&] { return !t.is_running(); });
            },
            testing::ExitedWithCode(255),
            standard ? "Internal error: An error left the worker thread: carried back from the screen"
                     : "Internal error: An error left the worker thread: Unknown error");
    }
}
