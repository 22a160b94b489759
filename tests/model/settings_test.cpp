#include "model/settings.h"

#include <cstdio>
#include <functional>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "doubles/scripteddialogs.h"
#include "model/simdetails.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class Settings : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ctx.programDir = path("prog");
        ctx.currentTempDir = path("tmp");
        makeDirectories(ctx.programDir).isOk();
        makeDirectories(path("work")).isOk();
        rec = CreateSimRecord();
        InitSimRecord(rec, path("work"));
        for (const char* f : {"model/growth.exe", "model/growth.axs", "model/growth.axt", "model/growth.min",
                              "work/growth.map", "tools/editor", "tools/outlens"})
            testing::writeFile(path(f), "x");
        makeDirectories(path("solvane")).isOk();
    }

    // Settings far from every default.
    ProgramSettings unusual() {
        ProgramSettings st;
        st.WarnAboutTempDirName = false;
        st.model.Model = path("model/growth.exe");
        st.model.Version.ReleaseKnown = true;
        st.model.Version.Release = 80000;
        st.model.Version.VersionKnown = true;
        st.model.Version.Version = 79000;
        st.model.Version.CompilerKnown = true;
        st.model.Version.Compiler = "gfortran";
        st.model.NotWinconsoleExe = true;
        st.model.ModelName = "growth";
        st.model.ModelInfoFile = path("model/growth.min");
        st.model.MinFileId = 3000000000LL;
        st.model.IsDinFile = false;
        st.model.FirstYearList = {"file BASEDATA = data/base.har ;", "file PARAMS = data/par.har ;"};
        st.ResultsMapFile = path("work/growth.map");
        st.SolFileShocks = true;
        st.re.DoingRE = true;
        st.re.BaseIterations = 12;
        st.re.PolicyIterations = 7;
        st.re.PolicyStartYear = 3;
        st.re.ConvergenceCsv = false;
        st.NoRerun = true;
        st.Method.Method = kGragg;
        st.Method.NSol = 3;
        st.Method.Steps = {2, 4, 6};
        st.Method.AutoAccuracy = true;
        st.Accuracy.Percent = 90;
        st.AbbreviatedSsJobs = true;
        st.NeverBatJob = true;
        st.VisibleLogFiles = true;
        st.SuppressScreenSaver = false;
        st.CheckPrerequisites = false;
        st.tools.Editor = path("tools/editor");
        st.tools.Spreadsheet = "/no/such/calc";
        st.tools.Outlens = path("tools/outlens");
        st.tools.UseSolvaneDir = path("solvane");
        st.ClearTempDirAtExit = false;
        st.RequestedTempDir = path("nexttmp");
        st.CompleteBaseFirst = true;
        st.ConcurrentSolves = 3;
        st.Outputs = OutputsBeforeRun::Neither;
        st.BeLikeOldVardelon = true;
        rec.AltMethodInUse = 1;
        rec.AltMethodYears[2] = 1;
        rec.PeriodLength[2] = 5;
        ComputeYears(rec);
        return st;
    }

    SettingsContext ctx;
    TSimRecord rec;
    ScriptedDialogs dlg;
};

