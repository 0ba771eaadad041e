#pragma once
// Owned UTF-8 text of the value layer: one heap block holding the byte count,
// the character count, the room and the bytes. Its owner puts only strict
// UTF-8 without NUL in it. A reader that refills a row in place keeps the
// block when the next text fits it and does not leave most of it unused; the
// wide form is made only when someone asks for it, and kept with the bytes.
#include <cstddef>
#include <string_view>

class pf_utf8_text {
public:
    pf_utf8_text() noexcept = default;
    // Deep copy (the wide form is not copied). Throws std::bad_alloc.
    pf_utf8_text(const pf_utf8_text& other);
    pf_utf8_text(pf_utf8_text&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
    pf_utf8_text& operator=(const pf_utf8_text& other);
    pf_utf8_text& operator=(pf_utf8_text&& other) noexcept;
    ~pf_utf8_text() { reset(); }
    void swap(pf_utf8_text& other) noexcept {
        auto* b = m_block;
        m_block = other.m_block;
        other.m_block = b;
    }

    bool holds() const noexcept { return m_block != nullptr; }
    std::string_view view() const noexcept;
    // Characters (code points) of the text.
    std::size_t chars() const noexcept;

    // Room for n bytes in place of the old text (whose room is reused when it
    // fits), to be written by the caller and then committed; until then the
    // text is empty. Throws std::bad_alloc.
    char* room(std::size_t n);
    // The n bytes written into the room are the text, of `chars` characters.
    void commit(std::size_t n, std::size_t chars) noexcept;
    // Frees the block.
    void reset() noexcept;

    // The wide form, made at the first call and kept until the text changes.
    // Throws std::bad_alloc.
    std::wstring_view wide() const;

private:
    struct head;
    head* m_block = nullptr;
};
