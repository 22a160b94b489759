#include "cmf/shockslices.h"

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace vdln {
namespace {

TEST(ShockSlices, YearWordsAndStatements) {
    struct Case {
        const char* name;
        std::vector<std::string> in;
        std::vector<std::string> out;
    };
    const Case cases[] = {
        {"year word", {"shock <year> x = uniform 3 ;"}, {"shock  x = uniform 3  slice \"Y2005\" ;"}},
        {"named slice any case", {"Shock <YEAR=P> l = 1;"}, {"Shock  l = 1 slice \"P2005\" ;"}},
        {"empty slice name stays", {"shock <year=> x = 1 ;"}, {"shock <year=> x = 1 ;"}},
        {"three-line statement",
         {"shock <year=Q> x", "  = 1 2", "  3 ; ! done"},
         {"shock  x", "  = 1 2", "  3  slice \"Q2005\" ; ! done"}},
        {"comment and blank lines inside a statement",
         {"shock <year> x =", "! a remark ; with semicolon", "", "1 ;"},
         {"shock  x =", "! a remark ; with semicolon", "", "1  slice \"Y2005\" ;"}},
        {"semicolon in a trailing comment does not end the statement",
         {"shock <year> x = ! note ;", "1 ;"},
         {"shock  x = ! note ;", "1  slice \"Y2005\" ;"}},
        {"two exclamation marks start a statement line",
         {"!!shock <year> x = 1 ;"},
         {"!!shock  x = 1  slice \"Y2005\" ;"}},
        {"double bang then statement", {"!! <year> x = 1;"}, {"!!  x = 1 slice \"Y2005\" ;"}},
        {"no slice, one statement",
         {"shock x = 1 ;", "shock <year> y = 2 ;"},
         {"shock x = 1 ;", "shock  y = 2  slice \"Y2005\" ;"}},
        {"year word only in an open statement is kept",
         {"shock x", "<year> = 1 ;"},
         {"shock x", "<year> = 1 ;"}},
        {"control characters become blanks",
         {"shock\t<year>\tx = 1;\x01"},
         {"shock  x = 1 slice \"Y2005\" ; "}},
        {"unterminated quote", {"shock <year> x = file \"a;b ;"}, {"shock  x = file \"a;b ;"}},
        {"short word", {"shock <yea> x ;"}, {"shock <yea> x ;"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sliceShockLines(c.in, "2005"), c.out);
    }
}

TEST(ShockSlices, OpenStateAcrossLines) {
    ShockSlicer s("2010");
    EXPECT_FALSE(s.statementOpen());
    s.process("shock <year> x");
    EXPECT_TRUE(s.statementOpen());
    s.process("! remark");
    EXPECT_TRUE(s.statementOpen());
    EXPECT_EQ(s.process("= 4;"), "= 4 slice \"Y2010\" ;");
    EXPECT_FALSE(s.statementOpen());
    s.process("shock y = 1");  // no slice: the next line's ";" inserts nothing
    EXPECT_EQ(s.process(";"), ";");
}

class AppendShocksTest : public testing::TempDirTest {};

TEST_F(AppendShocksTest, AppendsToOpenFileAndReportsMissingSource) {
    testing::writeFile(path("b.bsh"), "shock <year> x = 3 ;\r\nshock l = 1 ;\r\n");
    TxtFile out;
    ASSERT_TRUE(TxtCreate(out, path("out.cmf")));
    ASSERT_TRUE(AppendShocks(out, path("b.bsh"), 2024));
    const Status s = AppendShocks(out, path("none.bsh"), 2024);
    ASSERT_TRUE(TxtClose(out));
    EXPECT_EQ(testing::readFile(path("out.cmf")), "shock  x = 3  slice \"Y2024\" ;\r\nshock l = 1 ;\r\n");
    ASSERT_FALSE(s);
    EXPECT_NE(s.message().find("Cannot open file " + path("none.bsh")), std::string::npos);
    EXPECT_EQ(s.message().substr(s.message().size() - 15), " [AppendShocks]");
}

}  // namespace
}  // namespace vdln
