#include "results/accsummary.h"

#include <gtest/gtest.h>

#include "base/fileutil.h"
#include "formats/harfile.h"
#include "results/acclog.h"
#include "results/acclogwriter.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::AccLogBuilder;
using testing::Counts;

const Counts k60 = {0, 0, 0, 0, 0, 0, 10};  // mean 60, grade 10
const Counts k45 = {0, 0, 0, 0, 5, 5, 0};   // mean 45, grade 5
const Counts k50 = {0, 0, 0, 0, 0, 10, 0};  // mean 50, grade 6
const Counts k30 = {0, 0, 0, 10, 0, 0, 0};  // mean 30, grade 3
const Counts k33 = {0, 0, 2, 3, 5, 0, 0};   // mean 33, grade 4
const Counts kNone = {};                    // mean 0, grade 0

std::array<std::int32_t, 7> counts(const Counts& c) {
    std::array<std::int32_t, 7> out{};
    for (size_t i = 0; i < 7; ++i) out[i] = c[i];
    return out;
}

TEST(AccGrade, GradeTableBoundariesAndHalfToEven) {
    struct Case {
        float mean;
        int grade;
    };
    const Case cases[] = {
        {0.0f, 0},  {8.0f, 0},  {8.5f, 0},  {8.51f, 1},  {9.0f, 1},   {9.5f, 1},  {16.0f, 1},
        {16.5f, 1}, {17.0f, 2}, {24.0f, 2}, {24.5f, 2},  {25.0f, 3},  {32.0f, 3}, {32.5f, 3},
        {33.0f, 4}, {39.0f, 4}, {39.5f, 5}, {40.0f, 5},  {45.0f, 5},  {45.5f, 6}, {46.0f, 6},
        {50.0f, 6}, {50.5f, 6}, {51.0f, 7}, {54.0f, 7},  {54.5f, 7},  {55.0f, 8}, {57.0f, 8},
        {57.5f, 9}, {58.0f, 9}, {59.0f, 9}, {59.5f, 10}, {60.0f, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mean);
        EXPECT_EQ(accGrade(c.mean), c.grade);
    }
}

TEST(AccGrade, MeanFromCounts) {
    struct Case {
        Counts c;
        float mean;
        int grade;
    };
    const Case cases[] = {
        {k60, 60.0f, 10},
        {k45, 45.0f, 5},
        {kNone, 0.0f, 0},
        {k33, 33.0f, 4},
        // 17 at 1 figure, 3 at none: exactly 8.5, which rounds to 8.
        {{3, 17, 0, 0, 0, 0, 0}, 8.5f, 0},
        // 19 at 1 figure, 1 at none: exactly 9.5, which rounds to 10.
        {{1, 19, 0, 0, 0, 0, 0}, 9.5f, 1},
        // Only results at 0 figures: counted, mean 0.
        {{40, 0, 0, 0, 0, 0, 0}, 0.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mean);
        AccPlaces p;
        p.counts = counts(c.c);
        computeMeanAndGrade(p);
        EXPECT_FLOAT_EQ(p.mean, c.mean);
        EXPECT_EQ(p.grade, c.grade);
    }
}

TEST(GetPlacesSumry, ReadsStringsAndStopsAtFirstOtherLine) {
    std::vector<std::string> lines = {
        "  1 2 results are judged accurate to 6 figures.",  // blanks inside the number are removed
        "+3 results are judged accurate to  4  figures",
        "0 results are judged accurate to 0 figures.",
        "end of block",
        "99 results are judged accurate to 1 figures.",  // after the block: not read
    };
    AccPlaces p;
    ASSERT_TRUE(GetPlacesSumry(lines, p));
    EXPECT_EQ(p.counts, (std::array<std::int32_t, 7>{0, 0, 0, 0, 3, 0, 12}));
    EXPECT_TRUE(p.present);
    EXPECT_FLOAT_EQ(p.mean, 10.0f * (12 * 6 + 3 * 4) / 15.0f);
    EXPECT_EQ(p.grade, accGrade(p.mean));

    // The strings of a header may hold exactly one block: their end ends it.
    std::vector<std::string> exact = {"10 results are judged accurate to 6 figures."};
    ASSERT_TRUE(GetPlacesSumry(exact, p));
    EXPECT_EQ(p.grade, 10);
    // No strings at all: an empty block.
    ASSERT_TRUE(GetPlacesSumry(std::vector<std::string>{}, p));
    EXPECT_EQ(p.grade, 0);
}

