// PostgreSQL tables read by the PostgreSQL reader and written by the MySQL
// writer, the way a run drives them: through udb_database and udb_recordset
// alone. Every value is compared with the PostgreSQL server's own text of it,
// and the keys, indexes and foreign key arrive as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <pqxx/pqxx>

#include "postgres/pgs_db.h"
#include "postgres/pgs_engi.h"
#include "postgres/pgs_scratch.h"
#include "sql/sql_fixture.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"
#include "udb/udb_engi.h"
#include "udb/udb_vali.h"

namespace {

using cells = std::vector<std::optional<std::string>>;

// The source: a parent, and a child with a column of every type the reader
// maps. A dropped column shifts the attribute numbers; the primary key lists
// its columns against their order in the table.
const char* const source_ddl = R"(
CREATE TABLE parent (code varchar(12) PRIMARY KEY, label text);
CREATE TABLE every_type (
  gone int,
  i2 int2, i4 int4 NOT NULL, i8 int8,
  n numeric(20,6), nw numeric(65,30), nu numeric,
  r4 float4, r8 float8, m money, b bool,
  d date, t time, ts timestamp, tz timestamptz,
  tx text, vc varchar(40), ch char(8), vl varchar(400), bin bytea, code varchar(12),
  k1 int4, k2 varchar(10),
  CONSTRAINT every_pk PRIMARY KEY (k2, k1),
  CONSTRAINT every_parent FOREIGN KEY (code) REFERENCES parent (code));
ALTER TABLE every_type DROP COLUMN gone;
CREATE UNIQUE INDEX every_vc ON every_type (vc);
CREATE INDEX every_i8_d ON every_type (i8, d);
INSERT INTO parent VALUES ('p1', 'one'), ('p2', NULL), ('p3', E'it''s'), ('P1', 'upper');
)";

// The rows: the extremes of every type by hand, then enough generated rows to
// take more than one window of the reader.
const char* const source_rows = R"(
INSERT INTO every_type VALUES
 (-32768, -2147483648, -9223372036854775808, -99999999999999.999999,
  -99999999999999999999999999999999999.999999999999999999999999999999, 12345678901234567890.123456789,
  '3.4028235e38', '1.7976931348623157e308', '-92233720368547758.08', true,
  '0001-01-01', '00:00:00', '0001-01-01 00:00:00', '0001-01-01 00:00:00+00',
  E'it''s \\ "q" \\n \U0001F600 \u00e9\ttab\nline \x01\x1a end', 'v1', 'ab', repeat(E'\u26a1', 400),
  (SELECT decode(string_agg(lpad(to_hex(g), 2, '0'), '' ORDER BY g), 'hex') FROM generate_series(0, 255) g),
  'p1', 1, 'a'),
 (32767, 2147483647, 9223372036854775807, 99999999999999.999999,
  99999999999999999999999999999999999.999999999999999999999999999999, 0.1,
  '-1.17549435e-38', '2.2250738585072014e-308', '92233720368547758.07', false,
  '9999-12-31', '24:00:00', '9999-12-31 23:59:59.999999', '2021-03-04 13:05:06.000001+05:30',
  '', '', '', '', '\x', 'p3', 2, 'a'),
 (0, 0, 0, 0, 0.000000000000000000000000000001, -1e-10,
  '1.4e-45', '5e-324', 0, NULL,
  '2000-02-29', '23:59:59.999999', '2000-02-29 12:00:00.5', '1969-12-31 23:59:59.999999-01',
  NULL, NULL, NULL, NULL, NULL, NULL, 0, ''),
 (NULL, 7, NULL, NULL, NULL, NULL, '-0', '-0', NULL, NULL, NULL, NULL, NULL, NULL,
  E'\u4e2d\u6587 \U0001F4A9', 'v4', E'\u00e9', 'x', '\x0000', NULL, 3, E'k\u00e9'),
 (NULL, 8, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 'V4', NULL, NULL, NULL, 'P1', 1, 'A'),
 (NULL, 9, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 'v4 ', NULL, NULL, NULL, NULL, 1, 'a ');
