#include "sql/sql_view.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/test_dir.h"
#include "tk/tk_log.h"
#include "udb/udb_nmap.h"

namespace {

struct text_case {
    const wchar_t* in;
    const wchar_t* out;
};

std::wstring ansi(const std::wstring& text) { return sql_view_converter(text).convert_to_ansi(); }

TEST(SqlViewConverter, SkeletonDropsDoubleQuotedAndBackquotedText) {
    const text_case cases[] = {
        {L"select `a`.`x` from `t` where \"w\" = 'lit'", L"select . from  where  = 'lit'"},
        {L"`a\"b`c", L""},        // a double quote inside backquotes still toggles
        {L"\"a`b\"c", L"c"},      // a backquote inside double quotes does not
        {L"x `unclosed", L"x "},  // an open quote swallows the rest
        {L"", L""},
        {L"`", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(sql_view_converter(c.in).skeleton(), c.out) << c.in;
}

TEST(SqlViewConverter, ConvertToAnsiRewrites) {
    const text_case cases[] = {
        // comma join: cross join, trailing ORDER BY dropped
        {L"select `a`.`x` AS `x` from (`a` join `b`) where (`a`.`id` = `b`.`id`) order by `a`.`x`",
         L"select `a`.`x` AS `x` from (`a` cross join `b`) where (`a`.`id` = `b`.`id`)"},
        {L"select a from t ORDER BY a desc", L"select a from t"},
        {L"select a from t Order By a", L"select a from t"},
        // ORDER BY only as blank, order, blank, by, blank
        {L"select a from t\norder by a", L"select a from t\norder by a"},
        {L"select a from t order  by a", L"select a from t order  by a"},
        // join without where keeps its joins; a where only in quotes counts as none
        {L"select * from (`a` join `b` on(`a`.`id` = `b`.`id`))",
         L"select * from (`a` join `b` on(`a`.`id` = `b`.`id`))"},
        {L"select `where` from (`a` join `b`)", L"select `where` from (`a` join `b`)"},
        {L"select \"where\" from (`a` join `b`)", L"select \"where\" from (`a` join `b`)"},
        {L"select 1 from (a JOIN b) WHERE 1", L"select 1 from (a cross join b) WHERE 1"},
        {L"select 1 from ((a join b) join c) where 1", L"select 1 from ((a cross join b) cross join c) where 1"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(ansi(c.in), c.out) << c.in;
}

// The rewrites touch SQL code only: literals and quoted names keep every
// character, keywords match as whole words, typed joins stay valid.
TEST(SqlViewConverter, ConvertToAnsiLeavesDataAndNamesAlone) {
    const text_case cases[] = {
        {L"select 'join me' AS `j` from (a join b) where 1", L"select 'join me' AS `j` from (a cross join b) where 1"},
        {L"select `joined_at`, `x join y` from (a join b) where 1",
         L"select `joined_at`, `x join y` from (a cross join b) where 1"},
        {L"select joined_at, rejoin from (a join b) where 1",
         L"select joined_at, rejoin from (a cross join b) where 1"},
        {L"select 1 from (a left join b on(a.i = b.i)) join c where 1",
         L"select 1 from (a left join b on(a.i = b.i)) cross join c where 1"},
        {L"select 1 from a inner join b natural join c cross join d straight_join e where 1",
         L"select 1 from a inner join b natural join c cross join d straight_join e where 1"},
        {L"select 'it\\'s join' from (a join b) where 1", L"select 'it\\'s join' from (a cross join b) where 1"},
        {L"select 'a''join' from (a join b) where 1", L"select 'a''join' from (a cross join b) where 1"},
        // ORDER BY in a literal, a name, a call or a subquery is not the view's ORDER BY
        {L"select 'x order by y' AS `a` from t", L"select 'x order by y' AS `a` from t"},
        {L"select `x order by y` from t order by 1", L"select `x order by y` from t"},
        {L"select group_concat(`a` order by `b` ASC separator ',') AS `g` from `t`",
         L"select group_concat(`a` order by `b` ASC separator ',') AS `g` from `t`"},
        {L"select * from t where a in (select b from u order by b) order by a",
         L"select * from t where a in (select b from u order by b)"},
        // with a LIMIT the ORDER BY decides which rows the view holds
        {L"select a from t order by a desc limit 10", L"select a from t order by a desc limit 10"},
        {L"select a from t order by a LIMIT 5,10", L"select a from t order by a LIMIT 5,10"},
        {L"select a from t order by (select max(x) from u limit 1)", L"select a from t"},
    };
    for (const auto& c : cases) EXPECT_EQ(ansi(c.in), c.out) << c.in;
}

TEST(SqlViewConverter, CheckIsnullForReplace) {
    struct isnull_case {
        const wchar_t* text;
        std::ptrdiff_t pos;
        bool expected;
    };
    const isnull_case cases[] = {
        {L"isnull(a, b)", 0, true},
        {L"isnull(f(x), y)", 0, true},
        {L"select ISNULL (a,0) from t", 7, true},
        {L"isnull(a)", 0, false},
        {L"isnull(a, b, c)", 0, false},
        {L"isnull(a, f(b, c))", 0, true},  // the inner comma belongs to f
        {L"isnull(a, 'x,y')", 0, true},    // so does a comma in a literal
        {L"isnull(a, ')')", 0, true},      // the literal's ")" closes nothing
        {L"isnull(a, b", 0, false},        // never closes
        {L"isnull", 0, false},
        {L"isnull(", 0, false},
        {L"", 0, false},
        {L"isnull(a, b)", -1, false},
        {L"isnull(a, b)", 12, false},
        {L"isnull(a, b)", 100, false},
        {L"select isnull from t where f(a, b)", 7, false},  // a column, not a call
        {L"my_isnull(a, b)", 3, false},
        {L"isnullx(a, b)", 0, false},
        {L"select 'isnull(a, b)'", 8, false},
        {L"select `isnull(a, b)`", 8, false},
        {L"select foo(a, b)", 7, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sql_view_converter::check_isnull_for_replace(c.text, c.pos), c.expected)
            << testing::PrintToString(std::wstring(c.text)) << " at " << c.pos;
}

TEST(SqlViewConverter, CollapseBlanks) {
    const text_case cases[] = {
        {L"a  \r\n  b", L"a b"},
        {L"  x\t", L" x "},
        {L"'x    y'  z", L"'x    y' z"},
        {L"\"x  \n y\"  z", L"\"x  \n y\" z"},
        {L"\"it's  ok\"  z", L"\"it's  ok\" z"},  // a single quote inside double quotes
        {L"`my  col`  z", L"`my  col` z"},        // a quoted name keeps its blanks
        {L"'a\\'  b'  c", L"'a\\'  b' c"},        // an escaped quote does not close
        {L"'unclosed  x", L"'unclosed  x"},
        {L"'\\", L"'\\"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(sql_view_converter::collapse_blanks(c.in), c.out) << c.in;
}

TEST(SqlRefineViewOut, RemovesCommentAndDatabaseQualifiers) {
    struct refine_case {
        const wchar_t* db;
        const wchar_t* in;
        const wchar_t* out;
    };
    const refine_case cases[] = {
        {L"shop", L"/* x */select `shop`.`t`.`a` AS `a` from `SHOP`.`t`", L"select `t`.`a` AS `a` from `t`"},
        {L"shop", L"select a */ from t", L"select a */ from t"},
        {L"shop", L"select a */ from t /* c */", L"select a */ from t "},
        {L"shop", L"select 1 /* open", L"select 1 /* open"},
        {L"shop", L"/*/select 1", L"/*/select 1"},
        {L"shop", L"select '/* not */ a comment' /* c */", L"select '/* not */ a comment' "},
        {L"shop", L"select /*!50001 a */ from t", L"select /*!50001 a */ from t"},
        // a table named like the database keeps its own qualifier
        {L"shop", L"select `shop`.`shop`.`a` AS `a` from `shop`.`shop`", L"select `shop`.`a` AS `a` from `shop`"},
        // the prefix inside a literal or inside another name is data
        {L"shop", L"select 'see `shop`.`t`' AS `a` from `shop`.`t`", L"select 'see `shop`.`t`' AS `a` from `t`"},
        {L"shop", L"select `myshop`.`a`, `x``shop`.`b` from `shop`.`t`",
         L"select `myshop`.`a`, `x``shop`.`b` from `t`"},
        {L"my`db", L"select `my``db`.`t`.`a` from `my``db`.`t`", L"select `t`.`a` from `t`"},
        {L"café", L"select * from `CAFÉ`.`t`", L"select * from `t`"},
        {L"shop", L"`shop`.", L""},
        {L"shop", L"`", L"`"},
        {L"shop", L"", L""},
        // the converter runs last
        {L"shop",
         L"select `shop`.`a`.`x` AS `x` from (`shop`.`a` join `shop`.`b`) where (`shop`.`a`.`id` = 1) order by `shop`.`a`.`x`",
         L"select `a`.`x` AS `x` from (`a` cross join `b`) where (`a`.`id` = 1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(sql_refine_view_out(c.db, c.in), c.out) << c.in;
}

TEST(SqlViewConverter, TraceLines) {
    test_dir dir;
    const std::string path = dir.file("trace.log");
    {
        tk_log log{path.c_str(), true, 1, false};
        sql_refine_view_out(L"shop", L"select `shop`.`t`.`a` from `t` order by `a`");
    }
    const std::string trace = test_dir::read(path);
    for (const char* line :
         {"sql_database::refine_view_out(select `shop`.`t`.`a` from `t` order by `a`)",
          "Remove template found at pos=7", "sql_view_converter::ctor(select `t`.`a` from `t` order by `a`)",
          "Skeleton=select . from  order by ", "sql_view_converter::convert_to_ansi",
          "'ORDER BY' is found in view, length=13", "After removing 'ORDER BY':\nselect `t`.`a` from `t`"})
        EXPECT_NE(trace.find(line), std::string::npos) << line << "\n" << trace;
}

// Odd input of every shape: no read past the text, no endless loop, and the
// code-only rewrites never change the quoted stretches' count of characters.
TEST(SqlViewConverter, SurvivesArbitraryText) {
    const wchar_t alphabet[] = L" \t\r\n()`'\"\\,./*!joinJOINwhereWHEREorderbyBYlimitisnull_$é";
    std::mt19937 rng(12345);
    std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 2);
    std::uniform_int_distribution<size_t> length(0, 40);
    for (int n = 0; n < 20000; ++n) {
        std::wstring text;
        const size_t len = length(rng);
        for (size_t i = 0; i < len; ++i) text += alphabet[pick(rng)];
        const std::wstring out = sql_refine_view_out(L"or", text);
        EXPECT_LE(out.size(), text.size() * 4 + 1);
        sql_view_converter::collapse_blanks(text);
        for (std::ptrdiff_t p = -1; p <= static_cast<std::ptrdiff_t>(text.size()); ++p)
            sql_view_converter::check_isnull_for_replace(text, p);
    }
}

TEST(SqlRefineViewIn, PortableTextBecomesMySqlTextOutsideQuotesOnly) {
    udb_names_map names;
    names.add_tn_mapping(L"t1", L"t9");
    names.add_fn_map(L"t9", {{L"a b", L"a_b"}, {L"old", L"new"}});
    const text_case cases[] = {
        // blanks collapsed, brackets to backquotes, two-argument isnull to ifnull
        {L"select  isnull(a,0)\r\nfrom [t]", L"select ifnull(a,0) from `t`"},
        {L"select isnull(a) from t", L"select isnull(a) from t"},
        // nothing inside quotes changes: brackets, names, isnull, blanks
        {L"select '[x]  isnull(a,0) t1' from t", L"select '[x]  isnull(a,0) t1' from t"},
        {L"select \"[t1]\" from t", L"select \"[t1]\" from t"},
        {L"select 'it''s [t1]', 'a\\'[t1]' from t", L"select 'it''s [t1]', 'a\\'[t1]' from t"},
        // names of the map: bare ones get backquotes, quoted ones are replaced whole
        {L"select t1.old from T1, t10", L"select `t9`.`new` from `t9`, t10"},
        {L"select `old`, `a b` from `t1`", L"select `new`, `a_b` from `t9`"},
        {L"select [a b] from [t1]", L"select `a_b` from `t9`"},
        {L"select `t1x` from t1", L"select `t1x` from `t9`"},
        // a bracketed name with a backquote in it
        {L"select [a`b] from t", L"select `a``b` from t"},
        {L"select a[ from t", L"select a[ from t"},
    };
    for (const auto& c : cases) EXPECT_EQ(sql_refine_view_in(c.in, names), c.out) << c.in;
}

}  // namespace
