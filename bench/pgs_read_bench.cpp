// Reads N rows of eight columns (int, bigint, double, numeric, timestamp, a
// 40-character text, a text with escapes and non-ASCII, 16 bytes) through the
// PostgreSQL reader, then has `psql -c 'COPY (SELECT ...) TO STDOUT'` send the
// same rows to /dev/null, and prints both times and this process's peak
// resident memory.
//
//   source <envfile of scripts/testservers>; pgs_read_bench [rows]
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <pqxx/pqxx>

#include "bench_env.h"
#include "postgres/pgs_db.h"
#include "postgres/pgs_engi.h"
#include "postgres/pgs_recs.h"
#include "udb/udb_rec.h"

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string host = bench_env("VEK_PG_HOST"), port = bench_env("VEK_PG_PORT"), user = bench_env("VEK_PG_USER"),
                      password = bench_env("VEK_PG_PASSWORD");
    const std::string db_utf8 = "vek_pgs_read_bench_" + std::to_string(::getpid());
    const std::wstring db_name(db_utf8.begin(), db_utf8.end());

    pgs_engine engine;
    engine.connect(host, user, password, "postgres", std::atoi(port.c_str()));
    int rc = 0;
    std::unique_ptr<pgs_database> db = engine.create_db_exist(db_name);
    try {
        {
            pqxx::work w(engine.connection());
            w.exec("CREATE TABLE bench (i int, big bigint, dbl float8, dec numeric(20,4), ts timestamp, "
                   "name varchar(40), note text, bin bytea)");
            w.exec("INSERT INTO bench SELECT g, g * 1000003::bigint, g * 3.14159, (g || '.25')::numeric, "
                   "timestamp '2020-01-01' + g * interval '1 second', "
                   "'The quick brown fox jumps over a lazy d' || chr(97 + g % 26), "
                   "E'tab\\there, caf\\u00e9 \\\\ ' || g, "
                   "decode(lpad(to_hex(g), 32, 'ab'), 'hex') FROM generate_series(1, " +
                   std::to_string(n) + ") g");
            w.commit();
        }
        db.reset();
        db = engine.open_db(db_name);

        auto t0 = std::chrono::steady_clock::now();
        long rows = 0;
        std::size_t chars = 0;
        {
            auto rs = db->get_table(L"public.bench", pgs_recordset::read_mode);
            for (rs->reset(); !rs->is_eof(); rs->next()) {
                const udb_record* r = rs->get_item();
                chars += (*r)[5].text_view().size();
                ++rows;
            }
        }
        const double ours = bench_seconds_since(t0);

        const std::string cmd = "PGPASSWORD='" + password + "' psql -X -q -h " + host + " -p " + port + " -U " + user +
                                " -d " + db_utf8 + " -c 'COPY (SELECT * FROM public.bench) TO STDOUT' > /dev/null";
        t0 = std::chrono::steady_clock::now();
        rc = std::system(cmd.c_str());
        const double theirs = bench_seconds_since(t0);
        struct rusage ru {};
        getrusage(RUSAGE_SELF, &ru);
        std::printf("rows %ld (read %ld, %zu name characters): reader %.2f s (%.0f rows/s), psql COPY TO %.2f s, "
                    "ratio %.2f, peak resident %.1f MB%s\n",
                    n, rows, chars, ours, double(rows) / ours, theirs, ours / theirs, double(ru.ru_maxrss) / 1024,
                    rc ? " (psql failed)" : "");
        if (rows != n) rc = 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench failed: %s\n", e.what());
        rc = 1;
    }
    db.reset();
    engine.deletes_db(db_name);
    return rc ? 1 : 0;
}