INSERT INTO every_type
SELECT (g * 97 % 65536) - 32768, g * 7919 * (1 - 2 * (g % 2)), g::int8 * 30000000000037, g * 1.000001,
       g / 7.0, g / 3.0, g / 7.0, 1.0 / g, g * 1.01, CASE WHEN g % 3 = 0 THEN NULL ELSE g % 2 = 0 END,
       date '2000-01-01' + g, time '00:00:00' + g * interval '1 minute 1.000001 second',
       timestamp '2021-01-01' + g * interval '1 hour 1.000007 second',
       timestamptz '2021-06-01 00:00:00+02' + g * interval '1 day 0.000003 second',
       repeat('x', g) || E'\\', 'v' || (g + 10), left(g::text, 8), repeat(E'\u00e9', g % 401),
       decode(repeat(lpad(to_hex(g % 256), 2, '0'), g % 5), 'hex'),
       CASE WHEN g % 4 = 0 THEN NULL ELSE 'p2' END, g + 10, 'g' || g
FROM generate_series(1, 600) g;
)";

// Each column's value in one text both servers can give: the source's as the
// server prints it, the copy's through MySQL's own functions. Reals are
// compared as numbers (kind real); the others as text.
struct compared_column {
    const char* name;
    const char* pg;     // expression on the PostgreSQL side
    const char* mysql;  // expression on the MySQL side
    bool real = false;
};

// Text as the hexadecimal of its UTF-8 bytes, in the form the server outputs
// it (format keeps the blanks that pad a char(n), and prints NULL as '').
#define PG_TEXT_HEX(c) "CASE WHEN " c " IS NOT NULL THEN upper(encode(convert_to(format('%s', " c "), 'UTF8'), 'hex')) END"

const compared_column compared[] = {
    {"i2", "i2::text", "i2"},
    {"i4", "i4::text", "i4"},
    {"i8", "i8::text", "i8"},
    {"n", "n::text", "n"},
    {"nw", "nw::text", "nw"},
    // numeric without a precision has no DECIMAL to go to: it becomes DOUBLE,
    // and arrives as the double nearest to it.
    {"nu", "nu::float8::text", "nu", true},
    // FLOAT prints six digits: compare the float widened on both sides.
    {"r4", "r4::float8::text", "CAST(r4 AS DOUBLE)", true},
    {"r8", "r8::text", "r8", true},
    {"m", "m::numeric::text", "m"},
    {"b", "b::int::text", "b + 0"},
    {"d", "to_char(d, 'YYYY-MM-DD')", "d"},
    {"t", "to_char(t, 'HH24:MI:SS.US')", "t"},
    {"ts", "to_char(ts, 'YYYY-MM-DD HH24:MI:SS.US')", "ts"},
    // DATETIME has no time zone: the instant arrives as its time in UTC.
    {"tz", "to_char(tz AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS.US')", "tz"},
    {"tx", PG_TEXT_HEX("tx"), "HEX(tx)"},
    {"vc", PG_TEXT_HEX("vc"), "HEX(vc)"},
    {"ch", PG_TEXT_HEX("ch"), "HEX(ch)"},
    {"vl", PG_TEXT_HEX("vl"), "HEX(vl)"},
    {"bin", "upper(encode(bin, 'hex'))", "HEX(bin)"},
    {"code", PG_TEXT_HEX("code"), "HEX(code)"},
};

// The row key both sides print alike: k1 and the bytes of k2.
const char* const pg_row_key = "k1::text || ':' || upper(encode(convert_to(k2, 'UTF8'), 'hex'))";
const char* const mysql_row_key = "CONCAT(k1, ':', HEX(k2))";

bool same_real(const std::string& a, const std::string& b)
{
    const double x = std::strtod(a.c_str(), nullptr);
    const double y = std::strtod(b.c_str(), nullptr);
    return x == y || (std::isnan(x) && std::isnan(y));
}

