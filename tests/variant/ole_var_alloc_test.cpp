// Values are built for every cell of every row: beyond the payload of text and
// byte arrays they must not touch the heap.
#include "variant/ole_var.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

namespace {
std::atomic<long> g_allocations{0};
}

// The replaced pair below allocates with malloc and frees with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

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

}  // namespace
