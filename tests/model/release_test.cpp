#include "model/release.h"

#include <gtest/gtest.h>

#include "base/fileutil.h"
#include "base/textfile.h"
#include "doubles/scripteddialogs.h"
#include "env/tools.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class ReleaseTest : public testing::TempDirTest {};

TEST_F(ReleaseTest, ReadsReportAndSettingsSections) {
    struct Case {
        const char* what;
        std::string text;
        std::string section;
        TSVVersionInfo expect;
    };
    const std::vector<Case> cases = {
        {"full report",
         "[Result]\r\nStatus=ok\r\nSVVer Large=80000\r\nRelease=8.0\r\nPRVer Integer=79000\r\nFortran "
         "Compiler=gfortran\r\n",
         "Result",
         {true, true, true, 80000, 79000, "gfortran"}},
        {"release text only", "[result]\nrelease=6.1\n", "RESULT", {true, false, false, 60000, 0, ""}},
        {"release text ignored when large is positive",
         "[Result]\nSVVer Large=70000\nRelease=5.0\n",
         "Result",
         {true, false, false, 70000, 0, ""}},
        {"zero large falls back to text",
         "[Result]\nSVVer Large=0\nRelease=5\n",
         "Result",
         {true, false, false, 50000, 0, ""}},
        {"negatives unknown",
         "[Result]\nSVVer Large=-3\nPRVer Integer=-1\nFortran Compiler=\n",
         "Result",
         {}},
        {"settings",
         "[Environment]\nSimulation Program SV Release=90000\nSimulation Program Version=-1\n"
         "Simulation Program Compiler=LF95\n",
         "Environment",
         {true, false, true, 90000, 0, "LF95"}},
        {"settings ignore report keys", "[Environment]\nSVVer Large=90000\n", "Environment", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadVersionInfo(IniFile::parse(c.text), c.section), c.expect);
    }
    EXPECT_EQ(ReadVersionInfo(path("missing.rpt"), "Result"), TSVVersionInfo());
}

TEST_F(ReleaseTest, WriteThenReadSettingsRoundTrip) {
    IniFile ini;
    TSVVersionInfo info{true, false, true, 80000, 0, "gfortran"};
    WriteVersionInfo(ini, info);
    EXPECT_EQ(ini.getString("Environment", "Simulation Program Version"), "0");
    EXPECT_EQ(ReadVersionInfo(ini, "Environment"), info);
    WriteVersionInfo(ini, TSVVersionInfo());
    EXPECT_EQ(ini.getString("Environment", "Simulation Program SV Release"), "0");
    EXPECT_EQ(ini.getString("Environment", "Simulation Program Compiler"), "");
}

