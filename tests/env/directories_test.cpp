#include "env/directories.h"

#include <gtest/gtest.h>

#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/mapenvironment.h"
#include "doubles/scripteddialogs.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

// A fixture whose environment and fixed folders all point inside the test's
// own folder, so no choice ever touches the real /tmp or /.
class DirectoriesTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_TRUE(makeDirectories(path("root")).isOk());
        m_fixed.windows = path("root/windows");
        m_fixed.systemDrive = path("root");
        m_fixed.constTemp = path("root/temp");
        m_fixed.constSv = path("root/sv");
        m_fixed.constRoot = path("root");
        m_env.setCurrentDirectory(path("cwd"));
        m_env.setProgramDirectory(path("bin"));
    }
    DirectorySources sources() const { return DirectorySources(m_env, m_fixed); }
    // A folder inside the test folder (created).
    std::string folder(const std::string& name) {
        std::string p = path(name);
        EXPECT_TRUE(makeDirectories(p).isOk());
        return p;
    }
    // Makes every fixed folder unusable: each lies under a regular file.
    void blockFixedFolders() {
        writeFile(path("blocker"), "x");
        m_fixed.windows = m_fixed.systemDrive = m_fixed.constTemp = m_fixed.constSv = m_fixed.constRoot =
            path("blocker/sub");
    }
    MapEnvironment m_env;
    FixedFolders m_fixed;
};

TEST(DirectoryNormalise, Rules) {
    struct Case {
        const char* in;
        const char* want;
    } cases[] = {
        {"  /a/b/  ", "/a/b"}, {"/a/b", "/a/b"},  {"/", "/"},        {"", ""},
        {"   ", ""},           {"rel", "/w/rel"}, {"/a/../b", "/b"}, {"./x/", "/w/x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.in + "'");
        EXPECT_EQ(normaliseDirectory(c.in, "/w"), c.want);
    }
}

TEST_F(DirectoriesTest, SourcesReadTheEnvironment) {
    m_env.set("TMP", " " + path("tmpdir") + "/ ");
    m_env.set("TEMP", std::string(kMaxEnvValueLength + 1, 'a'));
    m_env.set("SVDIR", "relative/sv");
    m_env.set("HOME", path("home"));
    auto src = sources();
    EXPECT_EQ(*src.directory(kSrcTmp), path("tmpdir"));
    EXPECT_EQ(*src.directory(kSrcTemp), "") << "a value over 2048 characters reads as unset";
    EXPECT_EQ(*src.directory(kSrcSvTemp), "");
    EXPECT_EQ(*src.directory(kSrcSvDir), path("cwd/relative/sv"));
    EXPECT_EQ(*src.directory(kSrcAppData), path("home/.config"));
    m_env.set("XDG_CONFIG_HOME", path("cfg"));
    EXPECT_EQ(*src.directory(kSrcAppData), path("cfg"));
    EXPECT_EQ(*src.directory(kSrcCurrent), path("cwd"));
    EXPECT_EQ(*src.directory(kSrcApplication), path("bin"));
    EXPECT_EQ(*src.directory(kSrcNamed, path("named") + "/"), path("named"));
    EXPECT_EQ(*src.directory(kSrcConstTemp), path("root/temp"));

    m_env.set("TEMP", std::string(kMaxEnvValueLength, 'a'));
    EXPECT_EQ(src.directory(kSrcTemp)->size(), path("cwd").size() + 1 + kMaxEnvValueLength);

    for (int bad : {-1, 16}) {
        Result<std::string> r = src.directory(bad);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.message(), "program error: unexpected case of sdt");
    }
    EXPECT_EQ(DirectorySources::displayName(8), "C:\\TEMP");
    EXPECT_EQ(DirectorySources::displayName(14), "Application Folder");
    EXPECT_EQ(DirectorySources::displayName(15), "C:\\");
}

TEST(UseSparse, OnlyOneSwitchesItOn) {
    MapEnvironment env;
    EXPECT_FALSE(readUseSparse(env));
    for (auto [value, on] :
         {std::pair{"1", true}, {" 1 ", true}, {"0", false}, {"yes", false}, {"", false}}) {
        SCOPED_TRACE(value);
        env.set("SVUSESPARSE", value);
        EXPECT_EQ(readUseSparse(env), on);
    }
}

