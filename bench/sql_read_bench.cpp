// Reading one large MySQL table through sql_table against the server's own
// client (`mariadb --quick -e 'SELECT * FROM t' > /dev/null`) on the same server.
// Uses the VEK_MYSQL_* variables of scripts/testservers.
//   sql_read_bench [rows]        (default 1000000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench_env.h"
#include "sql/sql_db.h"
#include "sql/sql_engi.h"
#include "sql/sql_recs.h"
#include "tk/tk_exc.h"

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string host = bench_env("VEK_MYSQL_HOST"), port = bench_env("VEK_MYSQL_PORT"),
                      user = bench_env("VEK_MYSQL_USER"), password = bench_env("VEK_MYSQL_PASSWORD");
    const std::string db = "vek_sql_bench";
    try {
        sql_engine engine;
        engine.connect(host, user, password, static_cast<unsigned>(std::atoi(port.c_str())));
        engine.execute("CREATE DATABASE IF NOT EXISTS " + db);
        engine.execute("USE " + db);
        engine.execute("DROP TABLE IF EXISTS t");
        engine.execute("CREATE TABLE t (id INT PRIMARY KEY, amount DECIMAL(12,4), ratio DOUBLE, at DATETIME,"
                       " label VARCHAR(40)) ENGINE=InnoDB");
        engine.execute("INSERT INTO t SELECT seq, seq / 7, seq * 1.5, '2020-06-15 12:34:56' + INTERVAL seq SECOND,"
                       " CONCAT('The quick brown fox jumps over ', seq) FROM seq_1_to_" +
                       std::to_string(rows));

        auto database = engine.open_db(std::wstring(db.begin(), db.end()), sql_database::no_views_mode);
        auto t0 = std::chrono::steady_clock::now();
        auto rs = database->get_table(L"t", 1);
        long n = 0;
        std::size_t bytes = 0;
        for (rs->reset(); !rs->is_eof(); rs->next()) {
            bytes += (*rs->get_item())[4].size;
            ++n;
        }
        rs.reset();
        const double ours = bench_seconds_since(t0);
        database.reset();

        const std::string cmd = "mariadb --quick -h" + host + " -P" + port + " -u" + user + " -p'" + password + "' " +
                                db + " -e 'SELECT * FROM t' > /dev/null";
        t0 = std::chrono::steady_clock::now();
        const int rc = std::system(cmd.c_str());
        const double theirs = bench_seconds_since(t0);

        engine.execute("DROP DATABASE " + db);
        std::printf("rows read: %ld of %ld (%zu label bytes)\n", n, rows, bytes);
        std::printf("sql_table:       %.3f s (%.0f rows/s)\n", ours, n / ours);
        std::printf("mariadb --quick: %.3f s (rc %d)\n", theirs, rc);
        std::printf("ratio:           %.2f\n", ours / theirs);
        return n == rows ? 0 : 1;
    } catch (const tk_exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
