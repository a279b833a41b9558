// Test entry for widget tests: a QApplication around the GoogleTest run, on Qt's offscreen
// platform or, for the tests that need one, the X server named by DISPLAY.

#include "support/TestEnvironment.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const bool listing = brenvik::test::listingTestsOnly(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (listing)
        return RUN_ALL_TESTS();
    brenvik::test::setUpTestEnvironment();
    setenv("QT_QPA_PLATFORM", BRENVIK_TEST_QPA, 1);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
