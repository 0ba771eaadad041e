// Calls from a worker thread that need the screen are made on the GUI thread.
#include <QTest>
#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>

#include "gui2/g_fixture.h"
#include "support/bounded_wait.h"

namespace {

// Sees a worker's call reach the GUI thread's queue: the carrier posts it as
// a meta call to its plain context object. `on_arrival` runs as the GUI
// thread gets to it and answers whether the call is held back (never served)
// rather than delivered.
class queued_call_watch : public QObject {
public:
    explicit queued_call_watch(std::function<bool()> on_arrival) : m_on_arrival(std::move(on_arrival)) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~queued_call_watch() override { QCoreApplication::instance()->removeEventFilter(this); }

    // Serves the GUI thread's events until the call has arrived.
    bool wait_for_call() {
        return QTest::qWaitFor([this] { return m_arrived; }, 10000);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_arrived || event->type() != QEvent::MetaCall || watched->metaObject() != &QObject::staticMetaObject)
            return false;
        m_arrived = true;
        return m_on_arrival();
    }

private:
    std::function<bool()> m_on_arrival;
    bool m_arrived = false;
};

TEST_F(ShellTest, a_box_asked_for_by_a_worker_is_shown_on_the_gui_thread) {
    make_shell({probe_shape{1}});
    shell->open();
    gui.presenter.box_answers = {g_button::ok, g_button::yes};
    bool answer = false;
    on_worker([&] {
        shell->error(L"from the worker");
        answer = shell->question(L"go on?");
    });
    ASSERT_EQ(gui.presenter.boxes.size(), 2u);
    for (const shown_box& b : gui.presenter.boxes) EXPECT_EQ(b.thread, std::this_thread::get_id());
    EXPECT_EQ(gui.presenter.boxes[0].caption, "Tessaline 1.0 Error");
    EXPECT_TRUE(answer);
}

TEST(Carrier, runs_at_once_on_the_gui_thread_and_carries_results_and_exceptions) {
    g_carrier carrier;
    EXPECT_TRUE(carrier.on_gui_thread());
    EXPECT_EQ(carrier.call([] { return 7; }, 0), 7);

    int result = 0;
    std::thread::id ran_on;
    bool thrown = false;
    on_worker([&] {
        result = carrier.call(
            [&] {
                ran_on = std::this_thread::get_id();
                return 42;
            },
            0);
        try {
            carrier.run([] { throw std::runtime_error("refused"); });
        } catch (const std::runtime_error& e) {
            thrown = std::string(e.what()) == "refused";
        }
    });
    EXPECT_EQ(result, 42);
    EXPECT_EQ(ran_on, std::this_thread::get_id());
    EXPECT_TRUE(thrown);
}

TEST(Carrier, a_closed_carrier_answers_a_worker_with_the_fallback) {
    g_carrier carrier;
    carrier.close();
    bool ran = false;
    int result = -5;
    std::thread worker([&] {
        result = carrier.call(
            [&] {
                ran = true;
                return 1;
            },
            9);
    });
    worker.join();  // no events served: it must not wait for them
    EXPECT_EQ(result, 9);
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
    // The GUI thread itself still runs its calls.
    EXPECT_EQ(carrier.call([] { return 3; }, 0), 3);
}

TEST(Carrier, closing_releases_a_worker_that_waits) {
    g_carrier carrier;
    bool ran = false;
    int result = 0;
    // The GUI thread takes the call off its queue and holds it back: it is
    // never served.
    queued_call_watch queued([] { return true; });
    std::thread worker([&] {
        result = carrier.call(
            [&] {
                ran = true;
                return 1;
            },
            2);
    });
    const bool arrived = queued.wait_for_call();
    EXPECT_TRUE(arrived) << "the worker's call was not queued";
    carrier.close();
    finish_within("the worker after closing", [&] { worker.join(); });
    QCoreApplication::processEvents();
    EXPECT_EQ(result, 2);
    EXPECT_FALSE(ran);
}

TEST(Carrier, a_call_queued_before_closing_never_runs_even_when_the_gui_thread_gets_to_it_first) {
    // The GUI thread serves its events right after closing, racing the worker
    // that wakes up to take its fallback.
    for (int round = 0; round < 50; ++round) {
        g_carrier carrier;
        std::atomic<bool> ran{false};
        int result = 0;
        // Closed as the GUI thread takes the queued call, which it then serves.
        queued_call_watch queued([&] {
            carrier.close();
            return false;
        });
        std::thread worker([&] {
            result = carrier.call(
                [&] {
                    ran = true;
                    return 1;
                },
                2);
        });
        const bool arrived = queued.wait_for_call();
        EXPECT_TRUE(arrived) << "the worker's call was not queued, round " << round;
        carrier.close();
        finish_within("the worker after closing", [&] { worker.join(); });
        ASSERT_FALSE(ran) << "round " << round;
        ASSERT_EQ(result, 2);
    }
}

}  // namespace
