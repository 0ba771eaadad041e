#pragma once
// Ports on 127.0.0.1 that behave like broken servers: one that refuses every
// connection and one that takes connections and never answers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

// A TCP socket bound to a free port of 127.0.0.1, listening when asked; its
// port is read back from the kernel.
struct loopback_socket {
    int fd;
    int port;
};

inline loopback_socket bind_loopback(bool listening) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || (listening && listen(fd, 8) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0) close(fd);
        throw std::runtime_error(listening ? "cannot listen on a port" : "cannot bind a port");
    }
    return {fd, ntohs(a.sin_port)};
}

// Refuses connections for as long as this lives: the socket holds the port
// bound and never listens.
class dead_port {
public:
    dead_port() : m_socket(bind_loopback(false)) {}
    ~dead_port() { close(m_socket.fd); }
    dead_port(const dead_port&) = delete;
    dead_port& operator=(const dead_port&) = delete;
    int port() const { return m_socket.port; }

private:
    loopback_socket m_socket;
};

// Accepts connections and never answers: a server that hangs. The kernel
// completes each connection; nothing is ever sent on it.
class silent_port {
public:
    silent_port() : m_socket(bind_loopback(true)) {}
    ~silent_port() { hang_up(); }
    silent_port(const silent_port&) = delete;
    silent_port& operator=(const silent_port&) = delete;
    int port() const { return m_socket.port; }

    // A client has connected and waits for the server's first word.
    bool called() const {
        if (m_socket.fd < 0) return false;
        pollfd p{m_socket.fd, POLLIN, 0};
        return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
    }
    // Closes the port: the connections waiting in it are reset, so their
    // clients fail at once.
    void hang_up() {
        if (m_socket.fd >= 0) close(m_socket.fd);
        m_socket.fd = -1;
    }

private:
    loopback_socket m_socket;
};
