// Test entry with the program's application object, so that faults escaping event handlers go
// through its notify() as in the program.

#include "app/BrenvikApplication.h"
#include "support/TestEnvironment.h"

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
    if (std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    brenvik::BrenvikApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
