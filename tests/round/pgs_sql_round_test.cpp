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
#include "support/pgs_scratch.h"
#include "support/sql_fixture.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"
#include "udb/udb_engi.h"
#include "udb/udb_vali.h"

namespace {

using cells = std::vector<std::optional<std::string>>;

// The source: a parent, and a child with a column of every type the reader
// maps. A dropped column shifts the attribute numbers; the primary key lists
// its columns against their order in the table. A second child names its
// foreign key as the first does (names are per table here, per database on
// MySQL).
const char* const source_ddl = R"(
CREATE TABLE parent (code varchar(12) PRIMARY KEY, label text);
CREATE TABLE every_type (
  gone int,
  i2 int2, i4 int4 NOT NULL, i8 int8,
  n numeric(20,6), nw numeric(65,30), nu numeric,
  r4 float4, r8 float8, m money, b bool,
  d date, t time, ts timestamp, tz timestamptz,
  tx text, vc varchar(40), ch char(8), vl varchar(400), bin bytea, code varchar(12),
  u uuid, j jsonb, iv interval, ar int[], nm name, tt timetz,
  k1 int4, k2 varchar(10),
  CONSTRAINT every_pk PRIMARY KEY (k2, k1),
  CONSTRAINT every_parent FOREIGN KEY (code) REFERENCES parent (code));
ALTER TABLE every_type DROP COLUMN gone;
CREATE UNIQUE INDEX every_vc ON every_type (vc);
CREATE INDEX every_i8_d ON every_type (i8, d);
CREATE INDEX every_vl ON every_type (vl);
CREATE TABLE other_child (id int PRIMARY KEY, "parent's code" varchar(12),
  CONSTRAINT every_parent FOREIGN KEY ("parent's code") REFERENCES parent (code));
INSERT INTO parent VALUES ('p1', 'one'), ('p2', NULL), ('p3', E'it''s'), ('P1', 'upper');
INSERT INTO other_child VALUES (1, 'P1'), (2, NULL);
)";

// The rows: the extremes of every type by hand, then enough generated rows to
// take more than one window of the reader.
const char* const source_rows = R"(
INSERT INTO every_type (i2, i4, i8, n, nw, nu, r4, r8, m, b, d, t, ts, tz, tx, vc, ch, vl, bin, code, k1, k2) VALUES
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
 (NULL, 8, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
  NULL, 'V4', NULL, NULL, NULL, 'P1', 1, 'A'),
 (NULL, 9, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
  NULL, 'v4 ', NULL, NULL, NULL, NULL, 1, 'a ');
UPDATE every_type SET u = 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', j = '{"a": [1, "\u00e9\"q"], "b": null}',
  iv = '1 year 2 mons -3 days 04:05:06.789', ar = '{1,NULL,-3}', nm = E'Name \u00e9', tt = '13:05:06.5+05:30'
  WHERE k1 = 1 AND k2 = 'a';
UPDATE every_type SET j = '[]', iv = '-00:00:00.000001', ar = '{}', nm = '', tt = '24:00:00-15:59'
  WHERE k1 = 2 AND k2 = 'a';
INSERT INTO every_type
  (i2, i4, i8, n, nw, nu, r4, r8, m, b, d, t, ts, tz, tx, vc, ch, vl, bin, code, k1, k2, u, j, iv, ar, nm, tt)
