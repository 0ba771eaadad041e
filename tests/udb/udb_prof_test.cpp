#include "udb/udb_prof.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_dir.h"
#include "tk/tk_exc.h"

namespace {

using kind = udb_profile_fault::kind;
using part = udb_profile_fault::part;

const std::wstring missing_text = L"Profile does not exist. Please verify the correct path/name was given.";

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }

    std::string path(const std::string& name = "p.vek") const { return tmp_.file(name); }
    static std::wstring w(const std::string& s) { return std::wstring(s.begin(), s.end()); }

    void write(const std::string& name, const std::string& bytes) const { tmp_.write(name, bytes); }
    std::string read(const std::string& name = "p.vek") const { return test_dir::read(path(name)); }
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        DIR* d = ::opendir(dir_.c_str());
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") out.push_back(n);
        }
        ::closedir(d);
        return out;
    }

    test_dir tmp_{"udb_prof"};
    std::string dir_ = tmp_.path();
};

// ---- model --------------------------------------------------------------

TEST(ProfileModel, NewProfileHoldsThreeEmptySectionsAndFirstValueStays) {
    udb_profile p;
    ASSERT_EQ(p.sections().size(), 3u);
    for (const auto& [name, keys] : p.sections()) EXPECT_TRUE(keys.empty());
    EXPECT_TRUE(p.get_available_queries().empty());
    EXPECT_TRUE(p.get_selected_tables().empty());

    p.set_value(L"Selected Tables", L"t1", L"");
    p.set_value(L"Selected Tables", L"t1", L"SELECT 1");
    p.set_value(L"MySQL settings", L"host", L"h");
    p.add_section(L"MySQL settings");  // keeps its keys
    EXPECT_EQ(p.get_selected_tables().at(L"t1"), L"");
    EXPECT_EQ(p.get_value(L"MySQL settings", L"host"), L"h");
    EXPECT_EQ(p.get_value(L"MySQL settings", L"port"), L"");
    EXPECT_EQ(p.get_value(L"nowhere", L"host"), L"");
    EXPECT_EQ(p.sections().size(), 4u);
}

TEST(ProfileModel, OrderIsUtf16CodeUnitOrder) {
    struct Case {
        std::wstring lo, hi;
    } cases[] = {
        {L"B", L"a"},                       // upper case before lower case
        {L"Selected", L"Selected Tables"},  // prefix first
        {L"\uD7FF", L"\U00010000"},         // BMP below the surrogates first
        {L"\U00010000", L"\uE000"},         // surrogate pair before U+E000
        {L"\U0010FFFF", L"\uFFFF"},
        {L"pgs settings", L"\u00e9"},
    };
    udb_utf16_less less;
    for (const auto& c : cases) {
        EXPECT_TRUE(less(c.lo, c.hi));
        EXPECT_FALSE(less(c.hi, c.lo));
    }
}

// ---- file format --------------------------------------------------------

TEST_F(ProfileFile, NewProfileWritesThreeHeadersOnly) {
    udb_profile p;
    ASSERT_TRUE(p.store(w(path())));
    EXPECT_EQ(read(), "[Available Queries]\r\n\r\n[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n");
}

TEST_F(ProfileFile, FullProfileLayout) {
    udb_profile p;
    p.set_value(L"pgs settings", L"host", L"pg");
    p.set_value(L"MySQL settings", L"user", L"r\u00f6ot");
    p.set_value(L"Selected Tables", L"orders", L"");
    p.set_value(L"Selected Tables", L"Big", L"SELECT * FROM b");
    p.set_value(L"Selected Tables", L"", L"");
    p.set_value(L"Generic settings", L"logfile", L"");
    p.set_value(L"Generic settings", L"mode", L"3");
    p.set_value(L"Available Queries", L"Big", L"SELECT * FROM b");
    ASSERT_TRUE(p.store(w(path())));
    EXPECT_EQ(read(), "[Available Queries]\r\nBig=SELECT * FROM b\r\n\r\n"
                      "[Generic settings]\r\nlogfile=\r\nmode=3\r\n\r\n"
                      "[MySQL settings]\r\nuser=r\xC3\xB6ot\r\n\r\n"
                      "[Selected Tables]\r\n=\r\nBig=SELECT * FROM b\r\norders\r\n\r\n"
                      "[pgs settings]\r\nhost=pg\r\n\r\n");
}