TEST_F(DirectoriesTest, TempSkipsTmpWithBlankAndTakesTemp) {
    std::string blank = folder("with blank");
    std::string temp = folder("temp");
    m_env.set("TMP", blank);
    m_env.set("TEMP", temp);
    DirectoryChoice c = chooseTemporaryDirectory(sources());
    ASSERT_TRUE(c.directory);
    std::string sub = temp + "/SVTEMP/VDLNtemp";
    EXPECT_EQ(*c.directory, sub);
    EXPECT_TRUE(directoryExists(sub));
    EXPECT_FALSE(fileExists(sub + "/testfil.$$$")) << "the test file is erased";
    std::vector<std::string> want = {
        "SVTEMP Folder is not defined",
        "TMP Folder is set to " + blank + " (exists)",
        "Problem: directory name contained one or more spaces",
        "TEMP Folder is set to " + temp + " (exists)",
        "   Subdirectory " + sub + " does not exist",
        "   Created subdirectory " + sub,
        "   Successfully created file testfil.$$$ in subdirectory " + sub,
    };
    EXPECT_EQ(c.log, want);

    // A second start finds the sub-directory already there.
    DirectoryChoice again = chooseTemporaryDirectory(sources());
    ASSERT_GE(again.log.size(), 5u);
    EXPECT_EQ(again.log[4], "   Subdirectory " + sub + " exists");
}

TEST_F(DirectoriesTest, SvTempWithBlanksIsAccepted) {
    std::string sv = folder("sv temp dir");
    m_env.set("SVTEMP", sv);
    DirectoryChoice c = chooseTemporaryDirectory(sources());
    ASSERT_TRUE(c.directory);
    EXPECT_EQ(*c.directory, sv + "/SVTEMP/VDLNtemp");
}

TEST_F(DirectoriesTest, TempNameLengthLimitIsFifty) {
    std::string base = dir() + "/";
    if (base.size() + 4 > 50) GTEST_SKIP() << "system temporary folder name too long for this case";
    std::string fifty = base + std::string(50 - base.size(), 'f');
    std::string fiftyOne = base + std::string(51 - base.size(), 'g');
    ASSERT_EQ(fifty.size(), 50u);
    ASSERT_EQ(fiftyOne.size(), 51u);
    ASSERT_TRUE(makeDirectories(fifty).isOk());
    ASSERT_TRUE(makeDirectories(fiftyOne).isOk());
    m_env.set("TMP", fiftyOne);
    m_env.set("TEMP", fifty);
    DirectoryChoice c = chooseTemporaryDirectory(sources());
    ASSERT_TRUE(c.directory);
    EXPECT_EQ(*c.directory, fifty + "/SVTEMP/VDLNtemp");
    ASSERT_GE(c.log.size(), 3u);
    EXPECT_EQ(c.log[2], "Problem: directory name is too long");
}

TEST_F(DirectoriesTest, UnwritableCandidatesAreSkipped) {
    writeFile(path("afile"), "x");
    // A directory under a regular file can never be created, even by root.
    std::string underFile = path("afile/svtemp");
    // A sub-directory where the test file cannot be created: the test file
    // name is taken by a non-empty folder.
    std::string blocked = folder("blocked");
    writeFile(blocked + "/SVTEMP/VDLNtemp/testfil.$$$/inner", "x");
    std::string good = folder("good");
    m_env.set("SVTEMP", underFile);
    m_env.set("TMP", blocked);
    m_env.set("TEMP", good);
    DirectoryChoice c = chooseTemporaryDirectory(sources());
    ASSERT_TRUE(c.directory);
    EXPECT_EQ(*c.directory, good + "/SVTEMP/VDLNtemp");
    std::vector<std::string> want = {
        "SVTEMP Folder is set to " + underFile + " (does not exist)",
        "   Subdirectory " + underFile + "/SVTEMP/VDLNtemp does not exist",
        "   Could not create subdirectory " + underFile + "/SVTEMP/VDLNtemp",
        "TMP Folder is set to " + blocked + " (exists)",
        "   Subdirectory " + blocked + "/SVTEMP/VDLNtemp exists",
        "   Could not create file testfil.$$$ in subdirectory " + blocked + "/SVTEMP/VDLNtemp",
        "TEMP Folder is set to " + good + " (exists)",
    };
    ASSERT_GE(c.log.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(c.log.begin(), c.log.begin() + want.size()), want);
}

