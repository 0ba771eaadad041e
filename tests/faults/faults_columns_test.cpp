// vekagent with columns the catalogue describes in its own way: invisible
// columns, character lengths of CHAR, ENUM and SET, defaults that are
// expressions, and text defaults with backslashes on a server that reads
// backslashes in literals as escapes. Every column arrives, with its values,
// its length in characters, and a default only where one can be carried.

#include <gtest/gtest.h>

#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include <pqxx/pqxx>

#include "support/agent_db.h"
#include "support/agent_proc.h"
#include "support/scoped_env.h"
#include "support/test_servers.h"

namespace {

std::string show(const agent_result& r) {
    return "status " + std::to_string(r.status) + "\n--- stdout\n" + r.out.substr(0, 4000) + "--- stderr\n" +
           r.err.substr(0, 4000);
}

class column_dbs : public scratch_dbs {
public:
    explicit column_dbs(const std::string& tag) : scratch_dbs("fcol_" + tag, {.unique = true}) {}

    agent_result convert() { return run_agent(agent_args({"--mode=0"}), 120); }
    db_rows pg(const std::string& sql) { return pg_query(name(), sql); }
    // Name, type and default of every column of a destination table, in order.
    db_rows pg_columns(const std::string& table) {
        return pg("SELECT column_name, format_type(atttypid, atttypmod), column_default FROM "
                  "information_schema.columns JOIN pg_attribute ON attrelid = ('public.' || table_name)::regclass "
                  "AND attname = column_name WHERE table_schema = 'public' AND table_name = '" +
                  table + "' ORDER BY ordinal_position");
    }
};

// SELECT * does not return them: they are read by name like every column.
TEST(FaultsColumns, InvisibleColumnsArriveWithTheirValues) {
    column_dbs db("invisible");
    db.my.exec("CREATE TABLE inv (h1 INT INVISIBLE DEFAULT 7, id INT PRIMARY KEY, h2 VARCHAR(10) INVISIBLE, "
               "f FLOAT INVISIBLE, v VARCHAR(5), d DATETIME(6) INVISIBLE NULL)");
    db.my.exec("INSERT INTO inv (h1, id, h2, f, v, d) SELECT seq * 3, seq, CONCAT('h', seq), seq + 0.25, "
               "'v', '2021-02-03 04:05:06.789' FROM seq_1_to_600");
    db.my.exec("INSERT INTO inv (id, v) VALUES (1000, 'w')");

    const agent_result r = db.convert();
    ASSERT_EQ(r.status, 0) << show(r);
    const db_rows cols = db.pg_columns("inv");
    ASSERT_EQ(cols.size(), 6u);
    EXPECT_EQ(cols[0][0], db_cell("h1"));
    EXPECT_EQ(cols[0][2], db_cell("7"));
    EXPECT_EQ(cols[2][0], db_cell("h2"));
    EXPECT_EQ(db.pg("SELECT h1, id, h2, f::float8, v, to_char(d, 'YYYY-MM-DD HH24:MI:SS.US') FROM inv "
                    "ORDER BY id"),
              db.my.query("SELECT h1, id, h2, CAST(f AS DOUBLE), v, d FROM inv ORDER BY id"));
}

// Sizes count characters, as a VARCHAR's declared length does.
TEST(FaultsColumns, CharEnumAndSetKeepTheirLengthInCharacters) {
    column_dbs db("charlen");
    db.my.exec("CREATE TABLE cl (id INT PRIMARY KEY, c CHAR(4), l CHAR(3) CHARACTER SET latin1, "
               "e ENUM('a','it''s','\xC3\xA9\xE2\x82\xAC\xE2\x82\xAC'), s SET('x','yy','z''z'), v VARCHAR(7)) "
               "CHARACTER SET utf8mb4");
    db.my.exec("INSERT INTO cl VALUES (1, '\xE2\x82\xAC\xC3\xA9\xF0\x9F\x98\x80z', 'abc', "
               "'\xC3\xA9\xE2\x82\xAC\xE2\x82\xAC', 'x,yy,z''z', 'seven77'), (2, 'a', 'b', 'it''s', '', '')");

    const agent_result r = db.convert();
    ASSERT_EQ(r.status, 0) << show(r);
    const db_rows cols = db.pg_columns("cl");
    ASSERT_EQ(cols.size(), 6u);
    const char* types[] = {"integer",
                           "character varying(4)",
                           "character varying(3)",
                           "character varying(4)",
                           "character varying(8)",
                           "character varying(7)"};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(cols[i][1], db_cell(types[i])) << *cols[i][0];
    EXPECT_EQ(db.pg("SELECT id, c, l, e, s, v FROM cl ORDER BY id"),
              (db_rows{{"1", "\xE2\x82\xAC\xC3\xA9\xF0\x9F\x98\x80z", "abc", "\xC3\xA9\xE2\x82\xAC\xE2\x82\xAC",
                        "x,yy,z'z", "seven77"},
                       {"2", "a", "b", "it's", "", ""}}));
}

// A default computed at insert time has no value: the current time stays the
// current time, every other expression is left out; literals stay as they were,
// a text that reads like a function call too.
TEST(FaultsColumns, ExpressionDefaultsInventNoLiteral) {
    column_dbs db("defaults");
    db.my.exec("CREATE TABLE dv (id INT PRIMARY KEY, u VARCHAR(40) DEFAULT (uuid()), r DOUBLE DEFAULT (rand() * 10), "
               "k INT DEFAULT (1 + 2), cc VARCHAR(20) DEFAULT (concat('a','b')), us VARCHAR(80) DEFAULT (user()), "
               "ts TIMESTAMP(3) NULL DEFAULT current_timestamp(3), dt DATETIME DEFAULT now(), "
               "lt DATETIME NOT NULL DEFAULT localtimestamp, dd DATE DEFAULT (curdate()), "
               "q VARCHAR(10) DEFAULT 'now()', q2 VARCHAR(10) DEFAULT 'uuid()', n INT DEFAULT 5, "
               "neg INT DEFAULT -5, dc DECIMAL(5,2) DEFAULT 1.50, ld DATE DEFAULT '2020-01-02', "
               "tm TIME DEFAULT '24:00:00', s VARCHAR(10) DEFAULT 'it''s', e VARCHAR(5) DEFAULT '')");
    db.my.exec("INSERT INTO dv (id, tm) VALUES (1, '12:00:00')");

    const agent_result r = db.convert();
    ASSERT_EQ(r.status, 0) << show(r);
    const db_rows want = {
        {"id", "integer", std::nullopt},
        {"u", "character varying(40)", std::nullopt},
        {"r", "double precision", std::nullopt},
        {"k", "integer", std::nullopt},
        {"cc", "character varying(20)", std::nullopt},
        {"us", "character varying(80)", std::nullopt},
        {"ts", "timestamp without time zone", "CURRENT_TIMESTAMP"},
        {"dt", "timestamp without time zone", "CURRENT_TIMESTAMP"},
        {"lt", "timestamp without time zone", "CURRENT_TIMESTAMP"},
        {"dd", "date", std::nullopt},
        {"q", "character varying(10)", "'now()'::character varying"},
        {"q2", "character varying(10)", "'uuid()'::character varying"},
        {"n", "integer", "5"},
        {"neg", "integer", "'-5'::integer"},
        {"dc", "numeric(5,2)", "1.50"},
        {"ld", "date", "'2020-01-02'::date"},
        {"tm", "time without time zone", "'24:00:00'::time without time zone"},
        {"s", "character varying(10)", "'it''s'::character varying"},
        {"e", "character varying(5)", "''::character varying"},  // the empty text is a default too
    };
    EXPECT_EQ(db.pg_columns("dv"), want);
    // The row copied keeps its own values, whatever the defaults.
    EXPECT_EQ(db.pg("SELECT k, cc, q, n, s FROM dv"), (db_rows{{"3", "ab", "now()", "5", "it's"}}));
}

// Empty and binary defaults as MediaWiki, WordPress and Joomla declare them:
// each carried as the value the server gives a row that omits the column, the
// zero bytes of a BINARY(n) included, so that the same INSERT gives the same
// row on both sides. The catalogue shows a binary default with zero bytes in
// it, and SHOW CREATE TABLE its bytes that are not UTF-8: neither is a row of
// the table, and neither ends the run.
TEST(FaultsColumns, EmptyAndBinaryDefaultsGiveTheSameInsertedRow) {
    column_dbs db("empty_binary");
    db.my.exec("CREATE TABLE eb (id INT PRIMARY KEY, v VARCHAR(10) NOT NULL DEFAULT '', "
               "t TEXT NOT NULL DEFAULT '', tt TINYTEXT DEFAULT 'q', mt MEDIUMTEXT DEFAULT 'it''s \\\\', "
               "c CHAR(4) NOT NULL DEFAULT '', vq VARCHAR(10) DEFAULT 'a\\\\b''c', "
               "b32 BINARY(32) NOT NULL DEFAULT '', b4 BINARY(4) DEFAULT 'ab', vb VARBINARY(20) NOT NULL DEFAULT '', "
               "va VARBINARY(20) DEFAULT 'abc', hi VARBINARY(10) DEFAULT x'FF27005C4180', "
               "u8 VARBINARY(10) NOT NULL DEFAULT x'C3A9275C', bl BLOB NOT NULL DEFAULT '', "
               "zd DATETIME NOT NULL DEFAULT '0000-00-00 00:00:00', "
               "nul VARCHAR(5) DEFAULT 'a\\0b')");
    // Copied rows: values of their own, and empty ones, which stay empty.
    db.my.exec("INSERT INTO eb (id, v, t, b32, vb, u8, bl, nul) VALUES (1, 'v', 't', 'x', 'y', 'z', 'w', 'n'), "
               "(3, '', '', '', '', '', '', '')");

    const agent_result r = db.convert();
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.err.find("Error"), std::string::npos) << show(r);
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << show(r);

