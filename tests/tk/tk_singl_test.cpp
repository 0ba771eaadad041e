#include "tk/tk_singl.h"

#include <gtest/gtest.h>

namespace {
struct only_one : tk_singleton<only_one> {
    int value = 42;
};

std::string site(const char* file, int line) { return tk_assertion_text(file, line); }

template <class F>
std::string assertion_of(F f) {
    try {
        f();
    } catch (const tk_mail_assertion& e) {
        return e.what();
    }
    return "no assertion";
}
}  // namespace

TEST(TkSingleton, OneInstanceAtATime) {
    EXPECT_FALSE(only_one::exists());
    {
        only_one a;
        EXPECT_EQ(&only_one::instance(), &a);
        EXPECT_EQ(only_one::get().value, 42);
        EXPECT_EQ(assertion_of([] { only_one b; }), site("tk_singl", 35));
        EXPECT_EQ(only_one::find(), &a);  // the failed second one did not unregister the first
    }
    EXPECT_EQ(only_one::find(), nullptr);
    only_one c;  // a new one may follow
    EXPECT_EQ(&only_one::get(), &c);
}

TEST(TkSingleton, MissingInstance) {
    EXPECT_EQ(assertion_of([] { only_one::instance(); }), site("tk_singl", 59));
    EXPECT_EQ(assertion_of([] { only_one::get(); }), site("tk_singl", 66));
}
