// The PostgreSQL reader against the real server: every mapped type walked value
// by value against the server's own text, values no cell can hold reported for
// their rows, the keys of a table, one snapshot per recordset, SELECT texts and
// failures that keep their cause.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "postgres/pgs_exc.h"
#include "postgres/pgs_fixture.h"
#include "postgres/pgs_recs.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"
#include "udb/udb_idx.h"

namespace {

// The rows of a walk the way a run does it: reset, then get_item and next
// until the end. A row whose value cannot be carried is kept as its error.
struct walked {
    std::vector<udb_record> rows;
    std::map<std::size_t, std::string> errors;  // position in the walk -> message
};

walked walk(udb_recordset& rs) {
    walked w;
    rs.reset();
    for (std::size_t i = 0; !rs.is_eof(); ++i) {
        try {
            udb_record* r = rs.get_item();
            if (!r) {
                ADD_FAILURE() << "no record before the end, row " << i;
                break;
            }
            w.rows.push_back(*r);
        } catch (const pgs_exception& e) {
            w.errors[i] = e.what();
        }
        rs.next();
    }
    return w;
}

std::string utf8(const ole_variant& v) { return tk_to_utf8(v.to_wstring()); }

std::string date_fields(const ole_variant& v, bool date, bool time) {
    const plat_systemtime& t = v.get_time();
    char buf[64];
    std::string s;
    if (date) {
        std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", t.year, t.month, t.day);
        s = buf;
    }
    if (time) {
        std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%06u", t.hour, t.minute, t.second, t.microsecond);
        s += (s.empty() ? "" : " ") + std::string(buf);
    }
    return s;
}

std::string hex_of(const ole_variant& v) {
    const unsigned char* data = nullptr;
    const std::size_t n = v.get_bytes(data);
    std::string s;
    char buf[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        s += buf;
    }
    return s;
}

bool same_real(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

}  // namespace

class PgsReadTest : public pgs_db_test {
protected:
    std::unique_ptr<udb_recordset> read(const std::wstring& key) {
        reopen();  // the table list as it is now
        return m_db->get_table(key, pgs_recordset::read_mode);
    }
    std::string state_of_engine() {
        const int pid = m_engine->connection().backendpid();
        const auto r = peer("SELECT state FROM pg_stat_activity WHERE pid = " + std::to_string(pid));
        return r.empty() ? "?" : r[0][0].c_str();
    }
};

TEST_F(PgsReadTest, every_mapped_type_reads_as_the_server_prints_it) {
    peer("CREATE TABLE every_type (id int4 PRIMARY KEY, b bool, i2 int2, i8 int8, r4 float4, r8 float8, "
         "n numeric(30,10), nu numeric, m money, d date, t time, ts timestamp(6), tz timestamptz, by bytea, "
         "vc varchar(10), ch char(5), tx text, nm name, u uuid, j jsonb, iv interval, ar int[], tt timetz, "
         "q \"char\")");
    peer("INSERT INTO every_type VALUES "
         "(1, true, -32768, -9223372036854775808, '1.1', '0.1', '12345678901234567890.0123456789', "
         "'123456789012345678901234567890.123456789', '92233720368547758.07', '2021-03-04', '13:05:06.123456', "
         "'2021-03-04 13:05:06.5', '2021-03-04 13:05:06.000001+05:30', '\\x00ff10', 'h\u00e9llo wo', 'ab', "
         "E'tab\\there\\nline \u00fcn\u00ef \u4e2d \U0001F600 \\\\ end', 'nm', "
         "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', '{\"a\": [1, 2]}', '1 day 02:03:04', '{1,NULL,3}', "
         "'13:05:06+02', 'x'),"
         "(2, false, 32767, 9223372036854775807, '-3.4028235e+38', '-1.7976931348623157e+308', "
         "'-0.0000000001', '0', '-92233720368547758.08', '0001-01-01', '24:00:00', '9999-12-31 23:59:59.999999', "
         "'0001-01-01 00:00:00+00', '\\x', '', '', '', '', NULL, 'null', '-1 mons', '{}', '00:00:00+00', ' '),"
         "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
         "NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
         "(4, NULL, 0, 0, 'NaN', '-Infinity', '12.5', '1e-20', '0', '2000-02-29', '00:00:00', "
         "'2000-02-29 00:00:00', '1969-12-31 23:59:59.999999-01', '\\x0000', '   ', 'a    ', '  ', 'NM', NULL, "
         "'[]', '00:00:00', '{{1,2},{3,4}}', '23:59:59.999999-12', NULL)");
    auto rs = read(L"public.every_type");

    struct col {
        const wchar_t* name;
        VARTYPE vt;
        std::uint32_t size, subtype;
    };
    const col expected[] = {
        {L"id", VT_I4, 0, 0},
        {L"b", VT_BOOL, 0, 0},
        {L"i2", VT_I2, 0, 0},
        {L"i8", VT_I8, 0, 1},
        {L"r4", VT_R4, 0, 0},
        {L"r8", VT_R8, 0, 0},
        {L"n", VT_DECIMAL, 0, 30u << 8 | 10},
        {L"nu", VT_DECIMAL, 0, 0},
        {L"m", VT_DECIMAL, 0, 19u << 8 | 2},
        {L"d", VT_DATE, 0, 2},
        {L"t", VT_DATE, 0, 3},
        {L"ts", VT_DATE, 0, 1},
        {L"tz", VT_DATE, 0, 1},
        {L"by", VT_BLOB, 0, 0},
        {L"vc", VT_BSTR, 10, 0},
        {L"ch", VT_BSTR, 5, 0},
        {L"tx", VT_BSTR, 0, 0},
        {L"nm", VT_BSTR, 63, 0},
        {L"u", VT_BSTR, 0, 0},
        {L"j", VT_BSTR, 0, 0},
        {L"iv", VT_BSTR, 0, 0},
        {L"ar", VT_BSTR, 0, 0},
        {L"tt", VT_BSTR, 0, 0},
        {L"q", VT_BSTR, 0, 0},
    };
    const udb_schema& s = rs->schema();
    ASSERT_EQ(s.size(), std::size(expected));
    for (std::size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(s[i]->name.str(), expected[i].name) << i;
        EXPECT_EQ(s[i]->vartype, expected[i].vt) << i;
        EXPECT_EQ(s[i]->size, expected[i].size) << i;
        EXPECT_EQ(s[i]->reserved, expected[i].subtype) << i;
        EXPECT_EQ(s[i]->b_not_null != 0, i == 0) << i;
    }
    EXPECT_EQ(rs->rec_count(), 4);

    const walked w = walk(*rs);
    EXPECT_TRUE(w.errors.empty());
    ASSERT_EQ(w.rows.size(), 4u);
    // The server's own text of each value; timestamptz as UTC.
    const pqxx::result ref =
        peer("SELECT id::text, b::text, i2::text, i8::text, r4::text, r8::text, n::text, nu::text, m::numeric::text, "
             "to_char(d, 'YYYY-MM-DD'), to_char(t, 'HH24:MI:SS.US'), to_char(ts, 'YYYY-MM-DD HH24:MI:SS.US'), "
             "to_char(tz AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS.US'), encode(by, 'hex'), vc, ch, tx, nm, u, j, "
             "iv, ar, tt, q FROM every_type");
    ASSERT_EQ(ref.size(), 4u);
    for (std::size_t r = 0; r < 4; ++r) {
        const udb_record& rec = w.rows[r];
        ASSERT_EQ(rec.size(), s.size());
        for (std::size_t c = 0; c < s.size(); ++c) {
            const pqxx::field f = ref[r][static_cast<int>(c)];
            const ole_variant& v = rec[c];
            const std::string at = "row " + std::to_string(r) + " column " + tk_to_utf8(s[c]->name.str());
            EXPECT_EQ(rec[c].name.str(), s[c]->name.str()) << at;
            if (f.is_null()) {
                EXPECT_TRUE(v.is_empty()) << at;  // NULL stays NULL
                continue;
            }
            ASSERT_FALSE(v.is_empty()) << at;
            const std::string text = f.c_str();
            switch (s[c]->vartype) {
            case VT_BOOL: EXPECT_EQ(v.to_string(), text == "true" ? "1" : "0") << at; break;
            case VT_R4: EXPECT_TRUE(same_real(v.get_var().r4, std::strtof(text.c_str(), nullptr))) << at; break;
            case VT_R8: EXPECT_TRUE(same_real(v.get_var().r8, std::strtod(text.c_str(), nullptr))) << at; break;
            case VT_DATE: EXPECT_EQ(date_fields(v, s[c]->reserved != 3, s[c]->reserved != 2), text) << at; break;
            case VT_BLOB: EXPECT_EQ(hex_of(v), text) << at; break;
            default: EXPECT_EQ(utf8(v), text) << at; break;  // numbers in decimal, text as it is
            }
        }
    }
}

TEST_F(PgsReadTest, values_no_cell_can_hold_are_errors_of_their_rows) {
    peer("CREATE TABLE odd (id int, d date, ts timestamp, tz timestamptz, n numeric, f float8)");
    peer("INSERT INTO odd VALUES (1, '2021-01-01', '2021-01-01 13:05', '2021-01-01 13:05+00', 1.5, 1), "
         "(2, '0044-03-15 BC', NULL, NULL, NULL, NULL), (3, NULL, 'infinity', NULL, NULL, NULL), "
         "(4, NULL, NULL, '-infinity', NULL, NULL), (5, '10000-01-01', NULL, NULL, NULL, NULL), "
         "(6, NULL, NULL, NULL, 'NaN', NULL), (7, NULL, NULL, NULL, 1e100, NULL), "
         "(8, NULL, NULL, NULL, NULL, 'NaN'), (9, NULL, '0001-01-01 00:00:00 BC', NULL, NULL, NULL), "
         "(10, NULL, NULL, NULL, 'Infinity', NULL), (11, '9999-12-31', NULL, NULL, NULL, 'Infinity')");
    auto rs = read(L"public.odd");
    const walked w = walk(*rs);
    ASSERT_EQ(w.rows.size() + w.errors.size(), 11u);
    const std::map<std::size_t, std::string> expected = {{1, "'d'"}, {2, "'ts'"}, {3, "'tz'"}, {4, "'d'"},
                                                         {5, "'n'"}, {6, "'n'"},  {8, "'ts'"}, {9, "'n'"}};
    ASSERT_EQ(w.errors.size(), expected.size());
    for (const auto& [pos, column] : expected) {
        ASSERT_TRUE(w.errors.count(pos)) << pos;
        EXPECT_NE(w.errors.at(pos).find(column), std::string::npos) << w.errors.at(pos);
    }
    EXPECT_NE(w.errors.at(1).find("0044-03-15 BC"), std::string::npos);
    EXPECT_NE(w.errors.at(2).find("infinity"), std::string::npos);
    EXPECT_NE(w.errors.at(4).find("9999"), std::string::npos);
    EXPECT_NE(w.errors.at(5).find("NaN"), std::string::npos);
    // The rows around them read whole; a float NaN or infinity is a value.
    std::vector<std::string> ids;
    for (const udb_record& r : w.rows) ids.push_back(r[0].to_string());
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "8", "11"}));
    EXPECT_EQ(w.rows[0][1].to_string(), "2021-01-01");
    EXPECT_EQ(w.rows[0][2].to_string(), "2021-01-01 13:05:00");
    EXPECT_EQ(w.rows[0][4].to_string(), "1.5");
    EXPECT_TRUE(std::isnan(w.rows[1][5].get_var().r8));
    EXPECT_TRUE(std::isinf(w.rows[2][5].get_var().r8));
}

