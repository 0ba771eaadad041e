// vekagent with values at the edges of what the servers hold: huge cells, a
// wide row, numbers and dates at their limits, text and dates PostgreSQL
// cannot store. Every value either arrives equal (read back from both servers
// and compared row by row) or is reported, and the run exits -1.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "support/agent_db.h"
#include "support/agent_proc.h"

namespace {

constexpr int exit_failed = 255;  // exit(-1)

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out.substr(0, 4000) + "--- stderr\n" +
           r.err.substr(0, 4000);
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + part.size())) ++n;
    return n;
}

std::string cell_text(const db_cell& c) { return c ? "'" + *c + "'" : "NULL"; }

// Row-by-row equality of two read-backs, naming the first difference.
void expect_same_rows(const db_rows& mysql, const db_rows& pg, const std::string& what) {
    ASSERT_EQ(mysql.size(), pg.size()) << what;
    for (std::size_t r = 0; r < mysql.size(); ++r) {
        ASSERT_EQ(mysql[r].size(), pg[r].size()) << what << " row " << r;
        for (std::size_t c = 0; c < mysql[r].size(); ++c)
            EXPECT_EQ(mysql[r][c], pg[r][c]) << what << " row " << r << " column " << c << ": MySQL "
                                             << cell_text(mysql[r][c]) << ", PostgreSQL " << cell_text(pg[r][c]);
    }
}

// A source database in MySQL and its destination in PostgreSQL, both made
// for one test (names carry the process id: runs may share the servers).
class value_dbs : public scratch_dbs {
public:
    explicit value_dbs(const std::string& tag) : scratch_dbs("fv_" + tag, {.unique = true}) {}

    agent_result convert() { return run_agent(agent_args({"--mode=0"}), 300); }
    db_rows pg(const std::string& sql) { return pg_query(name(), sql); }
};

TEST(FaultsValues, TextWithNulIsReportedNeverCut) {
    value_dbs db("nul");
    db.my.exec("CREATE TABLE notes (id INT PRIMARY KEY, v VARCHAR(20), tx TEXT)");
    db.my.exec("INSERT INTO notes VALUES (1, 'a', 'b'), (2, CONCAT('x', CHAR(0), 'y'), 'ok'), "
               "(3, 'c', CONCAT('x', CHAR(0)))");
    db.my.exec("CREATE TABLE after_notes (id INT PRIMARY KEY)");
    db.my.exec("INSERT INTO after_notes VALUES (1), (2)");

    const agent_result r = db.convert();
    EXPECT_EQ(r.status, exit_failed) << show(r);
    const std::string said = r.out + r.err;
    EXPECT_EQ(count_of(said, "NUL character"), 2u) << show(r);
    EXPECT_NE(said.find("notes, record #2: The text of column 'v'"), std::string::npos) << show(r);
    EXPECT_NE(said.find("notes, record #3: The text of column 'tx'"), std::string::npos) << show(r);
    // The cells that cannot be carried are empty, never a cut value; the rest arrives.
    expect_same_rows({{"1", "a", "b"}, {"2", std::nullopt, "ok"}, {"3", "c", std::nullopt}},
                     db.pg("SELECT id, v, tx FROM notes ORDER BY id"), "notes");
    EXPECT_EQ(db.pg("SELECT count(*) FROM after_notes"), (db_rows{{"2"}}));
}

