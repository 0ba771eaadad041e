#include "tk/tk_regk.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>

#include "support/test_dir.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"

namespace {

constexpr const char* settings_path = "Software\\Quorvane\\Tessaline";

// Each test gets its own store through VEK_REGISTRY_DIR.
class TkRegKey : public testing::Test {
protected:
    TkRegKey() {
        if (const char* old = std::getenv("VEK_REGISTRY_DIR")) saved = old;
        ::setenv("VEK_REGISTRY_DIR", dir.file("registry").c_str(), 1);
    }
    ~TkRegKey() override {
        if (saved)
            ::setenv("VEK_REGISTRY_DIR", saved->c_str(), 1);
        else
            ::unsetenv("VEK_REGISTRY_DIR");
    }
    void open(tk_reg_key& reg) { ASSERT_EQ(reg.create(pf_reg_current_user(), reg.path().c_str()), 0); }
    std::string values_file() const { return dir.file("registry/Software/Quorvane/Tessaline/.values"); }

    test_dir dir;
    std::optional<std::string> saved;
    tk_reg_key key{settings_path};
};

void expect_assertion(const std::function<void()>& call, int line) {
    try {
        call();
        ADD_FAILURE() << "no assertion for line " << line;
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message(), tk_assertion_text("tk_regk", line));
        EXPECT_EQ(e.level(), 2);
    }
}

}  // namespace

TEST_F(TkRegKey, MissingValuesKeepTheirDefaults) {
    open(key);
    DWORD port = 5432;
    bool views = true;
    std::string host = "preset";
    std::wstring src = L"preset";
    EXPECT_FALSE(key.serialize_ulong("pgsport", port, false));
    EXPECT_FALSE(key.serialize_bool("convert_views", views, false));
    EXPECT_FALSE(key.serialize_string("mysqlh", host, false));
    EXPECT_FALSE(key.serialize_wstring(L"src", src, false));
    EXPECT_EQ(port, 5432u);
    EXPECT_TRUE(views);
    EXPECT_EQ(host, "preset");
    EXPECT_EQ(src, L"preset");
}

TEST_F(TkRegKey, SettingsRoundTripThroughAFreshKey) {
    open(key);
    DWORD port = 6543;
    bool tab_def = true, skip_idx = false;
    std::string password = "p\xc3\xa4ss\tw\\rd\nx", empty;
    std::wstring dest = L"\u00fcber \U0001F600";
    ASSERT_TRUE(key.serialize_ulong("pgsport", port, true));
    ASSERT_TRUE(key.serialize_bool("tab_def", tab_def, true));
    ASSERT_TRUE(key.serialize_bool("skip_idx", skip_idx, true));
    ASSERT_TRUE(key.serialize_string("mysqlp", password, true));
    ASSERT_TRUE(key.serialize_string("mysqlh", empty, true));
    ASSERT_TRUE(key.serialize_wstring(L"dest", dest, true));
    EXPECT_EQ(key.close(), 0);
    EXPECT_EQ(key.close(), 0);  // nothing open

    tk_reg_key other(settings_path);
    open(other);
    DWORD port2 = 0;
    bool tab_def2 = false, skip_idx2 = true;
    std::string password2, host2 = "default";
    std::wstring dest2;
    EXPECT_TRUE(other.serialize_ulong("pgsport", port2, false));
    EXPECT_TRUE(other.serialize_bool("tab_def", tab_def2, false));
    EXPECT_TRUE(other.serialize_bool("skip_idx", skip_idx2, false));
    EXPECT_TRUE(other.serialize_string("mysqlp", password2, false));
    // An empty stored text (one NUL) is a value: it replaces the default.
    EXPECT_TRUE(other.serialize_string("mysqlh", host2, false));
    EXPECT_TRUE(other.serialize_wstring(L"dest", dest2, false));
    EXPECT_EQ(port2, 6543u);
    EXPECT_TRUE(tab_def2);
    EXPECT_FALSE(skip_idx2);
    EXPECT_EQ(password2, password);
    EXPECT_EQ(host2, "");
    EXPECT_EQ(dest2, dest);
}

TEST_F(TkRegKey, BooleansReadAnyNonZeroAndStoreOne) {
    open(key);
    ASSERT_EQ(key.set_value(DWORD(7), "tab_def"), 0);
    bool flag = false;
    EXPECT_TRUE(key.serialize_bool("tab_def", flag, false));
    EXPECT_TRUE(flag);
    ASSERT_TRUE(key.serialize_bool("tab_def", flag, true));
    DWORD stored = 0;
    EXPECT_EQ(key.get_value(stored, "tab_def"), 0);
    EXPECT_EQ(stored, 1u);
}

