#include "platform/pf_sock.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

pf_socket_stop::pf_socket_stop(int socket) noexcept {
    // Close-on-exec, as the library's own: a child program must not keep
    // the server's connection open.
    if (socket >= 0) m_fd = fcntl(socket, F_DUPFD_CLOEXEC, 0);
}

pf_socket_stop::~pf_socket_stop() { release(); }

pf_socket_stop::pf_socket_stop(pf_socket_stop&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

pf_socket_stop& pf_socket_stop::operator=(pf_socket_stop&& other) noexcept {
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool pf_socket_stop::stop() noexcept { return m_fd >= 0 && shutdown(m_fd, SHUT_RDWR) == 0; }

void pf_socket_stop::release() noexcept {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

pf_held_connection pf_connection_breaker::hold(int socket) noexcept {
    pf_held_connection next{pf_socket_stop(socket), false};
    const std::lock_guard<std::mutex> guard(m_lock);
    std::swap(m_held, next);
    return next;
}

void pf_connection_breaker::restore(pf_held_connection previous) noexcept {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_held = std::move(previous);
}

void pf_connection_breaker::release() noexcept {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_held.stop = pf_socket_stop();
}

bool pf_connection_breaker::break_off() noexcept {
    const std::lock_guard<std::mutex> guard(m_lock);
    if (!m_held.stop.holds()) return false;
    m_held.stop.stop();
    m_held.broken = true;
    return true;
}

bool pf_connection_breaker::broken() const noexcept {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_held.broken;
}