TEST(FaultsValues, DateOutsideTheCalendarRefusesOnlyItsRow) {
    value_dbs db("baddate");
    db.my.exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'");
    db.my.exec("CREATE TABLE days (id INT PRIMARY KEY, d DATE, dt DATETIME)");
    db.my.exec("INSERT INTO days VALUES (1, '2024-02-29', '2021-01-01 10:00:00'), (2, '2021-02-30', NULL), "
               "(3, NULL, '2021-04-31 10:00:00'), (4, '2021-03-01', '2021-12-31 23:59:59')");
    db.my.exec("CREATE TABLE later (id INT PRIMARY KEY)");
    db.my.exec("INSERT INTO later VALUES (1), (2), (3)");

    const agent_result r = db.convert();
    EXPECT_EQ(r.status, exit_failed) << show(r);
    const std::string said = r.out + r.err;
    EXPECT_NE(said.find("days, record #2: Date value 2021-02-30 is not a calendar date"), std::string::npos) << show(r);
    EXPECT_NE(said.find("days, record #3: Date value 2021-04-31 10:00:00 is not a calendar date"), std::string::npos)
        << show(r);
    // The rows around the refused ones are kept and the run went on.
    expect_same_rows(db.my.query("SELECT id, d, dt FROM days WHERE id IN (1, 4) ORDER BY id"),
                     db.pg("SELECT id, d, dt FROM days ORDER BY id"), "days");
    EXPECT_EQ(db.pg("SELECT count(*) FROM later"), (db_rows{{"3"}}));
}

