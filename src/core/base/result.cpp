#include "base/result.h"

#include <cstdio>
#include <cstdlib>

namespace vdln {

void stopOnFailedResult(const std::string& message) {
    const std::string text = internalErrorText("A failed result was used as a value: " + message);
    // Standard error is the only place left to tell: the program stops here.
    std::fprintf(stderr, "vardelon: %s\n", text.c_str());
    std::abort();
}

}  // namespace vdln