TEST_F(TkRegKey, AValueOfAnotherTypeIsNotReadAsThisOne) {
    open(key);
    ASSERT_EQ(key.set_value("5", "pgsport"), 0);  // a text short enough for a word's bytes
    ASSERT_EQ(key.set_value(DWORD(1), "mysqlh"), 0);
    DWORD port = 0;
    std::string host = "keep";
    std::wstring wide = L"keep";
    EXPECT_FALSE(key.serialize_ulong("pgsport", port, false));
    EXPECT_FALSE(key.serialize_string("mysqlh", host, false));
    EXPECT_FALSE(key.serialize_wstring(L"mysqlh", wide, false));
    EXPECT_EQ(port, 0u);
    EXPECT_EQ(host, "keep");
    EXPECT_EQ(wide, L"keep");
}

TEST_F(TkRegKey, DamagedStoreAnswersFalseWithoutThrowing) {
    open(key);
    test_dir::write_file(values_file(), "garbage\n");
    std::string host = "keep";
    EXPECT_FALSE(key.serialize_string("mysqlh", host, false));
    EXPECT_EQ(host, "keep");
}

TEST_F(TkRegKey, CreateReplacesTheKeyOnlyOnSuccess) {
    open(key);
    pf_hkey first = key.handle();
    // A plain file where a key's directory would have to be.
    test_dir::write_file(dir.file("registry/blocker"), "x");
    EXPECT_EQ(key.create(pf_reg_current_user(), "blocker\\sub"), ENOTDIR);
    EXPECT_EQ(key.create(pf_reg_current_user(), ""), EINVAL);
    EXPECT_EQ(key.handle(), first);
    EXPECT_EQ(key.set_value(DWORD(3), "still"), 0);

    DWORD disposition = 0;
    EXPECT_EQ(
        key.create(pf_reg_current_user(), "Software\\Other", nullptr, 0, PF_KEY_ALL_ACCESS, nullptr, &disposition), 0);
    EXPECT_EQ(disposition, PF_REG_CREATED_NEW_KEY);
    DWORD read = 0;
    EXPECT_EQ(key.get_value(read, "still"), ENOENT);  // the new key
}

TEST_F(TkRegKey, ClosedKeyNeverThrowsFromSerialize) {
    DWORD n = 9;
    bool b = true;
    std::string s = "s";
    std::wstring w = L"w";
    for (bool store : {false, true}) {
        EXPECT_FALSE(key.serialize_ulong("a", n, store));
        EXPECT_FALSE(key.serialize_bool("a", b, store));
        EXPECT_FALSE(key.serialize_string("a", s, store));
        EXPECT_FALSE(key.serialize_wstring(L"a", w, store));
    }
    EXPECT_EQ(n, 9u);
    EXPECT_TRUE(b);
    DWORD size = 0;
    EXPECT_NE(key.get_value(n, "a"), 0);
    EXPECT_NE(key.get_value(static_cast<char*>(nullptr), "a", &size), 0);
}

TEST_F(TkRegKey, AssertionSites) {
    DWORD n = 0, size = 0;
    char buf[4];
    wchar_t wbuf[4];
    expect_assertion([&] { key.create(nullptr, settings_path); }, 64);
    expect_assertion([&] { key.get_value(n, nullptr); }, 98);
    expect_assertion([&] { key.get_value(buf, "a", nullptr); }, 115);
    expect_assertion([&] { key.get_value(buf, nullptr, &size); }, 116);
    expect_assertion([&] { key.get_value(wbuf, L"a", nullptr); }, 132);
    expect_assertion([&] { key.get_value(wbuf, nullptr, &size); }, 133);
    expect_assertion([&] { key.set_value(DWORD(1), "a"); }, 149);
    expect_assertion([&] { key.set_value(static_cast<const char*>(nullptr), "a"); }, 156);
    expect_assertion([&] { key.set_value("t", "a"); }, 157);
    expect_assertion([&] { key.set_value(static_cast<const wchar_t*>(nullptr), L"a"); }, 164);
    expect_assertion([&] { key.set_value(L"t", L"a"); }, 165);
}

TEST_F(TkRegKey, ReadsTraceNameTypeAndSize) {
    open(key);
    ASSERT_EQ(key.set_value(DWORD(1), "tab_def"), 0);
    ASSERT_EQ(key.set_value(L"d\u00e9", L"dest"), 0);
    const std::string path = dir.file("trace.log");
    {
        tk_log log(path.c_str(), true, 1, false);
        bool flag = false;
        std::wstring dest;
        key.serialize_bool("tab_def", flag, false);
        key.serialize_wstring(L"dest", dest, false);
    }
    const std::string wsize = std::to_string(3 * sizeof(wchar_t));
    EXPECT_EQ(test_dir::read(path), "tk_reg_key::get_value(ulong, tab_def)\r\ntype=4, size=4\r\n"
                                    "tk_reg_key::get_value(LPWSTR, dest)\r\ntype=1, size=" +
                                        wsize +
                                        "\r\n"
                                        "tk_reg_key::get_value(LPWSTR, dest)\r\ntype=1, size=" +
                                        wsize + "\r\n");
}
