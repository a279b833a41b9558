#pragma once

namespace brenvik::test {

// Points HOME and the XDG folders into the build tree (unless the caller already set them), so
// that no test reaches the real home, and names the source and build trees for tests that need
// fixtures or the built programs.
void setUpTestEnvironment();

} // namespace brenvik::test
