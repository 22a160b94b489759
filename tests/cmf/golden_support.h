#pragma once
// Golden-file comparison for generated text files: the expected text lives in
// tests/cmf/golden/<name> with LF line ends and placeholders for the folders
// of the test ("@WORK@", "@MODEL@", "@JOB@", "@TEMP@", "@D@").  A generated
// file must end every line with CR LF (or LF for batch files).  Compared and
// updated by `expectMatchesGolden` (support/golden.h).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "support/golden.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln::testing {

inline std::string goldenPath(const std::string& name) {
    return vdln::testing::testSourceDir() + "/tests/cmf/golden/" + name;
}

/// Replaces every occurrence of each key by its value (longest keys first
/// is the caller's business: the values here never contain one another's keys).
inline std::string substitute(std::string text, const std::map<std::string, std::string>& vars,
                              bool reverse) {
    for (const auto& [key, value] : vars) {
        const std::string& from = reverse ? value : key;
        const std::string& to = reverse ? key : value;
        if (from.empty()) continue;
        size_t p = 0;
        while ((p = text.find(from, p)) != std::string::npos) {
            text.replace(p, from.size(), to);
            p += to.size();
        }
    }
    return text;
}

/// Compares the generated file with its golden text.
inline void expectGolden(const std::string& generatedPath, const std::string& goldenName,
                         const std::map<std::string, std::string>& vars, bool crlf = true) {
    SCOPED_TRACE(goldenName);
    std::string actual = readFile(generatedPath);
    std::string lf;
    for (size_t i = 0; i < actual.size(); ++i) {
        if (crlf && actual[i] == '\n') {
            EXPECT_TRUE(i > 0 && actual[i - 1] == '\r') << "line without CR LF at byte " << i;
        }
        if (crlf && actual[i] == '\r' && i + 1 < actual.size() && actual[i + 1] == '\n') continue;
        lf.push_back(actual[i]);
    }
    expectMatchesGolden(
        lf, goldenPath(goldenName),
        [&](const std::string& golden) { return substitute(golden, vars, false); },
        [&](const std::string& text) { return substitute(text, vars, true); });
}

}  // namespace vdln::testing
