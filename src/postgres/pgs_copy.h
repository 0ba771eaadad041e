#pragma once
// COPY data on its way to the server. pgs_copy_stream is one COPY ... FROM
// STDIN spoken through libpq directly: libpqxx 6 copies every piece it sends
// and ends it with a line feed, which neither a binary COPY nor a cell of a
// gigabyte can have. pgs_copy_pieces lets a writer leave large values out of
// its buffer and send them from the value itself, encoded a slice at a time.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "postgres/pgs_pqxx.h"

struct pg_conn;

class pgs_copy_stream {
public:
    // Starts the COPY (the whole statement) in the transaction, whose
    // connection carries nothing else until the COPY ends. pgs_load_failure
    // with the server's text when it refuses.
    pgs_copy_stream(pqxx::dbtransaction& transaction, const std::string& statement);
    // A COPY not finished is ended as failed: the server stores none of it,
    // and the transaction can be rolled back. Never throws.
    ~pgs_copy_stream();
    pgs_copy_stream(const pgs_copy_stream&) = delete;
    pgs_copy_stream& operator=(const pgs_copy_stream&) = delete;

    // Sends bytes as they are (in messages of at most max_message).
    // pgs_load_failure when the connection cannot take them; the COPY is then
    // over.
    void send(std::string_view data);
    // Ends the COPY. The server checks the last rows here: a row it refuses is
    // pgs_exception with its text and SQLSTATE. Either way the COPY is over.
    void finish();
    bool open() const noexcept { return m_open; }

    static constexpr std::size_t max_message = 1u << 20;

private:
    void end_failed(const char* why) noexcept;

    pg_conn* m_conn;
    std::string m_statement;
    bool m_open = false;
};

// Large values of a row kept out of a writer's buffer: where each goes in the
// buffer, and its elements (bytes or wide characters), read from the value
// when the rows are sent. A piece without an encoder is sent as it is;
// otherwise its encoder writes elements [from, to) into a scratch buffer one
// slice at a time. The values must stay unchanged until the rows are sent.
class pgs_copy_pieces {
public:
    using encoder = void (*)(const void* elements, std::size_t from, std::size_t to, std::string& out);

    void add(std::size_t at, const void* elements, std::size_t count, std::size_t element_size, encoder encode);
    // Forgets the pieces placed at or after `at` (a row taken back).
    void drop_from(std::size_t at) noexcept;
    bool empty() const noexcept { return m_pieces.empty(); }
    void clear() noexcept;
    // Sends the buffer with the pieces in their places, then forgets them.
    void send(std::string_view buffer, pgs_copy_stream& out);

    // Elements encoded per slice.
    static constexpr std::size_t slice = 64 * 1024;

private:
    struct piece {
        std::size_t at;
        const void* elements;
        std::size_t count;
        std::size_t element_size;
        encoder encode;
    };
    std::vector<piece> m_pieces;
    std::string m_scratch;
};
