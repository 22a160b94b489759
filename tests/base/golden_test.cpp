// The golden-file helper of the tests: an update run rewrites the file and
// still fails; only "1" updates; a comparison uses the file's transform.
#include "support/golden.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "support/tempdir.h"

namespace vdln {
namespace {

class GoldenTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        const char* u = std::getenv("VARDELON_UPDATE_GOLDEN");
        m_old = u ? std::optional<std::string>(u) : std::nullopt;
    }
    void TearDown() override {
        if (m_old)
            ::setenv("VARDELON_UPDATE_GOLDEN", m_old->c_str(), 1);
        else
            ::unsetenv("VARDELON_UPDATE_GOLDEN");
        TempDirTest::TearDown();
    }
    std::optional<std::string> m_old;
};

TEST_F(GoldenTest, AnUpdateRunRewritesTheFileAndFails) {
    const std::string file = path("expected.txt");
    testing::writeFile(file, "old\n");
    ::setenv("VARDELON_UPDATE_GOLDEN", "1", 1);
    EXPECT_NONFATAL_FAILURE(testing::expectMatchesGolden("new @D@\n", file, nullptr,
                                                         [](const std::string& t) { return t + "#"; }),
                            "rewrote");
    EXPECT_EQ(testing::readFile(file), "new @D@\n#");
}

TEST_F(GoldenTest, OnlyOneUpdatesAndAnUnknownValueFails) {
    const std::string file = path("expected.txt");
    for (const char* value : {"", "0", "yes", "true"}) {
        SCOPED_TRACE(std::string("VARDELON_UPDATE_GOLDEN=") + value);
        testing::writeFile(file, "same\n");
        ::setenv("VARDELON_UPDATE_GOLDEN", value, 1);
        if (std::string(value).empty() || std::string(value) == "0")
            testing::expectMatchesGolden("same\n", file);
        else
            EXPECT_NONFATAL_FAILURE(testing::expectMatchesGolden("same\n", file), "not understood");
        EXPECT_EQ(testing::readFile(file), "same\n") << "the file is not rewritten";
    }
}

TEST_F(GoldenTest, AComparisonFillsInTheFileAndReportsADifference) {
    const std::string file = path("expected.txt");
    testing::writeFile(file, "in @D@\n");
    ::unsetenv("VARDELON_UPDATE_GOLDEN");
    auto fill = [](const std::string& t) { return t.substr(0, 3) + "/tmp/x\n"; };
    testing::expectMatchesGolden("in /tmp/x\n", file, fill);
    EXPECT_NONFATAL_FAILURE(testing::expectMatchesGolden("in /tmp/y\n", file, fill), "/tmp/y");
}

}  // namespace
}  // namespace vdln
