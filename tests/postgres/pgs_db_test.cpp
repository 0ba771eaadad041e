// The destination database against the real server: the table list, names
// folded once and always quoted, create, drop and their errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "postgres/pgs_exc.h"
#include "postgres/pgs_fixture.h"
#include "postgres/pgs_recs.h"
#include "postgres/pgs_tsrc.h"
#include "support/trace_capture.h"
#include "tk/tk_exc.h"
#include "udb/udb_idx.h"

class PgsDatabaseTest : public pgs_db_test {
protected:
    bool server_has(const std::string& schema, const std::string& table) {
        return !peer("SELECT 1 FROM pg_tables WHERE schemaname = '" + schema + "' AND tablename = '" + table + "'")
                    .empty();
    }
    bool listed(const std::wstring& key) {
        const auto& names = m_db->table_names();
        return std::find(names.begin(), names.end(), key) != names.end();
    }
};

TEST_F(PgsDatabaseTest, lists_the_user_tables_of_every_schema) {
    EXPECT_TRUE(m_db->table_names().empty());
    peer("CREATE SCHEMA s2; CREATE TABLE public.a (x int); CREATE TABLE s2.b (x int); "
         "CREATE TABLE \"caf\xC3\xA9\" (x int); CREATE TABLE \"Mixed\" (x int)");
    reopen();
    EXPECT_EQ(m_db->table_names().size(), 4u);
    EXPECT_TRUE(m_db->is_table_exist(L"a"));
    EXPECT_TRUE(m_db->is_table_exist(L"public.a"));
    EXPECT_TRUE(m_db->is_table_exist(L"A"));  // folded as the server folds an unquoted name
    EXPECT_FALSE(m_db->is_table_exist(L"s2.a"));
    EXPECT_TRUE(m_db->is_table_exist(L"s2.b"));
    EXPECT_FALSE(m_db->is_table_exist(L"b"));
    EXPECT_TRUE(m_db->is_table_exist(L"caf\u00e9"));     // catalogue names are UTF-8
    EXPECT_TRUE(m_db->is_table_exist(L"public.Mixed"));  // a key as the server spells it
    for (const auto& n : m_db->table_names()) {
        EXPECT_EQ(n.find(L"pg_catalog."), std::wstring::npos);
        EXPECT_EQ(n.find(L"information_schema."), std::wstring::npos);
    }
    // Such a table opens under its own spelling.
    auto rs = m_db->get_table(L"public.Mixed", 2);
    EXPECT_EQ(rs->schema().size(), 1u);
}

TEST_F(PgsDatabaseTest, created_table_is_found_opened_and_read_back_under_its_name) {
    udb_schema s;
    s.add(column(L"Id", VT_I4));
    s.add(column(L"my col", VT_BSTR, 20));
    s.add(column(L"ID", VT_I4));  // differs only in case
    for (const wchar_t* name : {L"Order", L"user", L"x#y"}) {
        auto rs = m_db->create_table(name, s, udb_indexes());
        ASSERT_TRUE(rs) << name;
        EXPECT_TRUE(m_db->is_table_exist(name));
        ASSERT_EQ(rs->schema().size(), 3u);
        EXPECT_EQ(rs->schema()[0]->name.str(), L"Id");
        EXPECT_EQ(rs->rec_count(), 0);
        auto* p = dynamic_cast<pgs_recordset*>(rs.get());
        ASSERT_TRUE(p);
        EXPECT_EQ(p->schema_name(), L"public");
    }
    EXPECT_TRUE(server_has("public", "order"));
    EXPECT_TRUE(server_has("public", "user"));
    EXPECT_TRUE(server_has("public", "x#y"));
    EXPECT_TRUE(listed(L"public.order"));
    // The renamed columns reach the names map under the name as passed.
    EXPECT_EQ(m_db->names_map().get_fn_mapped_name(L"Order", L"my col", true), L"my_col");
    // A schema-qualified name lands in that schema.
    peer("CREATE SCHEMA other");
    reopen();
    auto rs = m_db->create_table(L"other.T1", s, udb_indexes());
    EXPECT_TRUE(server_has("other", "t1"));
    EXPECT_TRUE(m_db->is_table_exist(L"other.T1"));
    EXPECT_FALSE(m_db->is_table_exist(L"T1"));
}

