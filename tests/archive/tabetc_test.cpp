#include "archive/tabetc.h"

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "env/process.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

class TabEtcTest : public testing::TempDirTest {
protected:
    // Plays the extraction program: reads its stored input and writes the
    // report (and the file) it is asked for.
    void SetUp() override {
        TempDirTest::SetUp();
        writeFile(path("prog/pryxoa.exe"), "program");
        writeFile(path("model/growth.exe"), "model");
        writeFile(path("model/growth.axt"), "table");
        ASSERT_TRUE(makeDirectories(path("temp")));
        launcher.onStart = [this](const LaunchRequest& req) {
            ASSERT_EQ(req.args.size(), 4u);
            auto lines = readTextLines(req.args[1]);
            ASSERT_TRUE(lines);
            ASSERT_EQ(lines->size(), 7u);
            const bool tab = (*lines)[4] == "t";
            const std::string out = path(std::string("temp/growth.") + (tab ? "tab" : "sti"));
            std::string rpt = "[Result]\r\nStatus=ok\r\n";
            if (tab && !tabUsed) {
                rpt += "Output file used=no\r\nOutput file stored=no\r\n";
            } else if (tab || stiStored) {
                writeFile(out, tab ? "equations" : "condensation");
                rpt += "Output file used=yes\r\nOutput file stored=yes\r\nOutput file=" + out + "\r\n";
            } else {
                rpt += "Output file used=yes\r\nOutput file stored=no\r\n";
            }
            writeFile((*lines)[2], rpt);
            auxSeen = (*lines)[5];
        };
        launcher.onWait = [this](ProcessHandle h) { launcher.endProcess(h, 0); };
    }
    FakeLauncher launcher;
    ScriptedDialogs dlg;
    bool stiStored = true;
    bool tabUsed = true;
    std::string auxSeen;
};

TEST_F(TabEtcTest, TheReportedFilesAreReturnedOnlyWhenStored) {
    EXPECT_EQ(extractionStoredInput("r.rpt", "t", "a.axt"),
              (std::vector<std::string>{"bat", "rpt", "r.rpt", " ", "t", "a.axt", " "}));
    auto files =
        extractTabEtcFiles(launcher, dlg, path("prog/pryxoa.exe"), path("temp"), path("model/growth.exe"));
    EXPECT_EQ(files, (std::vector<std::string>{path("temp/growth.tab"), path("temp/growth.sti")}));
    EXPECT_EQ(auxSeen, path("model/growth.axt"));
    stiStored = false;
    ASSERT_TRUE(deleteFile(path("temp/growth.sti")));
    files =
        extractTabEtcFiles(launcher, dlg, path("prog/pryxoa.exe"), path("temp"), path("model/growth.exe"));
    EXPECT_EQ(files, (std::vector<std::string>{path("temp/growth.tab")}));
    // Without the program nothing is started.
    size_t starts = launcher.started().size();
    EXPECT_TRUE(
        extractTabEtcFiles(launcher, dlg, path("prog/none.exe"), path("temp"), path("model/growth.exe"))
            .empty());
    EXPECT_EQ(launcher.started().size(), starts);
}

TEST_F(TabEtcTest, ViewingTheModelSourceGivesTheExtractedFileOrSaysWhyNot) {
    const std::string prog = path("prog/pryxoa.exe");
    const std::string model = path("model/growth.exe");
    auto tab = extractModelTextForViewing(ModelTextKind::Tab, launcher, dlg, prog, path("temp"), model);
    ASSERT_TRUE(tab);
    EXPECT_EQ(*tab, path("temp/growth.tab"));
    // The program ran in the Temporary Directory on "exttab.sti" with its log.
    ASSERT_FALSE(launcher.started().empty());
    const LaunchRequest& req = launcher.started().back().request;
    EXPECT_EQ(req.args,
              (std::vector<std::string>{"-sti", path("temp/exttab.sti"), "-los", path("temp/exttab.log")}));
    EXPECT_EQ(req.dir, path("temp"));
    EXPECT_TRUE(dlg.messages().empty());
    // A program that cannot be started says so.
    launcher.failNextStart("no such program");
    ScriptedDialogs failing;
    EXPECT_FALSE(
        extractModelTextForViewing(ModelTextKind::Tab, launcher, failing, prog, path("temp"), model));
    EXPECT_EQ(failing.lastMessage(), "Could not launch windows Pryxo job !");

    struct Case {
        const char* what;
        ModelTextKind kind;
        bool tabUsed, stiStored;
        std::string program;
        std::string message;
    };
    const Case cases[] = {
        {"not used", ModelTextKind::Tab, false, true, prog,
         "Sorry. It seems that a TAB file was not used when Lexor was run."},
        {"not stored", ModelTextKind::Sti, true, false, prog,
         "Sorry. It seems that the Lexor STI file is not stored on the AXT/GST file."},
        {"no program", ModelTextKind::Sti, true, true, path("prog/none.exe"),
         "The program PRYXO is not available."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tabUsed = c.tabUsed;
        stiStored = c.stiStored;
        ScriptedDialogs d;
        EXPECT_FALSE(extractModelTextForViewing(c.kind, launcher, d, c.program, path("temp"), model));
        EXPECT_EQ(d.lastMessage(), c.message);
    }
    // A model without its auxiliary table file cannot be extracted from.
    ASSERT_TRUE(deleteFile(path("model/growth.axt")));
    ScriptedDialogs d;
    EXPECT_FALSE(extractModelTextForViewing(ModelTextKind::Sti, launcher, d, prog, path("temp"), model));
    EXPECT_EQ(d.lastMessage(), "Sorry. Extracting Lexor STI file failed.");
}

}  // namespace
}  // namespace vdln
