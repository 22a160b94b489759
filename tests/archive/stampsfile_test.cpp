#include "archive/stampsfile.h"

#include "base/fileutil.h"
#include "base/textfile.h"
#include "runrecord/filestamp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class StampsFileTest : public testing::TempDirTest {};

TEST_F(StampsFileTest, RestoredFilesGetTheirRecordedTimesBack) {
    testing::writeFile(path("orig/BASE.HAR"), "data");
    testing::writeFile(path("orig/b.cls"), "exogenous x ;");
    const std::int64_t when = fileTimeFromUnix(1500000000, 123456700);
    ASSERT_TRUE(setFileWriteTime(path("orig/BASE.HAR"), when));
    std::string text = makeStampsText({path("orig/b.cls"), path("orig/BASE.HAR"), path("orig/BASE.HAR")});
    auto lines = splitLines(text);
    ASSERT_EQ(lines.size(), 2u) << "duplicates are dropped";
    EXPECT_LT(lines[0], lines[1]) << "stamps are sorted";

    // The copies get new times; the stamps put the old ones back, matching
    // names without regard to case.
    testing::writeFile(path("restored/base.har"), "data");
    testing::writeFile(path("restored/b.cls"), "exogenous x ;");
    testing::writeFile(path("restored/other.txt"), "x");
    auto n = applyStamps(path("restored"), text + "0 0 -1 -1 /gone/missing.har\r\nnot a stamp\r\n");
    ASSERT_TRUE(n) << n.message();
    EXPECT_EQ(*n, 2);
    EXPECT_EQ(*fileWriteTime(path("restored/base.har")), when);
    // Now the stamp of the original compares equal with the restored file.
    auto cmp = CompareFileStamp("The data file", "Base",
                                lines[0].find("BASE") != std::string::npos ? lines[0] : lines[1],
                                path("restored/base.har"), "used", StampCheck{false, true});
    EXPECT_TRUE(cmp.ok) << cmp.message;
    EXPECT_FALSE(applyStamps(path("nofolder"), text));
}

}  // namespace
}  // namespace vdln