SELECT (g * 97 % 65536) - 32768, g * 7919 * (1 - 2 * (g % 2)), g::int8 * 30000000000037, g * 1.000001,
       g / 7.0, g / 3.0, g / 7.0, 1.0 / g, g * 1.01, CASE WHEN g % 3 = 0 THEN NULL ELSE g % 2 = 0 END,
       date '2000-01-01' + g, time '00:00:00' + g * interval '1 minute 1.000001 second',
       timestamp '2021-01-01' + g * interval '1 hour 1.000007 second',
       timestamptz '2021-06-01 00:00:00+02' + g * interval '1 day 0.000003 second',
       repeat('x', g * 4) || E'\\', 'v' || (g + 10), left(g::text, 8), repeat(E'\u00e9', g % 401),
       decode(repeat(lpad(to_hex(g % 256), 2, '0'), g % 5), 'hex'),
       CASE WHEN g % 4 = 0 THEN NULL ELSE 'p2' END, g + 10, 'g' || g,
       md5(g::text)::uuid, jsonb_build_object('g', g, 's', repeat('"', g % 3)), g * interval '1 day 1.5 second',
       ARRAY[g, -g], 'n' || g, timetz '00:00:00+01' + g * interval '1 minute'
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
#define PG_TEXT_HEX(c) \
    "CASE WHEN " c " IS NOT NULL THEN upper(encode(convert_to(format('%s', " c "), 'UTF8'), 'hex')) END"

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
    // Types without a column type of their own travel as their text.
    {"u", PG_TEXT_HEX("u"), "HEX(u)"},
    {"j", PG_TEXT_HEX("j"), "HEX(j)"},
    {"iv", PG_TEXT_HEX("iv"), "HEX(iv)"},
    {"ar", PG_TEXT_HEX("ar"), "HEX(ar)"},
    {"nm", PG_TEXT_HEX("nm"), "HEX(nm)"},
    {"tt", PG_TEXT_HEX("tt"), "HEX(tt)"},
};

// The row key both sides print alike: k1 and the bytes of k2.
const char* const pg_row_key = "k1::text || ':' || upper(encode(convert_to(k2, 'UTF8'), 'hex'))";
const char* const mysql_row_key = "CONCAT(k1, ':', HEX(k2))";

// Reals as numbers: the two servers print them differently. A negative zero
// arrives as zero (MySQL keeps no sign on a zero).
bool same_real(const std::string& a, const std::string& b) {
    const double x = std::strtod(a.c_str(), nullptr);
    const double y = std::strtod(b.c_str(), nullptr);
    return x == y || (std::isnan(x) && std::isnan(y));
}

class PgsSqlRoundTripTest : public sql_server_test {
protected:
    // A PostgreSQL database built by the statements, read through its own
    // engine, and a MySQL database created through the MySQL engine.
    void open_both(const std::vector<std::string>& statements) {
        {
            auto admin = pgs_scratch::admin(m_source_name.name());
            pqxx::nontransaction tx(*admin);
            for (const std::string& sql : statements) tx.exec(sql);
        }
        pgs_scratch::connect(m_pg, m_source_name.name());
        m_source = m_pg.open_db(tk_utf8_to_unicode(m_source_name.name()));
        udb_engine& server = *engine;
        copy = db + "_pg";
        m_dest = server.create_db(tk_utf8_to_unicode(copy));
        m_names = engine->create_tn_validator({}, m_dest->table_names());
    }
    void TearDown() override {
        m_dest.reset();
        if (!copy.empty()) engine->execute("DROP DATABASE IF EXISTS `" + copy + "`");
        sql_server_test::TearDown();
    }

    struct copied_table {
        std::string name;                            // the MySQL table, qualified and quoted
        std::map<std::int64_t, std::string> errors;  // record number -> the error of that row
        std::int64_t read = 0, written = 0;
    };
    // One table as a run copies it: a name MySQL cannot take gets a safe one,
    // remembered for the foreign keys; a row either side cannot carry is the
    // error of that row, and the others go on.
    copied_table copy_table(const std::wstring& key) {
        udb_database& source = *m_source;
        udb_database& dest = *m_dest;
        std::unique_ptr<udb_recordset> in = source.get_table(key, 1);
        std::wstring dest_name = key;
        if (!m_names->is_acceptable(key)) {
            dest_name = m_names->get_safe_name(key);
            m_names->add_existing_name(dest_name);
            dest.names_map().add_tn_mapping(key, dest_name);
        }
        m_names->add_restricted_name(dest_name);
        std::unique_ptr<udb_recordset> out = dest.create_table(dest_name, in->schema(), in->indexes());
        copied_table t;
        t.name = "`" + copy + "`.`" + tk_to_utf8(dest_name) + "`";
        std::int64_t number = 0;
        for (in->reset(); !in->is_eof(); in->next()) {
            ++number;
            try {
                out->append_record(*in->get_item());
            } catch (const tk_exception& e) {
                t.errors[number] = e.what();
            }
        }
        out->complete();
        t.read = in->rec_count();
        t.written = out->rec_count();
        return t;
    }
    void copy_relationships() { m_dest->create_relationships(m_source->relationships()); }
    pqxx::connection& source_admin() {
        if (!m_admin) m_admin = pgs_scratch::admin(m_source_name.name());
        return *m_admin;
    }

