#pragma once
// Where the tests find the built programs, the source tree's test data and
// the folder for screenshots.  The paths are compiled into one small source
// file only, so that the other test objects do not depend on where the tree
// was checked out (and a compiler cache shares them between checkouts).
#include <string>

namespace vdln::testing {

/// The folder of the built executables (the suite programs, vardelon, the demo set-up).
const std::string& testBinDir();
/// The root of the source tree.
const std::string& testSourceDir();
/// The folder screenshots of the window tests are saved in.
const std::string& testScreenshotDir();

}  // namespace vdln::testing
