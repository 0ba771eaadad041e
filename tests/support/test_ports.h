#pragma once
// Ports on 127.0.0.1 that behave like broken servers: one that refuses every
// connection and one that takes connections and never answers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

// Refuses connections for as long as this lives: the socket holds the port
// bound and never listens.
class dead_port {
public:
    dead_port() : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("cannot bind a port");
        m_port = ntohs(a.sin_port);
    }
    ~dead_port() { close(m_fd); }
    dead_port(const dead_port&) = delete;
    dead_port& operator=(const dead_port&) = delete;
    int port() const { return m_port; }

private:
    int m_fd;
    int m_port = 0;
};

// Accepts connections and never answers: a server that hangs. The kernel
// completes each connection; nothing is ever sent on it.
class silent_port {
public:
    silent_port() : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(m_fd, 8) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("cannot listen on a port");
        m_port = ntohs(a.sin_port);
    }
    ~silent_port() { hang_up(); }
    silent_port(const silent_port&) = delete;
    silent_port& operator=(const silent_port&) = delete;
    int port() const { return m_port; }

    // A client has connected and waits for the server's first word.
    bool called() const {
        if (m_fd < 0) return false;
        pollfd p{m_fd, POLLIN, 0};
        return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
    }
    // Closes the port: the connections waiting in it are reset, so their
    // clients fail at once.
    void hang_up() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
    int m_port = 0;
};