    // Every row of the source table, by row key: one cell per compared column.
    std::map<std::string, cells> source_values(const std::string& table) {
        std::string select = std::string("SELECT ") + pg_row_key;
        for (const compared_column& col : compared) select += std::string(", ") + col.pg;
        pqxx::nontransaction tx(source_admin());
        std::map<std::string, cells> out;
        for (const auto& row : tx.exec(select + " FROM " + table)) {
            cells v;
            for (pqxx::row::size_type i = 1; i < row.size(); ++i)
                v.push_back(row[i].is_null() ? std::nullopt : std::optional<std::string>(row[i].c_str()));
            out.emplace(row[0].c_str(), std::move(v));
        }
        return out;
    }
    std::map<std::string, cells> copy_values(const std::string& table) {
        std::string select = std::string("SELECT ") + mysql_row_key;
        for (const compared_column& col : compared) select += std::string(", ") + col.mysql;
        std::map<std::string, cells> out;
        for (auto& row : rows(select + " FROM " + table)) {
            cells v(row.begin() + 1, row.end());
            out.emplace(*row[0], std::move(v));
        }
        return out;
    }

    std::string copy;  // the MySQL database's name

private:
    pgs_scratch::database m_source_name{"vek_round"};
    pgs_engine m_pg;
    std::unique_ptr<pqxx::connection> m_admin;
    std::unique_ptr<udb_database> m_source;
    std::unique_ptr<udb_database> m_dest;
    std::unique_ptr<udb_validator> m_names;
};

