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

// Names that lead to one file by another spelling, a link or a hard link are
// the same; a name that does not exist yet is the same as another spelling of
// the place it would be made at.
TEST(PfPath, SameFile) {
    test_dir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string file = dir.write("list.txt", "t1\n");
    dir.write("other.txt", "t2\n");
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(file.c_str(), dir.file("link.txt").c_str()), 0);
    ASSERT_EQ(::symlink("sub", dir.file("sublink").c_str()), 0);
    ASSERT_EQ(::symlink("sub/new.log", dir.file("dangling.log").c_str()), 0);
    ASSERT_EQ(::link(file.c_str(), dir.file("hard.txt").c_str()), 0);
    std::string cwd;
    ASSERT_TRUE(pf_getcwd(cwd));
    ASSERT_TRUE(pf_chdir(dir.path()));
    struct {
        std::string a, b;
        bool same;
    } cases[] = {
        {file, file, true},
        {file, "list.txt", true},
        {file, "./sub/../list.txt", true},
        {file, dir.path() + "//list.txt", true},
        {file, "link.txt", true},
        {file, "hard.txt", true},
        {file, "other.txt", false},
        {file, "missing.txt", false},
        {"sub/new.log", dir.file("sublink/new.log"), true},
        {"sub/new.log", "dangling.log", true},
        {"sub/new.log", "sub/other.log", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pf_same_file(c.a, c.b), c.same) << c.a << " " << c.b;
        EXPECT_EQ(pf_same_file(c.b, c.a), c.same) << c.b << " " << c.a;
    }
    EXPECT_TRUE(pf_chdir(cwd));
}