TEST_F(Settings, SettingsFileRoundTripKeepsUnknownSections) {
    testing::writeFile(path("Vardelon.ini"), "[MRUFiles]\r\nMRU1=/a/b.ds1\r\n; note\r\n[Custom]\r\nX=1\r\n");
    ProgramSettings st = unusual();
    ASSERT_TRUE(WriteIniOptions(path("Vardelon.ini"), false, st, rec, ctx, dlg));
    std::string first = testing::readFile(path("Vardelon.ini"));

    ProgramSettings back;
    TSimRecord rec2 = CreateSimRecord();
    rec2.NumYears = rec.NumYears;
    rec2.StartYear = rec.StartYear;
    bool re = ReadIniOptions(path("Vardelon.ini"), SettingsParts::all(), back, rec2, ctx, dlg);
    EXPECT_TRUE(re);
    EXPECT_TRUE(dlg.records().empty());
    EXPECT_EQ(back.SettingsVersion, 330);
    EXPECT_EQ(back.RequestedTempDir, path("nexttmp"));
    EXPECT_TRUE(back.model.UsesInterpreter == false);
    EXPECT_EQ(back.model.ModelDir, path("model"));
    EXPECT_EQ(back.tools.Spreadsheet, "/no/such/calc");  // kept without a check
    EXPECT_EQ(back.Method, st.Method);
    EXPECT_EQ(back.Accuracy.Percent, 90);
    EXPECT_EQ(rec2.WorkDir, rec.WorkDir);
    EXPECT_EQ(rec2.PeriodLength[2], 5);
    EXPECT_TRUE(rec2.AltMethodYears[2]);
    EXPECT_EQ(rec2.Years[3], rec.Years[3]);
    // Everything that was written comes back (the remembered version and the
    // menu option are not in the file).
    back.SettingsVersion = 0;
    back.BeLikeOldVardelon = true;
    back.model.UsesInterpreter = false;
    st.model.ModelDir = path("model");
    EXPECT_EQ(back, st);

    ASSERT_TRUE(WriteIniOptions(path("Vardelon.ini"), false, back, rec2, ctx, dlg));
    EXPECT_EQ(testing::readFile(path("Vardelon.ini")), first);
    IniFile ini = *IniFile::load(path("Vardelon.ini"));
    EXPECT_EQ(ini.getString("MRUFiles", "MRU1"), "/a/b.ds1");
    EXPECT_EQ(ini.getString("Custom", "X"), "1");
    EXPECT_EQ(ini.sections().front(), "MRUFiles");
    EXPECT_EQ(ini.getString("Environment", "Use RunSpecific CMFStart"), "0");
    EXPECT_EQ(ini.getString("Environment", "Rerun FC with Dev"), "no");
    EXPECT_EQ(ini.getString("Environment", "Outputs Before Run"), "neither");
    EXPECT_EQ(ini.getString("Environment", "MIN File Id"), "3000000000");
}

TEST_F(Settings, TextFormLayoutAndRoundTrip) {
    ProgramSettings st = unusual();
    st.model.FirstYearList.clear();
    rec.NumYears = 2;
    ASSERT_TRUE(WriteIniOptions(path("app.ds1"), true, st, rec, ctx, dlg));
    std::string text = testing::readFile(path("app.ds1"));
    std::vector<std::string> l = splitLines(text);
    ASSERT_GT(l.size(), 10u);
    EXPECT_EQ(l[0], "[Environment]");
    EXPECT_EQ(l[1], "Model=" + path("model/growth.exe"));
    EXPECT_EQ(l[2], "Simulation Program SV Release=80000");
    EXPECT_EQ(l[6], "Model Name=growth");
    EXPECT_EQ(l[7], "VardelVersion=330");
    EXPECT_EQ(text.find("Warn about Temp Dir name"), std::string::npos);
    EXPECT_EQ(text.find("[Options]"), std::string::npos);
    EXPECT_NE(text.find("\r\nTempDir=" + path("tmp") + "\r\n"), std::string::npos);  // the one in use
    EXPECT_NE(text.find("\r\n \r\n[Input Files]\r\n0=\r\n \r\n[Solution Method]\r\nMethod=3\r\n"),
              std::string::npos);
    EXPECT_NE(
        text.find("Alternative SLMethod In Use=1\r\nUse Alternatives in Years=ua" + std::string(997, 'u') +
                  "\r\n \r\n[Length Periods]\r\nNumber periods=2\r\n1=1\r\n2=5\r\n"),
        std::string::npos);
    EXPECT_TRUE(iendsWith(text, "2=5\r\n"));

    // Read back into a fresh session and write again: the same bytes.
    ProgramSettings back;
    TSimRecord rec2 = CreateSimRecord();
    rec2.NumYears = 2;
    ReadIniOptions(path("app.ds1"), SettingsParts::all(), back, rec2, ctx, dlg);
    EXPECT_EQ(back.SettingsVersion, 0);  // it stands in "Environment"
    EXPECT_EQ(back.model.FirstYearList, std::vector<std::string>{""});
    back.model.FirstYearList.clear();
    back.BeLikeOldVardelon = true;
    ASSERT_TRUE(WriteIniOptions(path("again.ds1"), true, back, rec2, ctx, dlg));
    EXPECT_EQ(testing::readFile(path("again.ds1")), text);
}

