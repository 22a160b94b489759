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
            if (tab || stiStored) {
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

}  // namespace
}  // namespace vdln
