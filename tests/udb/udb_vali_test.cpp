#include "udb/udb_vali.h"

#include <gtest/gtest.h>

#include "udb_test_util.h"

namespace {

std::wstring letters(std::size_t n, wchar_t first = L'a') {
    std::wstring s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<wchar_t>(first + i % 26));
    return s;
}

// A derived rule set: the generator must use the derived test.
class min6_validator : public udb_validator {
public:
    min6_validator() : udb_validator(30) {}
    bool is_acceptable(const std::wstring& name) const override {
        return udb_validator::is_acceptable(name) && name.size() >= 6;
    }
};

}  // namespace

TEST(UdbValidator, IsAcceptableRulesInOrder) {
    udb_validator v(10);
    v.add_restricted_name(L"Select");
    v.add_illegal_char(L' ');
    v.add_illegal_char(L'-');
    v.add_existing_name(L"used");
    struct Case {
        std::wstring name;
        bool want;
    } cases[] = {
        {letters(10), true}, {letters(11), false}, {L"SELECT", false}, {L"selects", true},
        {L"a b", false},     {L"a-b", false},      {L"used", true},  // existing names are not consulted here
        {L"", true},
    };
    for (const Case& c : cases) EXPECT_EQ(v.is_acceptable(c.name), c.want) << testing::PrintToString(c.name);
    EXPECT_TRUE(udb_validator(0).is_acceptable(letters(500)));
}

TEST(UdbValidator, IsDuplicatedIgnoresCase) {
    udb_validator v(30);
    v.add_existing_name(L"Orders");
    EXPECT_TRUE(v.is_duplicated(L"ORDERS"));
    EXPECT_TRUE(v.is_duplicated(L"orders"));
    EXPECT_FALSE(v.is_duplicated(L"order"));
    v.add_existing_name(L"\u00c9T\u00c9");
    EXPECT_TRUE(v.is_duplicated(L"\u00e9t\u00e9"));
}

TEST(UdbValidator, SafeNames) {
    udb_validator v(30);
    v.add_illegal_char(L' ');
    v.add_illegal_char(L'-');
    v.add_restricted_name(L"ABC");
    const std::wstring q29(29, L'q'), k25(25, L'k'), k26(26, L'k'), k24(24, L'k');
    for (const std::wstring& n : {q29, q29.substr(0, 24) + L"00000", k25, k26, k24 + L"00000"}) v.add_existing_name(n);

    struct Case {
        std::wstring name;
        std::wstring want;
    } cases[] = {
        {letters(40), letters(29)},           // cut to max_len - 1
        {q29, q29.substr(0, 24) + L"00001"},  // in use: 24 characters + counter
        {L"abc", L"abc00000"},                // restricted, short: no cut
        {L"order-date 2", L"order_date_2"},
        {k25, k25 + L"00000"},  // 25 + 5 fits the limit
        {k26, k24 + L"00001"},
        {L"fine", L"fine"},
    };
    for (const Case& c : cases) EXPECT_EQ(v.get_safe_name(c.name), c.want) << testing::PrintToString(c.name);
    // nothing is recorded
    EXPECT_EQ(v.existing_names().size(), 5u);
    EXPECT_TRUE(v.mapped_pairs().empty());
}

TEST(UdbValidator, SafeNameUsesDerivedTest) {
    min6_validator v;
    EXPECT_EQ(v.get_safe_name(L"max"), L"max00000");
    v.add_existing_name(L"max00000");
    EXPECT_EQ(v.get_safe_name(L"max"), L"max00001");
}

TEST(UdbValidator, SafeNameWithTinyLimitStillTerminates) {
    udb_validator v(5);
    v.add_existing_name(L"abcd");
    EXPECT_EQ(v.get_safe_name(L"abcd"), L"00000");
}

TEST(UdbValidator, ExhaustedCounterIsInternalError) {
    class never : public udb_validator {
    public:
        never() : udb_validator(0) {}
        bool is_acceptable(const std::wstring&) const override { return false; }
    } v;
    expect_assertion([&] { v.get_safe_name(L"x"); }, "udb_vali", 54);
}

TEST(UdbValidator, ThousandsOfNamesStayCheap) {
    udb_validator v(30);
    for (int i = 0; i < 20000; ++i) v.add_existing_name(L"Table_" + std::to_wstring(i));
    for (int i = 0; i < 20000; ++i) v.add_restricted_name(L"word_" + std::to_wstring(i));
    int hits = 0;
    for (int i = 0; i < 20000; ++i)
        hits += v.is_duplicated(L"TABLE_" + std::to_wstring(i)) + !v.is_acceptable(L"WORD_" + std::to_wstring(i));
    EXPECT_EQ(hits, 40000);
}

TEST(UdbValidator, MappedPairsKeepFirst) {
    udb_validator v(30);
    v.add_mapped_pair(L"a b", L"a_b");
    v.add_mapped_pair(L"a b", L"other");
    EXPECT_EQ(v.mapped_pairs().get_mapped_name(L"A B", false), L"a_b");
}
