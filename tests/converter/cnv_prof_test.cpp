// Profile keys of the converter's parts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "converter/cnv_my.h"
#include "converter/cnv_udb.h"
#include "support/test_dir.h"
#include "support/trace_capture.h"
#include "tk/tk_exc.h"

namespace {

class plain_converter : public udb_converter {
public:
    bool test_query(const std::wstring&, std::string&) override { return false; }
};

udb_profile with_generic(const wchar_t* key, const wchar_t* value) {
    udb_profile p;
    p.set_value(udb_profile::generic_settings, key, value);
    return p;
}

TEST(ProfileKeys, mode_takes_exactly_one_digit_from_0_to_4_and_refuses_the_rest) {
    plain_converter c;
    c.set_mode(1);
    c.load_profile(with_generic(L"mode", L"3"));
    EXPECT_EQ(c.n_mode, 3);
    c.load_profile(with_generic(L"mode", L"4"));
    EXPECT_EQ(c.n_mode, 4);
    c.load_profile(with_generic(L"mode", L""));
    EXPECT_EQ(c.n_mode, 4);
    for (const wchar_t* bad : {L"12", L"x", L"5", L"-", L" 1"}) {
        udb_profile p = with_generic(L"mode", bad);
        p.set_value(udb_profile::generic_settings, L"src", L"must_not_apply");
        p.set_value(udb_profile::selected_tables, L"t", L"");
        try {
            c.load_profile(p);
            ADD_FAILURE() << "mode accepted";
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 1);
            EXPECT_STREQ(e.what(), "Invalid merge/overwrite mode");
        }
        EXPECT_EQ(c.n_mode, 4);
        EXPECT_TRUE(c.src.empty());
        EXPECT_TRUE(c.selected_tables.empty());
    }
}

TEST(ProfileKeys, flags_read_true_unless_zero_and_empty_leaves_them) {
    plain_converter c;
    c.tab_def = true;
    c.load_profile(with_generic(L"only definitions", L"0"));
    EXPECT_FALSE(c.tab_def);
    c.load_profile(with_generic(L"only definitions", L"yes"));
    EXPECT_TRUE(c.tab_def);
    c.load_profile(with_generic(L"only definitions", L""));
    EXPECT_TRUE(c.tab_def);
    c.load_profile(with_generic(L"skip indexes", L"1"));
    EXPECT_TRUE(c.skip_idx);
}

TEST(ProfileKeys, selections_add_to_what_is_held_and_tables_append_each_load) {
    plain_converter c;
    c.selected_queries[L"q"] = L"SELECT 1";
    udb_profile p;
    p.set_value(udb_profile::selected_tables, L"a", L"");
    p.set_value(udb_profile::selected_tables, L"q", L"SELECT 2");
    p.set_value(udb_profile::available_queries, L"q", L"SELECT 2");
    c.load_profile(p);
    c.load_profile(p);
    EXPECT_EQ(c.selected_tables, (std::vector<std::wstring>{L"a", L"a"}));
    EXPECT_EQ(c.selected_queries.at(L"q"), L"SELECT 1");  // the existing text stays
    EXPECT_EQ(c.available_queries.at(L"q"), L"SELECT 2");

    c.replace_selected_tables({L"b"});
    EXPECT_EQ(c.selected_tables, std::vector<std::wstring>{L"b"});
    EXPECT_EQ(c.selected_queries.count(L"a"), 0u);  // the profile's table is gone from the run too
    EXPECT_EQ(c.selected_queries.at(L"q"), L"SELECT 1");
}

TEST(ProfileKeys, store_writes_tables_bare_queries_with_text_and_trims_trailing_blanks) {
    plain_converter c;
    c.src = L"shop";
    c.dest = L"shop_pg";
    c.set_mode(3);
    c.tab_def = true;
    c.selected_queries[L"items"] = L"";
    c.selected_queries[L"big"] = L"SELECT * FROM items WHERE price > 10   ";
    c.available_queries[L"big"] = L"SELECT * FROM items WHERE price > 10 ";
    udb_profile p;
    ASSERT_TRUE(c.store_profile(p));
    const test_dir tmp("cnv_prof");
    const std::filesystem::path path = tmp.file("p.vek");
    ASSERT_TRUE(p.store(path.wstring())) << static_cast<int>(p.fault().what);
    const std::string text = test_dir::read(path);
    EXPECT_NE(text.find("[Selected Tables]\r\nbig=SELECT * FROM items WHERE price > 10\r\nitems\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("mode=3\r\n"), std::string::npos);
    EXPECT_NE(text.find("only definitions=1\r\n"), std::string::npos);

    plain_converter back;
    udb_profile loaded;
    ASSERT_TRUE(loaded.load(path.wstring()));
    back.load_profile(loaded);
    EXPECT_EQ(back.selected_tables, std::vector<std::wstring>{L"items"});
    EXPECT_EQ(back.selected_queries.at(L"big"), L"SELECT * FROM items WHERE price > 10");
    EXPECT_EQ(back.src, L"shop");
    EXPECT_EQ(back.dest, L"shop_pg");
    EXPECT_EQ(back.n_mode, 3);
    EXPECT_TRUE(back.tab_def);
    EXPECT_FALSE(back.skip_idx);
}

TEST(ProfileKeys, mysql_host_and_password_always_apply_user_and_port_only_when_given) {
    mysql_converter_impl m;
    m.store_mysql_settings("  db.local ", " bob", "pw ", "");
    EXPECT_EQ(m.host, "db.local");
    EXPECT_EQ(m.user, "bob");
    EXPECT_EQ(m.password, "pw");
    EXPECT_EQ(m.port, "3306");

    udb_profile p;
    p.set_value(L"MySQL settings", L"dump create database", L"1");
    p.set_value(L"MySQL settings", L"dump new version", L"yes");
    m.load_profile(p);
    EXPECT_EQ(m.host, "");
    EXPECT_EQ(m.password, "");
    EXPECT_EQ(m.user, "bob");
    EXPECT_EQ(m.port, "3306");
    EXPECT_TRUE(m.dump_options.dump_create_database);
    EXPECT_FALSE(m.dump_options.dump_new_version);  // only "1" is true here
}

TEST(MysqlSettings, the_settings_trace_masks_the_password) {
    trace_capture trace(1);
    mysql_converter_impl m;
    m.store_mysql_settings("db.local", "bob", "s3cret pass", "3307");
    m.store_mysql_settings("db.local", "bob", "", "");
    const std::string text = trace.text();
    EXPECT_NE(text.find("mysql_converter_impl::store_mysql_settings(db.local,bob,********,3307)"), std::string::npos)
        << text;
    EXPECT_NE(text.find("mysql_converter_impl::store_mysql_settings(db.local,bob,,)"), std::string::npos) << text;
    EXPECT_EQ(text.find("s3cret"), std::string::npos);
}

TEST(MysqlSettings, an_invalid_port_is_refused_before_any_connection) {
    mysql_converter_impl m;
    m.port = "x1";
    try {
        m.connect_mysql_server();
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "Invalid port number");
        EXPECT_EQ(e.level(), 1);
    }
    EXPECT_FALSE(m.engine.connected());
}

}  // namespace
