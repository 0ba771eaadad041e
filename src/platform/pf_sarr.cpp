#include "platform/pf_sarr.h"

#include <cstring>
#include <new>

static_assert(sizeof(pf_safearray) % 8 == 0, "bytes follow the header");

pf_safearray* pf_sa_create(std::size_t count, std::int32_t lower, bool zero) {
    if (count > static_cast<std::size_t>(-1) - sizeof(pf_safearray)) throw std::bad_alloc();
    void* block = ::operator new(sizeof(pf_safearray) + count);
    auto* sa = new (block) pf_safearray;
    sa->lower = lower;
    sa->count = count;
    if (count && zero) std::memset(sa->data(), 0, count);
    return sa;
}

pf_safearray* pf_sa_copy(const pf_safearray* src) {
    if (!src) return nullptr;
    void* block = ::operator new(sizeof(pf_safearray) + src->count);
    auto* sa = new (block) pf_safearray(*src);
    if (src->count) std::memcpy(sa->data(), src->data(), src->count);
    return sa;
}

void pf_sa_destroy(pf_safearray* sa) noexcept {
    if (sa) ::operator delete(static_cast<void*>(sa));
}

void pf_sa_redim(pf_safearray*& sa, std::size_t count) {
    pf_safearray* n = pf_sa_create(count, sa ? sa->lower : 0);
    if (sa) {
        const std::size_t keep = sa->count < count ? sa->count : count;
        if (keep) std::memcpy(n->data(), sa->data(), keep);
        pf_sa_destroy(sa);
    }
    sa = n;
}