    const std::string zeros32 = "'\\x" + std::string(64, '0') + "'::bytea";
    const db_rows want = {
        {"id", "integer", std::nullopt},
        {"v", "character varying(10)", "''::character varying"},
        {"t", "text", "''::text"},
        {"tt", "character varying(1020)", "'q'::character varying"},
        {"mt", "text", "'it''s \\'::text"},
        {"c", "character varying(4)", "''::character varying"},
        {"vq", "character varying(10)", "'a\\b''c'::character varying"},
        {"b32", "bytea", zeros32},
        {"b4", "bytea", "'\\x61620000'::bytea"},
        {"vb", "bytea", "'\\x'::bytea"},
        {"va", "bytea", "'\\x616263'::bytea"},
        {"hi", "bytea", "'\\xff27005c4180'::bytea"},
        {"u8", "bytea", "'\\xc3a9275c'::bytea"},
        {"bl", "bytea", "'\\x'::bytea"},
        {"zd", "timestamp without time zone", std::nullopt},  // MySQL's zero date is no date
        {"nul", "character varying(5)", std::nullopt},        // a text cannot hold NUL
    };
    EXPECT_EQ(db.pg_columns("eb"), want);
    EXPECT_EQ(db.pg("SELECT is_nullable FROM information_schema.columns WHERE table_name = 'eb' AND "
                    "column_name = 'zd'"),
              (db_rows{{"YES"}}));

