#include "udb/udb_nmap.h"

#include <gtest/gtest.h>

TEST(UdbNamesMap, GlobalReplaceWholeWordsIgnoringCase) {
    struct Case {
        udb_name_pairs map;
        std::wstring prefix, suffix, text, want;
    } cases[] = {
        {{{L"t1", L"t9"}}, L"", L"", L"select * from T1, t10 where t1.a=1", L"select * from t9, t10 where t9.a=1"},
        // overlapping pairs apply in map order, each to the previous result
        {{{L"a", L"b"}, {L"b", L"c"}}, L"", L"", L"a", L"c"},
        {{{L"t", L"x"}},
         L"\"",
         L"\"",
         L"t _t t_ 't' (t) t.t tt",
         L"\"x\" _\"x\" \"x\"_ '\"x\"' (\"x\") \"x\".\"x\" tt"},
        // the replacement holds the old name: the search goes on after it
        {{{L"t", L"t_t"}}, L"", L"", L"t t", L"t_t t_t"},
        {{{L"ab", L"z"}}, L"", L"", L"xab abx ab", L"xab abx z"},
        // letters of any script are word characters
        {{{L"t", L"x"}}, L"", L"", L"\u00e9t t\u00e9 t", L"\u00e9t t\u00e9 x"},
        {{{L"a", L"b"}}, L"", L"", L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(udb_names_map::do_global_replace2(c.text, c.map, c.prefix, c.suffix), c.want)
            << testing::PrintToString(c.text);
}

TEST(UdbNamesMap, EmptyOldNameIsSkipped) {
    // Would match at every position without moving the search on.
    const udb_name_pairs map{{L"", L"x"}, {L"a", L"b"}};
    EXPECT_EQ(udb_names_map::do_global_replace2(L"a c", map, L"", L""), L"b c");
    EXPECT_EQ(udb_names_map::do_global_replace2(L"", map, L"[", L"]"), L"");
}

TEST(UdbNamesMap, GlobalReplace1TablesThenEveryColumnMap) {
    udb_names_map m;
    m.add_tn_mapping(L"order", L"order_00000");
    m.add_fn_map(L"t1", {{L"from", L"from_"}});
    m.add_fn_map(L"t2", {{L"x y", L"x_y"}});
    EXPECT_EQ(m.do_global_replace1(L"select from, a from order join t3 on t3.from = 1", L"", L""),
              L"select from_, a from_ order_00000 join t3 on t3.from_ = 1");
}

TEST(UdbNamesMap, FirstPairsStay) {
    udb_names_map m;
    m.add_tn_mapping(L"a", L"first");
    m.add_tn_mapping(L"a", L"second");
    m.add_fn_map(L"t", {{L"c", L"c1"}});
    m.add_fn_map(L"t", {{L"c", L"c2"}});
    EXPECT_EQ(m.get_tn_mapped_name(L"a", true), L"first");
    EXPECT_EQ(m.get_fn_mapped_name(L"t", L"c", true), L"c1");
}

TEST(UdbNamesMap, LookupsByCaseFlag) {
    udb_names_map m;
    m.add_tn_mapping(L"Orders", L"orders_x");
    m.add_tn_mapping(L"ORDERS", L"orders_y");
    m.add_fn_map(L"Orders", {{L"Id", L"id_1"}});
    struct Case {
        std::wstring table, column;
        bool cs;
        std::wstring want_t, want_c;
    } cases[] = {
        // "ORDERS" < "Orders" in code-unit order: the first match ignoring case
        {L"orders", L"id", false, L"orders_y", L"id"},
        {L"Orders", L"id", false, L"orders_y", L"id_1"},
        {L"Orders", L"id", true, L"orders_x", L"id"},
        {L"Orders", L"Id", true, L"orders_x", L"id_1"},
        // the column map is found by its exact table name, even ignoring case
        {L"ORDERS", L"Id", false, L"orders_y", L"Id"},
        {L"none", L"c", false, L"none", L"c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m.get_tn_mapped_name(c.table, c.cs), c.want_t) << testing::PrintToString(c.table);
        EXPECT_EQ(m.get_fn_mapped_name(c.table, c.column, c.cs), c.want_c)
            << testing::PrintToString(c.table) << testing::PrintToString(c.column);
    }
}

TEST(TNamesMap, AddKeepsFirstAndLooksUpByFlag) {
    t_names_map m;
    m.add(L"Col", L"c1");
    m.add(L"Col", L"c2");
    EXPECT_EQ(m.get_mapped_name(L"Col", true), L"c1");
    EXPECT_EQ(m.get_mapped_name(L"COL", true), L"COL");
    EXPECT_EQ(m.get_mapped_name(L"COL", false), L"c1");
}

TEST(UdbStartsWith, Cases) {
    struct Case {
        const wchar_t* text;
        const wchar_t* prefix;
        bool cs;
        bool want;
    } cases[] = {
        {L"anything", L"", true, true},        {L"", L"", false, true},
        {L"ab", L"abc", false, false},         {L"Select x", L"SELECT", false, true},
        {L"Select x", L"SELECT", true, false}, {L"Select x", L"Select", true, true},
        {L"Sel", L"Sex", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(udb_starts_with(c.text, c.prefix, c.cs), c.want) << testing::PrintToString(std::wstring(c.text));
}
