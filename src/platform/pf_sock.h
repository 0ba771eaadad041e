#pragma once
#include <mutex>

// A way to end, from another thread, the calls a client library is making
// on a socket it owns (a server that has stopped answering). The object
// keeps a duplicate of the socket: the number it shuts down stays its own,
// so it can never be one the library has closed in the meantime and the
// system has since given to another file or connection.
class pf_socket_stop {
public:
    // Holds nothing: stop() does nothing.
    pf_socket_stop() noexcept = default;
    // Duplicates `socket`; holds nothing when it is negative or cannot be
    // duplicated (the reason is traced by the caller's choice, not here).
    explicit pf_socket_stop(int socket) noexcept;
    ~pf_socket_stop();
    pf_socket_stop(pf_socket_stop&& other) noexcept;
    pf_socket_stop& operator=(pf_socket_stop&& other) noexcept;
    pf_socket_stop(const pf_socket_stop&) = delete;
    pf_socket_stop& operator=(const pf_socket_stop&) = delete;

    bool holds() const noexcept { return m_fd >= 0; }
    // Shuts the connection down both ways: a read or write waiting on the
    // socket returns at once (end of file, or an error), and so does every
    // later one. The library's own descriptor stays open until it closes it.
    // False when nothing is held or the system refused.
    bool stop() noexcept;

private:
    void release() noexcept;

    int m_fd = -1;
};

// What a breaker held for a connection: its socket, and whether it was
// broken off.
struct pf_held_connection {
    pf_socket_stop stop;
    bool broken = false;
};

// The connection a client library is using, as another thread breaks it
// off: the thread that connects holds each new connection's socket, any
// thread may break it off meanwhile. Broken off, it stays broken until a new
// connection is held, also once the library has closed it.
class pf_connection_breaker {
public:
    // The connection on `socket` is the one in use now, whole. Gives back
    // what was held before, for a caller whose new connection may yet fail
    // and leave the old one in use (restore).
    pf_held_connection hold(int socket) noexcept;
    void restore(pf_held_connection previous) noexcept;
    // The connection is closed: there is nothing to break off, and a broken
    // one stays broken.
    void release() noexcept;
    // From any thread: shuts the connection down (pf_socket_stop::stop).
    // False when no connection is held.
    bool break_off() noexcept;
    bool broken() const noexcept;

private:
    mutable std::mutex m_lock;
    pf_held_connection m_held;
};
