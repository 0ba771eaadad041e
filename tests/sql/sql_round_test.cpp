// A MySQL table read by the MySQL reader and written by the MySQL writer into
// another database: every value and every key arrives as it was.
#include <gtest/gtest.h>

#include "support/sql_fixture.h"
#include "tk/tk_utils.h"
#include "udb/udb_engi.h"

namespace {

using SqlRoundTripTest = sql_server_test;

std::string row_values(int i) {
    const auto q = [](const std::string& s) { return "'" + s + "'"; };
    const bool nulls = i % 17 == 0;
    const auto n = [&](const std::string& v) { return nulls ? std::string("NULL") : v; };
    std::string r = "(" + std::to_string(i);
    r += ", " + n(std::to_string(i % 2 ? -128 + i % 256 : 127 - i % 100));
    r += ", " + n(std::to_string(i % 256));
    r += ", " + n(std::to_string(i * 97 - 32768));
    r += ", " + n(std::to_string(65535 - i));
    r += ", " + n(std::to_string(i * 27961 - 8388608));
    r += ", " + n(std::to_string(4294967295u - static_cast<unsigned>(i)));
    r += ", " + n(i == 1 ? "-9223372036854775808" : std::to_string(static_cast<long long>(i) * 30000000000037LL));
    r += ", " + n(i == 2 ? "18446744073709551615" : std::to_string(i));
    r += ", " + n(i == 3 ? "3.4028234e38" : std::to_string(i) + ".1e-3");  // FLOAT
    r += ", " + n(i == 4 ? "-1.7976931348623157e308" : "1e0/" + std::to_string(i + 2));
    r += ", " + n(std::to_string(i) + "." + std::to_string(100000 + i));
    r += ", " + n(i == 5 ? "-99999999999999999999999999999999999.999999999999999999999999999999"
                         : "0.000000000000000000000000000001");
    r += ", " + n(q("2021-02-03 04:05:06." + std::to_string(100000 + i)));
    r += ", " + n(q("2022-12-31 23:59:59." + std::to_string(900000 + i)));
    r += ", " + n(i == 6 ? q("0001-01-01") : q("9999-12-31"));
    r += ", " + n(q("23:59:" + std::to_string(10 + i % 50) + ".000001"));
    r += ", " + n(std::to_string(1901 + i % 254));
    r += ", " + n(q("c" + std::to_string(i)));
    r += ", " + (i % 5 == 0 ? "NULL" : q("v" + std::to_string(i)));  // unique, NULL more than once
    r += ", " + n(i % 3 ? q("it\\'s \\\\ \"q\" \xF0\x9F\x98\x80 \xC3\xA9 " + std::to_string(i)) : q(""));
    r += ", " + n("REPEAT('\xE2\x9A\xA1', " + std::to_string(i * 10) + ")");
    r += ", " + n("X'00FF" + std::string(i % 2 ? "0A0D" : "2700") + "'");
    r += ", " + n("X'" + std::string(i % 2 ? "005C27" : "") + "'");
    r += ", " + n("UNHEX(REPEAT('00FF7F80', " + std::to_string(i) + "))");
    r += ", " + n(i % 3 == 0 ? q("it''s") : q("a"));
    r += ", " + n(q(i % 2 ? "x,y" : "y"));
    r += ", " + n(i % 2 ? "b'1'" : "b'0'");
    r += ", " + n("b'" + std::string(i % 2 ? "10100101" : "00000000") + "'");
    return r + ")";
}

TEST_F(SqlRoundTripTest, EveryValueAndKeyArrivesThroughTheReaderAndTheWriter) {
    exec("CREATE TABLE `" + db +
         "`.src (id INT AUTO_INCREMENT PRIMARY KEY, ti TINYINT, tu TINYINT UNSIGNED, si SMALLINT, "
         "su SMALLINT UNSIGNED, mi MEDIUMINT, iu INT UNSIGNED, bi BIGINT, bu BIGINT UNSIGNED, f FLOAT, "
         "dbl DOUBLE, dc DECIMAL(20,6), dz DECIMAL(65,30), dt DATETIME(6), ts TIMESTAMP(6) NULL, d DATE, "
         "tm TIME(6), y YEAR, ch CHAR(10), vc VARCHAR(50), tx TEXT, lt LONGTEXT, bn BINARY(4), vb VARBINARY(20), "
         "bl BLOB, en ENUM('a','b','it''s'), st SET('x','y'), b1 BIT(1), b8 BIT(8), "
         "UNIQUE KEY uq (vc), KEY k2 (si, ti))");
    const int n_rows = 300;  // more than one window of the reader
    std::string insert = "INSERT INTO `" + db + "`.src VALUES ";
    for (int i = 1; i <= n_rows; ++i) insert += (i > 1 ? ", " : "") + row_values(i);
    exec(insert);

    // Read the whole table (the reader streams it on the connection the
    // writer then uses), then write it into a database of its own.
    std::vector<udb_record> records;
    std::unique_ptr<udb_schema> schema = std::make_unique<udb_schema>();
    udb_indexes indexes;
    {
        auto src_db = open(1);
        auto src = src_db->get_table(L"src", 1);
        udb_recordset& in = *src;
        for (in.reset(); !in.is_eof(); in.next()) records.push_back(*in.get_item());
        for (const t_ftd* c : in.schema().columns()) schema->add(std::make_unique<t_ftd>(*c));
        indexes = in.indexes();
    }
    ASSERT_EQ(records.size(), static_cast<std::size_t>(n_rows));

    const std::string copy = db + "_copy";
    struct drop_copy {
        sql_engine& e;
        std::string name;
        ~drop_copy() { e.execute("DROP DATABASE IF EXISTS `" + name + "`"); }
    } dropper{*engine, copy};
    udb_engine& server = *engine;
    auto dest_db = server.create_db(tk_utf8_to_unicode(copy));
    auto dest = dest_db->create_table(L"src", *schema, indexes);
    udb_recordset& out = *dest;
    for (const udb_record& r : records) out.append_record(r);
    out.complete();
    EXPECT_EQ(out.rec_count(), n_rows);

    // Value by value, compared by the server: bytes for text and binary
    // columns, the values themselves for the others.
    const auto columns = rows("SELECT COLUMN_NAME, DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                              db + "' AND TABLE_NAME = 'src' ORDER BY ORDINAL_POSITION");
    ASSERT_EQ(columns.size(), 29u);
    EXPECT_EQ(value("SELECT COUNT(*) FROM `" + db + "`.src s JOIN `" + copy + "`.src c ON s.id = c.id"), "300");
    for (const auto& col : columns) {
        const std::string name = "`" + *col[0] + "`";
        const std::string type = *col[1];
        const bool bytes = type.find("char") != std::string::npos || type.find("text") != std::string::npos ||
                           type.find("blob") != std::string::npos || type.find("binary") != std::string::npos ||
                           type == "enum" || type == "set";
        const std::string equal =
            bytes ? "HEX(s." + name + ") <=> HEX(c." + name + ")" : "s." + name + " <=> c." + name;
        EXPECT_EQ(value("SELECT COUNT(*) FROM `" + db + "`.src s JOIN `" + copy + "`.src c ON s.id = c.id WHERE NOT (" +
                        equal + ")"),
                  "0")
            << *col[0] << " (" << type << ")";
    }
    // The keys are kept.
    const auto keys = [&](const std::string& schema_name) {
        return rows("SELECT INDEX_NAME, SEQ_IN_INDEX, COLUMN_NAME, NON_UNIQUE FROM information_schema.STATISTICS WHERE "
                    "TABLE_SCHEMA = '" +
                    schema_name + "' AND TABLE_NAME = 'src' ORDER BY INDEX_NAME, SEQ_IN_INDEX");
    };
    EXPECT_EQ(keys(copy), keys(db));
    EXPECT_EQ(keys(copy).size(), 4u);
    EXPECT_EQ(value("SELECT EXTRA FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" + copy +
                    "' AND TABLE_NAME = 'src' AND COLUMN_NAME = 'id'"),
              "auto_increment");
}

}  // namespace
