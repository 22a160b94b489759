#include "support/testpaths.h"

namespace vdln::testing {

const std::string& testBinDir() {
    static const std::string dir = VARDELON_BIN_DIR;
    return dir;
}

const std::string& testSourceDir() {
    static const std::string dir = VARDELON_SOURCE_DIR;
    return dir;
}

const std::string& testScreenshotDir() {
    static const std::string dir = VARDELON_SCREENSHOT_DIR;
    return dir;
}

}  // namespace vdln::testing