TEST_F(PgsDatabaseTest, drop_then_create_again) {
    udb_schema s;
    s.add(column(L"x", VT_I4));
    m_db->create_table(L"again", s, udb_indexes());
    EXPECT_TRUE(m_db->delete_tab(L"again"));
    EXPECT_FALSE(m_db->is_table_exist(L"again"));
    EXPECT_FALSE(server_has("public", "again"));
    EXPECT_FALSE(listed(L"public.again"));
    auto rs = m_db->create_table(L"again", s, udb_indexes());
    EXPECT_TRUE(m_db->is_table_exist(L"again"));
    EXPECT_TRUE(server_has("public", "again"));
    EXPECT_TRUE(listed(L"public.again"));
}

TEST_F(PgsDatabaseTest, failures_carry_their_texts) {
    udb_schema s;
    s.add(column(L"x", VT_I4));
    m_db->create_table(L"gone", s, udb_indexes());
    peer("DROP TABLE gone; CREATE TABLE unseen (x int)");
    try {
        m_db->delete_tab(L"gone");
        FAIL();
    } catch (const pgs_exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot drop table: public.gone", 0), 0u) << e.what();
        EXPECT_EQ(e.level(), 0);
    }
    EXPECT_TRUE(m_db->is_table_exist(L"gone"));  // the name stays in the list
    // The list was read before "unseen" existed: the CREATE TABLE fails.
    try {
        m_db->create_table(L"unseen", s, udb_indexes());
        FAIL();
    } catch (const pgs_exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create table: ", 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find("already exists"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(m_db->is_table_exist(L"unseen"));
    EXPECT_THROW(m_db->get_table(L"nowhere", 2), tk_mail_assertion);
}

// One table's drop, CREATE and rows are one transaction: dropped by a unit
// that ends without a recordset, the table is still there; created in one,
// it exists for others once the recordset completes. A unit reads afresh
// whether its table exists.
TEST_F(PgsDatabaseTest, a_table_unit_keeps_all_or_nothing) {
    peer("CREATE TABLE keep (x int); INSERT INTO keep VALUES (1)");
    reopen();
    m_db->begin_table(L"keep");
    EXPECT_TRUE(m_db->delete_tab(L"keep"));
    EXPECT_TRUE(server_has("public", "keep"));  // the drop is not committed
    m_db->end_table();
    EXPECT_EQ(peer_count("keep"), 1);

    peer("CREATE TABLE later (x int); DROP TABLE keep");
    EXPECT_FALSE(m_db->is_table_exist(L"later"));
    m_db->begin_table(L"later");
    EXPECT_TRUE(m_db->is_table_exist(L"later"));
    m_db->end_table();

    m_db->begin_table(L"keep");
    EXPECT_FALSE(m_db->is_table_exist(L"keep"));
    udb_schema s;
    s.add(column(L"x", VT_I4));
    auto rs = m_db->create_table(L"keep", s, udb_indexes());
    rs->append_record(record_of(rs->schema(), {ole_variant(5)}));
    EXPECT_FALSE(server_has("public", "keep"));
    rs->complete();
    EXPECT_EQ(peer_count("keep"), 1);
    rs.reset();

    // Dropped and created again, then abandoned: the old table stays whole.
    m_db->begin_table(L"keep");
    m_db->delete_tab(L"keep");
    auto again = m_db->create_table(L"keep", s, udb_indexes());
    again.reset();
    EXPECT_EQ(peer("SELECT x FROM keep")[0][0].as<int>(), 5);
}

// A table unit that ends without its recordset rolls back; when the
// connection is gone the rollback cannot be sent, and the trace says so
// rather than that it rolled back.
TEST_F(PgsDatabaseTest, a_rollback_that_cannot_be_sent_is_traced_as_such) {
    const trace_capture trace(2);
    m_db->begin_table(L"t");
    m_db->end_table();
    EXPECT_NE(trace.text().find("pgs_database::end_table: rolled back\r\n"), std::string::npos) << trace.text();

    const std::size_t before = trace.text().size();
    m_db->begin_table(L"t");
    peer("SELECT pg_terminate_backend(" + std::to_string(m_engine->connection().backendpid()) + ")");
    m_db->end_table();
    const std::string lines = trace.text().substr(before);
    EXPECT_NE(lines.find("pgs_database::end_table: rolling back\r\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("pgs_database::end_table: the rollback was not sent: the connection to the server is lost"),
              std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("rolled back\r\n"), std::string::npos) << lines;
}

// A table made from a source records it in its comment, with its creation:
// read back when the database opens again and by a table unit, for names of
// any spelling, whatever the server's reading of backslashes. Comments of any
// other form record nothing.
TEST_F(PgsDatabaseTest, a_table_records_the_source_it_was_made_from) {
    udb_schema s;
    s.add(column(L"x", VT_I4));
    using kind = udb_table_source::kind;
    const udb_table_source sources[] = {
        {kind::table, L"Orders"},
        {kind::query, L"it's \\ a \"q\"\nline"},
        {kind::table, L"x'; DROP TABLE t1; --"},
        {kind::table, L"\u8868\u00e9"},
    };
    // Apostrophes and backslashes as the connection's server reads them.
    pqxx::nontransaction(m_engine->connection()).exec("SET standard_conforming_strings = off");
    int n = 0;
    for (const udb_table_source& source : sources)
        m_db->create_table_from(source, L"t" + std::to_wstring(++n), s, udb_indexes())->complete();
    m_db->create_table(L"plain", s, udb_indexes())->complete();
    EXPECT_EQ(m_db->table_source(L"t1"), sources[0]);
    EXPECT_FALSE(m_db->table_source(L"plain"));
    EXPECT_TRUE(peer("SELECT 1 FROM t1").empty());  // still there: a name is never a statement

    peer("COMMENT ON TABLE plain IS 'vek source table: '; CREATE SCHEMA s2; CREATE TABLE s2.t (x int); "
         "COMMENT ON TABLE s2.t IS 'vek source table: Orders'; CREATE TABLE notes (x int); "
         "COMMENT ON TABLE notes IS 'vek source tables: Orders'; CREATE TABLE \"Upper\" (x int); "
         "COMMENT ON TABLE \"Upper\" IS 'vek source query: up'");
    reopen();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m_db->table_source(L"t" + std::to_wstring(i + 1)), sources[i]) << i;
    EXPECT_EQ(peer("SELECT obj_description('t1'::regclass, 'pg_class')")[0][0].as<std::string>(),
              "vek source table: Orders");
    EXPECT_FALSE(m_db->table_source(L"plain"));
    EXPECT_FALSE(m_db->table_source(L"notes"));
    EXPECT_EQ(m_db->table_source(L"s2.t"), sources[0]);
    // Those of "public" by the names that open them.
    std::vector<std::pair<std::wstring, udb_table_source>> listed;
    for (const udb_sourced_table& t : m_db->sourced_tables()) listed.emplace_back(t.name, t.source);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::pair<std::wstring, udb_table_source>>{{L"Upper", {kind::query, L"up"}},
                                                                              {L"t1", sources[0]},
                                                                              {L"t2", sources[1]},
                                                                              {L"t3", sources[2]},
                                                                              {L"t4", sources[3]}}));

    // A table unit reads the comment afresh.
    peer("COMMENT ON TABLE t1 IS 'vek source query: other'; COMMENT ON TABLE t2 IS NULL");
    m_db->begin_table(L"t1");
    EXPECT_EQ(m_db->table_source(L"t1"), (udb_table_source{kind::query, L"other"}));
    m_db->begin_table(L"t2");
    EXPECT_FALSE(m_db->table_source(L"t2"));
    // Dropped and made again in one unit: the new record, committed with it.
    m_db->delete_tab(L"t2");
    m_db->create_table_from(sources[2], L"t2", s, udb_indexes())->complete();
    EXPECT_EQ(m_db->table_source(L"t2"), sources[2]);
    EXPECT_EQ(peer("SELECT obj_description('t2'::regclass, 'pg_class')")[0][0].as<std::string>(),
              pgs_source_comment(sources[2]));
}

TEST(PgsSourceComment, reads_only_its_own_form) {
    using kind = udb_table_source::kind;
    EXPECT_EQ(pgs_source_comment({kind::table, L"a b"}), "vek source table: a b");
    EXPECT_EQ(pgs_source_comment({kind::query, L"q"}), "vek source query: q");
    EXPECT_EQ(pgs_parse_source_comment("vek source table: a b"), (udb_table_source{kind::table, L"a b"}));
    EXPECT_EQ(pgs_parse_source_comment("vek source query:  q "), (udb_table_source{kind::query, L" q "}));
    for (const char* other : {"", "vek source table: ", "vek source table:x", "Vek source table: x",
                              " vek source table: x", "vek source view: x", "vek source table: \xff\xfe"})
        EXPECT_FALSE(pgs_parse_source_comment(other)) << other;
}
