#include "udb/udb_db.h"

#include <gtest/gtest.h>

#include "udb/udb_engi.h"
#include "udb_test_util.h"

namespace {

class fake_db : public udb_database {
public:
    fake_db(bool case_sensitive, std::vector<std::wstring> tables) : udb_database(L"db", 1, case_sensitive) {
        m_table_names = std::move(tables);
    }
    std::unique_ptr<udb_recordset> create_table(const std::wstring&, const udb_schema&, const udb_indexes&) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_table(const std::wstring&, int) override { return nullptr; }
    std::unique_ptr<udb_recordset> get_query(const std::wstring&, const std::wstring&, int) override { return nullptr; }
    bool query(const std::wstring&) override { return true; }
};

using names = std::vector<std::wstring>;

}  // namespace

TEST(UdbDatabase, IsTableExistByCaseFlag) {
    fake_db loose(false, {L"Orders", L"items"});
    fake_db exact(true, {L"Orders", L"items"});
    struct Case {
        const wchar_t* name;
        bool loose, exact;
    } cases[] = {
        {L"Orders", true, true},  {L"ORDERS", true, false}, {L"Items", true, false},
        {L"order", false, false}, {L"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(loose.is_table_exist(c.name), c.loose) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(exact.is_table_exist(c.name), c.exact) << testing::PrintToString(std::wstring(c.name));
    }
}

TEST(UdbDatabase, DeleteTabRemovesFirstMatchKeepingOrder) {
    fake_db db(false, {L"a", L"B", L"c", L"b", L"d"});
    EXPECT_TRUE(db.delete_tab(L"b"));
    EXPECT_EQ(db.table_names(), (names{L"a", L"c", L"b", L"d"}));
    EXPECT_TRUE(db.delete_tab(L"B"));
    EXPECT_EQ(db.table_names(), (names{L"a", L"c", L"d"}));
    expect_assertion([&] { db.delete_tab(L"b"); }, "udb_db", 44);
    EXPECT_EQ(db.table_names(), (names{L"a", L"c", L"d"}));
}

TEST(UdbDatabase, DeleteTabCaseSensitive) {
    fake_db db(true, {L"T", L"t"});
    EXPECT_TRUE(db.delete_tab(L"t"));
    EXPECT_EQ(db.table_names(), names{L"T"});
    expect_assertion([&] { db.delete_tab(L"t"); }, "udb_db", 44);
}

TEST(UdbDatabase, BaseDefaults) {
    fake_db db(false, {});
    expect_assertion([&] { db.query_rs(L"select 1"); }, "udb_db", 70);
    db.create_views({{L"v", L"select 1"}});
    db.create_relationships({});
    EXPECT_EQ(db.name(), L"db");
    EXPECT_EQ(db.mode(), 1);
    EXPECT_FALSE(db.case_sensitive());
    EXPECT_TRUE(db.queries().empty());
    EXPECT_TRUE(db.relationships().empty());
    EXPECT_TRUE(db.names_map().table_map().empty());
}

TEST(UdbRelationship, BuiltFromSevenValues) {
    const udb_relationship r(L"fk", L"", L"child", L"parent", {L"c1", L"c2"}, {L"p1", L"p2"}, L"CASCADE");
    const udb_relationship copy = r;
    EXPECT_EQ(copy.constraint_name, L"fk");
    EXPECT_EQ(copy.child_table, L"child");
    EXPECT_EQ(copy.parent_table, L"parent");
    EXPECT_EQ(copy.on_delete, L"CASCADE");
    EXPECT_EQ(copy.child_fields, (names{L"c1", L"c2"}));
    EXPECT_EQ(copy.parent_fields, (names{L"p1", L"p2"}));
}

namespace {
class file_engine : public udb_engine {
public:
    std::unique_ptr<udb_database> create_db(const std::wstring&) override { return nullptr; }
    std::unique_ptr<udb_database> open_db(const std::wstring&, int) override { return nullptr; }
};
}  // namespace

TEST(UdbEngine, BaseTreatsDatabaseAsFile) {
    const std::string path = ::testing::TempDir() + "udb_engine_db.file";
    const std::wstring wpath(path.begin(), path.end());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    file_engine e;
    EXPECT_TRUE(e.is_db_exist(wpath));
    e.db_delete(wpath);
    EXPECT_FALSE(e.is_db_exist(wpath));
    try {
        e.db_delete(wpath);
        ADD_FAILURE() << "deleting a missing file succeeded";
    } catch (const tk_exception_ex& ex) {
        EXPECT_EQ(ex.code(), ENOENT);
    }
}
