#include "env/suite.h"

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::writeFile;

class SuiteReportTest : public testing::TempDirTest {};

TEST_F(SuiteReportTest, ReadsStatusIgnoringCase) {
    struct Case {
        std::string text;
        bool ok;
    } cases[] = {
        {"[Result]\r\nStatus=ok\r\n", true},
        {"[result]\nstatus=OK\n", true},
        {"[RESULT]\r\nSTATUS= Ok \r\n", true},
        {"[Result]\r\nStatus=error\r\nError=Singular closure\r\n", false},
        {"[Other]\r\nStatus=ok\r\n", false},
        {"", false},
        {"garbage\x01\x02 without = sections", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        writeFile(path("x.rpt"), c.text);
        EXPECT_EQ(reportSaysOk(path("x.rpt")), c.ok);
    }
    EXPECT_FALSE(reportSaysOk(path("missing.rpt")));
    Result<SuiteReport> r = readSuiteReport(path("missing.rpt"));
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(), "Cannot open file " + path("missing.rpt"));
}

TEST_F(SuiteReportTest, ModelProgramReportKeys) {
    writeFile(path("m.rpt"),
              "[Result]\r\nStatus=error\r\nError=Closure has 8 exogenous components, needs 9\r\n"
              "Log file=/w/bs1b2024.log\r\nSVVer Large=80000\r\nRelease=8.0\r\nPRVer Integer=79000\r\n"
              "Fortran Compiler=gfortran\r\nOutput file=/w/x.tab\r\n");
    Result<SuiteReport> r = readSuiteReport(path("m.rpt"));
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->ok());
    EXPECT_EQ(r->error, "Closure has 8 exogenous components, needs 9");
    EXPECT_EQ(r->logFile, "/w/bs1b2024.log");
    EXPECT_EQ(r->svVerLarge, 80000);
    EXPECT_EQ(r->release, "8.0");
    EXPECT_EQ(r->prVerInteger, 79000);
    EXPECT_EQ(r->fortranCompiler, "gfortran");
    ASSERT_EQ(r->extra.size(), 1u);
    EXPECT_EQ(r->extra[0].second, "/w/x.tab");

    writeFile(path("bad.rpt"), "[Result]\r\nStatus=ok\r\nSVVer Large=eighty\r\n");
    Result<SuiteReport> b = readSuiteReport(path("bad.rpt"));
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->svVerLarge.has_value()) << "a number that is not a number is not known";
}

TEST_F(SuiteReportTest, WrittenReportReadsBack) {
    SuiteReport w;
    w.status = "ok";
    w.logFile = "/w/a b.log";
    w.svVerLarge = 80000;
    w.release = "8.0";
    w.prVerInteger = 79000;
    w.fortranCompiler = "gfortran";
    w.extra = {{"Output file used", "yes"}};
    ASSERT_TRUE(writeSuiteReport(path("r.rpt"), w).isOk());
    EXPECT_EQ(testing::readFile(path("r.rpt")),
              "[Result]\r\nStatus=ok\r\nLog file=/w/a b.log\r\nSVVer Large=80000\r\nRelease=8.0\r\n"
              "PRVer Integer=79000\r\nFortran Compiler=gfortran\r\nOutput file used=yes\r\n");
    Result<SuiteReport> r = readSuiteReport(path("r.rpt"));
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->ok());
    EXPECT_EQ(r->logFile, w.logFile);
    EXPECT_EQ(r->prVerInteger, 79000);
    EXPECT_EQ(r->extra, w.extra);
}

TEST(SuiteCalling, ArgumentsAndParameterText) {
    EXPECT_EQ(suiteArguments("/t/a.sti", LogOption::Lon, kLogNamedAfterSti),
              (std::vector<std::string>{"-sti", "/t/a.sti", "-lon", "%sti"}));
    EXPECT_EQ(suiteParameterText("/t/a b.sti", LogOption::Log, "/w/x.log"),
              " -sti \"/t/a b.sti\" -log /w/x.log");
    EXPECT_EQ(suiteParameterText("/t/a.sti", LogOption::Los, "%sti"), " -sti /t/a.sti -los %sti");
    EXPECT_EQ(quoteIfBlank("\"a b\""), "\"a b\"");
    EXPECT_EQ(suiteProgramFile("Sectra"), "sectraa.exe");
    EXPECT_EQ(suiteProgramFile("calvex"), "");
}

TEST(SuiteCalling, ParseArguments) {
    struct Case {
        std::vector<std::string> args;
        std::string sti, log, error;
    } cases[] = {
        {{"-sti", "/t/a.sti", "-lon", "%sti"}, "/t/a.sti", "/t/a.log", ""},
        {{"-STI", "\"/t/a b.sti\"", "-log", "/w/x.log"}, "/t/a b.sti", "/w/x.log", ""},
        {{"-los", "/l.log", "-sti", "s.sti"}, "s.sti", "/l.log", ""},
        {{"-sti", "x.st4"}, "x.st4", "", ""},
        {{"-lon", "/l.log"}, "", "", "Missing -sti option"},
        {{"-sti"}, "", "", "Option -sti needs a file name"},
        {{"-sti", "a", "-lon", "  "}, "", "", "Option -lon needs a file name"},
        {{"-sti", "a", "/x"}, "", "", "Unknown option /x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
        Result<SuiteCall> r = parseSuiteArguments(c.args);
        if (!c.error.empty()) {
            ASSERT_FALSE(r);
            EXPECT_EQ(r.message(), c.error);
            continue;
        }
        ASSERT_TRUE(r) << r.message();
        EXPECT_EQ(r->stiFile, c.sti);
        EXPECT_EQ(r->logFile, c.log);
    }
}

TEST(StoredInput, Answers) {
    struct Case {
        const char* line;
        const char* answer;
    } cases[] = {
        {"bat", "bat"},
        {"nlv  ! No levels results", "nlv"},
        {" ", ""},
        {"", ""},
        {"   ! subtotals if available, otherwise cum col", ""},
        {"/t/bs1b2024    ! Sl4 file", "/t/bs1b2024"},
        {"! a comment line", ""},
        {"xx.xx  ! HAR mapping file created", "xx.xx"},
        {"/w/odd!name.har", "/w/odd!name.har"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(storedInputAnswer(c.line), c.answer);
    }
}

}  // namespace
}  // namespace vdln
