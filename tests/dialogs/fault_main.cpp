// Test entry with the program's application object, so that faults escaping event handlers go
// through its notify() as in the program.

#include "app/BrenvikApplication.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return RUN_ALL_TESTS();
    if (std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    brenvik::BrenvikApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
