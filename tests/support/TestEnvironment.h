#pragma once

namespace brenvik::test {

// Points HOME and the XDG folders into the build tree (unless the caller already set them), so
// that no test reaches the real home, and names the source and build trees for tests that need
// fixtures or the built programs.
void setUpTestEnvironment();

// Whether the test program was only asked to list its tests (at build time, where there may be no
// display); look before GoogleTest removes its own flags from the arguments.
bool listingTestsOnly(int argc, char** argv);

} // namespace brenvik::test
