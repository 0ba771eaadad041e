// Writing rows into MySQL through the row writer (sql_table::append_record,
// multi-row INSERT batches) against the server's own client loading the same
// rows from a dump of multi-row INSERTs (`mariadb db < dump.sql`).
// Uses the VEK_MYSQL_* variables of scripts/testservers.
//   sql_write_bench [rows]        (default 1000000)
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
#include "udb/udb_rec.h"
#include "variant/ole_var.h"

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string host = bench_env("VEK_MYSQL_HOST"), port = bench_env("VEK_MYSQL_PORT"),
                      user = bench_env("VEK_MYSQL_USER"), password = bench_env("VEK_MYSQL_PASSWORD");
    const std::string db = "vek_sql_write_bench";
    const std::string client = " -h" + host + " -P" + port + " -u" + user + " -p'" + password + "' ";
    try {
        sql_engine engine;
        engine.connect(host, user, password, static_cast<unsigned>(std::atoi(port.c_str())));
        engine.execute("DROP DATABASE IF EXISTS " + db);
        engine.execute("CREATE DATABASE " + db);
        engine.execute("USE " + db);
        const std::string columns = "(id INT PRIMARY KEY, amount DECIMAL(12,4), ratio DOUBLE, at DATETIME,"
                                    " label VARCHAR(40)) ENGINE=InnoDB";
        engine.execute("CREATE TABLE src " + columns);
        engine.execute("CREATE TABLE t " + columns);
        engine.execute("INSERT INTO src SELECT seq, seq / 7, seq * 1.5, '2020-06-15 12:34:56' + INTERVAL seq SECOND,"
                       " CONCAT('The quick brown fox jumps over ', seq) FROM seq_1_to_" +
                       std::to_string(rows));

        // The rows as a source hands them over: one record refilled per row.
        auto database = engine.open_db(std::wstring(db.begin(), db.end()), sql_database::no_views_mode);
        auto out = database->get_table(L"t", sql_database::created_mode);
        udb_record rec;
        const udb_name names[] = {L"id", L"amount", L"ratio", L"at", L"label"};
        auto t0 = std::chrono::steady_clock::now();
        for (long i = 1; i <= rows; ++i) {
            rec.clear();
            rec.emplace(names[0], 4, ole_variant(static_cast<int>(i)), false, false);
            rec.emplace(names[1], 8, ole_variant::from_string(std::to_string(i / 7) + ".1429", VT_DECIMAL), false,
                        false);
            rec.emplace(names[2], 8, ole_variant(i * 1.5), false, false);
            rec.emplace(names[3], 8, ole_variant::from_string("2020-06-15 12:34:56", VT_DATE), false, false);
            rec.emplace(names[4], 40, ole_variant("The quick brown fox jumps over " + std::to_string(i)), false, false);
            out->append_record(rec);
        }
        out->complete();
        const double ours = bench_seconds_since(t0);
        out.reset();
        database.reset();

        const std::string dump = "/tmp/vek_sql_write_bench.sql";
        std::system(("mariadb-dump --skip-opt --extended-insert --quick --no-create-info" + client + db +
                     " src | sed 's/INSERT INTO `src`/INSERT INTO `t2`/' > " + dump)
                        .c_str());
        engine.execute("CREATE TABLE t2 " + columns);
        t0 = std::chrono::steady_clock::now();
        const int rc = std::system(("mariadb" + client + db + " < " + dump).c_str());
        const double theirs = bench_seconds_since(t0);
        std::remove(dump.c_str());

        engine.execute("DROP DATABASE " + db);
        std::printf("rows written: %ld\n", rows);
        std::printf("row writer:         %.3f s (%.0f rows/s)\n", ours, rows / ours);
        std::printf("mariadb < dump.sql: %.3f s (rc %d)\n", theirs, rc);
        std::printf("ratio:              %.2f\n", ours / theirs);
        return 0;
    } catch (const tk_exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
