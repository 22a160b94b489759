// Inputs that once made the header array reader misbehave (found by the
// fuzz target) and hand-made hostile files: each must be read to a clean
// success or a clear error, never a crash or an out-of-bounds access.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/harfile.h"
#include "formats/recbytes.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln {
namespace {

using vdln::testing::fujiBytes;
using vdln::testing::le32;

std::string regressionDir() {
    return vdln::testing::testSourceDir() + "/tests/formats/har_regressions";
}

TEST(HarRegressions, KeptInputsReadCleanly) {
    struct Expect {
        const char* file;
        std::string message;  // expected message of the strict read; empty: success
    } expects[] = {
        // Range record indices whose product overflowed 64 bits.
        {"range_product_overflow.har", ""},
    };
    std::size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(regressionDir())) {
        const std::string name = entry.path().string();
        SCOPED_TRACE(name);
        ++seen;
        bool skipped = false;
        auto strict = ReadHarFile(name, false, false, &skipped);
        auto lenient = ReadHarFile(name, true, true, &skipped);
        if (strict) {
            EXPECT_TRUE(lenient);
        } else {
            EXPECT_FALSE(strict.message().empty());
        }
        (void)ReadHeaderFromHarFile(name, "", true);
        for (const auto& e : expects)
            if (entry.path().filename() == e.file && !e.message.empty()) {
                ASSERT_FALSE(strict);
                EXPECT_NE(strict.message().find(e.message), std::string::npos) << strict.message();
            }
    }
    EXPECT_GE(seen, 1u);
    // Its first header's description is damaged; read past it, the range
    // record of a later header is refused.
    auto overflow = ReadHarFile(regressionDir() + "/range_product_overflow.har", false, true);
    ASSERT_FALSE(overflow);
    EXPECT_NE(overflow.message().find("Range record outside the array's dimensions [GetRLData]"),
              std::string::npos)
        << overflow.message();
}

class HostileHar : public vdln::testing::TempDirTest {};

std::string desc(const std::string& type, const std::string& storage,
                 std::initializer_list<std::int32_t> ints) {
    std::string s = "    " + type + storage + std::string(70, ' ');
    for (auto v : ints) s += le32(v);
    return s;
}

TEST_F(HostileHar, DeclaredSizesBeyondTheContent) {
    struct Case {
        const char* what;
        std::vector<std::string> records;
        std::string message;
    } cases[] = {
        {"range product beyond 64 bits",
         {"BIG ", desc("RL", "FULL", {7, 2, 1, 1, 1, 1, 1, 1}), "    " + le32(3) + std::string(32, '\0'),
          "    " + le32(2) + le32(1) + le32(0x7FFFFFFF) + le32(1) + le32(0x7FFFFFFF) + le32(1) +
              le32(0x7FFFFFFF) + le32(1) + le32(0x7FFFFFFF) + le32(1) + le32(0x7FFFFFFF) + le32(1) +
              le32(0x7FFFFFFF) + le32(1) + le32(0x7FFFFFFF),
          "    " + le32(1)},
         "Range record outside the array's dimensions [GetRLData] [ReadHeaderData:BIG ]"},
        {"matrix record product beyond 64 bits",
         {"MAT ", desc("2I", "FULL", {2, 2, 2}),
          "    " + le32(1) + le32(2) + le32(2) + le32(-0x7FFFFFFF) + le32(0x7FFFFFFF) + le32(-0x7FFFFFFF) +
              le32(0x7FFFFFFF)},
         "2I record wrong length [Get2IData] [ReadHeaderData:MAT ]"},
        {"gigantic integer matrix",
         {"MAT ", desc("2I", "FULL", {2, 0x7FFFFFFF, 0x7FFFFFFF})},
         "Matrix size 2147483647*2147483647 too large: max is 268435455 elements [Get2IData] "
         "[ReadHeaderData:MAT ]"},
        {"strings of length zero",
         {"STR ", desc("1C", "FULL", {2, 0x7FFFFFFF, 0}), "    " + le32(1) + le32(0x7FFFFFFF) + le32(0)},
         "sizelms=0 [GetRecBuf] [GetHarStrings] [Get1CData] [ReadHeaderData:STR ]"},
        {"negative string count",
         {"STR ", desc("1C", "FULL", {2, -5, 3})},
         "Negative string count or length [GetHarStrings] [Get1CData] [ReadHeaderData:STR ]"},
        {"element record for a huge set",
         {"SET ", desc("RE", "FULL", {7, 60000000, 1, 1, 1, 1, 1, 1}),
          "    " + le32(1) + le32(-1) + le32(1) + std::string(12, 'C') + le32(-1) + std::string(12, 'S') +
              "k" + le32(0) + le32(0)},
         "At header SET \r\nCannot read 60000000 strings length 12 (total size 720000000) since buffer size "
         "MaxHarBuf is set to just 8000000 [GetHarStrings] [GetOrgREData] [GetHeaderDetails]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        vdln::testing::writeFile(path("h.har"), fujiBytes(c.records));
        auto r = ReadHarFile(path("h.har"));
        ASSERT_FALSE(r);
        EXPECT_EQ(r.message(), c.message + " [ReadMoreIntoHarFile] [ReadHarFile]");
    }
}

TEST_F(HostileHar, LargeSparseArrayOfZerosIsAllocatedLazily) {
    // A tiny file may declare the largest array allowed; it reads as zeros.
    vdln::testing::writeFile(path("z.har"),
                             fujiBytes({"ZERO", desc("RL", "SPSE", {7, 16384, 16383, 1, 1, 1, 1, 1}),
                                        "    " + le32(0) + le32(4) + le32(4) + std::string(80, ' '),
                                        "    " + le32(1) + le32(0) + le32(0)}));
    auto r = ReadHarFile(path("z.har"));
    ASSERT_TRUE(r) << r.message();
    const HarHeader* z = r->find("ZERO");
    ASSERT_TRUE(z);
    EXPECT_EQ(z->HeadMat.size(), 16384LL * 16383LL);
    EXPECT_EQ(z->HeadMat.at(16384, 16383), 0.0f);
}

}  // namespace
}  // namespace vdln
