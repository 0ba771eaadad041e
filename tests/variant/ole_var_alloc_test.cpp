// Values are built for every cell of every row: beyond the payload of text and
// byte arrays they must not touch the heap.
#include "variant/ole_var.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {
std::atomic<long> g_allocations{0};
// Bytes held through operator new, and the most held since the last reset.
std::atomic<long> g_live{0};
std::atomic<long> g_peak{0};

void note_freed(void* p) noexcept {
    if (p) g_live.fetch_sub(static_cast<long>(malloc_usable_size(p)), std::memory_order_relaxed);
}
}  // namespace

// The replaced pair below allocates with malloc and frees with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) {
        const auto size = static_cast<long>(malloc_usable_size(p));
        const long live = g_live.fetch_add(size) + size;
        long peak = g_peak.load();
        while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {}
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    note_freed(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    note_freed(p);
    std::free(p);
}
// The nothrow forms too (GoogleTest 1.15 allocates with one), so that no
// block from the runtime's own operator new reaches the free above.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(n);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }

namespace {

long allocations_of(void (*f)()) {
    const long before = g_allocations.load();
    f();
    return g_allocations.load() - before;
}

TEST(OleVariantAlloc, scalar_cells_allocate_nothing) {
    EXPECT_EQ(allocations_of([] {
                  const struct {
                      const char* text;
                      VARTYPE vt;
                  } cells[] = {{"1234567", VT_I4}, {"-98765.4321", VT_DECIMAL},
                               {"3.14159", VT_R8}, {"2020-06-15 12:34:56", VT_DATE},
                               {"1", VT_BOOL},     {"18446744073709551615", VT_UI8},
                               {"12.34", VT_CY},   {"2.5", VT_R4}};
                  for (const auto& c : cells) {
                      ole_variant v = ole_variant::from_string(c.text, c.vt);
                      ole_variant moved(std::move(v));
                      ole_variant copy(moved);
                      copy = moved;
                  }
              }),
              0);
}

TEST(OleVariantAlloc, append_writes_into_the_callers_buffer_only) {
    static std::string line;
    line.reserve(4096);
    static const ole_variant row[] = {
        ole_variant::from_string("1234567", VT_I4),
        ole_variant::from_string("-98765.4321", VT_DECIMAL),
        ole_variant::from_string("3.141592653589793", VT_R8),
        ole_variant::from_string("2020-06-15 12:34:56", VT_DATE),
        ole_variant::from_string("The quick brown fox jumps over a lazy do", VT_BSTR),
        ole_variant::from_string("0x0102", VT_BLOB),
    };
    EXPECT_EQ(allocations_of([] {
                  line.clear();
                  for (const auto& v : row) v.append_utf8(line);
              }),
              0);
}

TEST(OleVariantAlloc, text_and_byte_cells_allocate_only_their_payload) {
    EXPECT_EQ(allocations_of([] {
                  ole_variant v = ole_variant::from_string("forty characters of text, more or less..", VT_BSTR);
              }),
              1);
    EXPECT_EQ(allocations_of([] { ole_variant v = ole_variant::from_wstring(L"wide text", VT_BSTR); }), 1);
    EXPECT_EQ(allocations_of([] { ole_variant v = ole_variant::from_string("0xDEADBEEF", VT_BLOB); }), 1);
}

// A reader refilling a row in place: a text that fits the room of the one
// before it takes no allocation.
TEST(OleVariantAlloc, refilled_utf8_text_keeps_its_room) {
    static ole_variant cell;
    cell.attach_utf8("the first text of this cell, forty bytes");
    EXPECT_EQ(allocations_of([] {
                  cell.attach_utf8("a second text, shorter");
                  cell.attach_utf8("and a third one of about the same size..");
              }),
              0);
    EXPECT_EQ(cell.utf8_view(), "and a third one of about the same size..");
}

// A large cell refilled with a value of another size never holds the old
// and the new payload at once: a reader going through rows of large cells
// needs room for one of them, not two.
TEST(OleVariantAlloc, a_large_cell_refilled_never_holds_two_payloads) {
    constexpr std::size_t big = 8u << 20;
    const std::size_t sizes[] = {big / 4, 2 * big};
    for (const std::size_t next : sizes) {
        SCOPED_TRACE(next);
        ole_variant text;
        std::memset(text.utf8_room(big), 'a', big);
        text.commit_utf8(big);
        ole_variant bytes;
        std::memset(bytes.binary_room(big), 1, big);
        const long held = g_live.load();
        g_peak.store(held);
        std::memset(text.utf8_room(next), 'b', next);
        text.commit_utf8(next);
        std::memset(bytes.binary_room(next), 2, next);
        // At most the growth of each, plus the blocks' heads and pages.
        const long growth = next > big ? static_cast<long>(next - big) : 0;
        EXPECT_LE(g_peak.load() - held, 2 * growth + 65536);
        EXPECT_EQ(text.utf8_view(), std::string(next, 'b'));
        const unsigned char* data = nullptr;
        EXPECT_EQ(bytes.get_bytes(data), next);
    }
}

}  // namespace
