// Identifier rules of the PostgreSQL side: acceptable names and safe names.
#include <gtest/gtest.h>

#include <string>

#include "postgres/pgs_ident.h"
#include "postgres/pgs_vali.h"
#include "tk/tk_exc.h"
#include "udb/udb_sche.h"

namespace {

TEST(PgsValidator, AcceptableNames) {
    pgs_validator v;
    const struct {
        std::wstring name;
        bool ok;
    } cases[] = {
        {std::wstring(30, L'a'), true},
        {std::wstring(31, L'a'), false},
        {L"", false},
        {L"1abc", false},
        {L"_abc", false},
        {L"a b", false},
        {L"a-b", false},
        {L"a.b", false},
        {L"a$b#c_1", true},
        {L"$ab", false},
        {L"#ab", false},
        {L"\u00e9t\u00e9", true},
        {L"\u4e2d\u6587\u540d", true},
        {L"order", true},
        {L"a\"b", false},
        // 21 three-byte letters are 63 bytes; 22 (66 bytes) the server would cut.
        {std::wstring(21, L'\u4e2d'), true},
        {std::wstring(22, L'\u4e2d'), false},
    };
    for (const auto& c : cases) EXPECT_EQ(v.is_acceptable(c.name), c.ok) << pgs_utf8_size(c.name);
}

TEST(PgsValidator, RestrictedAndExistingNamesIgnoreCase) {
    pgs_validator v;
    v.add_restricted_name(L"Name");
    EXPECT_FALSE(v.is_acceptable(L"NAME"));
    EXPECT_EQ(v.get_safe_name(L"naME"), L"naME00000");

    // Existing names do not make a name unacceptable, only duplicated.
    v.add_existing_name(L"Other");
    EXPECT_TRUE(v.is_acceptable(L"other"));
    EXPECT_TRUE(v.is_duplicated(L"OTHER"));
    EXPECT_EQ(v.get_safe_name(L"oTHER"), L"oTHER00000");
}

TEST(PgsValidator, SafeNames) {
    pgs_validator v;
    const struct {
        std::wstring name, safe;
    } cases[] = {
        {std::wstring(31, L'a'), std::wstring(29, L'a')},
        {L"1abc", L"A1abc"},
        {L"_abc", L"A_abc"},
        {L"a b-c.d", L"a_b_c_d"},
        {L"", L"A"},
        {L"x$y#", L"x$y#"},
        // Cut to 30 characters, then to the server's 63 bytes (21 letters).
        {std::wstring(40, L'\u4e2d'), std::wstring(21, L'\u4e2d')},
    };
    for (const auto& c : cases) {
        const std::wstring safe = v.get_safe_name(c.name);
        EXPECT_EQ(safe, c.safe);
        EXPECT_TRUE(v.is_acceptable(safe));
    }
}

TEST(PgsValidator, CounterFormStaysWithinLimits) {
    pgs_validator v;
    v.add_existing_name(L"A");
    EXPECT_EQ(v.get_safe_name(L""), L"A00000");

    const std::wstring long_name(26, L'b');
    v.add_existing_name(long_name);
    EXPECT_EQ(v.get_safe_name(long_name), std::wstring(24, L'b') + L"00000");

    // Wide letters: the counter still fits the 63 bytes.
    const std::wstring wide(21, L'\u4e2d');
    v.add_existing_name(wide);
    const std::wstring safe = v.get_safe_name(wide);
    EXPECT_TRUE(v.is_acceptable(safe));
    EXPECT_FALSE(v.is_duplicated(safe));
    EXPECT_LE(pgs_utf8_size(safe), pgs_max_ident_bytes);
    // The shorter form is taken too: the counter follows, within 63 bytes.
    v.add_existing_name(safe);
    const std::wstring counted = v.get_safe_name(wide);
    EXPECT_TRUE(v.is_acceptable(counted));
    EXPECT_FALSE(v.is_duplicated(counted));
    EXPECT_EQ(counted.substr(counted.size() - 5), L"00000");
}

TEST(PgsValidator, PreloadedNames) {
    udb_schema s;
    s.add(std::make_unique<t_ftd>(4, udb_name(L"Id"), 3, false, false, ole_variant(), 0));
    s.add(std::make_unique<t_ftd>(4, udb_name(L"a_b"), 3, false, false, ole_variant(), 0));
    pgs_fn_validator fn(s);
    EXPECT_TRUE(fn.is_duplicated(L"ID"));
    EXPECT_EQ(fn.get_safe_name(L"a b"), L"a_b00000");

    pgs_tn_validator tn({L"t1"}, {L"public.t2"});
    EXPECT_TRUE(tn.is_duplicated(L"T1"));
    EXPECT_TRUE(tn.is_duplicated(L"public.t2"));
    EXPECT_FALSE(tn.is_duplicated(L"t2"));
}

TEST(PgsValidator, SystemColumnNamesGetSafeColumnNames) {
    udb_schema s;
    for (const wchar_t* n : {L"xmin", L"xmax", L"cmin", L"cmax", L"ctid", L"tableoid", L"XMIN", L"oid"})
        s.add(std::make_unique<t_ftd>(4, udb_name(n), 3, false, false, ole_variant(), 0));
    pgs_fn_validator fn(s);
    for (const wchar_t* n : {L"xmin", L"xmax", L"cmin", L"cmax", L"ctid", L"tableoid"}) {
        EXPECT_FALSE(fn.is_acceptable(n));
        EXPECT_EQ(fn.get_safe_name(n), std::wstring(n) + L"00000");
    }
    // Quoted, another spelling is another name; oid is no system column since 12.
    EXPECT_TRUE(fn.is_acceptable(L"XMIN"));
    EXPECT_TRUE(fn.is_acceptable(L"Ctid"));
    EXPECT_TRUE(fn.is_acceptable(L"oid"));
    // Table names are not column names.
    EXPECT_TRUE(pgs_tn_validator({}, {}).is_acceptable(L"xmin"));
}

TEST(PgsValidator, NameValidatorIsASingleton) {
    {
        pgs_name_validator one;
        EXPECT_EQ(&pgs_name_validator::instance(), &one);
        EXPECT_THROW(pgs_name_validator second, tk_mail_assertion);
    }
    EXPECT_FALSE(pgs_name_validator::exists());
}

}  // namespace
