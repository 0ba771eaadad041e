#include "platform/pf_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/test_dir.h"

TEST(PfPath, Split) {
    struct {
        const char* path;
        const char* dir;
        const char* name;
        const char* ext;
    } cases[] = {
        {"/a/b/c.txt", "/a/b/", "c", ".txt"},
        {"/a/b.d/c", "/a/b.d/", "c", ""},
        {"/a/c.tar.gz", "/a/", "c.tar", ".gz"},
        {"/a/", "/a/", "", ""},
        {"c.log", "", "c", ".log"},
    };
    for (const auto& c : cases) {
        pf_path_parts p = pf_split_path(c.path);
        EXPECT_EQ(p.drive, "") << c.path;
        EXPECT_EQ(p.dir, c.dir) << c.path;
        EXPECT_EQ(p.name, c.name) << c.path;
        EXPECT_EQ(p.ext, c.ext) << c.path;
        EXPECT_EQ(pf_join_path(p), c.path);
    }
}

TEST(PfPath, FullPathNormalises) {
    std::string out, cwd;
    ASSERT_TRUE(pf_getcwd(cwd));
    ASSERT_TRUE(pf_full_path("x.log", out));
    EXPECT_EQ(out, (cwd == "/" ? "" : cwd) + "/x.log");
    ASSERT_TRUE(pf_full_path("/a/./b//../c", out));
    EXPECT_EQ(out, "/a/c");
    ASSERT_TRUE(pf_full_path("/..", out));
    EXPECT_EQ(out, "/");
    EXPECT_FALSE(pf_full_path("/" + std::string(pf_max_path + 1, 'x'), out));
}

TEST(PfPath, ModulePathIsThisProgram) {
    std::string p;
    ASSERT_TRUE(pf_module_path(p));
    EXPECT_EQ(p.front(), '/');
    EXPECT_NE(p.find("platform_tests"), std::string::npos);
}

TEST(PfPath, FileTests) {
    const test_dir tmp("pf_path");
    const std::string dir = tmp.path();
    ASSERT_FALSE(dir.empty());
    std::string file = tmp.file("f");
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    EXPECT_TRUE(pf_file_openable(file, false));
    EXPECT_TRUE(pf_file_openable(file, true));
    chmod(file.c_str(), 0444);  // root could still write: the mode bits decide
    EXPECT_TRUE(pf_file_openable(file, false));
    EXPECT_FALSE(pf_file_openable(file, true));
    EXPECT_FALSE(pf_file_openable(dir, false));  // a directory is not a file
    EXPECT_FALSE(pf_file_openable(file + ".missing", false));

    EXPECT_TRUE(pf_dir_exists(dir));
    EXPECT_FALSE(pf_dir_exists(file));
    EXPECT_FALSE(pf_dir_exists(std::string(dir) + "/none"));
}
