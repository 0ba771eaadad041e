#include "udb/udb_rule.h"

#include <gtest/gtest.h>

#include "udb/udb_sche.h"
#include "udb_test_util.h"

namespace {

class text_rule : public udb_conversion_rule {
public:
    explicit text_rule(std::uint16_t vt, const wchar_t* text) : vt_(vt), text_(text) {}
    bool accepts(const ole_variant& v) const override { return v.vartype() == vt_; }
    bool accepts(const t_ftd& c) const override { return c.vartype == vt_; }
    void handle(std::wstring& out, const ole_variant&) const override { out = text_; }
    void handle(std::wstring& out, const t_ftd&) const override { out = text_; }

private:
    std::uint16_t vt_;
    const wchar_t* text_;
};

}  // namespace

TEST(UdbCustomConversion, WithoutInstanceNothingApplies) {
    const t_ftd c(4, L"c", 3, false, false, ole_variant(), 0);
    const ole_variant v(1);
    EXPECT_FALSE(udb_custom_conversion::is_acceptable1(c));
    EXPECT_FALSE(udb_custom_conversion::is_acceptable2(v));
    EXPECT_EQ(udb_custom_conversion::handle1(c), L"");
    EXPECT_EQ(udb_custom_conversion::handle2(v), L"");
    udb_custom_conversion empty;
    EXPECT_FALSE(udb_custom_conversion::is_acceptable1(c));
    EXPECT_EQ(udb_custom_conversion::handle2(v), L"");
}

TEST(UdbCustomConversion, FirstAcceptingRuleWins) {
    udb_custom_conversion conv;
    conv.add_rule(std::make_unique<text_rule>(3, L"int4"));
    conv.add_rule(std::make_unique<text_rule>(3, L"second"));
    conv.add_rule(std::make_unique<text_rule>(8, L"text"));
    const t_ftd i(4, L"i", 3, false, false, ole_variant(), 0);
    const t_ftd t(4, L"t", 8, false, false, ole_variant(), 0);
    const t_ftd d(8, L"d", 5, false, false, ole_variant(), 0);
    EXPECT_TRUE(udb_custom_conversion::is_acceptable1(i));
    EXPECT_EQ(udb_custom_conversion::handle1(i), L"int4");
    EXPECT_EQ(udb_custom_conversion::handle1(t), L"text");
    EXPECT_FALSE(udb_custom_conversion::is_acceptable1(d));
    EXPECT_EQ(udb_custom_conversion::handle1(d), L"");
    EXPECT_EQ(udb_custom_conversion::handle2(ole_variant(5)), L"int4");
    EXPECT_FALSE(udb_custom_conversion::is_acceptable2(ole_variant(2.5)));
    expect_assertion([] { udb_custom_conversion::handle2(ole_variant(2.5)); }, "udb_rule", 88);
}
