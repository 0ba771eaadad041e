// The converter's settings in profiles and in the registry.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "support/test_dir.h"
#include "support/trace_capture.h"
#include "tk/tk_regk.h"

namespace {

namespace fs = std::filesystem;

TEST(ConverterProfile, every_key_survives_a_round_trip_through_the_file) {
    error_handler errors(pgs_error_map);
    const test_dir tmp("dr_prof");
    const fs::path dir = tmp.path();
    const std::wstring path = (dir / "p.vek").wstring();
    {
        dravik_convertor c(errors);
        c.src = L"shop";
        c.dest = L"shop_pg";
        c.set_mode(2);
        c.skip_idx = true;
        c.selected_queries[L"items"] = L"";
        c.selected_queries[L"cheap"] = L"SELECT * FROM items WHERE price < 1";
        c.available_queries[L"cheap"] = L"SELECT * FROM items WHERE price < 1";
        c.available_queries[L"unused"] = L"SELECT 1";
        c.store_mysql_settings("my.host", "myuser", "my pass", "3307");
        c.dump_options.dump_create_database = true;
        c.store_pgs_settings("pg.host", "pguser", "pg pass", 5433);
        ASSERT_TRUE(c.store_profile(path));
    }
    dravik_convertor back(errors);
    ASSERT_TRUE(back.load_profile(path));
    EXPECT_EQ(back.src, L"shop");
    EXPECT_EQ(back.dest, L"shop_pg");
    EXPECT_EQ(back.n_mode, 2);
    EXPECT_TRUE(back.skip_idx);
    EXPECT_FALSE(back.tab_def);
    EXPECT_EQ(back.selected_tables, std::vector<std::wstring>{L"items"});
    EXPECT_EQ(back.selected_queries.size(), 2u);
    EXPECT_EQ(back.selected_queries.at(L"cheap"), L"SELECT * FROM items WHERE price < 1");
    EXPECT_EQ(back.available_queries.size(), 2u);
    EXPECT_EQ(back.mysql_converter_impl::host, "my.host");
    EXPECT_EQ(back.mysql_converter_impl::user, "myuser");
    EXPECT_EQ(back.mysql_converter_impl::password, "my pass");
    EXPECT_EQ(back.mysql_converter_impl::port, "3307");
    EXPECT_TRUE(back.dump_options.dump_create_database);
    EXPECT_TRUE(back.dump_options.dump_create_table);
    EXPECT_EQ(back.pgs_converter_impl::host, "pg.host");
    EXPECT_EQ(back.pgs_converter_impl::user, "pguser");
    EXPECT_EQ(back.pgs_converter_impl::password, "pg pass");
    EXPECT_EQ(back.pgs_converter_impl::port, 0u);  // profiles do not carry the PostgreSQL port
}

TEST(ConverterProfile, an_item_that_would_not_load_back_is_refused_and_named) {
    error_handler errors(pgs_error_map);
    const test_dir tmp("dr_prof_bad");
    const fs::path dir = tmp.path();
    const std::wstring path = (dir / "p.vek").wstring();
    dravik_convertor c(errors);
    c.available_queries[L"multi"] = L"SELECT 1\nFROM dual";
    EXPECT_FALSE(c.store_profile(path));
    EXPECT_EQ(c.profile_fault().what, udb_profile_fault::kind::line_break);
    EXPECT_EQ(c.profile_fault().key, L"multi");
    EXPECT_FALSE(fs::exists(dir / "p.vek"));
}

TEST(ConverterProfile, a_missing_file_is_a_level_one_error) {
    error_handler errors(pgs_error_map);
    dravik_convertor c(errors);
    try {
        c.load_profile(L"/nonexistent/dir/p.vek");
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
    }
}

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() : dir(tmp.path()) { setenv("VEK_REGISTRY_DIR", dir.c_str(), 1); }
    ~RegistryTest() override { unsetenv("VEK_REGISTRY_DIR"); }
    test_dir tmp{"dr_reg"};
    fs::path dir;
    error_handler errors{pgs_error_map};
};

