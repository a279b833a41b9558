// Test entry with the program's application object, so that faults escaping event handlers go
// through its notify() as in the program.

#include "app/BrenvikApplication.h"
#include "support/TestEnvironment.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const bool listing = brenvik::test::listingTestsOnly(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (listing)
        return RUN_ALL_TESTS();
    brenvik::test::setUpTestEnvironment();
    if (std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    brenvik::BrenvikApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
