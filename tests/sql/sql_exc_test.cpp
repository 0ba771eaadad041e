#include "sql/sql_exc.h"

#include <gtest/gtest.h>

// The code is the error maps' key (low 16 bits); the number, the SQLSTATE and
// whether the connection is gone are the library's, unchanged.
TEST(SqlException, KeepsTheFullNumberAndTheSqlstateBesideTheMapsCode) {
    struct row {
        unsigned number;
        const char* sqlstate;
        int code;
        bool lost;
    };
    for (const row& r : {row{1054, "42S22", sql_exception::code_base + 1054, false},
                         row{0x10000 + 1062, "23000", sql_exception::code_base + 1062, false},
                         row{2013, "HY000", sql_exception::code_base + 2013, true}}) {
        const sql_exception e("text", r.number, r.sqlstate);
        EXPECT_EQ(e.error_number(), r.number);
        EXPECT_EQ(e.sqlstate(), r.sqlstate);
        EXPECT_EQ(e.code(), r.code);
        EXPECT_EQ(e.connection_lost(), r.lost) << r.number;
        EXPECT_EQ(e.level(), r.lost ? 1 : 0);
    }
}