TEST(FaultsValues, ZeroDateArrivesAsNullAndAPartlyZeroOneIsReported) {
    value_dbs db("zerodate");
    db.my.exec("SET SESSION sql_mode = ''");
    db.my.exec("CREATE TABLE zero (id INT PRIMARY KEY, d DATE, dt DATETIME, dt6 DATETIME(6), ts TIMESTAMP NULL)");
    db.my.exec("INSERT INTO zero VALUES (1, '0000-00-00', '0000-00-00 00:00:00', '0000-00-00 00:00:00.000000', "
               "'0000-00-00 00:00:00'), (2, '2021-05-06', '2021-05-06 07:08:09', '2021-05-06 07:08:09.123456', "
               "'2021-05-06 07:08:09')");
    // MySQL's zero date means "no date": NULL, and no error.
    agent_result r = db.convert();
    EXPECT_EQ(r.status, 0) << show(r);
    expect_same_rows({{"1", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                      {"2", "2021-05-06", "2021-05-06 07:08:09", "2021-05-06 07:08:09.123456", "2021-05-06 07:08:09"}},
                     db.pg("SELECT id, d, dt, dt6, ts FROM zero ORDER BY id"), "zero");

    // A date with only some zero fields names a day that is not there.
    db.my.exec("CREATE TABLE partly (id INT PRIMARY KEY, d DATE, dt DATETIME)");
    db.my.exec("INSERT INTO partly VALUES (1, '2021-00-00', '2021-02-00 10:00:00'), (2, '2021-02-00', NULL), "
               "(3, '0000-01-01', '2021-00-15 00:00:00'), (4, '2021-02-03', '2021-02-03 04:05:06')");
    r = db.convert();
    EXPECT_EQ(r.status, exit_failed) << show(r);
    const std::string said = r.out + r.err;
    EXPECT_EQ(count_of(said, "is not a calendar date; the cell is left empty"), 5u) << show(r);
    for (const char* v :
         {"'2021-00-00' of column 'd'", "'2021-02-00 10:00:00' of column 'dt'", "'2021-02-00' of column 'd'",
          "'0000-01-01' of column 'd'", "'2021-00-15 00:00:00' of column 'dt'"})
        EXPECT_NE(said.find(v), std::string::npos) << v << "\n" << show(r);
    EXPECT_NE(said.find("partly, record #3"), std::string::npos) << show(r);
    expect_same_rows({{"1", std::nullopt, std::nullopt},
                      {"2", std::nullopt, std::nullopt},
                      {"3", std::nullopt, std::nullopt},
                      {"4", "2021-02-03", "2021-02-03 04:05:06"}},
                     db.pg("SELECT id, d, dt FROM partly ORDER BY id"), "partly");
}

TEST(FaultsValues, TimeBeyondADayIsReportedAndDaysEndArrivesExactly) {
    value_dbs db("time");
    db.my.exec("CREATE TABLE spans (id INT PRIMARY KEY, t TIME(6))");
    db.my.exec("INSERT INTO spans VALUES (1, '23:59:59.999999'), (2, '24:00:00'), (3, '100:00:00'), "
               "(4, '838:59:59'), (5, '-00:00:01'), (6, '-838:59:59'), (7, '00:00:00')");
    db.my.exec("CREATE TABLE moments (id INT PRIMARY KEY, dt DATETIME(6), ts TIMESTAMP(6) NULL)");
    db.my.exec("INSERT INTO moments VALUES (1, '2021-12-31 23:59:59.999999', '2037-12-31 23:59:59.999999'), "
               "(2, '9999-12-31 23:59:59.999999', NULL), (3, '1000-01-01 00:00:00.000000', "
               "'1970-01-02 00:00:00.000001'), (4, '2024-02-29 23:59:59.999999', '2024-02-29 23:59:59.999999'), "
               "(5, '2021-06-30 23:59:59.000001', NULL)");

    const agent_result r = db.convert();
    EXPECT_EQ(r.status, exit_failed) << show(r);
    const std::string said = r.out + r.err;
    EXPECT_EQ(count_of(said, "is not a time of day (00:00:00 to 24:00:00)"), 4u) << show(r);
    EXPECT_EQ(said.find("spans, record #2:"), std::string::npos) << show(r);
    for (int rec = 3; rec <= 6; ++rec)
        EXPECT_NE(said.find("spans, record #" + std::to_string(rec) + ":"), std::string::npos) << rec;
    // The end of the day is a PostgreSQL time too.
    expect_same_rows({{"1", "23:59:59.999999"},
                      {"2", "24:00:00.000000"},
                      {"3", std::nullopt},
                      {"4", std::nullopt},
                      {"5", std::nullopt},
                      {"6", std::nullopt},
                      {"7", "00:00:00.000000"}},
                     db.pg("SELECT id, to_char(t, 'HH24:MI:SS.US') FROM spans ORDER BY id"), "spans");
    // Never rounded into the next second, day or year.
    expect_same_rows(db.my.query("SELECT id, dt, ts FROM moments ORDER BY id"),
                     db.pg("SELECT id, to_char(dt, 'YYYY-MM-DD HH24:MI:SS.US'), "
                           "to_char(ts, 'YYYY-MM-DD HH24:MI:SS.US') FROM moments ORDER BY id"),
                     "moments");
}

// A cell that cannot be carried in a column that is NOT NULL in the copy
// would fail the whole table's COPY on the constraint: that row alone is
// refused and reported, every other row and the later tables arrive. In a
// nullable column the cell is left empty and reported, as before.
TEST(FaultsValues, CellThatCannotBeCarriedInANotNullColumnRefusesOnlyItsRow) {
    value_dbs db("notnull");
    db.my.exec("SET SESSION sql_mode = ''");
    db.my.exec("CREATE TABLE strict_rows (id INT PRIMARY KEY, s VARCHAR(10) NOT NULL, "
               "t TIME NOT NULL DEFAULT '00:00:00', d DATE NOT NULL DEFAULT '2000-01-01', n TEXT)");
    db.my.exec("INSERT INTO strict_rows SELECT seq, CONCAT('s', seq), '10:00:00', '2021-01-01', 'n' "
               "FROM seq_1_to_5000");
    db.my.exec("UPDATE strict_rows SET s = CONCAT('a', CHAR(0), 'b') WHERE id = 10");
    db.my.exec("UPDATE strict_rows SET t = '25:00:00' WHERE id = 2000");
    db.my.exec("UPDATE strict_rows SET d = '0000-00-00' WHERE id = 3000");
    db.my.exec("UPDATE strict_rows SET d = '2021-02-00' WHERE id = 4999");
    db.my.exec("UPDATE strict_rows SET n = CONCAT('x', CHAR(0)) WHERE id = 100");
    db.my.exec("CREATE TABLE z_after (id INT PRIMARY KEY)");
    db.my.exec("INSERT INTO z_after VALUES (1), (2)");

    const agent_result r = db.convert();
    EXPECT_EQ(r.status, exit_failed) << show(r);
    const std::string said = r.out + r.err;
    for (const char* refused :
         {"strict_rows, record #10: The text of column 's' holds a NUL character at byte 1, which a PostgreSQL "
          "text cannot hold; the column is NOT NULL, so the row is not copied.",
          "strict_rows, record #2000: The TIME value '25:00:00' of column 't' is not a time of day (00:00:00 to "
          "24:00:00); the column is NOT NULL, so the row is not copied.",
          "strict_rows, record #3000: The date value '0000-00-00' of column 'd' is MySQL's zero date, which "
          "stands for no date; the column is NOT NULL, so the row is not copied.",
          "strict_rows, record #4999: The date value '2021-02-00' of column 'd' is not a calendar date; the "
          "column is NOT NULL, so the row is not copied.",
          "strict_rows, record #100: The text of column 'n' holds a NUL character at byte 1, which a PostgreSQL "
          "text cannot hold; the cell is left empty."})
        EXPECT_EQ(count_of(said, refused), 1u) << refused << "\n" << show(r);
    EXPECT_EQ(count_of(said, "record #"), 5u) << show(r);
    EXPECT_EQ(db.pg("SELECT count(*), sum(id) FROM strict_rows"),
              (db_rows{{"4996", std::to_string(5000 * 5001 / 2 - 10 - 2000 - 3000 - 4999)}}));
    expect_same_rows(db.my.query("SELECT id, s, t, d, n FROM strict_rows WHERE id NOT IN (10, 100, 2000, 3000, "
                                 "4999) ORDER BY id"),
                     db.pg("SELECT id, s, t, d, n FROM strict_rows WHERE id <> 100 ORDER BY id"), "strict_rows");
    EXPECT_EQ(db.pg("SELECT s, n FROM strict_rows WHERE id = 100"), (db_rows{{"s100", std::nullopt}}));
    EXPECT_EQ(db.pg("SELECT count(*) FROM z_after"), (db_rows{{"2"}}));
}

// A double as bits: "-0" and "0" differ, "5e-324" and "4.9406564584124654e-324" do not.
std::uint64_t bits_of(const db_cell& c) {
    if (!c) return 0x7FF8DEADBEEF0000ull;  // no number: never equals a real one
    const double d = std::strtod(c->c_str(), nullptr);
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

TEST(FaultsValues, NumbersAtTheirLimitsArriveEqual) {
    value_dbs db("limits");
    db.my.exec("CREATE TABLE ints (id INT PRIMARY KEY, ub BIGINT UNSIGNED, b BIGINT, ui INT UNSIGNED, "
               "ti TINYINT, ut TINYINT UNSIGNED, m MEDIUMINT)");
    db.my.exec("INSERT INTO ints VALUES (1, 18446744073709551615, -9223372036854775808, 4294967295, -128, 255, "
               "-8388608), (2, 0, 9223372036854775807, 0, 127, 0, 8388607), (3, 9223372036854775808, -1, 1, 0, 1, 0)");
    db.my.exec("CREATE TABLE decs (id INT PRIMARY KEY, d DECIMAL(65,30), w DECIMAL(65,0), u DECIMAL(10,5) UNSIGNED)");
    const std::string nines35(35, '9'), nines30(30, '9'), nines65(65, '9');
    db.my.exec("INSERT INTO decs VALUES (1, " + nines35 + "." + nines30 + ", " + nines65 + ", 99999.99999), (2, -" +
               nines35 + "." + nines30 + ", -" + nines65 +
               ", 0), (3, 0.000000000000000000000000000001, 1, 0.00001), "
               "(4, -0.000000000000000000000000000001, -1, NULL), (5, 0, 0, 1)");
    db.my.exec("CREATE TABLE reals (id INT PRIMARY KEY, f DOUBLE)");
    db.my.exec("INSERT INTO reals VALUES (1, 1.7976931348623157e308), (2, -1.7976931348623157e308), "
               "(3, 4.9406564584124654e-324), (4, -4.9406564584124654e-324), (5, 2.2250738585072014e-308), "
               "(6, -0e0), (7, 0.1), (8, 1e0/3), (9, 123456789012345680000), (10, NULL)");

    const agent_result r = db.convert();
    EXPECT_EQ(r.status, 0) << show(r);
    expect_same_rows(db.my.query("SELECT * FROM ints ORDER BY id"), db.pg("SELECT * FROM ints ORDER BY id"), "ints");
    expect_same_rows(db.my.query("SELECT * FROM decs ORDER BY id"), db.pg("SELECT * FROM decs ORDER BY id"), "decs");

    const db_rows my = db.my.query("SELECT id, f FROM reals ORDER BY id");
    const db_rows pg = db.pg("SELECT id, f FROM reals ORDER BY id");
    ASSERT_EQ(my.size(), pg.size());
    for (std::size_t i = 0; i < my.size(); ++i) {
        EXPECT_EQ(my[i][0], pg[i][0]);
        EXPECT_EQ(my[i][1].has_value(), pg[i][1].has_value()) << "row " << i;
        if (my[i][1]) {
            EXPECT_EQ(bits_of(my[i][1]), bits_of(pg[i][1]))
                << "row " << i << ": MySQL " << cell_text(my[i][1]) << ", PostgreSQL " << cell_text(pg[i][1]);
        }
    }
    // The limits really are in the source (the server did not clamp them).
    EXPECT_EQ(bits_of(my[0][1]), bits_of(std::to_string(DBL_MAX)));
    EXPECT_EQ(bits_of(my[2][1]), bits_of(std::string("4.9406564584124654e-324")));
}

TEST(FaultsValues, RowOfHundredColumnsArrivesEqual) {
    value_dbs db("wide");
    const char* types[] = {"INT", "VARCHAR(30)", "DECIMAL(12,3)", "DATE", "BIGINT"};
    std::string create = "CREATE TABLE wide (c0 INT PRIMARY KEY";
    for (int c = 1; c < 100; ++c) create += ", c" + std::to_string(c) + " " + types[c % 5];
    db.my.exec(create + ")");
    for (int row = 1; row <= 3; ++row) {
        std::string insert = "INSERT INTO wide VALUES (" + std::to_string(row);
        for (int c = 1; c < 100; ++c) {
            const std::string n = std::to_string(row * 1000 + c);
            if (row == 3 && c % 2 == 1) {
                insert += ", NULL";
                continue;
            }
            switch (c % 5) {
            case 0: insert += ", " + n; break;
            case 1: insert += ", 'v\\t" + n + " \\\\ \xC3\xA9'"; break;
            case 2: insert += ", -" + n + ".125"; break;
            case 3: insert += ", '2021-0" + std::to_string(row) + "-" + std::to_string(c % 28 + 1) + "'"; break;
            case 4: insert += ", " + n + "000000000"; break;
            }
        }
        db.my.exec(insert + ")");
    }

    const agent_result r = db.convert();
    EXPECT_EQ(r.status, 0) << show(r);
    const db_rows my = db.my.query("SELECT * FROM wide ORDER BY c0");
    ASSERT_EQ(my.size(), 3u);
    ASSERT_EQ(my[0].size(), 100u);
    expect_same_rows(my, db.pg("SELECT * FROM wide ORDER BY c0"), "wide");
}

TEST(FaultsValues, FiftyMegabyteBlobAndTwentyMegabyteTextArriveWhole) {
    value_dbs db("large");
    db.my.exec("CREATE TABLE big (id INT PRIMARY KEY, b LONGBLOB, t LONGTEXT)");
    // Every byte value in the blob; in the text multi-byte characters and
    // everything COPY escapes.
    std::string all_bytes;
    for (int i = 0; i < 256; ++i) {
        const char hex[] = "0123456789ABCDEF";
        all_bytes += hex[i >> 4];
        all_bytes += hex[i & 15];
    }
    const std::string piece = "h\xC3\xA9llo\t\\n\n\r\\ \xF0\x9F\x98\x80 \xE2\x82\xAC|";  // 24 bytes
    const std::size_t text_bytes = 20u * 1024 * 1024;
    db.my.exec("INSERT INTO big VALUES (1, REPEAT(UNHEX('" + all_bytes + "'), 204800), REPEAT('" + db.my.escape(piece) +
               "', " + std::to_string(text_bytes / piece.size()) +
               ")), (2, '', ''), "
               "(3, NULL, NULL), (4, UNHEX('00FF'), 'x')");
    const db_rows my = db.my.query("SELECT id, LENGTH(b), MD5(b), LENGTH(t), MD5(t) FROM big ORDER BY id");
    ASSERT_EQ(my[0][1], std::optional<std::string>("52428800"));
    ASSERT_EQ(my[0][3], std::optional<std::string>(std::to_string(text_bytes / piece.size() * piece.size())));

    const agent_result r = db.convert();
    EXPECT_EQ(r.status, 0) << show(r);
    expect_same_rows(my, db.pg("SELECT id, octet_length(b), md5(b), octet_length(t), md5(t) FROM big ORDER BY id"),
                     "big");
    // The row is held a few times over (row buffer, values, COPY text and the
    // client libraries' copies of it), never tens of times. A sanitizer's
    // quarantine keeps freed blocks, so its runs say nothing about this.
    rusage use{};
    getrusage(RUSAGE_CHILDREN, &use);
    std::cerr << "vekagent peak resident set: " << use.ru_maxrss / 1024 << " MB\n";
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(use.ru_maxrss, 1536L * 1024) << "largest child's resident set in KB";
#endif
}

// MySQL's text of a FLOAT keeps six digits: each value must still arrive as the
// float the server stores, every bit of it, and not as its rounded text.
TEST(FaultsValues, FloatArrivesAsTheStoredFloatNotItsSixDigitText) {
    value_dbs db("float");
    db.my.exec("CREATE TABLE floats (id INT PRIMARY KEY, f FLOAT, u FLOAT UNSIGNED NOT NULL)");
    db.my.exec("INSERT INTO floats VALUES (1, 1.2345678, 1.2345678), (2, 3.4028234663852886e38, 0), "
               "(3, -3.4028234663852886e38, 0), (4, 1.1754943508222875e-38, 0), (5, 1.401298464324817e-45, 0), "
               "(6, -0e0, 0), (7, 16777216, 16777215), (8, 0.1, 0.1), (9, NULL, 0)");

    const agent_result r = db.convert();
    EXPECT_EQ(r.status, 0) << show(r);
    const db_rows my = db.my.query("SELECT id, CAST(f AS DOUBLE), CAST(u AS DOUBLE) FROM floats ORDER BY id");
    const db_rows pg = db.pg("SELECT id, f::float8, u::float8 FROM floats ORDER BY id");
    ASSERT_EQ(my.size(), 9u);
    ASSERT_EQ(pg.size(), my.size());
    for (std::size_t i = 0; i < my.size(); ++i)
        for (std::size_t c = 1; c < 3; ++c) {
            EXPECT_EQ(my[i][c].has_value(), pg[i][c].has_value()) << "row " << i;
            if (my[i][c]) {
                EXPECT_EQ(bits_of(my[i][c]), bits_of(pg[i][c]))
                    << "row " << i << ": MySQL " << cell_text(my[i][c]) << ", PostgreSQL " << cell_text(pg[i][c]);
            }
        }
    EXPECT_EQ(*my[0][1], "1.2345677614212036");  // the source holds more than its text shows
}

}  // namespace