TEST(GetPlacesSumry, ReadsTheStringsOfA1CHeader) {
    PHarHeader h;
    ASSERT_TRUE(Create1C(h, "ACCV", "Accuracy summary", 60, 3,
                         {"  7 results are judged accurate to 5 figures.",
                          "  3 results are judged accurate to 6 figures.", "end"}));
    AccPlaces p;
    ASSERT_TRUE(GetPlacesSumry(*h, p));
    EXPECT_EQ(p.counts, (std::array<std::int32_t, 7>{0, 0, 0, 0, 0, 7, 3}));
    EXPECT_FLOAT_EQ(p.mean, 53.0f);
    EXPECT_EQ(p.grade, 7);
    HarHeader real;
    real.HeadType = "RE";
    Status s = GetPlacesSumry(real, p);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), "Not a String Header[GetPlacesSumry]");
}

TEST(GetPlacesSumry, BadLinesFailWithTag) {
    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        {"x results are judged accurate to 3 figures.",
         "Cannot read the number of results in line \"x results are judged accurate to 3 figures.\""},
        {" results are judged accurate to 3 figures.",
         "Cannot read the number of results in line \" results are judged accurate to 3 figures.\""},
        {"5 results are judged accurate to 7 figures.",
         "Number of figures must be 0 to 6 in line \"5 results are judged accurate to 7 figures.\""},
        {"5 results are judged accurate to -1 figures.",
         "Number of figures must be 0 to 6 in line \"5 results are judged accurate to -1 figures.\""},
        {"-5 results are judged accurate to 3 figures.",
         "Negative number of results in line \"-5 results are judged accurate to 3 figures.\""},
        {"5 results are judged accurate to 3.5 figures.",
         "Cannot read the number of figures in line \"5 results are judged accurate to 3.5 figures.\""},
        {"5 results are judged accurate to .5 figures.",
         "Cannot read the number of figures in line \"5 results are judged accurate to .5 figures.\""},
        {"5 results are judged accurate to 3 places.",
         "Cannot find \"figures\" in line \"5 results are judged accurate to 3 places.\""},
        {"99999999999 results are judged accurate to 3 figures.",
         "Cannot read the number of results in line \"99999999999 results are judged accurate to 3 "
         "figures.\""},
        {"+-4 results are judged accurate to 3 figures.",
         "Cannot read the number of results in line \"+-4 results are judged accurate to 3 figures.\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        AccPlaces p;
        Status s = GetPlacesSumry(std::vector<std::string>{c.line, ""}, p);
        ASSERT_FALSE(s);
        EXPECT_EQ(s.message(), std::string(c.message) + "[GetPlacesSumry]");
    }
    // A huge line is quoted only in part.
    std::string huge(5000, '7');
    AccPlaces p;
    Status s =
        GetPlacesSumry(std::vector<std::string>{"a" + huge + " results are judged accurate to 1 figures"}, p);
    ASSERT_FALSE(s);
    EXPECT_LT(s.message().size(), 300u);
}

class AccLogTest : public vdln::testing::TempDirTest {
protected:
    std::string log(const std::string& name, const AccLogBuilder& b) {
        std::string p = path(name);
        vdln::testing::writeFile(p, b.text());
        return p;
    }
};

