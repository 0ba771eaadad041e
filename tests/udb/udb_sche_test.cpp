#include "udb/udb_sche.h"

#include <gtest/gtest.h>

#include "udb_test_util.h"

namespace {

std::unique_ptr<t_ftd> col(std::uint16_t vt, std::uint32_t size, const wchar_t* name = L"c",
                           std::uint32_t reserved = 0) {
    return std::make_unique<t_ftd>(size, name, vt, false, false, ole_variant(), reserved);
}

constexpr std::uint32_t dec(std::uint32_t precision, std::uint32_t scale) { return precision << 8 | scale; }

}  // namespace

TEST(TFtd, TypeClasses) {
    for (unsigned vt = 0; vt < 9000; ++vt) {
        const bool numeric = (vt >= 2 && vt <= 6) || vt == 11 || vt == 14 || (vt >= 16 && vt <= 21);
        const bool binary = vt == 65 || vt == 70 || vt == 8209;
        EXPECT_EQ(col(static_cast<std::uint16_t>(vt), 0)->is_numeric(), numeric) << vt;
        EXPECT_EQ(col(static_cast<std::uint16_t>(vt), 0)->is_binary(), binary) << vt;
    }
}

TEST(TFtd, Equality) {
    struct Case {
        std::uint16_t a_vt;
        std::uint32_t a_size;
        std::uint16_t b_vt;
        std::uint32_t b_size;
        bool want;
    } cases[] = {
        {14, 10, 6, 99, true}, {6, 1, 14, 2, true},    {8, 50, 8, 50, true},
        {8, 50, 8, 49, false}, {3, 4, 3, 8, true},  // sizes matter for text only
        {3, 4, 20, 4, false},  {65, 10, 65, 20, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(*col(c.a_vt, c.a_size) == *col(c.b_vt, c.b_size), c.want)
            << c.a_vt << "/" << c.a_size << " vs " << c.b_vt << "/" << c.b_size;
}

TEST(TFtd, ConformanceTable) {
    struct Case {
        std::uint16_t src_vt;
        std::uint32_t src_size;
        std::uint16_t dst_vt;
        std::uint32_t dst_size;
        bool want;
    } cases[] = {
        // decimal and currency are equal whatever the sizes
        {14, 100, 6, 1, true},
        {6, 100, 14, 1, true},
        // numeric destinations take numeric sources only
        {3, 4, 2, 2, true},
        {5, 8, 20, 8, true},
        {11, 1, 3, 4, true},
        {21, 8, 22, 4, true},
        {2, 2, 23, 4, true},
        {7, 8, 3, 4, false},
        {8, 10, 5, 8, false},
        {22, 4, 3, 4, false},
        {65, 4, 3, 4, false},
        // dates
        {7, 0, 7, 0, true},
        {8, 19, 7, 0, true},
        {8, 20, 7, 0, false},
        {8, 18, 7, 0, false},
        {3, 4, 7, 0, false},
        // text destinations
        {8, 50, 8, 0, true},
        {8, 50, 8, 50, true},
        {8, 50, 8, 51, true},
        {8, 50, 8, 49, false},
        {30, 50, 8, 49, false},
        {31, 10, 30, 10, true},
        {8, 5, 31, 0, true},
        {65, 1, 8, 0, false},
        {70, 1, 30, 0, false},
        {8209, 1, 31, 0, false},
        {3, 4, 8, 1, true},
        {7, 0, 8, 1, true},
        {0, 0, 8, 0, true},
        // binary destinations
        {8, 10, 65, 10, true},
        {8, 11, 65, 10, false},
        {65, 100, 70, 0, true},
        {8209, 100, 65, 99, false},
        {70, 5, 8209, 5, true},
        {7, 8, 65, 1, true},
        {3, 4, 70, 1, true},
        // anything else never
        {0, 0, 0, 0, true},  // equal types
        {8, 0, 0, 0, false},
        {8, 0, 1, 0, false},
        {3, 4, 9, 0, false},
        {3, 4, 12, 0, false},
        {3, 4, 24, 0, false},
        {8, 0, 64, 0, false},
        {8, 0, 66, 0, false},
        {8, 0, 71, 0, false},
        {8, 0, 8208, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(col(c.src_vt, c.src_size)->conform_to(*col(c.dst_vt, c.dst_size)), c.want)
            << c.src_vt << "/" << c.src_size << " -> " << c.dst_vt << "/" << c.dst_size;
}

// Same type codes whose values would still change on the way: a smaller
// scale, fewer integer digits, fewer significant digits of a real, fewer
// digits of a second, a date for a date and time.
TEST(TFtd, ConformanceRefusesDestinationsThatChangeValues) {
    struct Case {
        std::uint16_t src_vt;
        std::uint32_t src_size, src_res;
        std::uint16_t dst_vt;
        std::uint32_t dst_size, dst_res;
        bool want;
    } cases[] = {
        // decimals: scale and integer digits
        {14, 0, dec(10, 2), 14, 0, dec(10, 2), true},
        {14, 0, dec(10, 2), 14, 0, dec(12, 4), true},
        {14, 0, dec(10, 2), 14, 0, dec(10, 1), false},
        {14, 0, dec(10, 2), 14, 0, dec(9, 2), false},
        {14, 0, dec(10, 2), 14, 0, 0, true},  // precision not given: the type codes decide
        {3, 4, 0, 14, 0, dec(12, 2), true},
        {3, 4, 0, 14, 0, dec(11, 2), false},
        {21, 8, 2, 14, 0, dec(20, 0), true},
        {20, 8, 1, 14, 0, dec(18, 0), false},
        {5, 8, 0, 14, 0, dec(30, 10), false},  // binary fractions round
        {14, 0, dec(10, 2), 6, 0, 0, true},
        {14, 0, dec(20, 6), 6, 0, 0, false},
        // reals keep so many significant digits
        {4, 4, 0, 5, 8, 0, true},
        {5, 8, 0, 4, 4, 0, false},
        {2, 2, 0, 4, 4, 0, true},
        {3, 4, 0, 4, 4, 0, false},
        {3, 4, 0, 5, 8, 0, true},
        {20, 8, 1, 5, 8, 0, false},
        {14, 0, dec(15, 2), 5, 8, 0, true},
        {14, 0, dec(16, 2), 5, 8, 0, false},
        // integers: a value out of range is refused by the server, not changed
        {20, 8, 1, 2, 2, 0, true},
        {5, 8, 0, 3, 4, 0, true},
        // dates: 1 date and time, 2 date, 3 time; the size tells the fraction digits
        {7, 26, 1, 7, 26, 1, true},
        {7, 19, 1, 7, 26, 1, true},
        {7, 26, 1, 7, 22, 1, false},
        {7, 26, 0, 7, 19, 1, false},
        {7, 26, 1, 7, 0, 1, true},
        {7, 19, 1, 7, 10, 2, false},
        {7, 10, 2, 7, 19, 1, true},
        {7, 10, 2, 7, 10, 2, true},
        {7, 14, 3, 7, 10, 3, false},
        {7, 14, 3, 7, 15, 3, true},
        {7, 19, 1, 7, 10, 3, false},
        {7, 10, 3, 7, 19, 1, false},
        {8, 19, 0, 7, 10, 2, false},
        {8, 19, 0, 7, 19, 1, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(col(c.src_vt, c.src_size, L"c", c.src_res)->conform_to(*col(c.dst_vt, c.dst_size, L"c", c.dst_res)),
                  c.want)
            << c.src_vt << "/" << c.src_size << "/" << c.src_res << " -> " << c.dst_vt << "/" << c.dst_size << "/"
            << c.dst_res;
}

TEST(UdbSchema, ConformancePairsColumnsByNameWhenTheDestinationHasThemAll) {
    udb_schema empty1, empty2, one;
    one.add(col(3, 4));
    EXPECT_TRUE(empty1.conform_to(empty2));
    EXPECT_FALSE(empty1.conform_to(one));
    EXPECT_FALSE(one.conform_to(empty1));

    udb_schema src;
    src.add(col(3, 4, L"id"));
    src.add(col(8, 20, L"name"));
    // The same columns in another order: by position the text would go into
    // the integer column.
    udb_schema swapped;
    swapped.add(col(8, 0, L"NAME"));
    swapped.add(col(3, 4, L"Id"));
    EXPECT_TRUE(src.conform_to(swapped));
    EXPECT_EQ(src.pair_by_name(swapped), (std::vector<std::size_t>{1, 0}));
    // Other names: by position.
    udb_schema renamed;
    renamed.add(col(20, 8, L"ID"));
    renamed.add(col(8, 0, L"other"));
    EXPECT_TRUE(src.pair_by_name(renamed).empty());
    EXPECT_TRUE(src.conform_to(renamed));
    // By position, but a name stands elsewhere: its values would land in
    // another column.
    udb_schema three, crossed;
    for (const wchar_t* n : {L"a", L"b", L"c"}) three.add(col(3, 4, n));
    for (const wchar_t* n : {L"b", L"a", L"x"}) crossed.add(col(3, 4, n));
    EXPECT_FALSE(three.conform_to(crossed));
}

TEST(UdbSchema, PairByNamePrefersTheExactSpellingAndNeverSharesAColumn) {
    udb_schema src, twins, only_twins, one_dest;
    src.add(col(3, 4, L"Id"));
    twins.add(col(3, 4, L"ID"));
    twins.add(col(3, 4, L"Id"));
    EXPECT_EQ(src.pair_by_name(twins), std::vector<std::size_t>{1});
    only_twins.add(col(3, 4, L"ID"));
    only_twins.add(col(3, 4, L"id"));
    EXPECT_TRUE(src.pair_by_name(only_twins).empty());  // which one?

    udb_schema two;
    two.add(col(3, 4, L"k"));
    two.add(col(3, 4, L"K"));
    one_dest.add(col(3, 4, L"k"));
    one_dest.add(col(3, 4, L"z"));
    EXPECT_TRUE(two.pair_by_name(one_dest).empty());
}

TEST(UdbSchema, LookupsIgnoreCaseFirstMatchWins) {
    udb_schema s;
    s.add(col(3, 4, L"id"));
    s.add(col(8, 30, L"Name"));
    s.add(col(5, 8, L"NAME"));
    EXPECT_TRUE(s.find_field(L"ID"));
    EXPECT_TRUE(s.find_field(L"name"));
    EXPECT_FALSE(s.find_field(L"nam"));
    EXPECT_EQ(s.get_field(L"name").vartype, 8);
    EXPECT_EQ(s.get_field_size(L"NAME"), 30u);
    EXPECT_EQ(s.get_field_type(L"Id"), 3);
    EXPECT_EQ(&s.get_field(L"nAmE"), s[1]);
}

TEST(UdbSchema, MissingColumnIsInternalError) {
    udb_schema s;
    s.add(col(3, 4, L"id"));
    expect_assertion([&] { s.get_field(L"x"); }, "udb_sche", 309);
    expect_assertion([&] { s.get_field_size(L"x"); }, "udb_sche", 339);
    expect_assertion([&] { s.get_field_type(L"x"); }, "udb_sche", 355);
}

namespace {
int derived_alive = 0;
struct derived_ftd : t_ftd {
    derived_ftd() : t_ftd(0, L"d", 8, false, false, ole_variant(), 0) { ++derived_alive; }
    ~derived_ftd() override { --derived_alive; }
    std::string type_name = "character varying";
};
}  // namespace

TEST(UdbSchema, OwnsAddedColumnsBorrowsReferences) {
    t_ftd borrowed(4, L"b", 3, true, false, ole_variant(), 0);
    {
        udb_schema s;
        s.add(std::make_unique<derived_ftd>());
        s.add_ref(&borrowed);
        EXPECT_EQ(derived_alive, 1);
        EXPECT_EQ(s.size(), 2u);
        EXPECT_EQ(s[1], &borrowed);
    }
    EXPECT_EQ(derived_alive, 0);
    EXPECT_EQ(borrowed.name.str(), L"b");
}

TEST(TFtd, CopiesItsDefault) {
    ole_variant def(42);
    t_ftd f(4, L"n", 3, true, true, def, 7);
    EXPECT_EQ(f.def_value.to_wstring(), L"42");
    EXPECT_TRUE(f.b_not_null);
    EXPECT_TRUE(f.b_auto_increment);
    EXPECT_EQ(f.reserved, 7u);
}
