#include "platform/pf_u8txt.h"

#include <cstring>
#include <new>

#include "platform/pf_bstr.h"
#include "platform/pf_utf8.h"

struct alignas(alignof(std::max_align_t)) pf_utf8_text::head {
    std::size_t size;   // bytes of the text
    std::size_t chars;  // its characters
    std::size_t room;   // bytes the block holds (without the final NUL)
    pf_bstr wide;       // the wide form once asked for, or null

    char* bytes() noexcept { return reinterpret_cast<char*>(this + 1); }
};

namespace {

// A block kept for a new text leaves at most this much of it unused, or half
// of it: a row of short texts keeps its blocks, a huge one is not kept for
// the short texts after it.
constexpr std::size_t kept_slack = 256;

bool keeps(std::size_t room, std::size_t n) { return n <= room && (room - n <= kept_slack || room <= 2 * n); }

}  // namespace

pf_utf8_text::pf_utf8_text(const pf_utf8_text& other) {
    if (!other.m_block) return;
    const std::string_view v = other.view();
    std::memcpy(room(v.size()), v.data(), v.size());
    commit(v.size(), other.chars());
}

pf_utf8_text& pf_utf8_text::operator=(const pf_utf8_text& other) {
    if (this != &other) {
        pf_utf8_text tmp(other);
        swap(tmp);
    }
    return *this;
}

pf_utf8_text& pf_utf8_text::operator=(pf_utf8_text&& other) noexcept {
    if (this != &other) {
        reset();
        swap(other);
    }
    return *this;
}

std::string_view pf_utf8_text::view() const noexcept {
    return m_block ? std::string_view(m_block->bytes(), m_block->size) : std::string_view();
}

std::size_t pf_utf8_text::chars() const noexcept { return m_block ? m_block->chars : 0; }

char* pf_utf8_text::room(std::size_t n) {
    if (m_block && keeps(m_block->room, n)) {
        pf_bstr_free(m_block->wide);
        m_block->wide = nullptr;
    } else {
        if (n > static_cast<std::size_t>(-1) - sizeof(head) - 1) throw std::bad_alloc();
        // The old block goes first: a large cell followed by another is not
        // held twice.
        reset();
        void* p = ::operator new(sizeof(head) + n + 1);
        m_block = new (p) head{0, 0, n, nullptr};
    }
    m_block->size = 0;
    m_block->chars = 0;
    m_block->bytes()[0] = '\0';
    return m_block->bytes();
}

void pf_utf8_text::commit(std::size_t n, std::size_t chars) noexcept {
    m_block->size = n;
    m_block->chars = chars;
    m_block->bytes()[n] = '\0';
}

void pf_utf8_text::reset() noexcept {
    if (!m_block) return;
    pf_bstr_free(m_block->wide);
    m_block->~head();
    ::operator delete(m_block);
    m_block = nullptr;
}

std::wstring_view pf_utf8_text::wide() const {
    if (!m_block) return {};
    if (!m_block->wide) {
        pf_bstr w = pf_bstr_alloc_len(m_block->chars);
        pf_utf8::decode_counted(view(), w);
        m_block->wide = w;
    }
    return pf_bstr_view(m_block->wide);
}
