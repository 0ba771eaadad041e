#include "tk/tk_threa.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

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

struct job_thread : tk_thread {
    explicit job_thread(tk_job* j, bool owns) : tk_thread(owns), job_to_run(j) {}
    tk_job* job_to_run;
    tk_job* create_job() override { return job_to_run; }
};

struct null_job_thread : tk_thread {
    tk_job* create_job() override { return nullptr; }
};

void wait_until_done(tk_thread& t) {
    for (int i = 0; i < 5000 && t.is_running(); ++i) std::this_thread::sleep_for(1ms);
    ASSERT_FALSE(t.is_running());
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
    job_thread t(&job, false);
    t.start();
    for (int i = 0; i < 5000 && job.sleeps.load() < 3; ++i) std::this_thread::sleep_for(1ms);
    EXPECT_GE(job.sleeps.load(), 3);
    EXPECT_TRUE(t.is_running());
    EXPECT_EQ(job.runs.load(), 0);
    t.terminate();
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
    t.terminate();
    EXPECT_FALSE(t.is_running());
    EXPECT_EQ(t.job(), nullptr);
}

TEST(TkThread, AssertionSites) {
    gated_job job;
    job_thread t(&job, false);
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
    job_thread t(&job, false);
    t.start();
    wait_until_done(t);
    t.start();
    wait_until_done(t);
    EXPECT_EQ(job.runs, 2);
}

TEST(TkThread, DestructorStopsTheJobAndHonoursOwnership) {
    std::atomic<int> deleted{0};
    auto* owned = new gated_job;
    owned->deleted = &deleted;
    {
        job_thread t(owned, true);
        t.start();
    }  // never released: the stop request ends it
    EXPECT_EQ(deleted, 1);

    gated_job kept;
    kept.deleted = &deleted;
    {
        job_thread t(&kept, false);
        t.start();
    }
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
    auto wait_for = [](auto done) {
        for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(1ms);
        return done();
    };
    {
        job_thread t(&job, false);
        t.start();
        EXPECT_FALSE(job.waiting_on_hold());
        {
            const tk_job_hold hold(job);
            ASSERT_TRUE(wait_for([&] { return job.waiting_on_hold(); }));
            EXPECT_TRUE(t.is_running());
        }
        const long released_at = job.steps.load();
        ASSERT_TRUE(wait_for([&] { return job.steps.load() > released_at; }));
        EXPECT_FALSE(job.waiting_on_hold());

        job.hold();
        ASSERT_TRUE(wait_for([&] { return job.waiting_on_hold(); }));
    }  // the destructor's stop request ends the hold
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
                job_thread t(&job, false);
                t.start();
                while (t.is_running()) std::this_thread::sleep_for(1ms);
            },
            testing::ExitedWithCode(255),
            standard ? "Internal error: An error left the worker thread: carried back from the screen"
                     : "Internal error: An error left the worker thread: Unknown error");
    }
}
