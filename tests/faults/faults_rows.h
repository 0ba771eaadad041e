#pragma once
// Shared by the server fault tests: a table of known rows in MySQL and the
// check that the destination holds them unchanged.
#include <gtest/gtest.h>

#include <string>

#include "support/agent_db.h"
#include "support/agent_proc.h"

inline std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

// The text of every "Error:" block and every standard-error line.
inline std::string reported(const agent_result& r) { return r.out + "\n" + r.err; }

inline bool pg_table_exists(const std::string& db, const std::string& table) {
    return !pg_query(db, "SELECT 1 FROM information_schema.tables WHERE table_schema = 'public' AND table_name = '" +
                             table + "'")
                .empty();
}

inline long long pg_count(const std::string& db, const std::string& table) {
    return std::stoll(*pg_query(db, "SELECT count(*) FROM \"" + table + "\"")[0][0]);
}

// Rows of `rows(id, a, s, d)`: a = id * 7, s = 'row-<id>', d = id / 4.
inline void fill_rows(mysql_admin& my, const std::string& table, int n) {
    my.exec("CREATE TABLE " + table +
            " (id INT PRIMARY KEY, a BIGINT NOT NULL, s VARCHAR(40) NOT NULL, d DOUBLE NOT NULL)");
    my.exec("INSERT INTO " + table + " SELECT seq, seq * 7, CONCAT('row-', seq), seq / 4 FROM seq_1_to_" +
            std::to_string(n));
}

// How many of the destination's rows differ from what fill_rows wrote, and
// whether the ids are exactly 1..count.
inline void expect_rows_intact(const std::string& db, const std::string& table, long long expected_count) {
    const db_rows r = pg_query(db, "SELECT count(*), coalesce(min(id), 1), coalesce(max(id), 0), "
                                   "count(*) FILTER (WHERE a <> id::bigint * 7 OR s <> 'row-' || id "
                                   "OR d <> id / 4.0) FROM \"" +
                                       table + "\"");
    const long long count = std::stoll(*r[0][0]);
    if (expected_count >= 0) {
        EXPECT_EQ(count, expected_count) << table;
    }
    EXPECT_EQ(*r[0][1], "1") << table;
    EXPECT_EQ(std::stoll(*r[0][2]), count) << table << ": the ids are not 1..count";
    EXPECT_EQ(*r[0][3], "0") << table << ": rows changed on the way";
}