TEST_F(DirectoriesTest, TempRejectsNonAsciiNames) {
    std::string odd = folder("caf\xc3\xa9");
    m_env.set("TMP", odd);
    DirectoryChoice c = chooseTemporaryDirectory(sources());
    ASSERT_GE(c.log.size(), 3u);
    EXPECT_EQ(c.log[2], "Problem: directory name contained one or more non-ASCII characters");
    ASSERT_TRUE(c.directory);
    EXPECT_EQ(*c.directory, path("root/temp/SVTEMP/VDLNtemp")) << "falls back to the C:\\TEMP stand-in";
}

TEST_F(DirectoriesTest, RequestedTempDirIsTriedFirstAsItIs) {
    std::string wanted = folder("wanted");
    m_env.set("TEMP", folder("temp"));
    DirectoryChoice c = chooseTemporaryDirectory(sources(), wanted);
    ASSERT_TRUE(c.directory);
    EXPECT_EQ(*c.directory, wanted);

    std::string spaced = folder("wanted dir");
    DirectoryChoice d = chooseTemporaryDirectory(sources(), spaced);
    ASSERT_TRUE(d.directory);
    EXPECT_EQ(*d.directory, path("temp/SVTEMP/VDLNtemp"));
    ASSERT_GE(d.log.size(), 2u);
    EXPECT_EQ(d.log[0], "Named Folder is set to " + spaced + " (exists)");
    EXPECT_EQ(d.log[1], "Problem: directory name contained one or more spaces");
}

TEST_F(DirectoriesTest, KeepDirectoryHasNoNameChecks) {
    std::string home = folder("my home with blanks and a very long name that goes past fifty characters");
    m_env.set("HOME", home);
    DirectoryChoice c = chooseKeepDirectory(sources());
    ASSERT_TRUE(c.directory);
    EXPECT_EQ(*c.directory, home + "/SVKEEP/VDLNkeep");
    EXPECT_EQ(c.log[0], "SVKEEP Folder is not defined");

    std::string keep = folder("keep");
    m_env.set("SVKEEP", keep);
    DirectoryChoice k = chooseKeepDirectory(sources());
    ASSERT_TRUE(k.directory);
    EXPECT_EQ(*k.directory, keep + "/SVKEEP/VDLNkeep");
    EXPECT_EQ(keepSubPath(false), "SVKEEP");
    EXPECT_EQ(temporarySubPath(false), "SVTEMP");
}

TEST_F(DirectoriesTest, StartupFailureShowsBothMessages) {
    blockFixedFolders();
    ScriptedDialogs dialogs;
    Result<StartupDirectories> r = chooseStartupDirectories(sources(), dialogs);
    ASSERT_FALSE(r);
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[0],
              "Serious problem.\r\nVardelon cannot identify a suitable directory for temporary files.\r\n"
              "You need to set the value of Environment variable SVTEMP appropriately.\r\n"
              "Click on the Help button for detailed advice about this.");
    EXPECT_EQ(dialogs.records()[0].buttons, BtnOk | BtnHelp);
    EXPECT_EQ(dialogs.messages()[1],
              "Vardelon will now shut down so that you can rectify this serious problem.");

    // With a Temporary Directory but no Keep Directory the Keep wording shows.
    ScriptedDialogs d2;
    m_env.set("SVTEMP", folder("svtemp"));
    Result<StartupDirectories> k = chooseStartupDirectories(sources(), d2);
    ASSERT_FALSE(k);
    ASSERT_EQ(d2.messages().size(), 2u);
    EXPECT_NE(
        d2.messages()[0].find(" cannot identify a suitable directory for its Keep Directory.\r\n"
                              "You need to set the value of Environment variable SVKEEP appropriately."),
        std::string::npos);

    ScriptedDialogs d3;
    m_env.set("SVKEEP", folder("svkeep"));
    Result<StartupDirectories> ok = chooseStartupDirectories(sources(), d3);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->tempDir, path("svtemp/SVTEMP/VDLNtemp"));
    EXPECT_EQ(ok->keepDir, path("svkeep/SVKEEP/VDLNkeep"));
    EXPECT_FALSE(ok->tempLog.empty());
    EXPECT_TRUE(d3.messages().empty());
}

