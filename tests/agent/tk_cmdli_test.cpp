#include "agent/tk_cmdli.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tk/tk_exc.h"

namespace {

const cmd_option table[] = {{0, "--dest="}, {13, "--silent"}, {16, "--tab_def"}, {0, ""}};

struct argv_holder {
    std::vector<std::string> store;
    std::vector<char*> ptrs;
    explicit argv_holder(std::vector<std::string> args) : store(std::move(args)) {
        for (auto& s : store) ptrs.push_back(s.data());
        ptrs.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(store.size()); }
    char** argv() { return ptrs.data(); }
};

std::string assertion_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 2);
        return e.what();
    }
    return "no assertion";
}

TEST(TkCmdli, ClassifiesByFirstMatchingPrefixCaseSensitively) {
    argv_holder a({"prog", "--silentX", "--tab_def=1", "--dest=", "--DEST=x", "--dest=db", "other"});
    tk_cmdli t(a.argc(), a.argv(), table);
    std::vector<std::pair<int, std::string>> seen;
    for (; t.has_more(); t.next()) seen.emplace_back(t.id(), t.value());
    const std::vector<std::pair<int, std::string>> want = {{13, "X"},        {16, "=1"}, {0, ""},
                                                           {-1, "--DEST=x"}, {0, "db"},  {-1, "other"}};
    EXPECT_EQ(seen, want);
    ASSERT_EQ(t.unknown_count(), 2);
    EXPECT_STREQ(t.unknown(0), "--DEST=x");
    EXPECT_STREQ(t.unknown(1), "other");
}

TEST(TkCmdli, NoArgumentsAndAssertionsPastTheEnd) {
    argv_holder a({"prog"});
    tk_cmdli t(a.argc(), a.argv(), table);
    EXPECT_FALSE(t.has_more());
    EXPECT_EQ(assertion_of([&] { t.next(); }), tk_assertion_text("tk_cmdli", 60));
    EXPECT_EQ(assertion_of([&] { (void)t.id(); }), tk_assertion_text("tk_cmdli", 140));
    EXPECT_EQ(assertion_of([&] { (void)t.value(); }), tk_assertion_text("tk_cmdli", 147));
}

TEST(TkCmdli, TwentyUnknownArgumentsAreKeptTheTwentyFirstIsAnInternalError) {
    std::vector<std::string> args{"prog"};
    for (int i = 0; i < 20; ++i) args.push_back("x" + std::to_string(i));
    argv_holder ok(args);
    tk_cmdli t(ok.argc(), ok.argv(), table);
    while (t.has_more()) t.next();
    EXPECT_EQ(t.unknown_count(), 20);
    EXPECT_STREQ(t.unknown(19), "x19");

    args.push_back("x20");
    argv_holder over(args);
    EXPECT_EQ(assertion_of([&] {
                  tk_cmdli u(over.argc(), over.argv(), table);
                  while (u.has_more()) u.next();
              }),
              tk_assertion_text("tk_cmdli", 52));
}

}  // namespace