TEST_F(AccLogTest, OneSubintervalWithOneUpdatedFile) {
    AccLogBuilder b;
    b.line(" Solving the model").variables(k45).dataOneFile(k60).line(" End of run");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("a.log", b), 1, s, 1, false, true));
    EXPECT_EQ(s.entryCount, 1);
    EXPECT_FALSE(s.overall);
    EXPECT_EQ(s.overallIndex, -1);
    EXPECT_EQ(s.entry(1).variables.grade, 5);
    EXPECT_FLOAT_EQ(s.entry(1).variables.mean, 45.0f);
    EXPECT_EQ(s.entry(1).data.grade, 10);
    EXPECT_TRUE(s.entry(1).data.present);
    EXPECT_EQ(s.worstEntry[0], 1);
    EXPECT_EQ(s.worstEntry[1], 1);
}

TEST_F(AccLogTest, SeveralSubintervalsWithOverallAndSeveralDataFiles) {
    AccLogBuilder b;
    b.crlf();
    for (const Counts& c : {k50, k30, k60}) {
        b.variables(c);
        // Per-file data summaries come first; with several files the one for
        // all updated data is the one read.
        b.dataOneFile(k60, "BASEDATA").dataOneFile(k60, "OTHER").dataAll(c == k30 ? k45 : k33);
    }
    b.overallVariables(k60).dataOneFile(kNone).dataAll(k50).line(" Program completed.");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("b.log", b), 2, s, 1, false, false));
    EXPECT_EQ(s.entryCount, 4);
    EXPECT_TRUE(s.overall);
    EXPECT_EQ(s.overallIndex, 4);
    EXPECT_TRUE(s.overallData);
    const int varGrades[] = {6, 3, 10, 10};
    const int dataGrades[] = {4, 5, 4, 6};
    for (int e = 1; e <= 4; ++e) {
        SCOPED_TRACE(e);
        EXPECT_EQ(s.entry(e).variables.grade, varGrades[e - 1]);
        EXPECT_EQ(s.entry(e).data.grade, dataGrades[e - 1]);
    }
    EXPECT_EQ(s.worstEntry[0], 2);  // mean 30
    EXPECT_FLOAT_EQ(s.worstMean[0], 30.0f);
    EXPECT_EQ(s.worstEntry[1], 1);  // 33 in entries 1 and 3: the first
}

TEST_F(AccLogTest, RepeatedSubintervalIsCountedOnce) {
    AccLogBuilder b;
    b.variables(k60).dataOneFile(k60);
    b.variables(kNone).dataOneFile(kNone).notSufficient(2);  // subinterval 2 fails ...
    b.variables(k45).dataOneFile(k50);                       // ... and is solved again
    b.variables(k50).dataOneFile(k50);
    b.overallVariables(k50).dataOneFile(k50).line("");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("c.log", b), 1, s, 1, false, false));
    EXPECT_EQ(s.entryCount, 4);
    EXPECT_EQ(s.overallIndex, 4);
    EXPECT_EQ(s.entry(2).variables.grade, 5);
    EXPECT_EQ(s.entry(2).data.grade, 6);
    EXPECT_EQ(s.worstEntry[0], 2);
}

TEST_F(AccLogTest, NotSufficientLineEndingABlockIsStillSeen) {
    // No blank line between the block and the message: the line that ends
    // the block is still examined.
    AccLogBuilder b;
    b.line(" Below are for levels values");
    for (int f = 0; f <= 6; ++f) b.line("1 results are judged accurate to " + std::to_string(f) + " figures");
    b.notSufficient(1).variables(k60).line("end");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("d.log", b), 0, s, 1, false, false));
    EXPECT_EQ(s.entryCount, 1);
    EXPECT_EQ(s.entry(1).variables.grade, 10);
}

TEST_F(AccLogTest, StrayNotSufficientLinesNeverMoveBeforeTheFirstEntry) {
    AccLogBuilder b;
    b.notSufficient(1).notSufficient(1).variables(k45).line("");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("e.log", b), 0, s, 7, false, false));
    EXPECT_EQ(s.entryCount, 7);
    EXPECT_EQ(s.entry(7).variables.grade, 5);
    EXPECT_FALSE(s.entry(6).variables.present);
}

