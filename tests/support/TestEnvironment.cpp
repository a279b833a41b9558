#include "support/TestEnvironment.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace brenvik::test {

void setUpTestEnvironment() {
    const std::filesystem::path home = BRENVIK_TEST_HOME;
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("BRENVIK_SOURCE_DIR", BRENVIK_SOURCE_DIR, 1);
    setenv("BRENVIK_BINARY_DIR", BRENVIK_BINARY_DIR, 1);
}

bool listingTestsOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return true;
    return false;
}

} // namespace brenvik::test