struct LoadCase {
    const char* name;
    std::string bytes;
    bool result;
    // Expected (section, key, value) triples; "-" as value: key must be absent.
    std::vector<std::tuple<std::wstring, std::wstring, std::wstring>> expect;
    std::size_t sections;  // 0: do not check
};

TEST_F(ProfileFile, LoadCases) {
    const std::string long_value(100000, 'x');
    const LoadCase cases[] = {
        {"key line first", "k=v\r\n[Generic settings]\r\nsrc=a\r\n", false, {{L"Generic settings", L"src", L"-"}}, 3},
        {"empty file", "", false, {}, 3},
        {"only blank lines", "\r\n   \r\n\r\n", false, {}, 3},
        {"merge and first wins",
         "[s]\r\nk=1\r\n[t]\r\n[s]\r\nk=2\r\nj=3\r\n",
         true,
         {{L"s", L"k", L"1"}, {L"s", L"j", L"3"}},
         5},
        {"blanks around header", "  [x]  \r\nk=v\r\n", true, {{L"x", L"k", L"v"}}, 4},
        {"split at first equals", "[s]\r\n key = v = w  \r\n", true, {{L"s", L"key", L" v = w"}}, 4},
        {"bare key", "[Selected Tables]\r\norders\r\n", true, {{L"Selected Tables", L"orders", L""}}, 3},
        {"bare key first wins",
         "[Selected Tables]\r\norders\r\norders=SELECT 1\r\nq=1\r\nq\r\n",
         true,
         {{L"Selected Tables", L"orders", L""}, {L"Selected Tables", L"q", L"1"}},
         3},
        {"brackets inside name", "[a]b]\r\n[]\r\nk=v\r\n", true, {{L"", L"k", L"v"}}, 5},
        {"tabs stay", "[s]\r\n\tk=v\t\r\n", true, {{L"s", L"\tk", L"v\t"}}, 4},
        {"LF only", "[s]\nk=v\nj=w\n", true, {{L"s", L"k", L"v"}, {L"s", L"j", L"w"}}, 4},
        {"no line end at the end", "[s]\r\nk=v", true, {{L"s", L"k", L"v"}}, 4},
        {"truncated mid-line", "[s]\r\nk=va", true, {{L"s", L"k", L"va"}}, 4},
        {"BOM skipped", "\xEF\xBB\xBF[s]\r\nk=v\r\n", true, {{L"s", L"k", L"v"}}, 4},
        {"second BOM is text", "\xEF\xBB\xBF\xEF\xBB\xBF[s]\r\nk=v\r\n", false, {}, 3},
        {"BOM only at the start", "[s]\r\n\xEF\xBB\xBFk=v\r\n", true, {{L"s", L"\uFEFFk", L"v"}}, 4},
        {"CR only is one line", "[s]\rk=v\r", false, {}, 3},
        {"100 KB line",
         "[s]\r\nq=" + long_value + "\r\nk=v\r\n",
         true,
         {{L"s", L"q", std::wstring(long_value.begin(), long_value.end())}, {L"s", L"k", L"v"}},
         4},
        {"UTF-8 text", "[s]\r\nu=\xC3\xA9\xF0\x9F\x98\x80\r\n", true, {{L"s", L"u", L"\u00e9\U0001F600"}}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write("p.vek", c.bytes);
        udb_profile p;
        EXPECT_EQ(p.load(w(path())), c.result);
        for (const auto& [sec, key, value] : c.expect) {
            if (value == L"-") {
                EXPECT_EQ(p.sections().at(sec).count(key), 0u);
            } else {
                ASSERT_TRUE(p.sections().count(sec));
                ASSERT_TRUE(p.sections().at(sec).count(key));
                EXPECT_EQ(p.sections().at(sec).at(key), value);
            }
        }
        if (c.sections) {
            EXPECT_EQ(p.sections().size(), c.sections);
        }
    }
}

TEST_F(ProfileFile, LoadKeepsValuesAlreadyHeld) {
    write("p.vek", "[Generic settings]\r\nsrc=file\r\ndest=file\r\n");
    udb_profile p;
    p.set_value(L"Generic settings", L"src", L"mine");
    ASSERT_TRUE(p.load(w(path())));
    EXPECT_EQ(p.get_value(L"Generic settings", L"src"), L"mine");
    EXPECT_EQ(p.get_value(L"Generic settings", L"dest"), L"file");
}

TEST_F(ProfileFile, MissingFileOrDirectoryThrowsTheLevelOneText) {
    ::mkdir(path("folder.vek").c_str(), 0700);
    for (const std::string name : {"none.vek", "folder.vek"}) {
        SCOPED_TRACE(name);
        udb_profile p;
        try {
            p.load(w(path(name)));
            ADD_FAILURE() << "no exception";
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 1);
            EXPECT_EQ(std::string(e.what()), std::string(missing_text.begin(), missing_text.end()));
        }
    }
}