TEST_F(RegistryTest, first_start_gives_the_defaults) {
    dravik_convertor c(errors, converter_form::wizard);
    EXPECT_TRUE(c.convert_views);
    EXPECT_EQ(c.mysql_converter_impl::port, "3306");
    EXPECT_EQ(c.pgs_converter_impl::port, 0u);
    EXPECT_TRUE(c.mysql_converter_impl::host.empty());
    EXPECT_TRUE(c.pgs_converter_impl::user.empty());
    EXPECT_FALSE(c.tab_def);
    EXPECT_FALSE(c.skip_idx);
}

TEST_F(RegistryTest, the_wizard_stores_at_exit_and_loads_at_start_but_not_the_mode) {
    {
        dravik_convertor c(errors, converter_form::wizard);
        c.src = L"shöp";
        c.dest = L"dest";
        c.store_mysql_settings("h", "u", "p", "3310");
        c.store_pgs_settings("ph", "pu", "pp", 5439);
        c.skip_idx = true;
        c.convert_views = false;
        c.set_mode(3);
    }
    dravik_convertor c(errors, converter_form::wizard);
    EXPECT_EQ(c.src, L"shöp");
    EXPECT_EQ(c.dest, L"dest");
    EXPECT_EQ(c.mysql_converter_impl::host, "h");
    EXPECT_EQ(c.mysql_converter_impl::user, "u");
    EXPECT_EQ(c.mysql_converter_impl::password, "p");
    EXPECT_EQ(c.mysql_converter_impl::port, "3310");
    EXPECT_EQ(c.pgs_converter_impl::host, "ph");
    EXPECT_EQ(c.pgs_converter_impl::user, "pu");
    EXPECT_EQ(c.pgs_converter_impl::password, "pp");
    EXPECT_EQ(c.pgs_converter_impl::port, 5439u);
    EXPECT_TRUE(c.skip_idx);
    EXPECT_FALSE(c.convert_views);
    EXPECT_EQ(c.n_mode, 0);
}

TEST_F(RegistryTest, a_flag_of_2_loads_as_true_and_is_stored_back_as_1) {
    {
        tk_reg_key key(dravik_convertor::registry_path);
        ASSERT_EQ(key.create(pf_reg_current_user(), key.path().c_str()), 0);
        ASSERT_EQ(key.set_value(DWORD{2}, "tab_def"), 0);
    }
    {
        dravik_convertor c(errors, converter_form::wizard);
        EXPECT_TRUE(c.tab_def);
    }
    tk_reg_key key(dravik_convertor::registry_path);
    ASSERT_EQ(key.create(pf_reg_current_user(), key.path().c_str()), 0);
    DWORD v = 0;
    ASSERT_EQ(key.get_value(v, "tab_def"), 0);
    EXPECT_EQ(v, 1u);
}

TEST_F(RegistryTest, the_agent_never_touches_the_key) {
    {
        dravik_convertor c(errors, converter_form::agent);
        c.src = L"x";
        c.tab_def = true;
    }
    EXPECT_TRUE(fs::is_empty(dir));
    dravik_convertor w(errors, converter_form::wizard);
    EXPECT_TRUE(w.src.empty());
    EXPECT_FALSE(w.tab_def);
}

// Settings that cannot be saved when the wizard ends are lost, but the
// trace says so.
TEST_F(RegistryTest, settings_that_cannot_be_saved_at_exit_are_traced) {
    const trace_capture trace(3);
    {
        dravik_convertor c(errors, converter_form::wizard);
        const std::string blocked = tmp.write("blocked", "a file, not a folder");
        setenv("VEK_REGISTRY_DIR", (blocked + "/registry").c_str(), 1);
    }
    EXPECT_NE(trace.text().find("The wizard's settings were not saved: "), std::string::npos) << trace.text();
}

}  // namespace
