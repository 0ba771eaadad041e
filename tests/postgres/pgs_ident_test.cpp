// Names, literals and connection-string values towards the server.
#include <gtest/gtest.h>

#include <string>

#include "postgres/pgs_ident.h"

namespace {

TEST(PgsIdent, FoldLowersAsciiOnlyAndClipsLikeTheServer) {
    EXPECT_EQ(pgs_fold_name(L"MyTable#1"), "mytable#1");
    EXPECT_EQ(pgs_fold_name(L"\u00c9T\u00c9"), "\xc3\x89t\xc3\x89");  // only ASCII folds
    EXPECT_EQ(pgs_fold_name(std::wstring(70, L'A')), std::string(63, 'a'));
    // 62 ASCII bytes and a two-byte letter: the letter is left out whole.
    EXPECT_EQ(pgs_fold_name(std::wstring(62, L'a') + L"\u00e9"), std::string(62, 'a'));
}

TEST(PgsIdent, Quoting) {
    EXPECT_EQ(pgs_quote_ident("order"), "\"order\"");
    EXPECT_EQ(pgs_quote_ident("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(pgs_qualified("public", "t"), "\"public\".\"t\"");
    EXPECT_EQ(pgs_qualified("", "t"), "\"t\"");
    EXPECT_EQ(pgs_quote_literal("it's"), "'it''s'");
    // A backslash makes it an escape string, which reads the same whatever
    // standard_conforming_strings says.
    EXPECT_EQ(pgs_quote_literal("a\\'b\\"), "E'a\\\\''b\\\\'");
    EXPECT_EQ(pgs_quote_literal(std::wstring_view(L"C:\\temp")), L"E'C:\\\\temp'");
    EXPECT_EQ(pgs_quote_literal(std::wstring_view(L"it's")), L"'it''s'");
    EXPECT_EQ(pgs_conn_value(""), "''");
    EXPECT_EQ(pgs_conn_value("a b'c\\d"), "'a b\\'c\\\\d'");
}

}  // namespace
