// Test entry for widget tests: a QApplication around the GoogleTest run, on Qt's offscreen
// platform or, for the tests that need one, the X server named by DISPLAY.

#include "support/TestEnvironment.h"

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Listing the tests (at build time) needs no display; look before GoogleTest eats its flags.
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    ::testing::InitGoogleTest(&argc, argv);
    if (listing)
        return RUN_ALL_TESTS();
    brenvik::test::setUpTestEnvironment();
    setenv("QT_QPA_PLATFORM", BRENVIK_TEST_QPA, 1);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