TEST_F(ProfileFile, UnreadableFile) {
    if (::geteuid() != 0) {
        write("p.vek", "[s]\r\n");
        ::chmod(path().c_str(), 0);
        udb_profile p;
        EXPECT_THROW(p.load(w(path())), tk_exception);
    }
    // Opens, but every read fails: reading stops early.
    udb_profile p;
    EXPECT_FALSE(p.load(L"/proc/self/mem"));
    EXPECT_EQ(p, udb_profile());
}

TEST_F(ProfileFile, BinaryGarbageIsAConversionError) {
    std::string garbage = "[s]\r\nk=v\r\n";
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 167 + 13) & 0xFF);
    write("p.vek", garbage);
    udb_profile p;
    try {
        p.load(w(path()));
        ADD_FAILURE() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(std::string(e.what()).rfind("Cannot convert to UNICODE string: ", 0), 0u);
    }
    EXPECT_EQ(p.get_value(L"s", L"k"), L"v");  // read before the bad line
}

// ---- round trips and refusals -------------------------------------------

TEST_F(ProfileFile, StoredProfileLoadsBackEqual) {
    udb_profile p;
    p.set_value(L"Available Queries", L"q", L"  SELECT a, b FROM t WHERE x = 'y'");
    p.set_value(L"Available Queries", L"[x]", L"value after a header-like key");
    p.set_value(L"Selected Tables", L"orders", L"");
    p.set_value(L"Selected Tables", L"", L"");
    p.set_value(L"Selected Tables", L"x]", L"");
    p.set_value(L"Selected Tables", L"[x", L"");
    p.set_value(L"Selected Tables", L"q", L"SELECT 1");
    p.set_value(L"Generic settings", L"logfile", L"");
    p.set_value(L"Generic settings", L"tabs", L"\ta\t");
    p.set_value(L"Generic settings", L"", L" leading");
    p.set_value(L"MySQL settings", L"password", L"p\u00e4ss=w\u00f6rd\U0001F511");
    p.set_value(L"MySQL settings", L"long", std::wstring(100000, L'q'));
    p.set_value(L"\u00fcml]aut [x]", L"k", L"v");
    p.add_section(L"");
    p.add_section(L"empty");
    ASSERT_TRUE(p.store(w(path())));
    EXPECT_EQ(p.fault().what, kind::none);

    udb_profile back;
    ASSERT_TRUE(back.load(w(path())));
    EXPECT_EQ(back, p);
    // And a second save of the loaded copy gives the same bytes.
    const std::string first = read();
    ASSERT_TRUE(back.store(w(path("q.vek"))));
    EXPECT_EQ(read("q.vek"), first);
}

