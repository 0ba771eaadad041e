#include "udb/udb_idx.h"

#include <gtest/gtest.h>

#include "udb_test_util.h"

using names = std::vector<std::wstring>;

TEST(UdbIndex, StartsWithFields) {
    const udb_index abc(L"k", false, false, {L"a", L"b", L"c"});
    const udb_index none(L"e", false, false, {});
    struct Case {
        const udb_index* idx;
        names given;
        bool want;
    } cases[] = {
        {&abc, {L"A", L"B"}, true},
        {&abc, {L"a"}, true},
        {&abc, {}, true},
        {&abc, {L"a", L"b", L"c"}, true},
        {&abc, {L"a", L"c"}, false},
        {&abc, {L"a", L"b", L"c", L"d"}, false},
        {&abc, {L"b"}, false},
        {&none, {}, true},
        {&none, {L"a"}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.idx->starts_with_fields(c.given), c.want) << c.given.size();
}

TEST(UdbIndex, CopyDuplicatesEverything) {
    udb_index a(L"PRIMARY", true, true, {L"id"});
    udb_index b = a;
    a.field_names.push_back(L"x");
    a.name = L"other";
    EXPECT_EQ(b.name, L"PRIMARY");
    EXPECT_EQ(b.field_names, names{L"id"});
    EXPECT_TRUE(b.b_unique);
    EXPECT_TRUE(b.b_primary);
}

class UdbIndexes : public ::testing::Test {
protected:
    void SetUp() override {
        list.add(udb_index(L"PRIMARY", true, true, {L"id"}));
        list.add(udb_index(L"u_mail", true, false, {L"mail", L"domain"}));
        list.add(udb_index(L"idx_name", false, false, {L"name"}));
    }
    udb_indexes list;
};

TEST_F(UdbIndexes, IsIdxFieldIsExactAndHonoursPrimaryOnly) {
    struct Case {
        const wchar_t* name;
        bool primary_only;
        bool want;
    } cases[] = {
        {L"id", false, true},     {L"id", true, true},    {L"ID", false, false},  // exact comparison
        {L"mail", false, true},   {L"mail", true, false},                         // only in a unique index
        {L"domain", false, true}, {L"name", false, true}, {L"name", true, false}, {L"nope", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(list.is_idx_field(c.name, c.primary_only), c.want)
            << testing::PrintToString(std::wstring(c.name)) << c.primary_only;
}

TEST_F(UdbIndexes, NamesCompareIgnoringCase) {
    EXPECT_FALSE(list.is_acceptable_name(L"primary"));
    EXPECT_FALSE(list.is_acceptable_name(L"U_MAIL"));
    EXPECT_TRUE(list.is_acceptable_name(L"idx_other"));
    EXPECT_EQ(list.get_index(L"IDX_NAME").field_names, names{L"name"});
    list.get_index(L"idx_name").field_names.push_back(L"born");
    EXPECT_EQ(list[2].field_names, (names{L"name", L"born"}));
}

TEST_F(UdbIndexes, GetIndexFirstMatchWinsAndMissingIsInternalError) {
    list.add(udb_index(L"Idx_Name", false, false, {L"second"}));
    EXPECT_EQ(list.get_index(L"idx_name").field_names, names{L"name"});
    expect_assertion([&] { list.get_index(L"missing"); }, "udb_idx", 134);
}

TEST_F(UdbIndexes, HasIndexOnFields) {
    EXPECT_TRUE(list.has_index_on_fields({L"MAIL"}));
    EXPECT_TRUE(list.has_index_on_fields({L"mail", L"domain"}));
    EXPECT_FALSE(list.has_index_on_fields({L"domain"}));
    EXPECT_TRUE(list.has_index_on_fields({}));
    EXPECT_FALSE(udb_indexes().has_index_on_fields({}));
}
