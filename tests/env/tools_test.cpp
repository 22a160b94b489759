#include "env/tools.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/mapenvironment.h"
#include "doubles/recordingstarter.h"
#include "doubles/scripteddialogs.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

class ToolsTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        m_env.setProgramDirectory(path("bin"));
        m_env.setCurrentDirectory(path("cwd"));
        m_env.set("PATH", path("p1") + ":" + path("p2"));
    }
    std::string touch(const std::string& rel) {
        writeFile(path(rel), "x");
        return path(rel);
    }
    MapEnvironment m_env;
    ToolLocations m_settings;
};

TEST_F(ToolsTest, ConversionProgramsComeOnlyFromTheProgramDirectory) {
    std::string sectra = touch("bin/sectraa.exe");
    touch("p1/tellura.exe");  // on the PATH only: not used
    m_settings.suiteProgramsDir = path("p1");
    EXPECT_EQ(locateProgram(m_env, m_settings, "sectra"), sectra);
    EXPECT_EQ(locateProgram(m_env, m_settings, "SECTRA"), sectra);
    EXPECT_EQ(locateProgram(m_env, m_settings, "tellur"), "");
    EXPECT_EQ(locateProgram(m_env, m_settings, "pryxo"), "");
    std::string plain = touch("bin/pryxo.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "pryxo"), plain);
    std::string proper = touch("bin/pryxoa.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "pryxo"), proper);
}

TEST_F(ToolsTest, SearchOrderOfOtherTools) {
    // The configured viewer wins when the file exists.
    std::string mine = touch("mine/outlens.exe");
    std::string binOut = touch("bin/outlens.exe");
    m_settings.outlens = mine;
    EXPECT_EQ(locateProgram(m_env, m_settings, "outlens"), mine);
    m_settings.outlens = path("gone/outlens.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "outlens"), binOut);

    // For a viewer the program directory comes before the suite directory;
    // for other programs the suite directory comes first.
    m_settings.suiteProgramsDir = path("suite");
    touch("suite/outlens.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "outlens"), binOut);
    touch("bin/calvex.exe");
    std::string suiteCalvex = touch("suite/calvex.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "calvex"), suiteCalvex);

    // On the PATH: full path for the viewers, notarix and calvex; the bare
    // name for the others.
    m_settings.suiteProgramsDir.clear();
    std::string pathGrid = touch("p2/gridlens.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "gridlens"), pathGrid);
    touch("p2/probex.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "probex"), "probex.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "nosuchtool"), "");
}

TEST_F(ToolsTest, EditorCandidates) {
    EXPECT_EQ(locateProgram(m_env, m_settings, "editor"), "");
    std::string notarix = touch("p1/notarix.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "editor"), notarix);
    std::string scriba = touch("p2/scriba.exe");
    EXPECT_EQ(locateProgram(m_env, m_settings, "editor"), "scriba.exe") << "scriba is tried before notarix";
    std::string mine = touch("ed/myeditor");
    m_settings.editor = mine;
    EXPECT_EQ(locateProgram(m_env, m_settings, "Editor"), mine);
    EXPECT_EQ(programNotAvailableText("pryxo"), "The program PRYXO is not available.");
}

TEST_F(ToolsTest, ViewerNotFoundOffersAPick) {
    ScriptedDialogs d;
    RecordingStarter s;
    std::string file = touch("res/x.har");
    EXPECT_FALSE(LaunchViewer(Viewer::Outlens, file, path("model"), m_env, m_settings, d, s));
    ASSERT_EQ(d.records().size(), 2u);
    EXPECT_EQ(d.records()[0].file.title, "Select Outlens to use");
    EXPECT_EQ(d.records()[0].file.filter, "Outlens Files (Outlens.EXE)|Outlens.exe");
    EXPECT_EQ(d.lastMessage(), "The program OUTLENS is not available.");
    EXPECT_TRUE(s.calls.empty());

    std::string picked = touch("viewers/outlens.exe");
    ScriptedDialogs d2;
    d2.queueText(picked);
    EXPECT_TRUE(LaunchViewer(Viewer::Outlens, file, path("model"), m_env, m_settings, d2, s));
    EXPECT_EQ(m_settings.outlens, picked);
    ASSERT_EQ(s.calls.size(), 1u);
    EXPECT_EQ(s.calls[0].program, picked);
    EXPECT_EQ(s.calls[0].args, std::vector<std::string>{file});
    EXPECT_EQ(s.calls[0].dir, path("model"));
}

TEST_F(ToolsTest, ViewerFileMarkersAndFailures) {
    touch("bin/gridlens.exe");
    touch("bin/outlens.exe");
    std::string file = touch("res/x.sl4");
    struct Case {
        Viewer viewer;
        std::string arg;
        bool started;
        std::string message;
    } cases[] = {
        {Viewer::Gridlens, file, true, ""},
        {Viewer::Gridlens, path("res/none.har"), false, "Cannot find file:\r\n" + path("res/none.har")},
        {Viewer::Gridlens, "%" + path("res/none.har"), true, ""},
        {Viewer::Outlens, "#1" + file, true, ""},
        {Viewer::Outlens, "#1" + path("res/none.sl4"), false, "Cannot find file:\r\n" + path("res/none.sl4")},
        {Viewer::Gridlens, "#1" + file, false, "Cannot find file:\r\n#1" + file},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        ScriptedDialogs d;
        RecordingStarter s;
        EXPECT_EQ(LaunchViewer(c.viewer, c.arg, path("model"), m_env, m_settings, d, s), c.started);
        EXPECT_EQ(d.lastMessage(), c.message);
        if (c.started) {
            ASSERT_EQ(s.calls.size(), 1u);
            EXPECT_EQ(s.calls[0].args, std::vector<std::string>{c.arg}) << "the marker stays on the argument";
        }
    }
    ScriptedDialogs d;
    RecordingStarter s;
    s.fail = true;
    EXPECT_FALSE(LaunchViewer(Viewer::Gridlens, file, path("model"), m_env, m_settings, d, s));
    EXPECT_EQ(d.lastMessage(), "Could not launch Gridlens !\r\n[No such file or directory]");
    EXPECT_FALSE(LaunchViewer(Viewer::Outlens, file, path("model"), m_env, m_settings, d, s));
    EXPECT_EQ(d.lastMessage(), "Could not launch Outlens !\r\n[No such file or directory]");
}

TEST_F(ToolsTest, Editor) {
    ScriptedDialogs d;
    RecordingStarter s;
    std::string file = touch("work/notes.txt");
    EXPECT_FALSE(OpenInEditor(file, m_env, m_settings, d, s));
    EXPECT_EQ(d.lastMessage(), "The program EDITOR is not available.");
    EXPECT_EQ(d.records().back().buttons, BtnOk | BtnHelp);
    std::string scriba = touch("bin/scriba.exe");
    EXPECT_TRUE(OpenInEditor(file, m_env, m_settings, d, s));
    ASSERT_EQ(s.calls.size(), 1u);
    EXPECT_EQ(s.calls[0].program, scriba);
    EXPECT_EQ(s.calls[0].dir, path("work"));
    s.fail = true;
    EXPECT_FALSE(OpenInEditor(file, m_env, m_settings, d, s));
    EXPECT_EQ(d.lastMessage(), "Unable to run " + scriba + "\r\n[No such file or directory]");
}

TEST(ShellQuote, QuotesOnlyWhatNeedsIt) {
    struct Case {
        const char* in;
        const char* want;
    } cases[] = {
        {"/tmp/a.sti", "/tmp/a.sti"},     {"", "''"},       {"a b", "'a b'"}, {"it's", "'it'\\''s'"},
        {"$(rm -rf x)", "'$(rm -rf x)'"}, {"a;b", "'a;b'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(shellQuoted(c.in), c.want);
    }
}

class BatchFileTest : public testing::TempDirTest {};

TEST_F(BatchFileTest, ShRunsTheLinesWithAwkwardNames) {
    // A folder and an argument that would break naive quoting.
    std::string odd = path("it's a \"dir\" $HOME;x");
    ASSERT_TRUE(makeDirectories(odd).isOk());
    std::string out = path("out.txt");
    std::vector<std::string> lines = changeDirLines(odd);
    lines.push_back(commandLine("/bin/sh", {"-c", "pwd > \"$1\"; printf '%s\\n' \"$2\" >> \"$1\"", "sh", out,
                                            "arg with 'quotes' and $(x)"}));
    std::string bat = path("job.bat");
    ASSERT_TRUE(writeBatchFile(bat, lines).isOk());
    EXPECT_EQ(readFile(bat).find('\r'), std::string::npos) << "sh lines end with LF only";
    ASSERT_EQ(std::system(("/bin/sh " + shellQuoted(bat)).c_str()), 0);
    EXPECT_EQ(readFile(out), odd + "\narg with 'quotes' and $(x)\n");
}

TEST_F(ToolsTest, ShellCommandsNumberTheirBatchFiles) {
    std::string temp = path("temp");
    touch("temp/wg1.bat");
    std::string folder = path("work dir");
    ASSERT_TRUE(makeDirectories(folder).isOk());
    m_env.set("SHELL", "/bin/bash");
    ShellCommands shell;
    ScriptedDialogs d;
    RecordingStarter s;
    ASSERT_TRUE(shell.openShell(folder, temp, m_env, d, s));
    EXPECT_EQ(shell.lastNumber(), 2);
    EXPECT_EQ(readFile(temp + "/wg2.bat"), "cd " + shellQuoted(folder) + "\nexec /bin/bash\n");
    ASSERT_EQ(s.calls.size(), 1u);
    EXPECT_EQ(s.calls[0].program, "/bin/sh");
    EXPECT_EQ(s.calls[0].args, std::vector<std::string>{temp + "/wg2.bat"});
    EXPECT_EQ(s.calls[0].dir, folder);

    // With a display and a terminal program on the PATH the terminal runs it.
    std::string term = touch("p2/xterm");
    m_env.set("DISPLAY", ":0");
    ASSERT_TRUE(shell.openShell(folder, temp, m_env, d, s));
    EXPECT_EQ(shell.lastNumber(), 3);
    EXPECT_EQ(s.calls[1].program, term);
    EXPECT_EQ(s.calls[1].args, (std::vector<std::string>{"-e", "/bin/sh", temp + "/wg3.bat"}));

    s.fail = true;
    EXPECT_FALSE(shell.openShell(folder, temp, m_env, d, s));
    EXPECT_EQ(d.lastMessage(), "Unable to run " + term + "\r\n[No such file or directory]");
}

TEST_F(ToolsTest, TempDirCheckFiles) {
    std::string temp = path("temp");
    ASSERT_TRUE(makeDirectories(temp).isOk());
    Result<TempDirCheckJob> missing = prepareTempDirCheck(temp, path("bin/sectraa.exe"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.message(), "Program \r\n  " + path("bin/sectraa.exe") + "\r\ndoes not exist.");

    std::string sectra = touch("bin/sectraa.exe");
    touch("temp/tdcheck.rpt");  // left from an earlier check
    Result<TempDirCheckJob> job = prepareTempDirCheck(temp, sectra);
    ASSERT_TRUE(job);
    EXPECT_FALSE(fileExists(temp + "/tdcheck.rpt")) << "an old report must not pass the check";
    EXPECT_EQ(readFile(temp + "/tdcheck.sti"),
              "bat\r\nrpt\r\n" + temp + "/tdcheck.rpt\r\ntdc    ! Temporary Directory check\r\n \r\n");
    EXPECT_EQ(job->args,
              (std::vector<std::string>{"-sti", temp + "/tdcheck.sti", "-los", temp + "/tdcheck.log"}));

    ScriptedDialogs d;
    EXPECT_FALSE(finishTempDirCheck(d, *job, temp));
    EXPECT_EQ(d.records().back().kind, MsgKind::Error);
    EXPECT_EQ(
        d.lastMessage(),
        "The program\r\n  " + sectra + "\r\ndid not produce the expected Report File\r\n  " + temp +
            "/tdcheck.rpt\r\nThis error is probably because your Temporary Directory is not set "
            "appropriately.\r\nClick on the Help button for more details.\r\nYou cannot run " +
            sectra +
            " successfully until you fix it.\r\nThere is a problem with the Temporary Directory\r\n  " +
            temp +
            "\r\nWe suggest that you change this to something simple\r\n  (for example, C:\\TEMP or "
            "C:\\TEMP\\SVTEMP)\r\nvia main menu item \"Specify Temporary Directory\" under the Options "
            "menu.\r\nThen shut down the program and start it again.\r\nThen test the Temporary Directory "
            "again.");
    touch("temp/tdcheck.rpt");
    EXPECT_TRUE(finishTempDirCheck(d, *job, temp));
    EXPECT_EQ(d.lastMessage(), "Temporary Directory\r\n  " + temp + "\r\nseems ok.");
}

}  // namespace
}  // namespace vdln