TEST_F(PgsReadTest, keys_indexes_and_foreign_keys_by_attribute_number_and_schema) {
    peer("CREATE SCHEMA other");
    peer("CREATE TABLE parent (gone1 int, x int, gone2 int, y int, PRIMARY KEY (y, x))");
    peer("ALTER TABLE parent DROP COLUMN gone1, DROP COLUMN gone2");
    peer("CREATE TABLE other.\"Keyed 'T\"\"\" (a int CONSTRAINT other_pk PRIMARY KEY, z int)");
    peer("CREATE INDEX other_z ON other.\"Keyed 'T\"\"\" (z)");
    peer("CREATE TABLE \"Keyed 'T\"\"\" (gone int, a int, b int, c text, d int, e int, px int, py int, "
         "CONSTRAINT keyed_pk PRIMARY KEY (b, a), "
         "CONSTRAINT fk_parent FOREIGN KEY (py, px) REFERENCES parent (y, x) ON DELETE CASCADE, "
         "CONSTRAINT fk_other FOREIGN KEY (e) REFERENCES other.\"Keyed 'T\"\"\" (a))");
    peer("ALTER TABLE \"Keyed 'T\"\"\" DROP COLUMN gone");
    peer("CREATE UNIQUE INDEX keyed_cd ON \"Keyed 'T\"\"\" (c, d)");
    peer("CREATE INDEX keyed_e ON \"Keyed 'T\"\"\" (e) INCLUDE (d)");
    peer("CREATE INDEX keyed_expr ON \"Keyed 'T\"\"\" (lower(c))");
    peer("CREATE INDEX keyed_part ON \"Keyed 'T\"\"\" (d) WHERE d > 0");
    peer("INSERT INTO parent VALUES (10, 20); INSERT INTO other.\"Keyed 'T\"\"\" VALUES (7, 8); "
         "INSERT INTO \"Keyed 'T\"\"\" VALUES (1, 2, 'c', 4, 7, 10, 20)");

    const std::wstring key = L"public.Keyed 'T\"";
    auto rs = read(key);
    std::vector<std::wstring> names;
    for (const t_ftd* c : rs->schema().columns()) names.push_back(c->name.str());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"e", L"px", L"py"}));

    const udb_indexes& ix = rs->indexes();
    ASSERT_EQ(ix.size(), 3u);
    EXPECT_EQ(ix[0].name, L"keyed_pk");
    EXPECT_TRUE(ix[0].b_primary && ix[0].b_unique);
    EXPECT_EQ(ix[0].field_names, (std::vector<std::wstring>{L"b", L"a"}));
    EXPECT_EQ(ix[1].name, L"keyed_cd");
    EXPECT_TRUE(ix[1].b_unique && !ix[1].b_primary);
    EXPECT_EQ(ix[1].field_names, (std::vector<std::wstring>{L"c", L"d"}));
    EXPECT_EQ(ix[2].name, L"keyed_e");
    EXPECT_FALSE(ix[2].b_unique || ix[2].b_primary);
    EXPECT_EQ(ix[2].field_names, (std::vector<std::wstring>{L"e"}));
    EXPECT_EQ(rs->key_index_pos(), 0);

    const udb_relationships& rel = m_db->relationships();
    ASSERT_EQ(rel.size(), 2u);
    EXPECT_EQ(rel[0].constraint_name, L"fk_other");
    EXPECT_EQ(rel[0].child_table, key);
    EXPECT_EQ(rel[0].parent_table, L"other.Keyed 'T\"");
    EXPECT_EQ(rel[0].child_fields, (std::vector<std::wstring>{L"e"}));
    EXPECT_EQ(rel[0].parent_fields, (std::vector<std::wstring>{L"a"}));
    EXPECT_EQ(rel[0].on_delete, L"");  // no action
    EXPECT_EQ(rel[1].constraint_name, L"fk_parent");
    EXPECT_EQ(rel[1].parent_table, L"public.parent");
    EXPECT_EQ(rel[1].child_fields, (std::vector<std::wstring>{L"py", L"px"}));
    EXPECT_EQ(rel[1].parent_fields, (std::vector<std::wstring>{L"y", L"x"}));
    EXPECT_EQ(rel[1].on_delete, L"CASCADE");

    const walked w = walk(*rs);
    ASSERT_EQ(w.rows.size(), 1u);
    EXPECT_EQ(w.rows[0][2].to_wstring(), L"c");
    rs.reset();

    // The table of the same name in the other schema has its own keys; the
    // database's foreign keys are not listed twice.
    auto same_name = m_db->get_table(L"other.Keyed 'T\"", pgs_recordset::read_mode);
    ASSERT_EQ(same_name->indexes().size(), 2u);
    EXPECT_EQ(same_name->indexes()[0].name, L"other_pk");
    EXPECT_EQ(same_name->indexes()[1].name, L"other_z");
    same_name.reset();
    auto again = m_db->get_table(key, pgs_recordset::read_mode);
    EXPECT_EQ(m_db->relationships().size(), 2u);
    again.reset();
    auto parent = m_db->get_table(L"parent", pgs_recordset::read_mode);
    ASSERT_EQ(parent->indexes().size(), 1u);
    EXPECT_EQ(parent->indexes()[0].field_names, (std::vector<std::wstring>{L"y", L"x"}));
}