TEST_F(ProfileFile, StoreRefusesItemsThatWouldChangeAndWritesNothing) {
    struct Case {
        std::wstring section, key, value;
        kind what;
        part item;
    } cases[] = {
        {L"Available Queries", L"q", L"SELECT *\nFROM t", kind::line_break, part::value},
        {L"Available Queries", L"q", L"SELECT *\r\nFROM t", kind::line_break, part::value},
        {L"Available Queries", L"q", L"SELECT 1\r", kind::line_break, part::value},
        {L"Selected Tables", L"a\nb", L"", kind::line_break, part::key},
        {L"odd\nsection", L"k", L"v", kind::line_break, part::section_name},
        {L"Generic settings", L"a=b", L"v", kind::equals_in_key, part::key},
        {L"Selected Tables", L"a=b", L"", kind::equals_in_key, part::key},
        {L"Selected Tables", L"[x]", L"", kind::header_shaped, part::key},
        {L"Selected Tables", L"[]", L"", kind::header_shaped, part::key},
        {L"Generic settings", L"[x", L"]", kind::header_shaped, part::key},
        {L"Generic settings", L" src", L"v", kind::edge_blanks, part::key},
        {L"Selected Tables", L"orders ", L"", kind::edge_blanks, part::key},
        {L"MySQL settings", L"password", L"secret ", kind::edge_blanks, part::value},
        {L"Generic settings", L"src", std::wstring(L"a\0b", 3), kind::nul_character, part::value},
        {L"Generic settings", L"src", L"bad \xD800 surrogate", kind::unconvertible, part::value},
    };
    write("p.vek", "old contents\r\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.what) << " case");
        udb_profile p;
        p.set_value(L"Generic settings", L"mode", L"1");
        p.set_value(c.section, c.key, c.value);
        EXPECT_FALSE(p.store(w(path())));
        EXPECT_EQ(p.fault().what, c.what);
        EXPECT_EQ(p.fault().item, c.item);
        EXPECT_EQ(p.fault().section, c.section);
        EXPECT_EQ(p.fault().key, c.item == part::section_name ? L"" : c.key);
        EXPECT_FALSE(p.store(w(path("new.vek"))));
    }
    EXPECT_EQ(read(), "old contents\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"p.vek"});
}

TEST(ProfileFaultText, NamesTheItemAndWhy) {
    using fault = udb_profile_fault;
    const struct {
        fault f;
        const wchar_t* text;
    } cases[] = {
        {{kind::line_break, part::value, L"Available Queries", L"q", 0},
         L"Profile cannot be saved: the value of 'q' in section 'Available Queries' holds a line break."},
        {{kind::header_shaped, part::key, L"Selected Tables", L"[x]", 0},
         L"Profile cannot be saved: the name '[x]' in section 'Selected Tables' would read back as a section "
         L"header."},
        {{kind::nul_character, part::section_name, L"odd", L"", 0},
         L"Profile cannot be saved: the section name 'odd' holds a NUL character."},
        {{kind::io_error, part::path, L"", L"", ENOENT},
         L"Profile cannot be saved: the file cannot be written (No such file or directory)."},
        {{kind::bad_path, part::path, L"", L"", 0}, L"Profile cannot be saved: the file name has no UTF-8 form."},
    };
    for (const auto& c : cases) EXPECT_EQ(udb_profile_fault_text(c.f), c.text);
}

// ---- saving safely ------------------------------------------------------

TEST_F(ProfileFile, SaveReplacesWholeFileAndKeepsPermissions) {
    udb_profile p;
    ASSERT_TRUE(p.store(w(path())));
    struct stat st {};
    ASSERT_EQ(::stat(path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    write("old.vek", std::string(50000, 'z'));
    ::chmod(path("old.vek").c_str(), 0640);
    ASSERT_TRUE(p.store(w(path("old.vek"))));
    EXPECT_EQ(read("old.vek"), read());
    ASSERT_EQ(::stat(path("old.vek").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Through a symbolic link: the link stays, its target is replaced.
    ASSERT_EQ(::symlink("old.vek", path("link.vek").c_str()), 0);
    p.set_value(L"Generic settings", L"src", L"db");
    ASSERT_TRUE(p.store(w(path("link.vek"))));
    ASSERT_EQ(::lstat(path("link.vek").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(read("old.vek").find("src=db\r\n"), std::string::npos);

    auto names = entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"link.vek", "old.vek", "p.vek"}));
}

TEST_F(ProfileFile, SaveFailuresReportAndLeaveTheOldFile) {
    udb_profile p;
    ::mkdir(path("folder.vek").c_str(), 0700);
    write("folder.vek/inside", "keep");
    EXPECT_FALSE(p.store(w(path("folder.vek"))));
    EXPECT_EQ(p.fault().what, kind::io_error);
    EXPECT_EQ(read("folder.vek/inside"), "keep");

    EXPECT_FALSE(p.store(w(path("no/such/dir.vek"))));
    EXPECT_EQ(p.fault().what, kind::io_error);
    EXPECT_EQ(p.fault().sys_error, ENOENT);

    EXPECT_FALSE(p.store(L""));
    EXPECT_EQ(p.fault().what, kind::bad_path);

    if (::geteuid() != 0) {
        write("p.vek", "old");
        ::chmod(dir_.c_str(), 0500);
        EXPECT_FALSE(p.store(w(path())));
        ::chmod(dir_.c_str(), 0700);
        EXPECT_EQ(read(), "old");
    }
    for (const auto& n : entries()) EXPECT_EQ(n.find(".tmp-"), std::string::npos) << n;
}

}  // namespace
