// The model's trace lines, written with a log switched on at the detail level.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tk/tk_log.h"
#include "udb/udb_db.h"
#include "udb/udb_nmap.h"
#include "udb/udb_rec.h"
#include "udb/udb_vali.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::unique_ptr<t_ftd> col(std::uint16_t vt, std::uint32_t size, const wchar_t* name) {
    return std::make_unique<t_ftd>(size, name, vt, false, false, ole_variant(), 0);
}

}  // namespace

TEST(UdbTrace, DetailLinesCarryTheirValues) {
    const std::string path = ::testing::TempDir() + "udb_trace_test.log";
    std::string text;
    {
        tk_log log(path.c_str(), true, 1, false);
        udb_schema empty, one, two_a, two_b;
        one.add(col(3, 4, L"id"));
        EXPECT_FALSE(empty.conform_to(one));
        two_a.add(col(3, 4, L"id"));
        two_a.add(col(65, 9, L"b\u00e9"));
        two_b.add(col(3, 4, L"id"));
        two_b.add(col(8, 0, L"t"));
        EXPECT_FALSE(two_a.conform_to(two_b));
        EXPECT_TRUE(two_a.find_field(L"B\u00c9"));

        udb_validator v(30);
        v.add_existing_name(L"Orders");
        v.add_illegal_char(L'-');
        EXPECT_TRUE(v.is_duplicated(L"ORDERS"));  // the walk, with its lines
        EXPECT_FALSE(v.is_acceptable(L"a-b"));
        EXPECT_EQ(v.get_safe_name(L"orders"), L"orders00000");

        udb_record row(1);
        row.emplace(two_a[1]->name, 9u, ole_variant(1), false, false);
        EXPECT_EQ(udb_names_map::do_global_replace2(L"x T1", {{L"t1", L"t9"}}, L"", L""), L"x t9");
        text = slurp(path);
    }
    for (const char* line : {
             "Tables are not conformed: src_size=0, dest_size=1\r\n",
             "Column #2 doesn't conform (src_vt=65, src_size=9, dest_vt=8, dest_size=0)\r\n",
             "\tfield name='b\xc3\xa9', vartype=65, size=9, b_not_null=0, reserved=0\r\n",
             "udb_schema::find_field(B\xc3\x89)\r\nProcessing id\r\nProcessing b\xc3\xa9\r\n",
             "udb_validator::is_duplicated(ORDERS)\r\nProcessing Orders\r\n",
             "The name contains illegal: -\r\n",
             "name=b\xc3\xa9, size=9\r\n",
             "Testing pair ('t1','t9')\r\n't1' was found at pos=2\r\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line;
}