TEST_F(PgsReadTest, count_and_rows_come_from_one_read_only_snapshot) {
    peer("CREATE TABLE snap (id int)");
    peer("INSERT INTO snap SELECT g FROM generate_series(1, 600) g");
    auto rs = read(L"public.snap");
    EXPECT_EQ(rs->rec_count(), 600);
    peer("INSERT INTO snap SELECT g FROM generate_series(601, 700) g");
    peer("DELETE FROM snap WHERE id <= 100");
    for (int pass = 0; pass < 2; ++pass) {
        const walked w = walk(*rs);
        ASSERT_EQ(w.rows.size(), 600u) << pass;  // windows of the same snapshot
        for (std::size_t i = 0; i < w.rows.size(); ++i) ASSERT_EQ(w.rows[i][0].to_string(), std::to_string(i + 1));
        // next at the end stays at the end.
        rs->next();
        EXPECT_TRUE(rs->is_eof());
        EXPECT_EQ(rs->get_item(), nullptr);
    }
    EXPECT_EQ(state_of_engine(), "idle in transaction");
    rs.reset();
    // Deleting the recordset ended the snapshot: the connection is free again.
    EXPECT_EQ(state_of_engine(), "idle");
    EXPECT_TRUE(m_db->query(L"SELECT 1"));

    auto settings = m_db->get_query(
        L"settings", L"SELECT current_setting('transaction_isolation'), current_setting('transaction_read_only')", 1);
    const walked w = walk(*settings);
    ASSERT_EQ(w.rows.size(), 1u);
    EXPECT_EQ(w.rows[0][0].to_wstring(), L"repeatable read");
    EXPECT_EQ(w.rows[0][1].to_wstring(), L"on");
}