class pgs_sql_round_trip_test : public sql_server_test {
protected:
    // Every row of the source table, by row key: one cell per compared column.
    std::map<std::string, cells> source_values(pqxx::connection& c, const std::string& table)
    {
        std::string select = std::string("SELECT ") + pg_row_key;
        for (const compared_column& col : compared) select += std::string(", ") + col.pg;
        pqxx::nontransaction tx(c);
        std::map<std::string, cells> out;
        for (const auto& row : tx.exec(select + " FROM " + table)) {
            cells v;
            for (std::size_t i = 1; i < row.size(); ++i)
                v.push_back(row[static_cast<int>(i)].is_null() ? std::nullopt
                                                               : std::optional<std::string>(row[static_cast<int>(i)].c_str()));
            out.emplace(row[0].c_str(), std::move(v));
        }
        return out;
    }
    std::map<std::string, cells> copy_values(const std::string& table)
    {
        std::string select = std::string("SELECT ") + mysql_row_key;
        for (const compared_column& col : compared) select += std::string(", ") + col.mysql;
        std::map<std::string, cells> out;
        for (auto& row : rows(select + " FROM " + table)) {
            cells v(row.begin() + 1, row.end());
            out.emplace(*row[0], std::move(v));
        }
        return out;
    }
};

TEST_F(pgs_sql_round_trip_test, every_value_key_and_foreign_key_arrives)
{
    pgs_scratch::database source_name("vek_round");
    {
        auto admin = pgs_scratch::admin(source_name.name());
        pqxx::nontransaction tx(*admin);
        tx.exec(source_ddl);
        tx.exec(source_rows);
    }

    pgs_engine pg;
    pgs_scratch::connect(pg, source_name.name());
    std::unique_ptr<udb_database> source_db = pg.open_db(tk_utf8_to_unicode(source_name.name()));
    udb_database& source = *source_db;

    const std::string copy = db + "_pg";
    struct drop_copy {
        sql_engine& e;
        std::string name;
        ~drop_copy() { e.execute("DROP DATABASE IF EXISTS `" + name + "`"); }
    } dropper{*engine, copy};
    udb_engine& server = *engine;
    std::unique_ptr<udb_database> dest_db = server.create_db(tk_utf8_to_unicode(copy));
    udb_database& dest = *dest_db;

    // Table by table as a run copies them: a name MySQL cannot take gets a
    // safe one, remembered for the foreign keys.
    sql_reports reports;
    const std::unique_ptr<udb_validator> names = engine->create_tn_validator({}, dest.table_names());
    std::map<std::wstring, std::string> copied;  // source key -> MySQL table
    std::vector<std::string> row_errors;
    for (const std::wstring key : {L"public.parent", L"public.every_type"}) {
        std::unique_ptr<udb_recordset> in = source.get_table(key, 1);
        std::wstring dest_name = key;
        if (!names->is_acceptable(key)) {
            dest_name = names->get_safe_name(key);
            names->add_existing_name(dest_name);
            dest.names_map().add_tn_mapping(key, dest_name);
        }
        names->add_restricted_name(dest_name);
        std::unique_ptr<udb_recordset> out = dest.create_table(dest_name, in->schema(), in->indexes());
        for (in->reset(); !in->is_eof(); in->next()) {
            try {
                out->append_record(*in->get_item());
            } catch (const tk_exception& e) {
                row_errors.push_back(e.what());
            }
        }
        out->complete();
        EXPECT_EQ(out->rec_count(), in->rec_count()) << tk_to_utf8(key);
        copied[key] = "`" + copy + "`.`" + tk_to_utf8(dest_name) + "`";
    }
    dest.create_relationships(source.relationships());
    EXPECT_TRUE(row_errors.empty()) << row_errors.front();
    for (const auto& r : reports.entries) ADD_FAILURE() << r.message;

    // Every row, every value.
    auto admin = pgs_scratch::admin(source_name.name());
    const auto expected = source_values(*admin, "every_type");
    const auto arrived = copy_values(copied[L"public.every_type"]);
    ASSERT_EQ(expected.size(), 606u);
    ASSERT_EQ(arrived.size(), expected.size());
    for (const auto& [key, want] : expected) {
        const auto it = arrived.find(key);
        ASSERT_NE(it, arrived.end()) << "row " << key;
        for (std::size_t i = 0; i < std::size(compared); ++i) {
            const std::optional<std::string>& w = want[i];
            const std::optional<std::string>& g = it->second[i];
            const std::string at = std::string("row ") + key + " column " + compared[i].name;
            ASSERT_EQ(w.has_value(), g.has_value()) << at << ": " << w.value_or("NULL") << " / " << g.value_or("NULL");
            if (!w) continue;
            if (compared[i].real) EXPECT_TRUE(same_real(*w, *g)) << at << ": " << *w << " / " << *g;
            else EXPECT_EQ(*w, *g) << at;
        }
    }
    EXPECT_EQ(value("SELECT GROUP_CONCAT(code, '=', HEX(COALESCE(label, '-')) ORDER BY code) FROM " +
                    copied[L"public.parent"]),
              "P1=7570706572,p1=6F6E65,p2=2D,p3=69742773");

    // The keys in their order, the indexes and the foreign key.
    const auto keys = rows("SELECT INDEX_NAME, SEQ_IN_INDEX, COLUMN_NAME, NON_UNIQUE FROM information_schema.STATISTICS "
                           "WHERE TABLE_SCHEMA = '" + copy + "' AND TABLE_NAME = 'public_every_type' "
                           "ORDER BY INDEX_NAME, SEQ_IN_INDEX");
    std::vector<std::string> key_text;
    for (const auto& k : keys) key_text.push_back(*k[0] + "." + *k[1] + "=" + *k[2] + (*k[3] == "0" ? " unique" : ""));
    std::sort(key_text.begin(), key_text.end());
    // The foreign key's column gets an index of its own.
    EXPECT_EQ(key_text, (std::vector<std::string>{"PRIMARY.1=k2 unique", "PRIMARY.2=k1 unique", "code.1=code",
                                                  "every_i8_d.1=i8", "every_i8_d.2=d", "every_vc.1=vc unique"}));
    EXPECT_EQ(value("SELECT CONCAT(k.CONSTRAINT_NAME, ':', k.COLUMN_NAME, '->', k.REFERENCED_TABLE_NAME, '.', "
                    "k.REFERENCED_COLUMN_NAME) FROM information_schema.KEY_COLUMN_USAGE k WHERE k.TABLE_SCHEMA = '" +
                    copy + "' AND k.TABLE_NAME = 'public_every_type' AND k.REFERENCED_TABLE_NAME IS NOT NULL"),
              "every_parent:code->public_parent.code");
    // The foreign key holds: a child row without its parent is refused.
    MYSQL* m = second_connection();
    const std::string orphan = "INSERT INTO " + copied[L"public.every_type"] + " (i4, code, k1, k2) VALUES (1, 'nope', 99, 'z')";
    EXPECT_NE(mysql_query(m, orphan.c_str()), 0);
    EXPECT_EQ(mysql_errno(m), 1452u) << mysql_error(m);

    // The column types each source type became, and NOT NULL where it was.
    const auto types = rows("SELECT COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE FROM information_schema.COLUMNS WHERE "
                            "TABLE_SCHEMA = '" + copy + "' AND TABLE_NAME = 'public_every_type' ORDER BY ORDINAL_POSITION");
    std::vector<std::string> type_text;
    for (const auto& t : types) type_text.push_back(*t[0] + " " + *t[1] + (*t[2] == "NO" ? " not null" : ""));
    EXPECT_EQ(type_text, (std::vector<std::string>{
                             "i2 smallint(6)", "i4 int(11) not null", "i8 bigint(20)", "n decimal(20,6)",
                             "nw decimal(65,30)", "nu double", "r4 float", "r8 double", "m decimal(19,2)", "b bit(1)",
                             "d date", "t time(6)", "ts datetime(6)", "tz datetime(6)", "tx longtext",
                             "vc varchar(40)", "ch varchar(8)", "vl text", "bin longblob", "code varchar(12)",
                             "k1 int(11) not null", "k2 varchar(10) not null"}));
}

}  // namespace
