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