TEST_F(PgsSqlRoundTripTest, every_value_key_and_foreign_key_arrives) {
    open_both({source_ddl, source_rows});
    sql_reports reports(*engine);
    const copied_table parent = copy_table(L"public.parent");
    const copied_table child = copy_table(L"public.every_type");
    const copied_table other = copy_table(L"public.other_child");
    copy_relationships();
    for (const copied_table* t : {&parent, &child, &other}) {
        EXPECT_EQ(t->written, t->read) << t->name;
        for (const auto& [number, error] : t->errors) ADD_FAILURE() << t->name << " record " << number << ": " << error;
    }
    for (const auto& r : reports.entries) ADD_FAILURE() << r.message;

    // Every row, every value.
    const auto expected = source_values("every_type");
    const auto arrived = copy_values(child.name);
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
            if (compared[i].real)
                EXPECT_TRUE(same_real(*w, *g)) << at << ": " << *w << " / " << *g;
            else
                EXPECT_EQ(*w, *g) << at;
        }
    }
    EXPECT_EQ(value("SELECT GROUP_CONCAT(code, '=', HEX(COALESCE(label, '-')) ORDER BY code) FROM " + parent.name),
              "P1=7570706572,p1=6F6E65,p2=2D,p3=69742773");

    // The keys in their order, the indexes and the foreign key.
    const auto keys = rows("SELECT INDEX_NAME, SEQ_IN_INDEX, COLUMN_NAME, NON_UNIQUE FROM "
                           "information_schema.STATISTICS WHERE TABLE_SCHEMA = '" +
                           copy + "' AND TABLE_NAME = 'public_every_type'");
    std::vector<std::string> key_text;
    for (const auto& k : keys) key_text.push_back(*k[0] + "." + *k[1] + "=" + *k[2] + (*k[3] == "0" ? " unique" : ""));
    std::sort(key_text.begin(), key_text.end());
    // The foreign key's column gets an index of its own. The index on vl is
    // left out: vl became TEXT, which MySQL indexes only by a prefix.
    EXPECT_EQ(key_text, (std::vector<std::string>{"PRIMARY.1=k2 unique", "PRIMARY.2=k1 unique", "code.1=code",
                                                  "every_i8_d.1=i8", "every_i8_d.2=d", "every_vc.1=vc unique"}));
    EXPECT_EQ(value("SELECT CONCAT(k.CONSTRAINT_NAME, ':', k.COLUMN_NAME, '->', k.REFERENCED_TABLE_NAME, '.', "
                    "k.REFERENCED_COLUMN_NAME) FROM information_schema.KEY_COLUMN_USAGE k WHERE k.TABLE_SCHEMA = '" +
                    copy + "' AND k.TABLE_NAME = 'public_every_type' AND k.REFERENCED_TABLE_NAME IS NOT NULL"),
              "every_parent:code->public_parent.code");
    EXPECT_EQ(value("SELECT CONCAT(COUNT(*), ' ', COUNT(DISTINCT CONSTRAINT_NAME)) FROM "
                    "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = '" +
                    copy + "' AND REFERENCED_TABLE_NAME = 'public_parent'"),
              "2 2");
    // The second child's key column, whose name MySQL does not take, arrives
    // under a safe name, and its foreign key with it.
    const std::string code_column = value("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                                          copy + "' AND TABLE_NAME = 'public_other_child' AND ORDINAL_POSITION = 2");
    EXPECT_NE(code_column, "parent's code");
    EXPECT_EQ(value("SELECT COLUMN_NAME FROM information_schema.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA = '" + copy +
                    "' AND TABLE_NAME = 'public_other_child' AND REFERENCED_COLUMN_NAME = 'code'"),
              code_column);
    EXPECT_EQ(
        value("SELECT GROUP_CONCAT(id, '=', COALESCE(`" + code_column + "`, '-') ORDER BY id) FROM " + other.name),
        "1=P1,2=-");
    // The foreign key holds: a child row without its parent is refused.
    MYSQL* m = second_connection();
    const std::string orphan = "INSERT INTO " + child.name + " (i4, code, k1, k2) VALUES (1, 'nope', 99, 'z')";
    EXPECT_NE(mysql_query(m, orphan.c_str()), 0);
    EXPECT_EQ(mysql_errno(m), 1452u) << mysql_error(m);

    // The column types each source type became, and NOT NULL where it was.
    const auto types = rows("SELECT COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE FROM information_schema.COLUMNS WHERE "
                            "TABLE_SCHEMA = '" +
                            copy + "' AND TABLE_NAME = 'public_every_type' ORDER BY ORDINAL_POSITION");
    std::vector<std::string> type_text;
    for (const auto& t : types) type_text.push_back(*t[0] + " " + *t[1] + (*t[2] == "NO" ? " not null" : ""));
    EXPECT_EQ(type_text, (std::vector<std::string>{"i2 smallint(6)",
                                                   "i4 int(11) not null",
                                                   "i8 bigint(20)",
                                                   "n decimal(20,6)",
                                                   "nw decimal(65,30)",
                                                   "nu double",
                                                   "r4 float",
                                                   "r8 double",
                                                   "m decimal(19,2)",
                                                   "b bit(1)",
                                                   "d date",
                                                   "t time(6)",
                                                   "ts datetime(6)",
                                                   "tz datetime(6)",
                                                   "tx longtext",
                                                   "vc varchar(40)",
                                                   "ch varchar(8)",
                                                   "vl text",
                                                   "bin longblob",
                                                   "code varchar(12)",
                                                   "u longtext",
                                                   "j longtext",
                                                   "iv longtext",
                                                   "ar longtext",
                                                   "nm varchar(63)",
                                                   "tt longtext",
                                                   "k1 int(11) not null",
                                                   "k2 varchar(10) not null"}));
}