TEST_F(PgsReadTest, empty_tables_and_tables_without_columns) {
    peer("CREATE TABLE \"Empty\" (id int); CREATE TABLE nocols (); INSERT INTO nocols DEFAULT VALUES");
    auto rs = read(L"public.Empty");
    EXPECT_EQ(rs->rec_count(), 0);
    EXPECT_TRUE(rs->is_eof());
    EXPECT_EQ(rs->get_item(), nullptr);
    rs->reset();
    EXPECT_TRUE(rs->is_eof());
    rs.reset();
    auto none = m_db->get_table(L"nocols", pgs_recordset::read_mode);
    EXPECT_EQ(none->schema().size(), 0u);
    EXPECT_EQ(none->rec_count(), 1);
    const walked w = walk(*none);
    ASSERT_EQ(w.rows.size(), 1u);
    EXPECT_TRUE(w.rows[0].empty());
}

TEST_F(PgsReadTest, select_texts_read_like_tables) {
    peer("CREATE TABLE src (id int NOT NULL, vc varchar(12), amount numeric(8,3), at date)");
    peer("INSERT INTO src VALUES (1, 'one', 1.5, '2021-03-04'), (2, NULL, -2.25, NULL), (3, 'three', 0, "
         "'1999-12-31')");
    reopen();
    auto rs = m_db->get_query(L"q",
                              L"SELECT id, vc, amount, amount * 2 AS twice, at FROM src WHERE id < 3 "
                              L"ORDER BY id DESC ; \n",
                              1);
    EXPECT_TRUE(rs->is_query());
    EXPECT_EQ(rs->rec_count(), 2);
    const udb_schema& s = rs->schema();
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[1]->name.str(), L"vc");
    EXPECT_EQ(s[1]->size, 12u);  // from the table's column
    EXPECT_EQ(s[2]->vartype, VT_DECIMAL);
    EXPECT_EQ(s[2]->reserved, 8u << 8 | 3);
    EXPECT_EQ(s[3]->reserved, 0u);  // computed: any precision
    EXPECT_EQ(s[4]->reserved, 2u);
    EXPECT_FALSE(s[0]->b_not_null);  // a query's column may be NULL
    const walked w = walk(*rs);
    ASSERT_EQ(w.rows.size(), 2u);
    EXPECT_EQ(w.rows[0][0].to_string(), "2");
    EXPECT_TRUE(w.rows[0][1].is_empty());
    EXPECT_EQ(w.rows[0][3].to_string(), "-4.500");
    EXPECT_EQ(w.rows[1][4].to_string(), "2021-03-04");
    // A query recordset takes no rows.
    EXPECT_THROW(rs->append_record(w.rows[0]), tk_exception);
    rs.reset();

    // One statement only, and nothing is changed: a read-only snapshot.
    EXPECT_THROW(m_db->get_query(L"x", L"SELECT 1; DROP TABLE src", 1), pgs_exception);
    EXPECT_THROW(m_db->get_query(L"x", L"SELECT 1; COMMIT; DROP TABLE src", 1), pgs_exception);
    EXPECT_THROW(m_db->get_query(L"x", L"DELETE FROM src RETURNING id", 1), pgs_exception);
    EXPECT_EQ(peer_count("src"), 3);
    try {
        m_db->get_query(L"x", L"SELECT nope FROM src", 1);
        FAIL() << "a bad SELECT opened";
    } catch (const pgs_exception& e) {
        EXPECT_EQ(e.sqlstate(), "42703");
        EXPECT_NE(e.statement().find("nope"), std::string::npos);
    }
    // The connection is usable again after each failure.
    EXPECT_TRUE(m_db->query(L"SELECT 1"));
    EXPECT_EQ(m_db->query_rs(L"SELECT 1"), nullptr);  // no recordset over a statement's result
}

