#include "udb/udb_rec.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "udb/udb_sche.h"

TEST(UdbField, CarriesValueAndSharesColumnName) {
    const t_ftd column(11, L"name", 8, true, false, ole_variant(), 0);
    udb_record row(2);
    row.emplace(column.name, 5u, ole_variant(7), true, true);
    row.emplace(column.name, 0u, ole_variant(), false, false);
    ASSERT_EQ(row.size(), 2u);
    EXPECT_EQ(row[0].get_type(), 3);
    EXPECT_EQ(row[0].to_wstring(), L"7");
    EXPECT_EQ(row[0].size, 5u);
    EXPECT_TRUE(row[0].b_not_null);
    EXPECT_TRUE(row[0].b_auto_increment);
    EXPECT_EQ(row[1].get_type(), 0);
    // one name for the column and all its cells
    EXPECT_EQ(row[0].name.c_str(), column.name.c_str());
    EXPECT_EQ(row[1].name.c_str(), column.name.c_str());
}

TEST(UdbRecord, ReservedVectorDoesNotMoveFields) {
    udb_record row(3);
    const udb_field* first = &row.emplace(L"a", 1u, ole_variant(1), false, false);
    row.emplace(L"b", 1u, ole_variant(2), false, false);
    row.emplace(L"c", 1u, ole_variant(3), false, false);
    EXPECT_EQ(first, &row[0]);
    row.clear();
    EXPECT_TRUE(row.empty());
}

// Deleted through the base: the derived part and every field go with it (each
// field held the column's name).
TEST(UdbRecord, DeletedThroughBaseWithTextCells) {
    struct derived_record : udb_record {
        derived_record(std::size_t n, bool& flag) : udb_record(n), gone(flag) {}
        ~derived_record() override { gone = true; }
        bool& gone;
    };
    const t_ftd column(3, L"t", 8, false, false, ole_variant(), 0);
    bool gone = false;
    std::unique_ptr<udb_record> r = std::make_unique<derived_record>(2, gone);
    r->emplace(column.name, 3u, ole_variant(std::string("abc")), false, false);
    r->emplace(column.name, 3u, ole_variant(std::string("def")), false, false);
    EXPECT_EQ((*r)[0].to_wstring(), L"abc");
    EXPECT_EQ(column.name.use_count(), 3);
    r.reset();
    EXPECT_TRUE(gone);
    EXPECT_EQ(column.name.use_count(), 1);
}