TEST_F(AccLogTest, ThreeHundredBlocksFitButNotThreeHundredAndOne) {
    AccLogBuilder b300, b301;
    for (int i = 0; i < 300; ++i) {
        b300.variables(i == 150 ? k30 : k60);
        b301.variables(k60);
    }
    b301.variables(k60);
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("300.log", b300), 0, s, 1, false, false));
    EXPECT_EQ(s.entryCount, 300);
    EXPECT_EQ(s.worstEntry[0], 151);
    Status st = GetAccSummary2(log("301.log", b301), 0, s, 1, false, false);
    ASSERT_FALSE(st);
    EXPECT_EQ(st.message(), "Too many subintervals for accuracy summary[GetAccSummary2]");
    // Starting further on, the limit is reached sooner.
    AccLogBuilder two;
    two.variables(k60).variables(k60);
    st = GetAccSummary2(log("two.log", two), 0, s, 300, false, false);
    ASSERT_FALSE(st);
    EXPECT_EQ(st.message(), "Too many subintervals for accuracy summary[GetAccSummary2]");
}

TEST_F(AccLogTest, EqualMeansMakeTheFirstTheWorstAndTheOverallIsIgnored) {
    AccLogBuilder b;
    b.variables(k60).variables(k45).variables(k45).overallVariables(kNone).line("");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("f.log", b), 0, s, 1, false, false));
    EXPECT_EQ(s.entryCount, 4);
    EXPECT_EQ(s.worstEntry[0], 2);
    EXPECT_FLOAT_EQ(s.worstMean[0], 45.0f);
    EXPECT_FALSE(s.hasWorst(AccKind::Data));
    EXPECT_FALSE(s.overallData);
}

TEST_F(AccLogTest, OnlyOverallSkipsTheSubintervals) {
    AccLogBuilder b;
    b.variables(kNone).dataAll(kNone).notSufficient(1).variables(k30).dataAll(k30).variables(k45).dataAll(
        k45);
    b.overallVariables(k50).dataAll(k60).line("");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("g.log", b), 3, s, 5, true, true));
    EXPECT_EQ(s.entryCount, 5);
    EXPECT_EQ(s.overallIndex, 5);
    EXPECT_EQ(s.entry(5).variables.grade, 6);
    EXPECT_EQ(s.entry(5).data.grade, 10);
    // Without a marker nothing is counted, and that is no error.
    AccLogBuilder none;
    none.variables(k30).variables(k45).line("");
    ASSERT_TRUE(GetAccSummary2(log("h.log", none), 0, s, 5, true, true));
    EXPECT_EQ(s.entryCount, 4);
    EXPECT_FALSE(s.overall);
}

TEST_F(AccLogTest, DataSummaryMissing) {
    AccLogBuilder b;
    b.variables(k60).line(" NEXT SUMMARY IS FOR ALL UPDATED DATA").line("");  // wrong form for one file
    AccSummary s;
    Status st = GetAccSummary2(log("i.log", b), 1, s, 1, false, false);
    ASSERT_FALSE(st);
    EXPECT_EQ(st.message(), "Cannot find data accuracy summary[GetAccSummary2]");

    // After the overall marker the end of the file simply ends the reading.
    AccLogBuilder o;
    o.variables(k60).dataOneFile(k45).overallVariables(k50).line("done");
    ASSERT_TRUE(GetAccSummary2(log("j.log", o), 1, s, 1, false, false));
    EXPECT_EQ(s.entryCount, 2);
    EXPECT_TRUE(s.overall);
    EXPECT_FALSE(s.overallData);
    EXPECT_FALSE(s.entry(2).data.present);
    EXPECT_EQ(s.worstEntry[1], 1);
}