TEST_F(ReleaseTest, AcceptanceRules) {
    struct Case {
        const char* what;
        TSVVersionInfo info;
        VersionVerdict verdict;
    };
    const std::vector<Case> cases = {
        {"no report", {}, VersionVerdict::Accepted},
        {"release 6 refused", {true, false, false, 60000, 0, ""}, VersionVerdict::ReleaseRefused},
        {"69999 refused", {true, false, true, 69999, 0, "LF95"}, VersionVerdict::ReleaseRefused},
        {"80000 with F77L3", {true, false, true, 80000, 0, "F77L3"}, VersionVerdict::CompilerRefused},
        {"80000 with LF95", {true, false, true, 80000, 0, "LF95"}, VersionVerdict::Accepted},
        {"70000 without compiler", {true, false, false, 70000, 0, ""}, VersionVerdict::CompilerUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(versionVerdict(c.info), c.verdict);
        ScriptedDialogs dlg;
        int cleared = 0;
        bool ok = VersionAcceptable(c.info, "/m/growth.exe", false, dlg, [&] { ++cleared; });
        EXPECT_EQ(ok, c.verdict == VersionVerdict::Accepted);
        EXPECT_EQ(cleared, ok ? 0 : 1);
        EXPECT_EQ(dlg.messages().size(), ok ? 0u : 2u);
        if (!ok) {
            EXPECT_EQ(
                dlg.lastMessage(),
                "The Model shown on the Model/Data page has been cleared.\r\nPlease select a new model.");
        }
    }
}

TEST_F(ReleaseTest, RefusalWording) {
    ScriptedDialogs dlg;
    ASSERT_FALSE(
        VersionAcceptable({true, false, true, 80000, 0, "f77l3"}, "/m/growth.exe", false, dlg, nullptr));
    const std::string f77 = dlg.messages().front();
    EXPECT_EQ(
        f77.rfind("Sorry, you cannot use this version of Vardelon with the Model\r\n   /m/growth.exe\r\n"
                  "This program was made with F77L3.\r\n"
                  "Either switch to a program made with Release 7.0 or later of SOLVANE,\r\n"
                  " and not made with Fortran compiler F77L3,\r\n",
                  0),
        0u)
        << f77;
    EXPECT_NE(f77.find("[If you think the above information is incorrect, please load this model\r\n"
                       " again, using the \"Change Model\" button on the Model/Data page.\r\n"
                       " That will update information about this program.]"),
              std::string::npos);
    EXPECT_EQ(dlg.records().front().kind, MsgKind::Error);
    EXPECT_TRUE(dlg.records().front().buttons & BtnHelp);

    const std::string old = versionRefusalText(VersionVerdict::ReleaseRefused, "/m/g.gss", true);
    EXPECT_NE(old.find("\r\nThe Calvex you are using was not made SOLVANE Release 7.0 or later.\r\n"),
              std::string::npos);
}

TEST_F(ReleaseTest, CheckingJobFiles) {
    testing::writeFile(path("chkmodel.rpt"), "[Result]\nStatus=ok\n");
    auto files = WriteReleaseJobFiles(dir(), "/opt/my models/growth.exe");
    ASSERT_TRUE(files) << files.message();
    EXPECT_FALSE(fileExists(path("chkmodel.rpt")));  // a stale report is removed
    EXPECT_EQ(testing::readFile(files->sti), "rpt\r\n" + path("chkmodel.rpt") + "\r\n \r\nxxxxxx\r\n");
    EXPECT_EQ(testing::readFile(files->bat),
              "cd " + shellQuoted(dir()) + "\n'/opt/my models/growth.exe' -sti " +
                  shellQuoted(path("chkmodel.sti")) + " -log " + shellQuoted(path("chkmodel.log")) + "\n");
    EXPECT_EQ(files->directArgs,
              (std::vector<std::string>{"-sti", path("chkmodel.sti"), "-log", path("chkmodel.log")}));

    auto bad = WriteReleaseJobFiles(path("no/such/dir"), "/p");
    ASSERT_FALSE(bad);
    EXPECT_NE(bad.message().find("[WriteReleaseJobBat]"), std::string::npos);
}

TEST_F(ReleaseTest, EvaluatingTheFinishedJob) {
    ReleaseJobFiles files;
    files.rpt = path("chkmodel.rpt");

    struct Case {
        const char* what;
        std::string report;   // empty: no report file
        std::string message;  // empty: no message expected
        bool found;
        std::int32_t release;
    };
    const std::string ax =
        "Sorry. Your Model Auxiliary files were created at different times.\r\n"
        "You should not try to carry out simulations until you\r\n you recreate these Auxiliary files.";
    const std::vector<Case> cases = {
        {"ok report", "[Result]\nStatus=ok\nSVVer Large=80000\nFortran Compiler=gfortran\n", "", true, 80000},
        {"ax date", "[Result]\nStatus=error\nError=E-AX date problem\nSVVer Large=80000\n", ax, true, 80000},
        {"pg date", "[Result]\nStatus=ERROR\nError=E-PG date problem\n",
         "Sorry. Your Lexor-generated program was created at\r\n a different time from your AXS and AXT "
         "files.\r\n"
         "You should not try to carry out simulations until you\r\n you rebuild the EXE and the Auxiliary "
         "files together.",
         true, 0},
        {"other error", "[Result]\nStatus=error\nError=something else\n", "", true, 0},
        {"missing", "",
         "The program\r\n  /m/growth.exe\r\ndid not produce the expected Report File\r\n  " +
             path("chkmodel.rpt") +
             ".\r\nThis error is probably because your Temporary Directory is not set appropriately.\r\n"
             "Click on the Help button for more details.\r\nYou cannot run /m/growth.exe\r\n under Vardelon "
             "successfully until you fix it.",
         false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(deleteFile(files.rpt));
        if (!c.report.empty()) testing::writeFile(files.rpt, c.report);
        ScriptedDialogs dlg;
        ReleaseJobResult r = EvaluateReleaseJob(files, "/m/growth.exe", dlg);
        EXPECT_EQ(r.reportFound, c.found);
        EXPECT_EQ(r.info.Release, c.release);
        EXPECT_EQ(dlg.lastMessage(), c.message);
    }
}

TEST_F(ReleaseTest, MissingReportWithoutProgram) {
    EXPECT_EQ(missingReportText("/t/x.rpt", "", true),
              "The expected Report File\r\n  /t/x.rpt\r\n has not been created after a few seconds.\r\n"
              "This error is probably because your Temporary Directory is not set appropriately.\r\n"
              "Click on the Help button for more details.\r\nYou cannot run Vardelon successfully until you "
              "fix it.");
}

}  // namespace
}  // namespace vdln
