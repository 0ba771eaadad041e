#pragma once
#include <gtest/gtest.h>

#include <string>

#include "tk/tk_exc.h"

// Runs f and checks that it raises the internal assertion of that site.
template <class F>
void expect_assertion(F&& f, const char* file, int line) {
    try {
        f();
        ADD_FAILURE() << "no assertion, expected " << file << " " << line;
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message(), tk_assertion_text(file, line)) << file << " " << line;
        EXPECT_EQ(e.level(), 2);
    }
}
