#include "udb/udb_recs.h"

#include <gtest/gtest.h>

#include "udb/udb_rec.h"

namespace {

class fake_recordset : public udb_recordset {
public:
    using udb_recordset::udb_recordset;
    void append_record(const udb_record&) override { ++appended; }
    void set_count(std::int64_t n) { m_rec_count = n; }
    int appended = 0;
};

}  // namespace

TEST(UdbRecordset, FreshRecordsetIsAtEndWithNoRecord) {
    fake_recordset t(L"t", true);
    EXPECT_TRUE(t.is_eof());
    EXPECT_EQ(t.get_item(), nullptr);
    EXPECT_FALSE(t.is_query());
    EXPECT_EQ(t.rec_count(), 0);
    EXPECT_EQ(t.key_index_pos(), -1);
    EXPECT_TRUE(t.schema().empty());
    EXPECT_TRUE(t.indexes().empty());
    t.next();
    t.prev();
    t.reset();
    udb_record r;
    t.update(r);
    t.complete();
    EXPECT_EQ(t.appended, 0);

    fake_recordset q(L"q", L"select 1", true);
    EXPECT_TRUE(q.is_query());
    EXPECT_EQ(q.query_text(), L"select 1");
    EXPECT_EQ(q.table_name(), L"q");
}

TEST(UdbRecordset, CountsBeyond32Bits) {
    fake_recordset t(L"big", true);
    t.set_count(5'000'000'000LL);
    EXPECT_EQ(t.rec_count(), 5'000'000'000LL);
}

TEST(UdbRecordset, AddIndexKeepsFirstNameAndFirstKey) {
    struct Step {
        const wchar_t* name;
        bool unique, primary;
    };
    struct Case {
        std::vector<Step> steps;
        std::vector<std::wstring> kept;
        int key_pos;
    } cases[] = {
        {{{L"PRIMARY", true, true}, {L"idx", false, false}, {L"Idx", true, false}}, {L"PRIMARY", L"idx"}, 0},
        {{{L"plain", false, false}, {L"uniq", true, false}, {L"PRIMARY", true, true}},
         {L"plain", L"uniq", L"PRIMARY"},
         1},
        {{{L"a", false, false}, {L"b", false, false}}, {L"a", L"b"}, -1},
        // a dropped duplicate does not take the key position
        {{{L"a", false, false}, {L"A", true, true}, {L"k", true, false}}, {L"a", L"k"}, 1},
    };
    for (const Case& c : cases) {
        fake_recordset t(L"t", true);
        for (const Step& s : c.steps) t.add_index(udb_index(s.name, s.unique, s.primary, {L"col"}));
        std::vector<std::wstring> kept;
        for (const udb_index& i : t.indexes()) kept.push_back(i.name);
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(t.key_index_pos(), c.key_pos);
    }
}

// Deleted through the base: the derived part and the columns its schema owns
// go with it.
TEST(UdbRecordset, DeletedThroughBase) {
    struct counted_column : t_ftd {
        explicit counted_column(int& count) : t_ftd(4, L"id", 3, false, false, ole_variant(), 0), alive(count) {
            ++alive;
        }
        ~counted_column() override { --alive; }
        int& alive;
    };
    struct counted_recordset : fake_recordset {
        explicit counted_recordset(bool& flag) : fake_recordset(L"t", true), gone(flag) {}
        ~counted_recordset() override { gone = true; }
        bool& gone;
    };
    int columns = 0;
    bool gone = false;
    std::unique_ptr<udb_recordset> p = std::make_unique<counted_recordset>(gone);
    p->schema().add(std::make_unique<counted_column>(columns));
    EXPECT_EQ(columns, 1);
    p.reset();
    EXPECT_TRUE(gone);
    EXPECT_EQ(columns, 0);
}
