#include "platform/pf_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/pf_regfile.h"
#include "support/scoped_env.h"
#include "support/test_dir.h"

namespace fs = std::filesystem;

namespace {

class PfRegistry : public testing::Test {
protected:
    PfRegistry() {
        root = tmp.file("store");  // created by the first key
        env.emplace("VEK_REGISTRY_DIR", root.c_str());
    }
    ~PfRegistry() override {
        for (pf_hkey k : opened) pf_reg_close_key(k);
        env.reset();
    }

    pf_hkey open(const char* path, DWORD* disposition = nullptr) {
        pf_hkey key = nullptr;
        EXPECT_EQ(pf_reg_create_key(pf_reg_current_user(), path, &key, disposition), 0) << path;
        opened.push_back(key);
        return key;
    }

    static std::string read(const std::string& file) { return test_dir::read(file); }
    static void write(const std::string& file, const std::string& bytes) { test_dir::write_file(file, bytes); }

    std::string narrow(pf_hkey key, const char* name, int* rc_out = nullptr) {
        DWORD size = 0;
        int rc = pf_reg_query_value(key, name, nullptr, nullptr, &size);
        std::string buf(size, '?');
        if (!rc) rc = pf_reg_query_value(key, name, nullptr, buf.data(), &size);
        if (rc_out) *rc_out = rc;
        return rc ? std::string() : buf.substr(0, size - 1);
    }
    std::wstring wide(pf_hkey key, const wchar_t* name, int* rc_out = nullptr) {
        DWORD size = 0;
        int rc = pf_reg_query_value_w(key, name, nullptr, nullptr, &size);
        std::wstring buf(size / sizeof(wchar_t), L'?');
        if (!rc) rc = pf_reg_query_value_w(key, name, nullptr, buf.data(), &size);
        if (rc_out) *rc_out = rc;
        return rc ? std::wstring() : buf.substr(0, size / sizeof(wchar_t) - 1);
    }
    static int set_narrow(pf_hkey key, const char* name, const std::string& text) {
        return pf_reg_set_value(key, name, PF_REG_SZ, text.c_str(), DWORD(text.size() + 1));
    }
    static int set_wide(pf_hkey key, const wchar_t* name, const std::wstring& text) {
        return pf_reg_set_value_w(key, name, PF_REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
    }

    test_dir tmp{"pf_reg"};
    std::string root;
    std::optional<scoped_env> env;
    std::vector<pf_hkey> opened;
};

}  // namespace

TEST_F(PfRegistry, KeyPathMapsToPrivateDirectoriesAndFile) {
    DWORD disposition = 0;
    pf_hkey key = open("Software\\Quorvane\\Tessaline", &disposition);
    EXPECT_EQ(disposition, PF_REG_CREATED_NEW_KEY);
    const std::string dir = root + "/Software/Quorvane/Tessaline";
    ASSERT_TRUE(fs::is_directory(dir));
    DWORD one = 1;
    ASSERT_EQ(pf_reg_set_value(key, "tab_def", PF_REG_DWORD, &one, 4), 0);

    struct stat st;
    ASSERT_EQ(::stat((dir + "/.values").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(read(dir + "/.values"), "vek-registry 1\nd\ttab_def\t1\n");
    // Only the values file remains: the temporary went through rename.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    open("Software\\Quorvane\\Tessaline", &disposition);
    EXPECT_EQ(disposition, PF_REG_OPENED_EXISTING_KEY);
}

TEST_F(PfRegistry, OddComponentsStayInsideTheStore) {
    pf_hkey key = open("..\\a/b\\.values\\%41");
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(fs::is_directory(root + "/%2E./a%2Fb/%2Evalues/%2541"));

    pf_hkey none = reinterpret_cast<pf_hkey>(1);
    for (const char* bad : {"", "a\\\\b", "\\a", "a\\"}) {
        EXPECT_EQ(pf_reg_create_key(pf_reg_current_user(), bad, &none, nullptr), EINVAL) << bad;
        EXPECT_EQ(none, reinterpret_cast<pf_hkey>(1));
    }
    EXPECT_EQ(pf_reg_create_key(nullptr, "a", &none, nullptr), EBADF);
}

TEST_F(PfRegistry, ValuesRoundTripExactly) {
    const std::string narrow_cases[] = {
        "",
        "plain",
        "tab\there\nline\r\nend",
        "back\\slash \\x41 \\U00000041",
        std::string("\x01\x1f\x7f\xff\xc3", 5),
        "caf\xc3\xa9",
    };
    const std::wstring wide_cases[] = {
        L"",
        L"\u00c4RGER \u00e9 \u2713 \U0001F600",
        L"tab\tnl\n\\x41",
        std::wstring(1, wchar_t(0xD800)) + L"x" + wchar_t(0x110000),
    };
    pf_hkey key = open("Software\\Round");
    for (std::size_t i = 0; i < std::size(narrow_cases); ++i)
        ASSERT_EQ(set_narrow(key, ("n" + std::to_string(i)).c_str(), narrow_cases[i]), 0);
    for (std::size_t i = 0; i < std::size(wide_cases); ++i)
        ASSERT_EQ(set_wide(key, (L"w" + std::to_wstring(i)).c_str(), wide_cases[i]), 0);
    const DWORD words[] = {0, 1, 0xFFFFFFFFu};
    for (std::size_t i = 0; i < std::size(words); ++i)
        ASSERT_EQ(pf_reg_set_value(key, ("d" + std::to_string(i)).c_str(), PF_REG_DWORD, &words[i], 4), 0);

    pf_hkey again = open("Software\\Round");  // reads the file afresh
    for (std::size_t i = 0; i < std::size(narrow_cases); ++i) {
        int rc = -1;
        EXPECT_EQ(narrow(again, ("n" + std::to_string(i)).c_str(), &rc), narrow_cases[i]) << i;
        EXPECT_EQ(rc, 0);
    }
    for (std::size_t i = 0; i < std::size(wide_cases); ++i)
        EXPECT_EQ(wide(again, (L"w" + std::to_wstring(i)).c_str()), wide_cases[i]) << i;
    for (std::size_t i = 0; i < std::size(words); ++i) {
        DWORD type = 0, size = 4, w = 7;
        EXPECT_EQ(pf_reg_query_value(again, ("d" + std::to_string(i)).c_str(), &type, &w, &size), 0);
        EXPECT_EQ(type, PF_REG_DWORD);
        EXPECT_EQ(w, words[i]);
    }
}

TEST_F(PfRegistry, QuerySizesTypesAndMissingValues) {
    pf_hkey key = open("Software\\Sizes");
    ASSERT_EQ(set_narrow(key, "Host", "abc"), 0);
    DWORD type = 0, size = 0;
    EXPECT_EQ(pf_reg_query_value(key, "host", &type, nullptr, &size), 0);  // name ignores case
    EXPECT_EQ(type, PF_REG_SZ);
    EXPECT_EQ(size, 4u);
    char small[2];
    size = sizeof small;
    EXPECT_EQ(pf_reg_query_value(key, "HOST", nullptr, small, &size), ERANGE);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(pf_reg_query_value_w(key, L"host", &type, nullptr, &size), 0);
    EXPECT_EQ(size, 4 * sizeof(wchar_t));

    ASSERT_EQ(set_narrow(key, "HOST", "xy"), 0);  // replaces, keeps the first spelling
    EXPECT_NE(read(root + "/Software/Sizes/.values").find("\tHost\txy\n"), std::string::npos);

    EXPECT_EQ(pf_reg_query_value(key, "absent", &type, nullptr, &size), ENOENT);
    pf_hkey fresh = open("Software\\Empty");
    EXPECT_EQ(pf_reg_query_value(fresh, "any", nullptr, nullptr, &size), ENOENT);
    EXPECT_EQ(pf_reg_query_value(nullptr, "any", nullptr, nullptr, &size), EBADF);

    // A wide text that UTF-8 cannot carry is refused to the narrow reader.
    ASSERT_EQ(set_wide(key, L"odd", std::wstring(1, wchar_t(0xDC00))), 0);
    EXPECT_EQ(pf_reg_query_value(key, "odd", nullptr, nullptr, &size), EILSEQ);
    ASSERT_EQ(set_wide(key, L"wide", L"\u00e9"), 0);
    EXPECT_EQ(narrow(key, "wide"), "\xc3\xa9");

    const DWORD w = 5;
    EXPECT_EQ(pf_reg_set_value(key, "w", PF_REG_DWORD, &w, 2), EINVAL);
    EXPECT_EQ(pf_reg_set_value(key, "w", 3, &w, 4), EINVAL);
}

TEST_F(PfRegistry, DamagedFileIsRefusedThenSetAside) {
    const std::string bad_files[] = {
        "",
        "vek-registry 2\n",
        "vek-registry 1\nd\tx\t1",  // cut short
        "vek-registry 1\ns\tx\tbad\\q\n",
        "vek-registry 1\ns\tx\t\\x4\n",
        "vek-registry 1\nq\tx\t1\n",
        "vek-registry 1\nd\tx\t12a\n",
        "vek-registry 1\nd\tx\t4294967296\n",
        "vek-registry 1\nd\tx\t1\nd\tX\t2\n",  // the same name twice
        "vek-registry 1\ns\tx\ta\rb\n",
        "vek-registry 1\nw\tx\t\xff\n",
        "vek-registry 1\ndx1\n",
        std::string("vek-registry 1\ns\tx\t\0\n", 21),
    };
    pf_hkey key = open("Software\\Damaged");
    const std::string file = root + "/Software/Damaged/.values";
    for (const auto& bad : bad_files) {
        write(file, bad);
        DWORD size = 0;
        EXPECT_EQ(pf_reg_query_value(key, "x", nullptr, nullptr, &size), EBADMSG) << bad;
        pf_reg_values parsed;
        EXPECT_FALSE(pf_reg_values::parse(bad, parsed));
    }
    ASSERT_EQ(set_narrow(key, "y", "new"), 0);
    EXPECT_EQ(narrow(key, "y"), "new");
    EXPECT_EQ(read(file + ".damaged"), bad_files[std::size(bad_files) - 1]);
}

TEST(PfRegistryRoot, FollowsTheEnvironment) {
    std::string dir;
    {
        scoped_env a("VEK_REGISTRY_DIR", "/tmp/explicit");
        ASSERT_TRUE(pf_reg_root_dir(dir));
        EXPECT_EQ(dir, "/tmp/explicit");
    }
    scoped_env a("VEK_REGISTRY_DIR", std::nullopt);
    scoped_env h("HOME", "/home/someone");
    {
        scoped_env x("XDG_CONFIG_HOME", "/cfg");
        ASSERT_TRUE(pf_reg_root_dir(dir));
        EXPECT_EQ(dir, "/cfg/vek/registry");
    }
    scoped_env x("XDG_CONFIG_HOME", "relative");  // not absolute: ignored
    ASSERT_TRUE(pf_reg_root_dir(dir));
    EXPECT_EQ(dir, "/home/someone/.config/vek/registry");
}
