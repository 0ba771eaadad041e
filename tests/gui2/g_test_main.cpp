// The main of the window-layer and wizard tests: one application object for
// every test, on the offscreen platform unless the caller named another.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gui2/g_app.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    g_application app(argc, argv);
    return RUN_ALL_TESTS();
}
