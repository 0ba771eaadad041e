// Memory while large tables are read: rows stream through the cursor's windows
// and are never held whole. Measured without any timing: the live heap is
// sampled while the rows are walked and, outside AddressSanitizer (whose
// quarantine keeps freed memory resident), the growth of the process's peak
// resident set is read from /proc after resetting it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
// From the AddressSanitizer runtime (its header does not come with g++).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "postgres/pgs_fixture.h"
#include "postgres/pgs_recs.h"

namespace {

constexpr bool under_asan =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

std::size_t heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}

// VmHWM of this process in bytes.
std::size_t peak_resident() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
    return 0;
}

// Sets the peak resident set back to the current one.
bool reset_peak_resident() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

struct read_figures {
    std::int64_t rows = 0;
    std::size_t text_chars = 0;
    std::size_t heap_growth = 0;      // largest live heap seen minus the heap before opening
    std::size_t resident_growth = 0;  // peak resident set minus the resident set before opening
};

read_figures read_measured(pgs_database& db, const std::wstring& key) {
    read_figures f;
    const bool resident = !under_asan && reset_peak_resident();
    const std::size_t resident_before = peak_resident();
    const std::size_t before = heap_in_use();
    std::size_t peak = before;
    {
        auto rs = db.get_table(key, pgs_recordset::read_mode);
        for (rs->reset(); !rs->is_eof(); rs->next()) {
            const udb_record* r = rs->get_item();
            if (!r) break;
            f.text_chars += (*r)[1].text_view().size();
            // A window lives for many rows: sampling every few rows sees each.
            if (++f.rows % 4 == 0) peak = std::max(peak, heap_in_use());
        }
    }
    f.heap_growth = peak - before;
    if (resident) f.resident_growth = peak_resident() - resident_before;
    return f;
}

}  // namespace

class PgsReadMemoryTest : public pgs_db_test {};

TEST_F(PgsReadMemoryTest, two_hundred_thousand_rows_of_a_kilobyte_in_bounded_memory) {
    peer("CREATE UNLOGGED TABLE big (id int, payload text)");
    // 200,000 rows of 1,024 characters: about 200 MB of text, 800 MB as wide text.
    peer("INSERT INTO big SELECT g, repeat(md5(g::text), 32) FROM generate_series(1, 200000) g");
    reopen();
    const read_figures f = read_measured(*m_db, L"public.big");
    EXPECT_EQ(f.rows, 200000);
    EXPECT_EQ(f.text_chars, 200000u * 1024u);
    std::cout << "heap growth " << f.heap_growth / 1024 << " KB, peak resident growth " << f.resident_growth / 1024
              << " KB" << std::endl;
    EXPECT_LT(f.heap_growth, 4u << 20);
    EXPECT_LT(f.resident_growth, 16u << 20);
}

TEST_F(PgsReadMemoryTest, large_rows_make_small_windows) {
    peer("CREATE UNLOGGED TABLE wide (id int, payload text)");
    // 256 rows of 512 KB: one window of 256 such rows would hold 128 MB.
    peer("INSERT INTO wide SELECT g, repeat(md5(g::text), 16384) FROM generate_series(1, 256) g");
    reopen();
    const read_figures f = read_measured(*m_db, L"public.wide");
    EXPECT_EQ(f.rows, 256);
    EXPECT_EQ(f.text_chars, 256u * 512u * 1024u);
    std::cout << "heap growth " << f.heap_growth / 1024 << " KB, peak resident growth " << f.resident_growth / 1024
              << " KB" << std::endl;
    EXPECT_LT(f.heap_growth, 16u << 20);
    EXPECT_LT(f.resident_growth, 32u << 20);
}
