// Loads N generated rows of eight columns (int, bigint, double, decimal,
// datetime, a 40-character text, a text with escapes and non-ASCII, 16 bytes)
// through the COPY writer, then feeds the same COPY text to
// `psql -c 'COPY ... FROM STDIN'`, and prints both times. Before that it
// times the line writer alone (the lines built and dropped, best of seven), the
// part of the path that is ours and does not wait on the server.
//
//   source <envfile of scripts/testservers>; pgs_bench [rows]
//   pgs_bench rows --lines-only   (the line writer alone, no server: steady
//                                  under valgrind --tool=callgrind)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_env.h"
#include "postgres/pgs_cline.h"
#include "postgres/pgs_db.h"
#include "postgres/pgs_engi.h"
#include "udb/udb_idx.h"
#include "udb/udb_rec.h"
#include "udb/udb_sche.h"

namespace {

// A fixed set of distinct rows, reused cyclically: generating values is not
// what is measured.
std::vector<udb_record> make_rows(const udb_schema& s, int n) {
    std::vector<udb_record> rows;
    rows.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        plat_systemtime t{};
        t.year = 2020;
        t.month = std::uint16_t(1 + i % 12);
        t.day = std::uint16_t(1 + i % 28);
        t.hour = std::uint16_t(i % 24);
        t.minute = std::uint16_t(i % 60);
        t.second = std::uint16_t((i * 7) % 60);
        std::vector<unsigned char> bytes(16);
        for (int b = 0; b < 16; ++b) bytes[std::size_t(b)] = static_cast<unsigned char>(i * 31 + b);
        std::vector<ole_variant> v = {
            ole_variant(i),
            ole_variant(static_cast<long long>(i) * 1000003LL),
            ole_variant(i * 3.14159),
            ole_variant::from_string(std::to_string(i) + ".25", VT_DECIMAL),
            ole_variant(t),
            ole_variant(std::wstring(L"The quick brown fox jumps over a lazy d") + wchar_t(L'a' + i % 26)),
            ole_variant(L"tab\there, caf\u00e9 \\ " + std::to_wstring(i)),
            ole_variant(bytes),
        };
        udb_record r(v.size());
        for (std::size_t c = 0; c < v.size(); ++c) r.emplace(s[c]->name, s[c]->size, std::move(v[c]), false, false);
        rows.push_back(std::move(r));
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    const bool lines_only = argc > 2 && std::string(argv[2]) == "--lines-only";
    const std::string db_utf8 = "vek_pgs_bench_" + std::to_string(::getpid());
    const std::wstring db_name(db_utf8.begin(), db_utf8.end());

    udb_schema s;
    s.add(std::make_unique<t_ftd>(0, udb_name(L"i"), VT_I4, false, false, ole_variant(), 0));
    s.add(std::make_unique<t_ftd>(0, udb_name(L"big"), VT_I8, false, false, ole_variant(), 0));
    s.add(std::make_unique<t_ftd>(0, udb_name(L"dbl"), VT_R8, false, false, ole_variant(), 0));
    s.add(std::make_unique<t_ftd>(0, udb_name(L"dec"), VT_DECIMAL, false, false, ole_variant(), (20u << 8) | 4u));
    s.add(std::make_unique<t_ftd>(0, udb_name(L"ts"), VT_DATE, false, false, ole_variant(), 0));
    s.add(std::make_unique<t_ftd>(40, udb_name(L"name"), VT_BSTR, false, false, ole_variant(), 0));
    s.add(std::make_unique<t_ftd>(0, udb_name(L"note"), VT_BSTR, false, false, ole_variant(), 0));
    s.add(std::make_unique<t_ftd>(0, udb_name(L"bin"), 65, false, false, ole_variant(), 0));
    const std::vector<udb_record> rows = make_rows(s, 1000);

    double lines_best = 0;
    for (int run = 0; run < 7; ++run) {
        pgs_copy_buffer lines;
        std::size_t bytes = 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (long i = 0; i < n; ++i) {
            const udb_record& r = rows[std::size_t(i % 1000)];
            lines.begin_row();
            for (std::size_t c = 0; c < r.size(); ++c) lines.add(r[c]);
            lines.end_row();
            if (lines.full()) {
                bytes += lines.text().size();
                lines.clear();
            }
        }
        const double t = bench_seconds_since(t0);
        if (run == 0 || t < lines_best) lines_best = t;
        if (bytes == 0 && n > 1000) std::fprintf(stderr, "no line was built\n");
    }
    std::printf("rows %ld: line writer alone %.3f s (%.0f rows/s)\n", n, lines_best, double(n) / lines_best);
    if (lines_only) return 0;

    const std::string host = bench_env("VEK_PG_HOST"), port = bench_env("VEK_PG_PORT"), user = bench_env("VEK_PG_USER"),
                      password = bench_env("VEK_PG_PASSWORD");

    pgs_engine engine;
    engine.connect(host, user, password, "postgres", std::atoi(port.c_str()));
    int rc = 0;
    std::unique_ptr<pgs_database> db = engine.create_db_exist(db_name);
    try {
        auto rs = db->create_table(L"bench", s, udb_indexes());
        auto t0 = std::chrono::steady_clock::now();
        for (long i = 0; i < n; ++i) rs->append_record(rows[std::size_t(i % 1000)]);
        rs->complete();
        const double ours = bench_seconds_since(t0);
        rs.reset();

        // The same COPY text, for psql.
        pgs_copy_buffer text(std::size_t(1) << 30);
        const std::string path = "/tmp/" + db_utf8 + ".copy";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        for (long i = 0; i < n; ++i) {
            const udb_record& r = rows[std::size_t(i % 1000)];
            text.begin_row();
            for (std::size_t c = 0; c < r.size(); ++c) text.add(r[c]);
            text.end_row();
            if (text.full() || i + 1 == n) {
                std::fwrite(text.text().data(), 1, text.text().size(), f);
                text.clear();
            }
        }
        std::fclose(f);
        auto b = db->create_table(L"bench_psql", s, udb_indexes());
        b.reset();
        const std::string cmd = "PGPASSWORD='" + password + "' psql -q -h " + host + " -p " + port + " -U " + user +
                                " -d " + db_utf8 + " -c 'COPY public.bench_psql FROM STDIN' < " + path;
        t0 = std::chrono::steady_clock::now();
        rc = std::system(cmd.c_str());
        const double theirs = bench_seconds_since(t0);
        std::remove(path.c_str());
        std::printf("rows %ld: COPY writer %.2f s (%.0f rows/s), psql COPY %.2f s, ratio %.2f%s\n", n, ours,
                    double(n) / ours, theirs, ours / theirs, rc ? " (psql failed)" : "");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench failed: %s\n", e.what());
        rc = 1;
    }
    db.reset();
    engine.deletes_db(db_name);
    return rc ? 1 : 0;
}