TEST_F(PgsSqlRoundTripTest, what_cannot_arrive_unchanged_is_the_error_of_its_row_or_its_table) {
    open_both({"CREATE TABLE odd (id int PRIMARY KEY, f4 float4, f8 float8, d date, n numeric(10,2))",
               "INSERT INTO odd VALUES (1, 1.5, 2.5, '2021-01-01', 1.25), (2, 'NaN', NULL, NULL, NULL), "
               "(3, NULL, 'Infinity', NULL, NULL), (4, '-Infinity', NULL, NULL, NULL), "
               "(5, NULL, NULL, '0044-03-15 BC', NULL), (6, NULL, NULL, 'infinity', NULL), "
               "(7, NULL, NULL, NULL, 'NaN'), (8, -0.5, -1e-300, '9999-12-31', -99999999.99)",
               "CREATE TABLE wide (id int, big numeric(300,2))", "INSERT INTO wide VALUES (1, 1.5)",
               "CREATE TABLE deep (id int, scale numeric(50,40))", "CREATE TABLE text_key (t text PRIMARY KEY, v int)",
               "INSERT INTO text_key VALUES ('a', 1), ('A', 2), ('a ', 3)"});
    // MySQL has no NaN or infinity; a date value no date before the year 1,
    // and none infinite; a DECIMAL no NaN. Each costs its own row only.
    const copied_table odd = copy_table(L"public.odd");
    EXPECT_EQ(odd.read, 8);
    EXPECT_EQ(odd.written, 2);
    std::vector<std::int64_t> refused;
    for (const auto& [number, error] : odd.errors) refused.push_back(number);
    EXPECT_EQ(refused, (std::vector<std::int64_t>{2, 3, 4, 5, 6, 7}));
    EXPECT_NE(odd.errors.at(2).find("NaN"), std::string::npos) << odd.errors.at(2);
    EXPECT_NE(odd.errors.at(3).find("infinity"), std::string::npos) << odd.errors.at(3);
    EXPECT_NE(odd.errors.at(5).find("0044-03-15 BC"), std::string::npos) << odd.errors.at(5);
    EXPECT_EQ(rows("SELECT id, CAST(f4 AS DOUBLE), f8, d, n FROM " + odd.name + " ORDER BY id"),
              (std::vector<cells>{{"1", "1.5", "2.5", "2021-01-01", "1.25"},
                                  {"8", "-0.5", "-1e-300", "9999-12-31", "-99999999.99"}}));

    // Columns no DECIMAL holds (more than 65 digits, more than 38 after the
    // point) are the error of their table, named by the column.
    for (const wchar_t* key : {L"public.wide", L"public.deep"}) {
        try {
            copy_table(key);
            ADD_FAILURE() << tk_to_utf8(key);
        } catch (const tk_mail_assertion& e) {
            ADD_FAILURE() << e.what();
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 0);
            EXPECT_NE(e.message().find(key == std::wstring(L"public.wide") ? "'big'" : "'scale'"), std::string::npos)
                << e.message();
        }
    }

    // Text without a length becomes LONGTEXT, which MySQL indexes only by a
    // prefix: the rows arrive, the key on it does not (NOT NULL stays).
    const copied_table text_key = copy_table(L"public.text_key");
    EXPECT_EQ(text_key.written, 3);
    EXPECT_EQ(value("SELECT GROUP_CONCAT(HEX(t), '=', v ORDER BY v) FROM " + text_key.name), "61=1,41=2,6120=3");
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = '" + copy +
                    "' AND TABLE_NAME = 'public_text_key'"),
              "0");
    EXPECT_EQ(value("SELECT CONCAT(COLUMN_TYPE, ' ', IS_NULLABLE) FROM information_schema.COLUMNS WHERE "
                    "TABLE_SCHEMA = '" +
                    copy + "' AND TABLE_NAME = 'public_text_key' AND COLUMN_NAME = 't'"),
              "longtext NO");

    EXPECT_EQ(value("SELECT GROUP_CONCAT(TABLE_NAME ORDER BY TABLE_NAME) FROM information_schema.TABLES WHERE "
                    "TABLE_SCHEMA = '" +
                    copy + "'"),
              "public_odd,public_text_key");
}

}  // namespace
