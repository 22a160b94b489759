#pragma once
// The one golden-file comparison of the tests.  The expected text lives in a
// file of the source tree; `fromGolden` turns its text into what is expected
// (placeholders filled in) and `toGolden` turns a generated text back into
// the file's form.  With VARDELON_UPDATE_GOLDEN=1 the file is rewritten from
// the generated text and the test fails, naming the file, so that an update
// run never passes unseen; any other non-empty value but "0" is refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "support/tempdir.h"

namespace vdln::testing {

using GoldenTransform = std::function<std::string(const std::string&)>;

inline void expectMatchesGolden(const std::string& actual, const std::string& goldenFile,
                                const GoldenTransform& fromGolden = nullptr,
                                const GoldenTransform& toGolden = nullptr) {
    SCOPED_TRACE("golden file " + goldenFile);
    const char* u = std::getenv("VARDELON_UPDATE_GOLDEN");
    const std::string update = u ? u : "";
    if (update == "1") {
        writeFile(goldenFile, toGolden ? toGolden(actual) : actual);
        ADD_FAILURE() << "rewrote " << goldenFile
                      << " (VARDELON_UPDATE_GOLDEN=1): check its difference, then run the tests without it";
        return;
    }
    if (!update.empty() && update != "0")
        ADD_FAILURE() << "VARDELON_UPDATE_GOLDEN=" << update
                      << " is not understood: 1 rewrites the golden files";
    const std::string golden = readFile(goldenFile);
    EXPECT_EQ(actual, fromGolden ? fromGolden(golden) : golden);
}

}  // namespace vdln::testing
