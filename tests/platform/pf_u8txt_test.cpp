#include "platform/pf_u8txt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

void put(pf_utf8_text& t, std::string_view s) {
    std::memcpy(t.room(s.size()), s.data(), s.size());
    t.commit(s.size(), s.size());
}

TEST(PfUtf8Text, KeepsItsRoomForTextsThatFillMostOfIt) {
    pf_utf8_text t;
    put(t, std::string(1000, 'a'));
    const char* block = t.view().data();
    put(t, std::string(600, 'b'));
    EXPECT_EQ(t.view().data(), block);  // more than half used: kept
    EXPECT_EQ(t.view(), std::string(600, 'b'));
    put(t, "c");
    EXPECT_NE(t.view().data(), block);  // a huge block is not kept for a short text
    const char* small = t.view().data();
    put(t, std::string(200, 'd'));
    EXPECT_NE(t.view().data(), small);  // grown
    put(t, "e");
    EXPECT_EQ(t.view(), "e");
}

TEST(PfUtf8Text, CopiesAreDeepAndTheWideFormFollowsTheText) {
    pf_utf8_text t;
    const std::string s = "caf\xc3\xa9";
    std::memcpy(t.room(s.size()), s.data(), s.size());
    t.commit(s.size(), 4);
    EXPECT_EQ(t.wide(), L"caf\u00e9");
    pf_utf8_text c(t);
    EXPECT_EQ(c.view(), s);
    EXPECT_NE(c.view().data(), t.view().data());
    put(t, "new");
    EXPECT_EQ(t.wide(), L"new");
    EXPECT_EQ(c.wide(), L"caf\u00e9");
    t.reset();
    EXPECT_FALSE(t.holds());
    EXPECT_TRUE(t.wide().empty());
}

}  // namespace