TEST_F(DirectoriesTest, WriteableCheck) {
    std::string good = folder("good");
    std::string blocked = folder("blocked");
    writeFile(blocked + "/g_we8~2.$@$/inner", "x");
    writeFile(path("file"), "x");
    EXPECT_TRUE(isWriteableDirectory(good));
    EXPECT_FALSE(fileExists(good + "/g_we8~2.$@$"));
    EXPECT_FALSE(isWriteableDirectory(blocked));
    EXPECT_FALSE(isWriteableDirectory(path("missing")));
    EXPECT_FALSE(isWriteableDirectory(path("file")));
    EXPECT_FALSE(isWriteableDirectory("  "));
}

TEST_F(DirectoriesTest, DiagnosticListing) {
    m_env.set("TEMP", folder("temp"));
    m_env.set("SVDIR", path("nosuch"));
    std::string blocked = folder("blocked");
    writeFile(blocked + "/g_we8~2.$@$/inner", "x");
    m_env.set("SVKEEP", blocked);
    std::vector<std::string> lines = listDirectorySources(sources());
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[1], "TMP Folder = UNDEFINED");
    EXPECT_EQ(lines[2], "TEMP Folder = " + path("temp") + "    Exists, Writeable");
    EXPECT_EQ(lines[6], "SVKEEP Folder = " + blocked + "    Exists, Non-Writeable");
    EXPECT_EQ(lines[8], "SVDIR Folder = " + path("nosuch") + "    NonExistent");
    EXPECT_EQ(lines[13], "Application Folder = " + path("bin") + "    NonExistent");
}

TEST(TempDirName, SimpleCharacters) {
    struct Case {
        const char* name;
        bool simple;
    } cases[] = {
        {"/tmp/SVTEMP/VDLNtemp", true},
        {"C:\\TEMP", true},
        {"/a b/c-d_e~1:2", true},
        {"/tmp/x.y", false},
        {"/tmp/a&b", false},
        {"/tmp/caf\xc3\xa9", false},
        {"/tmp/(x)", false},
        {"", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isSimpleTempDirName(c.name), c.simple);
    }
}

TEST(TempDirName, WarningAndIgnore) {
    const std::string dir = "/tmp/odd.name";
    const std::string text =
        "Vardelon is currently attempting to use the folder\r\n/tmp/odd.name\r\nas a directory for temporary "
        "files.\r\n"
        "We suggest that the name of the Temporary Directory contains only letters (A-Z) and digits "
        "(0-9).\r\n"
        "[  :  and  \\  are also allowed.]\r\n"
        "The folder currently set (see above) contains other characters.\r\n"
        "We encourage you to choose a different folder to be the Temporary Directory used by Vardelon via "
        "the "
        "\"Specify Temporary Directory\" menu item  under the Options menu.\r\n"
        "[Click on the Ignore button if you do not want this warning shown again.]";
    {
        ScriptedDialogs d;
        bool warn = true;
        EXPECT_TRUE(warnAboutTempDirName(d, dir, warn));
        ASSERT_EQ(d.messages().size(), 1u);
        EXPECT_EQ(d.messages()[0], text);
        EXPECT_EQ(d.records()[0].buttons, BtnOk | BtnIgnore | BtnHelp);
        EXPECT_TRUE(warn) << "OK keeps the warning on";
    }
    {
        ScriptedDialogs d;
        d.queueButton(BtnIgnore);
        bool warn = true;
        EXPECT_TRUE(warnAboutTempDirName(d, dir, warn));
        EXPECT_FALSE(warn) << "Ignore turns the warning off";
    }
    {
        ScriptedDialogs d;
        bool warn = false;
        EXPECT_FALSE(warnAboutTempDirName(d, dir, warn));
        warn = true;
        EXPECT_FALSE(warnAboutTempDirName(d, "/tmp/SVTEMP/VDLNtemp", warn));
        EXPECT_TRUE(d.messages().empty());
    }
}

class SpecifyTempDirTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        m_ctx.current = path("cur");
        m_ctx.defaultDir = path("default");
        m_ctx.workDir = path("Work");
        m_ctx.programDir = path("bin");
        ASSERT_TRUE(makeDirectories(m_ctx.current).isOk());
        ASSERT_TRUE(makeDirectories(m_ctx.defaultDir).isOk());
    }
    SpecifyTempDirContext m_ctx;
    ScriptedDialogs m_d;
    std::string m_setting = "unchanged";
};

TEST_F(SpecifyTempDirTest, NoMeansNoChange) {
    m_d.queueButton(BtnNo);
    EXPECT_FALSE(SpecifyTemporaryDirectory(m_d, m_ctx, m_setting));
    EXPECT_EQ(m_setting, "unchanged");
    ASSERT_EQ(m_d.messages().size(), 1u);
    EXPECT_EQ(
        m_d.messages()[0],
        "Vardelon writes files to a temporary directory.\r\n"
        "This directory should be on a drive with at least 5-10 Mb free.\r\n"
        "Each time you exit from Vardelon, all files in this directory are deleted, so you should not use "
        "this directory for any other purpose.\r\n"
        "This temporary directory is currently\r\n" +
            m_ctx.current + "\r\nDo you wish to change it?");
    EXPECT_EQ(m_d.records()[0].buttons, BtnYes | BtnNo | BtnHelp);
}

TEST_F(SpecifyTempDirTest, DefaultChosenOrCancelled) {
    m_d.queueButton(BtnYes);
    m_d.queueButton(BtnYes);
    EXPECT_TRUE(SpecifyTemporaryDirectory(m_d, m_ctx, m_setting));
    EXPECT_EQ(m_setting, m_ctx.defaultDir);
    auto msgs = m_d.messages();
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[1], "You can either\r\n1. Change to the default directory, which is\r\n" +
                           m_ctx.defaultDir +
                           "\r\nor\r\n2. Specify the directory via a file dialog.\r\n"
                           "Click on \"Yes\" for option 1 and \"No\" for option 2.");
    EXPECT_EQ(m_d.records()[1].buttons, BtnYes | BtnNo | BtnCancel);
    EXPECT_EQ(msgs[2], "This new directory will be used when you run \r\nVardelon the next time.");

    ScriptedDialogs d;
    d.queueButton(BtnYes);
    d.queueButton(BtnCancel);
    std::string s = "unchanged";
    EXPECT_FALSE(SpecifyTemporaryDirectory(d, m_ctx, s));
    EXPECT_EQ(s, "unchanged");
}

TEST_F(SpecifyTempDirTest, RefusedPicks) {
    ASSERT_TRUE(makeDirectories(m_ctx.workDir).isOk());
    std::string withExe = path("withexe");
    writeFile(withExe + "/TOOL.EXE", "x");
    struct Case {
        std::string pick;
        std::string why;
    } cases[] = {
        {"/", ""},
        {"/ab", ""},
        {"/winnt", ""},
        {"/WINDOWS/", ""},
        {"/WinNT", ""},
        {path("work"), ""},  // the Working Directory, other letter case
        {path("bin") + "/", ""},
        {withExe, " since\r\nit contains .EXE files which it may not be safe to delete."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pick);
        ScriptedDialogs d;
        d.queueButton(BtnYes);
        d.queueButton(BtnNo);
        d.queueText(c.pick);
        std::string s = "unchanged";
        EXPECT_FALSE(SpecifyTemporaryDirectory(d, m_ctx, s));
        EXPECT_EQ(s, "unchanged");
        std::string shown = normaliseDirectory(c.pick, "/");
        EXPECT_EQ(d.lastMessage(), "Sorry, the directory\r\n" + shown +
                                       "\r\ncannot be used as the temporary directory" +
                                       (c.why.empty() ? "." : c.why));
    }
    // "winnt" deeper than the root is fine.
    EXPECT_EQ(refuseTempDirText(path("winnt"), m_ctx), "");
}