TEST_F(AccLogTest, FailuresNameTheirCause) {
    struct Case {
        const char* name;
        std::string text;
        int u;
        bool exactlyOne;
        std::string message;
    };
    std::vector<Case> cases = {
        {"k.log", AccLogBuilder().variables(k60).variables(k60).text(), 0, true,
         "Expected just one subinterval, but found more[GetAccSummary2]"},
        {"l.log", " Below are for levels values\n", 0, false, "Premature end of file: @[GetAccSummary2]"},
        {"m.log", AccLogBuilder().variables(k60).line(" NEXT SUMMARY IS FOR ALL UPDATED DATA").text(), 2,
         false, "Premature end of file: @[GetAccSummary2]"},
        {"n.log", " Below are for levels values\n5 results are judged accurate to 3 figures\n", 0, false,
         "Unexpected end-of-file[GetPlacesSumry][GetAccSummary2]"},
        {"o.log", " Below are for levels values\n5 results are judged accurate to 9 figures\n\n", 0, false,
         "Number of figures must be 0 to 6 in line \"5 results are judged accurate to 9 figures\""
         "[GetPlacesSumry][GetAccSummary2]"},
        // A summary after the overall one.
        {"p.log", AccLogBuilder().overallVariables(k60).variables(k30).text(), 0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string p = path(c.name);
        vdln::testing::writeFile(p, c.text);
        AccSummary s;
        Status st = GetAccSummary2(p, c.u, s, 1, false, c.exactlyOne);
        if (c.message.empty()) {
            // Every summary after the marker is taken as overall: the last one.
            ASSERT_TRUE(st);
            EXPECT_EQ(s.overallIndex, 2);
            continue;
        }
        ASSERT_FALSE(st);
        std::string expected = c.message;
        if (size_t at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, p);
        EXPECT_EQ(st.message(), expected);
    }
    AccSummary s;
    Status st = GetAccSummary2(path("missing.log"), 0, s, 1, false, false);
    EXPECT_EQ(st.message(), "File \"" + path("missing.log") + "\" not found[GetAccSummary2]");
    st = GetAccSummary2(path("missing.log"), 0, s, 0, false, false);
    EXPECT_FALSE(st);
}

TEST_F(AccLogTest, NoSummaryAtAllIsEmptyEvenWhenExactlyOneIsExpected) {
    AccLogBuilder b;
    b.line(" Solution failed: singular matrix");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("q.log", b), 1, s, 4, false, true));
    EXPECT_EQ(s.entryCount, 3);
    EXPECT_FALSE(s.hasWorst(AccKind::Variables));
}

TEST_F(AccLogTest, ARepeatedEntryLosesTheDataOfTheFailedAttempt) {
    // The repeat of a subinterval with its data part missing after the
    // overall marker must not keep the failed attempt's data.
    AccLogBuilder b;
    b.overallVariables(kNone).dataAll(kNone).notSufficient(1).variables(k60).line("");
    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(log("r.log", b), 2, s, 1, false, false));
    EXPECT_EQ(s.entryCount, 1);
    EXPECT_EQ(s.entry(1).variables.grade, 10);
    EXPECT_FALSE(s.entry(1).data.present);
    EXPECT_FALSE(s.overallData);
}