TEST_F(PgsReadTest, failures_keep_their_cause_and_nothing_of_libpqxx_escapes) {
    peer("CREATE TABLE gone (id int); CREATE TABLE long_one (id int)");
    peer("INSERT INTO long_one SELECT g FROM generate_series(1, 3000) g");
    reopen();
    peer("DROP TABLE gone");
    EXPECT_THROW(m_db->get_table(L"gone", pgs_recordset::read_mode), pgs_exception);

    // A table opened for appending is not read, and a table read is not appended to.
    auto writer = m_db->get_table(L"long_one", 2);
    EXPECT_THROW(writer->reset(), pgs_exception);
    EXPECT_TRUE(writer->is_eof());
    writer.reset();
    auto rs = m_db->get_table(L"long_one", pgs_recordset::read_mode);
    EXPECT_THROW(rs->append_record(udb_record()), tk_exception);
    // Two readers cannot share the connection: the second fails cleanly.
    EXPECT_THROW(m_db->get_table(L"long_one", pgs_recordset::read_mode), pgs_exception);

    // The server ends the session in the middle of the walk.
    const int pid = m_engine->connection().backendpid();
    rs->reset();
    for (int i = 0; i < 20; ++i) rs->next();
    peer("SELECT pg_terminate_backend(" + std::to_string(pid) + ", 10000)");
    bool failed = false;
    try {
        for (int i = 0; i < 3000 && !rs->is_eof(); ++i) {
            rs->get_item();
            rs->next();
        }
    } catch (const pgs_exception& e) {
        failed = true;
        EXPECT_TRUE(e.connection_lost() || e.sqlstate() == "57P01") << e.what() << " / " << e.sqlstate();
        EXPECT_NE(e.statement().find("FETCH"), std::string::npos) << e.statement();
    }
    EXPECT_TRUE(failed);
    EXPECT_NO_THROW(rs.reset());  // ending the snapshot on a dead connection does not throw
    m_db.reset();
    m_engine->connect(m_server.host, m_server.user, m_server.password, "postgres", m_server.port);
}
