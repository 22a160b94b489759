#include "base/paths.h"

#include "base/fileutil.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

TEST(Paths, JoinPathRemovesExtraSeparators) {
    struct Case {
        const char* dir;
        const char* name;
        const char* want;
    } cases[] = {
        {"/work", "x.sl4", "/work/x.sl4"},
        {"/work/", "x.sl4", "/work/x.sl4"},
        {"/work//", "/x.sl4", "/work/x.sl4"},
        {"/", "x", "/x"},
        {"", "x", "x"},
        {"rel/dir", "a/b", "rel/dir/a/b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.dir) + " + " + c.name);
        EXPECT_EQ(JoinPath(c.dir, c.name), c.want);
    }
}

TEST(Paths, ResolvePathKeepsAbsoluteAndExpandsDotNames) {
    EXPECT_EQ(ResolvePath("/w", "/abs/f.har"), "/abs/f.har");
    EXPECT_EQ(ResolvePath("/w/app", "./f.har"), "/w/app/f.har");
    EXPECT_EQ(ResolvePath("/w/app", "../data/f.har"), "/w/data/f.har");
    EXPECT_EQ(ResolvePath("/w/app", "f.har"), "/w/app/f.har");
}

TEST(Paths, NameParts) {
    EXPECT_EQ(dirOf("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(dirOf("/c.txt"), "/");
    EXPECT_EQ(dirOf("c.txt"), "");
    EXPECT_EQ(nameOf("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(extOf("/a.b/c"), "");
    EXPECT_EQ(extOf("/a/c.tar.gz"), ".gz");
    EXPECT_EQ(changeExt("/a.b/c", ".log"), "/a.b/c.log");
    EXPECT_EQ(changeExt("/a/x.sl4", ".cmf"), "/a/x.cmf");
    EXPECT_EQ(changeExt("/a/x.sl4", ""), "/a/x");
}

class CaseLookup : public testing::TempDirTest {};

TEST_F(CaseLookup, FindsAUserNameWrittenInAnotherCase) {
    testing::writeFile(path("Data/BASE.HAR"), "x");
    EXPECT_EQ(findFileIgnoringCase(path("data/base.har")), path("Data/BASE.HAR"));
    EXPECT_EQ(findFileIgnoringCase(path("Data/BASE.HAR")), path("Data/BASE.HAR"));
    // Nothing matches: the name comes back as written.
    EXPECT_EQ(findFileIgnoringCase(path("data/other.har")), path("data/other.har"));
    // Two names that differ only in case are ambiguous: no guess is made.
    testing::writeFile(path("Data/base.har"), "y");
    EXPECT_EQ(findFileIgnoringCase(path("Data/Base.har")), path("Data/Base.har"));
}

}  // namespace
}  // namespace vdln