TEST_F(AccLogTest, LinesOfTheLogWriterReadBack) {
    // A solve with automatic accuracy over two updated files: subinterval 2
    // fails once and is repeated, then the overall summary.
    const std::array<std::int32_t, 7> v1{0, 0, 1, 2, 3, 4, 5}, d1{0, 0, 0, 0, 0, 8, 4};
    const std::array<std::int32_t, 7> bad{9, 9, 0, 0, 0, 0, 0}, v2{0, 0, 0, 0, 10, 2, 3},
        d2{0, 1, 1, 1, 1, 1, 1};
    const std::array<std::int32_t, 7> vo{0, 0, 0, 1, 2, 3, 9}, dop{0, 0, 0, 0, 5, 5, 5};
    std::vector<std::string> lines = {" Solvane model program log", " Subinterval 1"};
    auto add = [&](const std::vector<std::string>& more) {
        lines.insert(lines.end(), more.begin(), more.end());
    };
    auto subinterval = [&](const std::array<std::int32_t, 7>& v, const std::array<std::int32_t, 7>& d) {
        add(accVariablesSummaryLines(v, false));
        add(accFileDataSummaryLines(d1, "BASEDATA"));  // per-file summaries are passed over
        add(accFileDataSummaryLines(bad, "REGDATA"));
        add(accAllDataSummaryLines(d));
    };
    subinterval(v1, d1);
    subinterval(bad, bad);
    lines.push_back(accNotSufficientLine(2, 71, 80));
    subinterval(v2, d2);
    add(accVariablesSummaryLines(vo, true));
    add(accAllDataSummaryLines(dop));
    lines.push_back(" Program completed.");
    std::string p = path("w.log");
    ASSERT_TRUE(writeLinesAtomic(p, lines));

    AccSummary s;
    ASSERT_TRUE(GetAccSummary2(p, 2, s, 1, false, false));
    ASSERT_EQ(s.entryCount, 3);
    EXPECT_EQ(s.overallIndex, 3);
    EXPECT_TRUE(s.overallData);
    EXPECT_EQ(s.entry(1).variables.counts, v1);
    EXPECT_EQ(s.entry(1).data.counts, d1);
    EXPECT_EQ(s.entry(2).variables.counts, v2);
    EXPECT_EQ(s.entry(2).data.counts, d2);
    EXPECT_EQ(s.entry(3).variables.counts, vo);
    EXPECT_EQ(s.entry(3).data.counts, dop);

    // One updated file: its own summary is the data summary.
    lines = accVariablesSummaryLines(v2, false);
    add(accFileDataSummaryLines(d2, "BASEDATA"));
    ASSERT_TRUE(writeLinesAtomic(p, lines));
    ASSERT_TRUE(GetAccSummary2(p, 1, s, 1, false, true));
    EXPECT_EQ(s.entry(1).data.counts, d2);
}

}  // namespace
}  // namespace vdln

namespace vdln {
namespace {

TEST_F(AccLogTest, BrokenLogsNeverBreakTheReader) {
    // Logs made of random pieces of summary lines, garbage and binary bytes:
    // the reader either succeeds with a consistent record or fails with a
    // message, and never reads past its entries.
    const std::vector<std::string> pieces = {
        " Below are for levels values",
        " Below are for overall levels values",
        " ACCURACY SUMMARY FOR OVERALL RESULTS",
        " NEXT SUMMARY IS FOR UPDATED DATA FROM LOGICAL FILE X",
        " NEXT SUMMARY IS FOR ALL UPDATED DATA",
        " Accuracy for subinterval 1 not sufficient - accuracy was 1 percent",
        "3 results are judged accurate to 4 figures.",
        "results are judged accurate to figures",
        "2147483647 results are judged accurate to 6 figures",
        "-0 results are judged accurate to +0 figures",
        "",
        std::string("\0\xff\x01 results are judged accurate to \x80 figures", 40),
        std::string(3000, 'x'),
    };
    unsigned seed = 12345;
    auto next = [&]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    int succeeded = 0;
    for (int round = 0; round < 120; ++round) {
        std::string text;
        int lines = 1 + static_cast<int>(next() % 60);
        for (int l = 0; l < lines; ++l) text += pieces[next() % pieces.size()] + (next() % 5 ? "\n" : "\r\n");
        if (next() % 3 == 0) text.pop_back();  // no final line ending
        std::string p = path("r.log");
        vdln::testing::writeFile(p, text);
        AccSummary s;
        int first = 1 + static_cast<int>(next() % 300);
        Status st = GetAccSummary2(p, static_cast<int>(next() % 3), s, first, next() % 2, next() % 2);
        if (!st) {
            EXPECT_NE(st.message().find("[GetAccSummary2]"), std::string::npos);
            continue;
        }
        ++succeeded;
        EXPECT_GE(s.entryCount, first - 1);
        EXPECT_LE(s.entryCount, kMaxAccEntries);
        for (int e = first; e <= s.entryCount; ++e) {
            EXPECT_GE(s.entry(e).variables.grade, 0);
            EXPECT_LE(s.entry(e).variables.grade, 10);
        }
    }
    EXPECT_GT(succeeded, 0);
}

}  // namespace
}  // namespace vdln
