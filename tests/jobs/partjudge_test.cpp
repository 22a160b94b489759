#include "jobs/partjudge.h"

#include "base/paths.h"
#include "base/textfile.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class PartJudgeTest : public testing::TempDirTest {
protected:
    TOneDosJob part(PartKind jobPart) {
        TOneDosJob j;
        j.InUse = true;
        j.JobName = jobPart == PartKind::Sim ? JobKind::Sim : JobKind::Bot;
        j.JobPart = jobPart;
        j.LogFile = path("tmp/part.log");
        j.ReportFile = path("tmp/part.rpt");
        j.OutputFile = path("work/out.sl4");
        j.StepLogFile = path("work/step.log");
        testing::writeFile(path("tmp/.keep"), "");
        testing::writeFile(path("work/.keep"), "");
        return j;
    }
    void report(const TOneDosJob& j, const std::string& body) {
        testing::writeFile(j.ReportFile, "[Result]\r\n" + body);
    }
    TSVVersionInfo version;
};

TEST_F(PartJudgeTest, SuccessNeedsAnOkReportAndTheOutput) {
    PartJudge judge(version);
    TOneDosJob j = part(PartKind::Tellur1);
    PartVerdict none = judge.judge(j);
    EXPECT_FALSE(none.reportOk);
    EXPECT_FALSE(none.outputWritten);

    report(j, "Status=ok\r\n");
    EXPECT_TRUE(judge.judge(j).reportOk);
    EXPECT_FALSE(judge.judge(j).outputWritten);
    testing::writeFile(j.OutputFile, "x");
    EXPECT_TRUE(judge.judge(j).outputWritten);

    report(j, "Status=error\r\nError=Singular matrix\r\n");
    PartVerdict failed = judge.judge(j);
    EXPECT_FALSE(failed.reportOk);
    EXPECT_EQ(failed.reportedError, "Singular matrix");
    EXPECT_FALSE(version.ReleaseKnown) << "only the model program's report tells the release";
}

TEST_F(PartJudgeTest, TheStepLogGainsThePartLogAndTheModelProgramTellsItsRelease) {
    PartJudge judge(version);
    TOneDosJob j = part(PartKind::Sim);
    testing::writeFile(j.StepLogFile, "** Starting sim **\r\n");
    testing::writeFile(j.LogFile, "part line\r\n");
    report(j, "Status=ok\r\nSVVer Large=70123\r\nPRVer Integer=78400\r\nFortran Compiler= \r\n");
    EXPECT_TRUE(judge.judge(j).reportOk);
    EXPECT_EQ(testing::readFile(j.StepLogFile), "** Starting sim **\r\npart line\r\n");
    EXPECT_TRUE(version.ReleaseKnown);
    EXPECT_EQ(version.Release, 70123);
    EXPECT_TRUE(version.VersionKnown);
    EXPECT_EQ(version.Version, 78400);
    EXPECT_FALSE(version.CompilerKnown) << "an empty compiler names none";
}

TEST_F(PartJudgeTest, TheErrorLogIsThePartsOwnElseTheOneItsReportNames) {
    TOneDosJob j = part(PartKind::Env);
    EXPECT_EQ(PartJudge::errorLog(j), "");
    const std::string named = path("tmp/named.log");
    report(j, "Status=error\r\nLog file=" + named + "\r\n");
    EXPECT_EQ(PartJudge::errorLog(j), "") << "a named log that does not exist is none";
    testing::writeFile(named, "why\r\n");
    EXPECT_EQ(PartJudge::errorLog(j), named);
    testing::writeFile(j.LogFile, "own\r\n");
    EXPECT_EQ(PartJudge::errorLog(j), j.LogFile);
}

}  // namespace
}  // namespace vdln
