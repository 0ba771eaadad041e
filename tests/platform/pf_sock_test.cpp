#include "platform/pf_sock.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>

#include "support/bounded_wait.h"

namespace {

struct socket_pair {
    int fd[2] = {-1, -1};
    socket_pair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fd), 0); }
    ~socket_pair() {
        for (int f : fd)
            if (f >= 0) close(f);
    }
};

TEST(PfSocketStop, ends_a_read_that_waits_on_another_thread) {
    socket_pair pair;
    pf_socket_stop stop(pair.fd[0]);
    ASSERT_TRUE(stop.holds());
    // Nothing is ever written: only the stop can end the read.
    std::future<ssize_t> read = std::async(std::launch::async, [&] {
        char c;
        return recv(pair.fd[0], &c, 1, 0);
    });
    EXPECT_EQ(read.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_TRUE(stop.stop());
    ssize_t got = -2;
    finish_within("the stopped read", [&] { got = read.get(); });
    EXPECT_EQ(got, 0);  // end of file
}

TEST(PfSocketStop, never_touches_what_took_the_closed_socket_number) {
    socket_pair first;
    pf_socket_stop stop(first.fd[0]);
    const int number = first.fd[0];
    close(first.fd[0]);
    first.fd[0] = -1;
    // The system hands the lowest free number out again.
    socket_pair second;
    ASSERT_EQ(second.fd[0], number);
    EXPECT_TRUE(stop.stop());
    char c = 'x';
    ASSERT_EQ(send(second.fd[0], &c, 1, 0), 1);
    ASSERT_EQ(recv(second.fd[1], &c, 1, 0), 1);
    EXPECT_EQ(c, 'x');
}

TEST(PfSocketStop, holds_nothing_without_a_socket_and_moves_its_hold) {
    pf_socket_stop none;
    EXPECT_FALSE(none.holds());
    EXPECT_FALSE(none.stop());
    EXPECT_FALSE(pf_socket_stop(-1).holds());

    socket_pair pair;
    pf_socket_stop from(pair.fd[0]);
    pf_socket_stop to;
    to = std::move(from);
    EXPECT_FALSE(from.holds());
    EXPECT_TRUE(to.stop());
}

// Broken off, a connection stays broken when it is closed, until another is
// held; a connect that fails gives the old connection back as it was.
TEST(PfConnectionBreaker, a_broken_connection_stays_broken_until_another_is_held) {
    pf_connection_breaker breaker;
    EXPECT_FALSE(breaker.break_off());  // nothing held yet
    EXPECT_FALSE(breaker.broken());

    socket_pair first;
    breaker.hold(first.fd[0]);
    EXPECT_TRUE(breaker.break_off());
    char c;
    EXPECT_EQ(recv(first.fd[0], &c, 1, 0), 0);
    breaker.release();
    EXPECT_TRUE(breaker.broken());
    EXPECT_FALSE(breaker.break_off());

    socket_pair failed;
    pf_held_connection previous = breaker.hold(failed.fd[0]);
    EXPECT_FALSE(breaker.broken());
    breaker.restore(std::move(previous));
    EXPECT_TRUE(breaker.broken());

    socket_pair second;
    breaker.hold(second.fd[0]);
    EXPECT_FALSE(breaker.broken());
}

}  // namespace