TEST_F(Settings, TempDirOnlyFromNewerFiles) {
    struct Case {
        const char* version;
        bool honoured;
    } cases[] = {{"", false}, {"VardelVersion=169\r\n", false}, {"VardelVersion=170\r\n", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        testing::writeFile(path("s.ini"),
                           std::string("[Options]\r\n") + c.version + "[Environment]\r\nTempDir=/wanted\r\n");
        ProgramSettings st;
        ReadIniOptions(path("s.ini"), SettingsParts{true, false, false}, st, rec, ctx, dlg);
        EXPECT_EQ(st.RequestedTempDir, c.honoured ? "/wanted" : ctx.currentTempDir);
    }
}

TEST_F(Settings, ValueRules) {
    struct Case {
        const char* what;
        const char* env;      // lines of [Environment]
        const char* periods;  // lines of [Length Periods]
        std::function<void(const ProgramSettings&, const TSimRecord&)> check;
    };
    std::vector<Case> cases = {
        {"outputs move in capitals", "Outputs Before Run=Move\r\n", "",
         [](auto& st, auto&) { EXPECT_EQ(st.Outputs, OutputsBeforeRun::Delete); }},
        {"outputs move", "Outputs Before Run=move\r\n", "",
         [](auto& st, auto&) { EXPECT_EQ(st.Outputs, OutputsBeforeRun::Move); }},
        {"no rerun in capitals", "Rerun FC with Dev=NO\r\n", "",
         [](auto& st, auto&) { EXPECT_TRUE(st.NoRerun); }},
        {"yes option in capitals", "Abbreviated SS jobs=YES\r\nNever use bat job for simulations=1\r\n", "",
         [](auto& st, auto&) {
             EXPECT_TRUE(st.AbbreviatedSsJobs);
             EXPECT_FALSE(st.NeverBatJob);
         }},
        {"iterations out of range",
         "Do Korale RE=1\r\nKorale RE Base Iterations=0\r\nKorale RE Policy Iterations=100\r\n"
         "Korale RE Rerun Iterations=9\r\nKorale RE Policy Start Year=100\r\n",
         "",
         [](auto& st, auto&) {
             EXPECT_EQ(st.re.BaseIterations, 30);
             EXPECT_EQ(st.re.RerunIterations, 1);
             EXPECT_EQ(st.re.PolicyIterations, 20);
             EXPECT_EQ(st.re.PolicyStartYear, 0);
         }},
        {"iterations in range",
         "Do Korale RE=1\r\nKorale RE Base Iterations=99\r\nKorale RE Policy Iterations=1\r\n", "",
         [](auto& st, auto&) {
             EXPECT_EQ(st.re.BaseIterations, 99);
             EXPECT_EQ(st.re.PolicyIterations, 1);
         }},
        {"iterations without rational expectations",
         "Do Korale RE=0\r\nKorale RE Base Iterations=5\r\nKorale RE Policy Iterations=6\r\n", "",
         [](auto& st, auto&) {
             EXPECT_EQ(st.re.BaseIterations, 30);
             EXPECT_EQ(st.re.PolicyIterations, 20);
         }},
        {"hide only without rational expectations", "Do Korale RE=1\r\nHide Rational Expectations=1\r\n", "",
         [](auto& st, auto&) { EXPECT_FALSE(st.re.HideRE); }},
        {"hide", "Hide Rational Expectations=1\r\n", "", [](auto& st, auto&) { EXPECT_TRUE(st.re.HideRE); }},
        {"both concurrency keys", "Allow 2 Concurrent Solves=1\r\nAllow 3 Concurrent Solves=1\r\n", "",
         [](auto& st, auto&) { EXPECT_EQ(st.ConcurrentSolves, 3); }},
        {"two concurrent", "Allow 2 Concurrent Solves=1\r\n", "",
         [](auto& st, auto&) { EXPECT_EQ(st.ConcurrentSolves, 2); }},
        {"flag not a number", "Suppress Screen Saver=abc\r\nCheck Prerequisites=0\r\n", "",
         [](auto& st, auto&) {
             EXPECT_TRUE(st.SuppressScreenSaver);
             EXPECT_FALSE(st.CheckPrerequisites);
         }},
        {"missing tools dropped", "Editor=/no/editor\r\nGridlens=/no/g\r\nUseSolvaneDir=/no/dir\r\n", "",
         [](auto& st, auto&) {
             EXPECT_EQ(st.tools.Editor, "");
             EXPECT_EQ(st.tools.Gridlens, "");
             EXPECT_EQ(st.tools.UseSolvaneDir, "");
         }},
        {"zero periods", "", "Number periods=0\r\n",
         [](auto&, auto& r) {
             EXPECT_EQ(r.PeriodLength[2], 1);
             EXPECT_EQ(r.PeriodLength[999], 1);
         }},
        {"1000 periods", "", "Number periods=1000\r\n1=4\r\n",
         [](auto&, auto& r) {
             EXPECT_EQ(r.PeriodLength[1], 7);
             EXPECT_EQ(r.PeriodLength[2], 7);
         }},
        {"length 100 ignored", "", "Number Periods=2\r\n1=100\r\n2=99\r\n",
         [](auto&, auto& r) {
             EXPECT_EQ(r.PeriodLength[1], 7);
             EXPECT_EQ(r.PeriodLength[2], 99);
             EXPECT_EQ(r.PeriodLength[3], 7);
             EXPECT_EQ(r.Years[1], r.StartYear + 6);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::writeFile(path("s.ini"),
                           std::string("[Environment]\r\n") + c.env + "[Length Periods]\r\n" + c.periods);
        ProgramSettings st;
        rec.PeriodLength.fill(7);
        ReadIniOptions(path("s.ini"), SettingsParts::all(), st, rec, ctx, dlg);
        c.check(st, rec);
    }
}

TEST_F(Settings, FirstYearList) {
    std::string model = "[Environment]\r\nModel=" + path("model/growth.exe") + "\r\n";
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> want;
    } cases[] = {
        {"gap stops the list",
         model + "[Input Files]\r\n0=file A = a ;\r\n1=abcdef\r\n3=file C = c ;\r\n",
         {"file A = a ;", "abcdef"}},
        {"empty list", model + "[Input Files]\r\n0=\r\n", {""}},
        {"no model", "[Input Files]\r\n0=file A = a ;\r\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::writeFile(path("s.ini"), c.text);
        ProgramSettings st;
        ReadIniOptions(path("s.ini"), SettingsParts{false, true, false}, st, rec, ctx, dlg);
        EXPECT_EQ(st.model.FirstYearList, c.want);
    }
}

TEST_F(Settings, ModelAndDirectoryMessages) {
    testing::writeFile(
        path("s.ini"),
        "[Environment]\r\nModel=/no/model.exe\r\nModel Name=gone\r\nSim Directory=/no/work\r\n");
    ProgramSettings st;
    ReadIniOptions(path("s.ini"), SettingsParts::all(), st, rec, ctx, dlg);
    ASSERT_EQ(dlg.records().size(), 2u);
    EXPECT_EQ(dlg.records()[0].kind, MsgKind::Error);
    EXPECT_EQ(dlg.records()[0].text, "Model Exe File\r\n  /no/model.exe\r\ndoes not exist.");
    EXPECT_EQ(dlg.records()[0].buttons, BtnOk | BtnHelp);
    EXPECT_EQ(
        dlg.records()[1].text,
        "Previously the Working Directory (see Sim Overview page) was\r\n/no/work\r\nSince this directory no "
        "longer exists, the Working Directory is now set to\r\n" +
            ctx.programDir + "\r\nYou may wish to change this as soon as possible.");
    EXPECT_EQ(st.model.Model, "");
    EXPECT_EQ(st.model.ModelName, "");
    EXPECT_EQ(rec.WorkDir, ctx.programDir);

    // Batch mode: no message for the model.
    ScriptedDialogs quiet;
    SettingsContext batch = ctx;
    batch.batchMode = true;
    ReadIniOptions(path("s.ini"), SettingsParts{false, true, false}, st, rec, batch, quiet);
    EXPECT_TRUE(quiet.records().empty());

    // A model whose auxiliary files are missing is dropped silently.
    testing::writeFile(path("lonely/m.exe"), "x");
    testing::writeFile(path("s.ini"),
                       "[Environment]\r\nModel=" + path("lonely/m.exe") + "\r\nModel Name=m\r\n");
    ReadIniOptions(path("s.ini"), SettingsParts{false, true, false}, st, rec, ctx, quiet);
    EXPECT_EQ(st.model.Model, "");
    // An interpreter model with its companion.
    testing::writeFile(path("lonely/m.gss"), "x");
    testing::writeFile(path("lonely/m.gst"), "x");
    testing::writeFile(path("s.ini"),
                       "[Environment]\r\nModel=" + path("lonely/m.gss") + "\r\nModel Name=m\r\n");
    ReadIniOptions(path("s.ini"), SettingsParts{false, true, false}, st, rec, ctx, quiet);
    EXPECT_EQ(st.model.Model, path("lonely/m.gss"));
    EXPECT_TRUE(st.model.UsesInterpreter);
    EXPECT_EQ(st.model.ModelName, "m");
    EXPECT_TRUE(quiet.records().empty());
}

TEST_F(Settings, ModelPartOnlyChangesNoOption) {
    ProgramSettings st = unusual();
    ASSERT_TRUE(WriteIniOptions(path("a.ds1"), true, st, rec, ctx, dlg));
    ProgramSettings other;
    other.SettingsVersion = 330;
    other.FewerMessages = true;
    ProgramSettings before = other;
    TSimRecord rec2 = CreateSimRecord();
    rec2.WorkDir = "/keep/me";
    ReadIniOptions(path("a.ds1"), SettingsParts{false, true, false}, other, rec2, ctx, dlg);
    EXPECT_EQ(other.model.Model, st.model.Model);
    EXPECT_EQ(other.SettingsVersion, 0);
    other.model = before.model;
    other.SettingsVersion = 330;
    EXPECT_EQ(other, before);
    EXPECT_EQ(rec2.WorkDir, "/keep/me");
}

TEST_F(Settings, VersionDefaultsAndFailures) {
    EXPECT_EQ(ReadSettingsVersion(path("none.ini")), 0);
    testing::writeFile(path("v.ini"), "[options]\r\nvardelversion=301\r\n");
    EXPECT_EQ(ReadSettingsVersion(path("v.ini")), 301);
    testing::writeFile(path("v.ini"), "[Environment]\r\nVardelVersion=301\r\n");
    EXPECT_EQ(ReadSettingsVersion(path("v.ini")), 0);

    for (int procs : {1, 2, 8}) {
        ProgramSettings st = unusual();
        ApplyStartupDefaults(st, procs);
        EXPECT_EQ(st.ConcurrentSolves, procs == 1 ? 1 : procs == 2 ? 2 : 3);
        EXPECT_TRUE(st.SolFileShocks);
        EXPECT_FALSE(st.NoRerun);
        EXPECT_TRUE(st.SuppressScreenSaver);
        EXPECT_FALSE(st.re.DoingRE);
        EXPECT_EQ(st.tools, ToolSettings{});
        EXPECT_EQ(st.Outputs, OutputsBeforeRun::Delete);
        EXPECT_TRUE(st.WarnAboutTempDirName);
    }

    // A text form that cannot be written.
    ProgramSettings st;
    EXPECT_FALSE(WriteIniOptions(path("no/dir/x.ds1"), true, st, rec, ctx, dlg));
    EXPECT_EQ(dlg.lastMessage(),
              "Cannot create file " + path("no/dir/x.ds1") +
                  "[WriteIniOptions]\r\nIs this file locked by another application?\r\nIf so, "
                  "free it and try again.");
    // The settings form fails without a message of its own.
    ScriptedDialogs quiet;
    EXPECT_FALSE(WriteIniOptions(path("no/dir/Vardelon.ini"), false, st, rec, ctx, quiet));
    EXPECT_TRUE(quiet.records().empty());
}

TEST_F(Settings, StartupAndExit) {
    std::string keep = path("keep"), legacy = path("legacy");
    makeDirectories(keep).isOk();
    makeDirectories(legacy).isOk();

    // No settings anywhere: defaults, and the probe file is removed again.
    ProgramSettings st = unusual();
    EXPECT_EQ(StartupReadSettings(keep, legacy, 2, st, rec, ctx, dlg), keep);
    EXPECT_FALSE(fileExists(JoinPath(keep, "Vardelon.ini")));
    EXPECT_TRUE(st.SuppressScreenSaver);
    EXPECT_EQ(st.ConcurrentSolves, 1);  // the read default of an empty file
    EXPECT_EQ(st.Outputs, OutputsBeforeRun::Delete);

    // The legacy folder is used when only it has settings.
    ProgramSettings legacySettings = unusual();
    ASSERT_TRUE(WriteIniOptions(JoinPath(legacy, "Vardelon.ini"), false, legacySettings, rec, ctx, dlg));
    testing::writeFile(JoinPath(legacy, "VdlnSim.txt"), "not a record");
    TSimRecord r2 = CreateSimRecord();
    ProgramSettings st2;
    EXPECT_EQ(StartupReadSettings(keep, legacy, 2, st2, r2, ctx, dlg), legacy);
    EXPECT_EQ(st2.ConcurrentSolves, 3);
    EXPECT_EQ(r2.NumYears, 4);  // the damaged record was reset
    EXPECT_EQ(r2.StartYear, 1998);
    EXPECT_EQ(r2.WorkDir, path("work"));

    // Exit writes both files into the keep directory; the next start reads them.
    r2.StartYear = 2010;
    ComputeYears(r2);
    ASSERT_TRUE(ExitWriteSettings(keep, true, st2, r2, ctx, dlg));
    EXPECT_TRUE(fileExists(JoinPath(keep, "Vardelon.ini")));
    EXPECT_TRUE(fileExists(JoinPath(keep, "VdlnSim.txt")));
    TSimRecord r3 = CreateSimRecord();
    ProgramSettings st3;
    EXPECT_EQ(StartupReadSettings(keep, legacy, 2, st3, r3, ctx, dlg), keep);
    EXPECT_EQ(r3.StartYear, 2010);
    EXPECT_EQ(st3.ConcurrentSolves, 3);

    // "Don't update INI file when exit" writes nothing.
    std::remove(JoinPath(keep, "VdlnSim.txt").c_str());
    st3.DontUpdateIniAtExit = true;
    EXPECT_TRUE(ExitWriteSettings(keep, true, st3, r3, ctx, dlg));
    EXPECT_FALSE(fileExists(JoinPath(keep, "VdlnSim.txt")));

    // A keep directory that cannot be written: both failures end in [CloseDown].
    st3.DontUpdateIniAtExit = false;
    ScriptedDialogs d;
    EXPECT_FALSE(ExitWriteSettings(path("gone"), true, st3, r3, ctx, d));
    ASSERT_EQ(d.messages().size(), 2u);
    for (const std::string& m : d.messages()) EXPECT_TRUE(iendsWith(m, "[CloseDown]")) << m;
}

}  // namespace
}  // namespace vdln

namespace vdln {
namespace {

// Every key of a written settings file replaced in turn by hostile values:
// reading falls back to defaults and never throws; writing again works.
TEST_F(Settings, HostileValuesFallBack) {
    ProgramSettings st = unusual();
    ASSERT_TRUE(WriteIniOptions(path("s.ini"), false, st, rec, ctx, dlg));
    IniFile good = *IniFile::load(path("s.ini"));
    const std::vector<std::string> hostile = {"", "-1", "99999999999999999999", "1000", "abc", "u", "a"};
    for (const std::string& section : good.sections()) {
        for (const std::string& key : good.keys(section)) {
            for (const std::string& h : hostile) {
                IniFile ini = good;
                ini.set(section, key, h);
                ProgramSettings back;
                TSimRecord r = CreateSimRecord();
                r.NumYears = 4;
                ScriptedDialogs d;
                ASSERT_NO_THROW(ReadIniOptionsText(ini.text(), SettingsParts::all(), back, r, ctx, d))
                    << section << "/" << key << "=" << h;
                ASSERT_GE(back.ConcurrentSolves, 1);
                ASSERT_LE(back.ConcurrentSolves, 3);
                ASSERT_GE(back.re.BaseIterations, 1);
                ASSERT_LE(back.re.BaseIterations, 99);
                for (int i = 1; i <= 4; ++i) ASSERT_LE(r.PeriodLength[i], 99);
                ASSERT_NO_THROW((void)SettingsTextLines(back, r, ctx));
            }
        }
    }
}

}  // namespace
}  // namespace vdln