    db.my.exec("INSERT INTO eb (id) VALUES (2)");
    pg_exec(db.name(), "INSERT INTO eb (id) VALUES (2)");
    const std::string hex = "upper(encode(%, 'hex'))";
    const auto pg_hex = [&](const std::string& col) {
        std::string s = hex;
        return s.replace(s.find('%'), 1, col);
    };
    EXPECT_EQ(
        db.pg("SELECT id, v, t, tt, mt, c, vq, " + pg_hex("b32") + ", " + pg_hex("b4") + ", " + pg_hex("vb") + ", " +
              pg_hex("va") + ", " + pg_hex("hi") + ", " + pg_hex("u8") + ", " + pg_hex("bl") + " FROM eb ORDER BY id"),
        db.my.query("SELECT id, v, t, tt, mt, c, vq, HEX(b32), HEX(b4), HEX(vb), HEX(va), HEX(hi), HEX(u8), "
                    "HEX(bl) FROM eb ORDER BY id"));
}

// ---------------------------------------------------------------- backslashes under standard_conforming_strings=off

// The three ways a user's server turns standard_conforming_strings off for
// the agent's sessions.
enum class scs_off_by { pgoptions, role, database };

void PrintTo(scs_off_by by, std::ostream* os) {
    *os << (by == scs_off_by::pgoptions ? "pgoptions" : by == scs_off_by::role ? "role" : "database");
}

// A login role of the test's own that owns the destination and reads
// backslashes as escapes; what it owns goes back to the test's user and the
// role is dropped with the object.
class escaping_role {
public:
    explicit escaping_role(const std::string& dest) : m_name("fcol_scs_" + std::to_string(getpid())), m_dest(dest) {
        pg_exec("postgres", "DROP ROLE IF EXISTS " + m_name);
        pg_exec("postgres", "CREATE ROLE " + m_name + " LOGIN PASSWORD " + pg_literal(password));
        pg_exec("postgres", "ALTER ROLE " + m_name + " SET standard_conforming_strings = off");
        pg_exec("postgres", "ALTER DATABASE " + pg_quote_ident(m_dest) + " OWNER TO " + m_name);
    }
    ~escaping_role() {
        try {
            pg_exec(m_dest, "REASSIGN OWNED BY " + m_name + " TO CURRENT_USER");
            pg_exec("postgres", "DROP ROLE IF EXISTS " + m_name);
        } catch (...) {}
    }
    escaping_role(const escaping_role&) = delete;
    escaping_role& operator=(const escaping_role&) = delete;