TEST_F(SpecifyTempDirTest, NonEmptyAndOddNamesNeedConfirmation) {
    std::string busy = path("busy");
    writeFile(busy + "/notes.txt", "x");
    {
        ScriptedDialogs d;
        d.queueButton(BtnYes);
        d.queueButton(BtnNo);
        d.queueText(busy);
        d.queueButton(BtnNo);
        std::string s = "unchanged";
        EXPECT_FALSE(SpecifyTemporaryDirectory(d, m_ctx, s));
        EXPECT_EQ(d.lastMessage(), "The directory\r\n" + busy +
                                       "\r\nyou have nominated is not empty. Do you want to continue?");
        EXPECT_EQ(s, "unchanged");
    }
    {
        ScriptedDialogs d;
        d.queueButton(BtnYes);
        d.queueButton(BtnNo);
        d.queueText(busy + "/");
        d.queueButton(BtnYes);
        std::string s;
        EXPECT_TRUE(SpecifyTemporaryDirectory(d, m_ctx, s));
        EXPECT_EQ(s, busy);
    }
    std::string odd = path("odd.name");
    ASSERT_TRUE(makeDirectories(odd).isOk());
    {
        ScriptedDialogs d;
        d.queueButton(BtnYes);
        d.queueButton(BtnNo);
        d.queueText(odd);
        d.queueButton(BtnNo);
        std::string s = "unchanged";
        EXPECT_FALSE(SpecifyTemporaryDirectory(d, m_ctx, s));
        auto msgs = d.messages();
        ASSERT_EQ(msgs.size(), 4u);
        EXPECT_EQ(msgs[2],
                  "We recommend that the name of the Temporary Directory contains only letters (A-Z) and "
                  "digits (0-9).\r\nThe name you have just chosen\r\n" +
                      odd + "\r\ncontains other characters.\r\nDo you wish to continue with this choice?");
        EXPECT_EQ(msgs[3], "Making no change in the name of the Temporary Directory.");
        EXPECT_EQ(s, "unchanged");
    }
    {
        // No default: the folder chooser comes at once.
        SpecifyTempDirContext ctx = m_ctx;
        ctx.defaultDir.clear();
        ScriptedDialogs d;
        d.queueButton(BtnYes);
        d.queueText(odd);
        d.queueButton(BtnYes);
        std::string s;
        EXPECT_TRUE(SpecifyTemporaryDirectory(d, ctx, s));
        EXPECT_EQ(s, odd);
        EXPECT_EQ(d.records()[1].type, DialogRecord::Type::Folder);
    }
}

TEST_F(DirectoriesTest, ClearTemporaryDirectoryAtExit) {
    std::string t = folder("tmpd");
    for (const char* f :
         {"a.txt", "b.sl4", "simdir2/x", "simdir3/y.bat", "simdir3/z", "other/keep.me", "simdir2/deep/keep"})
        writeFile(t + "/" + f, "x");
    EXPECT_EQ(clearTemporaryDirectory(t, path("work")), 5);
    EXPECT_FALSE(fileExists(t + "/a.txt"));
    EXPECT_FALSE(fileExists(t + "/simdir3/z"));
    EXPECT_TRUE(fileExists(t + "/other/keep.me"));
    EXPECT_TRUE(fileExists(t + "/simdir2/deep/keep"));
    EXPECT_TRUE(directoryExists(t + "/simdir2"));

    // Never the Working Directory, whatever the letter case or a trailing separator.
    std::string w = folder("work");
    writeFile(w + "/precious.har", "x");
    EXPECT_EQ(clearTemporaryDirectory(w, path("WORK") + "/"), 0);
    EXPECT_EQ(clearTemporaryDirectory(w + "/", w), 0);
    EXPECT_TRUE(fileExists(w + "/precious.har"));
    EXPECT_EQ(clearTemporaryDirectory("/ab", w), 0);
}

}  // namespace
}  // namespace vdln
