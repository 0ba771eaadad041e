#pragma once
// Byte arrays of the value layer: one heap block holding the bounds and the bytes.
// One dimension; no size limit beyond memory.
#include <cstddef>
#include <cstdint>

struct pf_safearray {
    std::uint16_t dims = 1;
    std::int32_t lower = 0;  // lower bound of dimension 1
    std::size_t count = 0;   // elements of dimension 1

    unsigned char* data() noexcept { return reinterpret_cast<unsigned char*>(this + 1); }
    const unsigned char* data() const noexcept { return reinterpret_cast<const unsigned char*>(this + 1); }
    // Upper bound: lower + count - 1 (below lower for an empty array).
    std::int64_t upper() const noexcept { return std::int64_t(lower) + std::int64_t(count) - 1; }
};

// Throws std::bad_alloc when memory runs out. The bytes are zero unless the
// caller is about to overwrite them all (zero false).
pf_safearray* pf_sa_create(std::size_t count, std::int32_t lower = 0, bool zero = true);
pf_safearray* pf_sa_copy(const pf_safearray* src);  // null gives null
void pf_sa_destroy(pf_safearray* sa) noexcept;      // null is fine
// New element count, same lower bound; the leading bytes are kept, new ones zero.
// The array may move: `sa` is updated.
void pf_sa_redim(pf_safearray*& sa, std::size_t count);