    const std::string& name() const { return m_name; }
    static constexpr const char* password = "scs-secret";

private:
    std::string m_name, m_dest;
};

class FaultsBackslashDefaults : public ::testing::TestWithParam<scs_off_by> {};

// With backslashes read as escapes, a plain literal of a MySQL default ends
// early at a backslash: text after it ran as statements of its own (here it
// dropped another table of the destination), C:\temp\new arrived with a TAB
// and a line feed, and a default ending in a backslash failed its table.
// Whichever way the setting is made, each default arrives as the same bytes
// and nothing else of the destination is touched.
TEST_P(FaultsBackslashDefaults, TextDefaultsArriveAsWrittenAndRunNothing) {
    const scs_off_by by = GetParam();
    column_dbs db("scs_" + ::testing::PrintToString(by));
    const std::vector<std::string> defaults = {"\\');drop table victim;--", "C:\\temp\\new", "ends in \\",
                                               "two \\\\ and it's \\'"};
    std::string create = "CREATE TABLE bs (id INT PRIMARY KEY";
    for (std::size_t i = 0; i < defaults.size(); ++i)
        create += ", v" + std::to_string(i) + " VARCHAR(40) DEFAULT '" + db.my.escape(defaults[i]) + "'";
    create += ", t TEXT DEFAULT '" + db.my.escape(defaults[0]) + "') CHARACTER SET utf8mb4";
    db.my.exec(create);
    db.my.exec("INSERT INTO bs (id) VALUES (1)");
    pg_exec(db.name(), "CREATE TABLE victim (id int); INSERT INTO victim VALUES (1)");

    std::vector<std::string> args = db.agent_args({"--mode=1"});
    std::optional<scoped_env> pgoptions;
    std::optional<escaping_role> role;
    server_address as = pg_test_server();
    switch (by) {
    case scs_off_by::pgoptions: pgoptions.emplace("PGOPTIONS", "-c standard_conforming_strings=off"); break;
    case scs_off_by::role:
        role.emplace(db.name());
        pg_exec(db.name(), "ALTER TABLE victim OWNER TO " + role->name());
        args.push_back("--posgsu=" + role->name());
        args.push_back(std::string("--posgsp=") + escaping_role::password);
        as.user = role->name();
        as.password = escaping_role::password;
        break;
    case scs_off_by::database:
        pg_exec("postgres", "ALTER DATABASE " + pg_quote_ident(db.name()) + " SET standard_conforming_strings = off");
        break;
    }
    {
        // The setting the agent's sessions start with.
        pqxx::connection c(pg_connection_string(as, db.name()));
        EXPECT_EQ(pqxx::nontransaction(c).exec("SHOW standard_conforming_strings")[0][0].as<std::string>(), "off");
    }
    const agent_result r = run_agent(args, 120);
    pgoptions.reset();
    if (by == scs_off_by::database)
        pg_exec("postgres", "ALTER DATABASE " + pg_quote_ident(db.name()) + " RESET standard_conforming_strings");

    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << show(r);
    EXPECT_EQ(pg_tables(db.name()), (std::vector<std::string>{"bs", "victim"})) << show(r);
    EXPECT_EQ(db.pg("SELECT id FROM victim"), (db_rows{{"1"}}));
    // Read back with the standard reading: the literal the server keeps.
    db_rows want = {{"id", "integer", std::nullopt}};
    for (std::size_t i = 0; i < defaults.size(); ++i)
        want.push_back(
            {"v" + std::to_string(i), "character varying(40)", pg_literal(defaults[i]) + "::character varying"});
    want.push_back({"t", "text", pg_literal(defaults[0]) + "::text"});
    EXPECT_EQ(db.pg_columns("bs"), want);
    // A row that takes every default has the same bytes on both sides.
    db.my.exec("INSERT INTO bs (id) VALUES (2)");
    pg_exec(db.name(), "INSERT INTO bs (id) VALUES (2)");
    const std::string columns = "id, v0, v1, v2, v3, t";
    EXPECT_EQ(db.pg("SELECT " + columns + " FROM bs ORDER BY id"),
              db.my.query("SELECT " + columns + " FROM bs ORDER BY id"));
    EXPECT_EQ(db.pg("SELECT v1 FROM bs WHERE id = 2"), (db_rows{{"C:\\temp\\new"}}));
}

INSTANTIATE_TEST_SUITE_P(FaultsColumns, FaultsBackslashDefaults,
                         ::testing::Values(scs_off_by::pgoptions, scs_off_by::role, scs_off_by::database),
                         [](const ::testing::TestParamInfo<scs_off_by>& i) {
                             return ::testing::PrintToString(i.param);
                         });

}  // namespace
